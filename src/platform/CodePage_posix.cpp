#include "platform/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace platform {

namespace {

std::string Normalise(const std::string& codePage) {
    if (codePage.empty()) {
        return "WINDOWS-1251";
    }
    bool digits = codePage.find_first_not_of("0123456789") == std::string::npos;
    return digits ? "WINDOWS-" + codePage : codePage;
}

// Converts a byte buffer; unconvertible input is replaced so that nothing is silently dropped.
std::string Convert(const char* data, size_t size, const std::string& from, const std::string& to,
                    const std::string& replacement) {
    iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(data, size);
    }
    std::string result;
    std::vector<char> out(4 * size + 16);
    char* in = const_cast<char*>(data);
    size_t inLeft = size;
    while (inLeft > 0) {
        char* outPtr = out.data();
        size_t outLeft = out.size();
        size_t rc = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        result.append(out.data(), out.size() - outLeft);
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // EILSEQ or EINVAL: skip one input byte and put the replacement in its place.
            result += replacement;
            ++in;
            --inLeft;
        }
    }
    char* outPtr = out.data();
    size_t outLeft = out.size();
    ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    result.append(out.data(), out.size() - outLeft);
    ::iconv_close(cd);
    return result;
}

}  // namespace

std::string ToUtf8(const std::string& text, const std::string& codePage) {
    return Convert(text.data(), text.size(), Normalise(codePage), "UTF-8", "?");
}

std::string FromUtf8(const std::string& utf8, const std::string& codePage) {
    return Convert(utf8.data(), utf8.size(), "UTF-8", Normalise(codePage) + "//TRANSLIT", "?");
}

std::u16string Utf8ToUtf16(const std::string& utf8) {
    std::string bytes = Convert(utf8.data(), utf8.size(), "UTF-8", "UTF-16LE", std::string("?\0", 2));
    std::u16string wide;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return wide;
}

std::string Utf16ToUtf8(const std::u16string& wide) {
    std::string bytes;
    for (char16_t c : wide) {
        bytes.push_back(static_cast<char>(c & 0xff));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return Convert(bytes.data(), bytes.size(), "UTF-16LE", "UTF-8", "?");
}

bool IsCodePageSupported(const std::string& codePage) {
    iconv_t cd = ::iconv_open("UTF-8", Normalise(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    ::iconv_close(cd);
    return true;
}

}  // namespace platform
