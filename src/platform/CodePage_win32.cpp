#include "platform/CodePage.h"

#include <cctype>
#include <vector>

#include "platform/Text.h"
#include "platform/WindowsHeaders.h"

namespace platform {

namespace {

// The number of a code page given by number ("1251") or by name ("windows-1251", "UTF-8",
// "ISO-8859-5", "KOI8-R", "CP866"); 0 for a name this system has no number for.
UINT CodePageNumber(const std::string& codePage) {
    if (codePage.empty()) {
        return 1251;
    }
    const std::string name = text::ToUpper(codePage);
    if (text::IsDigits(name)) {
        return static_cast<UINT>(text::ToInt(name));
    }
    for (const std::string prefix : {"WINDOWS-", "CP", "IBM"}) {
        if (text::StartsWith(name, prefix) && text::IsDigits(name.substr(prefix.size()))) {
            return static_cast<UINT>(text::ToInt(name.substr(prefix.size())));
        }
    }
    if (name == "UTF-8" || name == "UTF8") {
        return CP_UTF8;
    }
    if (text::StartsWith(name, "ISO-8859-") && text::IsDigits(name.substr(9))) {
        return 28590 + static_cast<UINT>(text::ToInt(name.substr(9)));
    }
    if (name == "KOI8-R") {
        return 20866;
    }
    if (name == "KOI8-U") {
        return 21866;
    }
    return 0;
}

// Bytes of a code page to UTF-16; a byte that is no character of it becomes "?".
std::wstring ToWide(const std::string& bytes, UINT codePage) {
    if (bytes.empty()) {
        return L"";
    }
    int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    for (wchar_t& c : wide) {
        if (c == 0xFFFD) {
            c = L'?';
        }
    }
    return wide;
}

// UTF-16 to a code page; a character it cannot hold becomes its nearest letter or "?".
std::string FromWide(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) {
        return "";
    }
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, fallback,
                                  nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), n, fallback,
                          nullptr);
    return bytes;
}

bool Usable(UINT codePage) { return codePage != 0 && ::IsValidCodePage(codePage); }

}  // namespace

std::string ToUtf8(const std::string& text, const std::string& codePage) {
    UINT number = CodePageNumber(codePage);
    return Usable(number) ? FromWide(ToWide(text, number), CP_UTF8) : text;
}

std::string FromUtf8(const std::string& utf8, const std::string& codePage) {
    UINT number = CodePageNumber(codePage);
    return Usable(number) ? FromWide(ToWide(utf8, CP_UTF8), number) : utf8;
}

std::u16string Utf8ToUtf16(const std::string& utf8) {
    std::wstring wide = ToWide(utf8, CP_UTF8);
    return std::u16string(wide.begin(), wide.end());
}

std::string Utf16ToUtf8(const std::u16string& wide) {
    return FromWide(std::wstring(wide.begin(), wide.end()), CP_UTF8);
}

bool IsCodePageSupported(const std::string& codePage) { return Usable(CodePageNumber(codePage)); }

}  // namespace platform
