#include "platform/CodePage.h"

// The conversions that only combine the system's own.
namespace platform {

namespace {

// Length of the well-formed UTF-8 sequence at i (1 for ASCII), 0 when the bytes there are not one.
size_t Utf8SequenceAt(const std::string& text, size_t i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t n = c < 0x80             ? 1
               : (c & 0xE0) == 0xC0 ? 2
               : (c & 0xF0) == 0xE0 ? 3
               : (c & 0xF8) == 0xF0 ? 4
                                    : 0;
    if (n == 0 || i + n > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return n;
}

}  // namespace

bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        size_t n = Utf8SequenceAt(text, i);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

std::string MixedToUtf8(const std::string& text, const std::string& codePage) {
    std::string result;
    std::string foreign;
    for (size_t i = 0; i < text.size();) {
        size_t n = Utf8SequenceAt(text, i);
        if (n == 0) {
            foreign += text[i++];
            continue;
        }
        if (!foreign.empty()) {
            result += ToUtf8(foreign, codePage);
            foreign.clear();
        }
        result.append(text, i, n);
        i += n;
    }
    if (!foreign.empty()) {
        result += ToUtf8(foreign, codePage);
    }
    return result;
}

std::u16string CodePageToUtf16(const std::string& text, const std::string& codePage) {
    return Utf8ToUtf16(ToUtf8(text, codePage));
}

std::string Utf16ToCodePage(const std::u16string& wide, const std::string& codePage) {
    return FromUtf8(Utf16ToUtf8(wide), codePage);
}

std::string Cp1251(const std::string& utf8) { return FromUtf8(utf8, "1251"); }

}  // namespace platform
