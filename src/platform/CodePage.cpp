#include "platform/CodePage.h"

// The conversions that only combine the system's own.
namespace platform {

bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t n = c < 0x80             ? 1
                   : (c & 0xE0) == 0xC0 ? 2
                   : (c & 0xF0) == 0xE0 ? 3
                   : (c & 0xF8) == 0xF0 ? 4
                                        : 0;
        if (n == 0 || i + n > text.size()) {
            return false;
        }
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += n;
    }
    return true;
}

std::u16string CodePageToUtf16(const std::string& text, const std::string& codePage) {
    return Utf8ToUtf16(ToUtf8(text, codePage));
}

std::string Utf16ToCodePage(const std::u16string& wide, const std::string& codePage) {
    return FromUtf8(Utf16ToUtf8(wide), codePage);
}

std::string Cp1251(const std::string& utf8) { return FromUtf8(utf8, "1251"); }

}  // namespace platform
