#include "config/CXMLParser.h"

#include <pugixml.hpp>

#include <algorithm>
#include <set>

#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

struct CXMLParser::Document {
    pugi::xml_document xml;
};

namespace {

bool IsAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The encoding named by the XML declaration at the start of the bytes; empty when the file has a
// byte-order mark or no declaration (the parser then finds the encoding itself).
std::string DeclaredEncoding(const std::string& bytes) {
    if (!text::StartsWith(bytes, "<?xml")) {
        return "";
    }
    size_t end = bytes.find("?>");
    std::string declaration = bytes.substr(0, end);
    size_t at = declaration.find("encoding");
    if (at == std::string::npos) {
        return "";
    }
    size_t quote = declaration.find_first_of("\"'", at);
    if (quote == std::string::npos) {
        return "";
    }
    size_t close = declaration.find(declaration[quote], quote + 1);
    if (close == std::string::npos) {
        return "";
    }
    return text::Trim(declaration.substr(quote + 1, close - quote - 1));
}

bool IsUtf8Name(const std::string& encoding) {
    std::string lower = text::ToLower(encoding);
    return lower == "utf-8" || lower == "utf8";
}

// "line %d, column %d" of a byte offset, counted in the text the parser saw.
std::string Position(const std::string& bytes, ptrdiff_t offset) {
    int line = 1;
    int column = 1;
    size_t end = std::min(bytes.size(), static_cast<size_t>(offset < 0 ? 0 : offset));
    for (size_t i = 0; i < end; ++i) {
        if (bytes[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return text::Format("line %d, column %d", line, column);
}

// Collects the character data below a node; the walk is iterative, so a deeply nested file
// cannot exhaust the stack.
struct TextCollector : pugi::xml_tree_walker {
    std::string text;
    bool for_each(pugi::xml_node& node) override {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            text += node.value();
        }
        return true;
    }
};

// The text of a node and all its descendants, as the DOM gives it, without surrounding blanks.
std::string NodeText(const pugi::xpath_node& found) {
    if (found.attribute()) {
        return text::Trim(found.attribute().value());
    }
    pugi::xml_node node = found.node();
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
        return text::Trim(node.value());
    }
    TextCollector collector;
    node.traverse(collector);
    return text::Trim(collector.text);
}

}  // namespace

CXMLParser::CXMLParser() = default;
CXMLParser::~CXMLParser() = default;

bool CXMLParser::LoadFile() {
    lastError.clear();
    // A document that did not load leaves nothing to read.
    document.reset();
    std::string bytes;
    switch (platform::ReadFileUpTo(fileName, kMaxFileBytes, bytes)) {
        case platform::ReadStatus::Ok:
            return LoadBuffer(bytes);
        case platform::ReadStatus::TooLong:
            lastError = fileName + " file FAILED to load\n" +
                        text::Format("The file is longer than %zu bytes", kMaxFileBytes);
            return false;
        default: {
            // "Not there" and "there, but this process may not read it" call for different remedies.
            int error = platform::LastSystemError();
            lastError = fileName + " file FAILED to load\n" +
                        (platform::PathMissing(fileName)
                             ? std::string("File was not found")
                             : "The file cannot be read: " + text::TrimRight(platform::SystemErrorText(error)));
            return false;
        }
    }
}

bool CXMLParser::LoadBuffer(std::string bytes) {
    lastError.clear();
    document.reset();
    auto loaded = std::make_unique<Document>();
    std::string failed = fileName + " file FAILED to load\n";
    pugi::xml_encoding encoding = pugi::encoding_auto;
    std::string declared = DeclaredEncoding(bytes);
    if (!declared.empty()) {
        if (IsUtf8Name(declared)) {
            encoding = pugi::encoding_utf8;
        } else if (platform::IsCodePageSupported(declared)) {
            // The parser knows only the Unicode encodings and Latin-1: other single-byte files
            // (windows-1251 and the like) are turned into UTF-8 before parsing.
            bytes = platform::ToUtf8(bytes, declared);
            encoding = pugi::encoding_utf8;
        } else {
            lastError = failed + "Unsupported encoding " + declared;
            return false;
        }
    }
    pugi::xml_parse_result result =
        loaded->xml.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, encoding);
    if (!result) {
        lastError = failed + result.description() + " (" + Position(bytes, result.offset) + ")";
        return false;
    }
    document = std::move(loaded);
    return true;
}

std::string CXMLParser::Narrow(const std::string& utf8) const {
    return IsAscii(utf8) ? utf8 : platform::FromUtf8(utf8, codePage);
}

std::string CXMLParser::ToDocument(const std::string& narrow) const {
    return IsAscii(narrow) ? narrow : platform::ToUtf8(narrow, codePage);
}

bool CXMLParser::SelectText(const std::string& xpath, std::string& utf8) {
    lastError.clear();
    if (document) {
        try {
            pugi::xpath_node found = document->xml.select_node(ToDocument(xpath).c_str());
            if (found) {
                utf8 = NodeText(found);
                return true;
            }
        } catch (const pugi::xpath_exception&) {
            // An XPath the reader cannot evaluate reads as a missing parameter.
        }
    }
    lastError = "Can't read parameter " + xpath;
    return false;
}

std::string CXMLParser::ReadParameter(const std::string& xpath) {
    std::string utf8;
    return SelectText(xpath, utf8) ? Narrow(utf8) : "";
}

std::u16string CXMLParser::ReadWideParameter(const std::string& xpath) {
    std::string utf8;
    return SelectText(xpath, utf8) ? platform::Utf8ToUtf16(utf8) : u"";
}

void CXMLParser::ReadKeyed(
    const std::string& pattern, const std::vector<std::string>& attributes,
    const std::function<void(const std::vector<std::string>&, const std::string&)>& store) {
    if (!document) {
        return;
    }
    size_t open = pattern.find('[');
    std::string listPath = pattern.substr(0, open);
    // What follows the key predicate ("/print" of "...pay[@code='xxxx']/print") is read below
    // the node itself: the entry of a node is that node's own value, so of two nodes with the
    // same key the later one wins.
    std::string rest;
    if (open != std::string::npos) {
        size_t close = pattern.find(']', open);
        rest = close == std::string::npos ? "" : text::Trim(pattern.substr(close + 1));
    }
    static const char* const kPlaceholders[] = {"xxxx", "yyyy"};
    try {
        pugi::xpath_node_set nodes = document->xml.select_nodes(listPath.c_str());
        pugi::xpath_query restQuery(rest.empty() ? "." : ("." + rest).c_str());
        std::set<std::vector<std::string>> withValue;
        for (const pugi::xpath_node& entry : nodes) {
            pugi::xml_node node = entry.node();
            std::vector<std::string> keys;
            for (const std::string& name : attributes) {
                pugi::xml_attribute attribute = node.attribute(name.c_str());
                if (!attribute) {
                    break;
                }
                keys.push_back(attribute.value());
            }
            if (keys.size() != attributes.size()) {
                continue;  // a node without the key attribute is no entry of the list
            }
            pugi::xpath_node value = restQuery.evaluate_node(node);
            if (!value) {
                std::string path = pattern;
                for (size_t i = 0; i < keys.size() && i < 2; ++i) {
                    path = SubstituteKey(path, kPlaceholders[i], Narrow(keys[i]));
                }
                lastError = "Can't read parameter " + path;
                if (withValue.count(keys)) {
                    continue;  // a later node without the value leaves the earlier one's value
                }
            } else {
                withValue.insert(keys);
            }
            store(keys, value ? NodeText(value) : "");
        }
    } catch (const pugi::xpath_exception&) {
        // A pattern the reader cannot evaluate gives no entries.
    }
}

void CXMLParser::ReadMap(TextMap& map, const std::string& pattern, const std::string& attribute) {
    ReadKeyed(pattern, {attribute}, [&](const std::vector<std::string>& keys, const std::string& value) {
        map[Narrow(keys[0])] = Narrow(value);
    });
}

void CXMLParser::ReadIntMap(IntMap& map, const std::string& pattern, const std::string& attribute) {
    ReadKeyed(pattern, {attribute}, [&](const std::vector<std::string>& keys, const std::string& value) {
        map[text::ToInt(keys[0])] = Narrow(value);
    });
}

void CXMLParser::ReadWideIntMap(WideIntMap& map, const std::string& pattern, const std::string& attribute) {
    ReadKeyed(pattern, {attribute}, [&](const std::vector<std::string>& keys, const std::string& value) {
        map[text::ToInt(keys[0])] = platform::Utf8ToUtf16(value);
    });
}

void CXMLParser::ReadPairMap(TextMap& map, const std::string& pattern, const std::string& attribute1,
                             const std::string& attribute2) {
    ReadKeyed(pattern, {attribute1, attribute2},
              [&](const std::vector<std::string>& keys, const std::string& value) {
                  map[Narrow(keys[0]) + "+" + Narrow(keys[1])] = Narrow(value);
              });
}

std::vector<CXMLParser::Attributes> CXMLParser::ReadAttributes(const std::string& xpath) {
    std::vector<Attributes> result;
    for (Element& element : ReadElements(xpath)) {
        result.push_back(std::move(element.attributes));
    }
    return result;
}

std::vector<CXMLParser::Element> CXMLParser::ReadElements(const std::string& xpath) {
    std::vector<Element> result;
    if (!document) {
        return result;
    }
    try {
        for (const pugi::xpath_node& found : document->xml.select_nodes(ToDocument(xpath).c_str())) {
            if (found.node().type() != pugi::node_element) {
                continue;
            }
            Element element;
            element.name = Narrow(found.node().name());
            for (pugi::xml_attribute attribute : found.node().attributes()) {
                element.attributes[attribute.name()] = Narrow(attribute.value());
            }
            for (pugi::xml_node child : found.node().children()) {
                if (child.type() == pugi::node_element) {
                    element.children.push_back(Narrow(child.name()));
                }
            }
            result.push_back(std::move(element));
        }
    } catch (const pugi::xpath_exception&) {
    }
    return result;
}

namespace {

template <typename Map, typename KeyText>
std::string DescribeMap(const std::string& header, const Map& map, bool withEmpty, KeyText keyText) {
    std::string entries;
    for (const auto& [key, value] : map) {
        if (!value.empty() || withEmpty) {
            entries += text::Format("%s - %s \\ ", keyText(key).c_str(), value.c_str());
        }
    }
    return entries.empty() ? "" : text::Format("\n%s: ", header.c_str()) + entries;
}

template <typename Map>
void Collect(const Map& map, std::vector<std::string>& values, bool skipZero) {
    // A set of what the array holds keeps this linear in a configuration with many entries.
    std::set<std::string> held(values.begin(), values.end());
    for (const auto& entry : map) {
        const std::string& value = entry.second;
        if (skipZero && value == "0") {
            continue;
        }
        if (held.insert(value).second) {
            values.push_back(value);
        }
    }
}

}  // namespace

std::string CXMLParser::MapToText(const std::string& header, const TextMap& map, bool withEmpty) {
    return DescribeMap(header, map, withEmpty, [](const std::string& key) { return key; });
}

std::string CXMLParser::IntMapToText(const std::string& header, const IntMap& map, bool withEmpty) {
    return DescribeMap(header, map, withEmpty, [](int key) { return text::Format("%d", key); });
}

void CXMLParser::CollectValues(const TextMap& map, std::vector<std::string>& values) {
    Collect(map, values, false);
}
void CXMLParser::CollectValues(const IntMap& map, std::vector<std::string>& values) {
    Collect(map, values, false);
}
void CXMLParser::CollectNonZeroValues(const TextMap& map, std::vector<std::string>& values) {
    Collect(map, values, true);
}
void CXMLParser::CollectNonZeroValues(const IntMap& map, std::vector<std::string>& values) {
    Collect(map, values, true);
}

std::string CXMLParser::SubstituteKey(const std::string& textValue, const std::string& placeholder,
                                      const std::string& value) {
    return text::Trim(text::ReplaceAll(textValue, placeholder, value));
}

void CXMLParser::WriteLog(const std::string& line) const {
    if (log) {
        log->WriteText(line);
    }
}
