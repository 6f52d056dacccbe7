#pragma once

#include <string>

namespace platform {

// Conversions between the site's single-byte code pages, UTF-8 and UTF-16, done with iconv.
// Characters that the target cannot hold become "?".
std::string ToUtf8(const std::string& text, const std::string& codePage);
std::string FromUtf8(const std::string& utf8, const std::string& codePage);
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& wide);
std::u16string CodePageToUtf16(const std::string& text, const std::string& codePage);
std::string Utf16ToCodePage(const std::u16string& wide, const std::string& codePage);

// True when the bytes are well-formed UTF-8 sequences (pure ASCII included); a single-byte code
// page text with letters above 0x7F almost never is.
bool IsUtf8(const std::string& text);
// UTF-8 from a text that mixes UTF-8 (texts of the configuration file) with bytes of the code
// page (texts of the PMS, the operator messages): well-formed UTF-8 sequences stay as they are,
// every other byte is converted from the code page.
std::string MixedToUtf8(const std::string& text, const std::string& codePage);

// Windows-1251 from a UTF-8 literal: the Russian texts of the service are kept in UTF-8 in the
// source and converted once.
std::string Cp1251(const std::string& utf8);

// True when texts of the code page (a number such as "1251" or a name such as "windows-1251")
// can be converted to UTF-8.
bool IsCodePageSupported(const std::string& codePage);

}  // namespace platform
