#include "storage/CPostConverter.h"

#include <fstream>

#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

namespace {

// The first n characters of a UTF-8 text.
std::string FirstCharacters(const std::string& line, size_t n) {
    size_t count = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) >> 6) != 2) {
            if (count == n) {
                return line.substr(0, i);
            }
            ++count;
        }
    }
    return line;
}

}  // namespace

void CPostConverter::Clear() {
    descriptions.clear();
    categories.clear();
}

void CPostConverter::Load(const std::string& path, CLogFile* log) {
    Clear();
    std::ifstream file(path, std::ios::binary);
    std::string line;
    bool first = true;
    while (file && std::getline(file, line)) {
        if (first && text::StartsWith(line, "\xEF\xBB\xBF")) {
            line.erase(0, 3);
        }
        first = false;
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.pop_back();
        }
        line = FirstCharacters(line, kMaxLineLength);
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            continue;
        }
        std::string key = platform::FromUtf8(line.substr(0, eq), "1251");
        std::string rest = line.substr(eq + 1);
        size_t second = rest.find('=');
        descriptions[key] = platform::Utf8ToUtf16(rest.substr(0, second));
        if (second != std::string::npos) {
            categories[key] = platform::FromUtf8(rest.substr(second + 1), "1251");
        }
    }
    if (log) {
        log->WriteText("POSTING NAME CONVERTER");
        log->WriteText(text::Format("Converted descriptions: %d ", static_cast<int>(descriptions.size())));
        log->WriteText(text::Format("Converted codes: %d ", static_cast<int>(categories.size())));
    }
}
