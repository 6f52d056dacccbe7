#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

class CLogFile;

// The reader of XML settings: loads one file and answers XPath questions, single values and
// keyed lists whose entries are named by an attribute. Every value comes back as text.
class CXMLParser {
public:
    using TextMap = std::map<std::string, std::string>;
    using IntMap = std::map<int, std::string>;
    using WideIntMap = std::map<int, std::u16string>;

    CXMLParser();
    virtual ~CXMLParser();
    CXMLParser(const CXMLParser&) = delete;
    CXMLParser& operator=(const CXMLParser&) = delete;

    bool LoadFile();
    virtual std::string ReadParameter(const std::string& xpath);
    virtual std::u16string ReadWideParameter(const std::string& xpath);
    virtual void ReadMap(TextMap& map, const std::string& pattern, const std::string& attribute);
    virtual void ReadIntMap(IntMap& map, const std::string& pattern, const std::string& attribute);
    virtual void ReadWideIntMap(WideIntMap& map, const std::string& pattern, const std::string& attribute);
    virtual void ReadPairMap(TextMap& map, const std::string& pattern, const std::string& attribute1,
                     const std::string& attribute2);
    static std::string MapToText(const std::string& header, const TextMap& map, bool withEmpty);
    static std::string IntMapToText(const std::string& header, const IntMap& map, bool withEmpty);
    static void CollectValues(const TextMap& map, std::vector<std::string>& values);
    static void CollectValues(const IntMap& map, std::vector<std::string>& values);
    static void CollectNonZeroValues(const TextMap& map, std::vector<std::string>& values);
    static void CollectNonZeroValues(const IntMap& map, std::vector<std::string>& values);
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
};
