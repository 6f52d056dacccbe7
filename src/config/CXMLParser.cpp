#include "config/CXMLParser.h"

#include "log/CLogFile.h"

// The XPath reader arrives with the configuration work; until then nothing loads.
struct CXMLParser::Document {};

CXMLParser::CXMLParser() = default;
CXMLParser::~CXMLParser() = default;

bool CXMLParser::LoadFile() {
    lastError = fileName + " file FAILED to load\nthe XML reader is not part of this build";
    return false;
}

std::string CXMLParser::ReadParameter(const std::string& xpath) {
    lastError = "Can't read parameter " + xpath;
    return "";
}

std::u16string CXMLParser::ReadWideParameter(const std::string& xpath) {
    ReadParameter(xpath);
    return u"";
}

void CXMLParser::ReadMap(TextMap&, const std::string&, const std::string&) {}
void CXMLParser::ReadIntMap(IntMap&, const std::string&, const std::string&) {}
void CXMLParser::ReadWideIntMap(WideIntMap&, const std::string&, const std::string&) {}
void CXMLParser::ReadPairMap(TextMap&, const std::string&, const std::string&, const std::string&) {}
std::string CXMLParser::MapToText(const std::string&, const TextMap&, bool) { return ""; }
std::string CXMLParser::IntMapToText(const std::string&, const IntMap&, bool) { return ""; }
void CXMLParser::CollectValues(const TextMap&, std::vector<std::string>&) {}
void CXMLParser::CollectValues(const IntMap&, std::vector<std::string>&) {}
void CXMLParser::CollectNonZeroValues(const TextMap&, std::vector<std::string>&) {}
void CXMLParser::CollectNonZeroValues(const IntMap&, std::vector<std::string>&) {}

std::string CXMLParser::SubstituteKey(const std::string& text, const std::string& placeholder,
                                      const std::string& value) {
    (void)placeholder;
    (void)value;
    return text;
}

void CXMLParser::WriteLog(const std::string& line) const {
    if (log) {
        log->WriteText(line);
    }
}
