#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CLogFile;

// The reader of XML settings: loads one file and answers XPath questions, single values and
// keyed lists whose entries are named by an attribute. Every value comes back as text: narrow
// texts in the site code page (Windows-1251 unless set otherwise), wide texts as UTF-16.
class CXMLParser {
public:
    using TextMap = std::map<std::string, std::string>;
    using IntMap = std::map<int, std::string>;
    using WideIntMap = std::map<int, std::u16string>;
    using Attributes = std::map<std::string, std::string>;

    CXMLParser();
    virtual ~CXMLParser();
    CXMLParser(const CXMLParser&) = delete;
    CXMLParser& operator=(const CXMLParser&) = delete;

    // The longest settings file read; a longer one is refused rather than held in memory.
    static constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

    // Loads the file named by SetFileName into a fresh document. On failure the last error is
    // the file name, " file FAILED to load\n" and the parser's reason.
    bool LoadFile();
    // The same for the file's bytes already read.
    bool LoadBuffer(std::string bytes);
    // Text of the first node the XPath selects (with the text of all its descendants), trimmed;
    // empty with "Can't read parameter <xpath>" as last error when nothing matches.
    virtual std::string ReadParameter(const std::string& xpath);
    virtual std::u16string ReadWideParameter(const std::string& xpath);
    // Keyed lists: the pattern holds "xxxx" (and for pairs "yyyy") inside its first predicate,
    // e.g. "//pay_mode/pay[@code='xxxx']/print". Every node of the list path (the part before the
    // first "[") that carries the attributes adds one entry; a later node replaces the value of
    // an earlier one with the same key.
    virtual void ReadMap(TextMap& map, const std::string& pattern, const std::string& attribute);
    virtual void ReadIntMap(IntMap& map, const std::string& pattern, const std::string& attribute);
    virtual void ReadWideIntMap(WideIntMap& map, const std::string& pattern, const std::string& attribute);
    // Keys "%s+%s" of the two attribute values.
    virtual void ReadPairMap(TextMap& map, const std::string& pattern, const std::string& attribute1,
                             const std::string& attribute2);
    // The attributes of every node the XPath selects, in document order.
    virtual std::vector<Attributes> ReadAttributes(const std::string& xpath);
    // Every element the XPath selects, in document order: its name, its attributes and the
    // names of its child elements (for the check of the file against what the service reads).
    struct Element {
        std::string name;
        Attributes attributes;
        std::vector<std::string> children;
    };
    std::vector<Element> ReadElements(const std::string& xpath);

    // One log line describing a map; empty text when no entry was added.
    static std::string MapToText(const std::string& header, const TextMap& map, bool withEmpty);
    static std::string IntMapToText(const std::string& header, const IntMap& map, bool withEmpty);
    // Append each distinct value of the map to the array (the NonZero forms skip "0").
    static void CollectValues(const TextMap& map, std::vector<std::string>& values);
    static void CollectValues(const IntMap& map, std::vector<std::string>& values);
    static void CollectNonZeroValues(const TextMap& map, std::vector<std::string>& values);
    static void CollectNonZeroValues(const IntMap& map, std::vector<std::string>& values);
    // Every placeholder replaced by the value, then blanks trimmed at both ends.
    static std::string SubstituteKey(const std::string& text, const std::string& placeholder,
                                     const std::string& value);
    void WriteLog(const std::string& text) const;
    const std::string& GetLastError() const { return lastError; }

    void SetFileName(const std::string& name) { fileName = name; }
    const std::string& GetFileName() const { return fileName; }

protected:
    struct Document;
    std::unique_ptr<Document> document;
    CLogFile* log = nullptr;
    std::string fileName;
    std::string lastError;

private:
    // The UTF-8 text of the first node the XPath selects; false (and the last error) when none.
    bool SelectText(const std::string& xpath, std::string& utf8);
    // Calls store with the (UTF-8) attribute values and the value text of every keyed node.
    void ReadKeyed(const std::string& pattern, const std::vector<std::string>& attributes,
                   const std::function<void(const std::vector<std::string>&, const std::string&)>& store);
    std::string Narrow(const std::string& utf8) const;
    std::string ToDocument(const std::string& narrow) const;

    // Code page of the narrow texts handed out (a number or an iconv name).
    std::string codePage = "1251";
};
