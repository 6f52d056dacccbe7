#include "storage/CPostConverter.h"

#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

// Bytes a UTF-8 character takes by its first byte; a stray byte counts as a character of its
// own, so a line of bad bytes is cut as short as a line of letters.
size_t CharacterLength(unsigned char first) {
    if (first < 0x80) {
        return 1;
    }
    if ((first & 0xE0) == 0xC0) {
        return 2;
    }
    if ((first & 0xF0) == 0xE0) {
        return 3;
    }
    if ((first & 0xF8) == 0xF0) {
        return 4;
    }
    return 1;
}

// The first n characters of a UTF-8 text.
std::string FirstCharacters(const std::string& line, size_t n) {
    size_t i = 0;
    for (size_t count = 0; count < n && i < line.size(); ++count) {
        size_t length = CharacterLength(static_cast<unsigned char>(line[i]));
        size_t next = i + 1;
        while (next < line.size() && next < i + length && (static_cast<unsigned char>(line[next]) & 0xC0) == 0x80) {
            ++next;
        }
        i = next;
    }
    return line.substr(0, i);
}

}  // namespace

void CPostConverter::Clear() {
    descriptions.clear();
    categories.clear();
}

void CPostConverter::Load(const std::string& path, CLogFile* log) {
    Clear();
    std::string content;
    if (platform::ReadFileUpTo(path, kMaxFileBytes, content) == platform::ReadStatus::TooLong && log) {
        log->WriteText(text::Format("%s is longer than %zu bytes: no names are converted", path.c_str(),
                                    kMaxFileBytes));
    }
    Parse(content);
    if (log) {
        log->WriteText("POSTING NAME CONVERTER");
        log->WriteText(text::Format("Converted descriptions: %d ", static_cast<int>(descriptions.size())));
        log->WriteText(text::Format("Converted codes: %d ", static_cast<int>(categories.size())));
    }
}

void CPostConverter::Parse(const std::string& content) {
    Clear();
    bool first = true;
    for (std::string line : text::Lines(content)) {
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
}
