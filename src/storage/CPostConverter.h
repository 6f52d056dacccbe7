#pragma once

#include <map>
#include <string>

class CLogFile;

// The posting-name conversion file post_converter.txt (UTF-8): lines "key=description" or
// "key=description=code". Keys (a transaction code, a room category label) and codes are kept in
// the site's code page (Windows-1251), descriptions as wide texts.
class CPostConverter {
public:
    static constexpr size_t kMaxLineLength = 100;
    // Some ten thousand lines of the longest kind; a longer file is not read.
    static constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;

    // Reads the file; a missing (or too long) file leaves both maps empty. Logs
    // "POSTING NAME CONVERTER" and the two map sizes.
    void Load(const std::string& path, CLogFile* log);
    // Fills the maps from the file's content.
    void Parse(const std::string& content);
    void Clear();

    // key -> description
    std::map<std::string, std::u16string> descriptions;
    // key -> code, for keys that have one
    std::map<std::string, std::string> categories;
};
