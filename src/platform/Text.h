#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#include "platform/PrintfFormat.h"

// Small text helpers shared by every component. Formatting is printf-style with the format always
// a literal of the program; texts from outside go in as %s arguments only.
namespace text {

std::string Format(const char* format, ...) FISCORA_PRINTF(1, 2);
std::string FormatV(const char* format, va_list args);
// For the few formats that are built at run time from literals (the check text templates).
std::string FormatDynamic(const char* format, ...);

std::string Trim(const std::string& s);
std::string TrimRight(const std::string& s);
std::string ToUpper(const std::string& s);
std::string ToLower(const std::string& s);
bool EqualsNoCase(const std::string& a, const std::string& b);
bool StartsWith(const std::string& s, const std::string& prefix);
bool EndsWith(const std::string& s, const std::string& suffix);
std::string ReplaceAll(std::string s, const std::string& from, const std::string& to);
std::vector<std::string> Split(const std::string& s, char separator);
// The lines of a text file's content as a line reader gives them: cut at "\n", a "\r" before it
// dropped, no empty line after a last line end.
std::vector<std::string> Lines(const std::string& content);
std::string Join(const std::vector<std::string>& parts, const std::string& separator);
// True when one item of a comma list, blanks around it trimmed, is exactly item: "1" is in
// "11, 1" but not in "21,5".
bool ListHasItem(const std::string& list, const std::string& item);

// Numbers from outside text, the same in every locale. Leading blanks are skipped and the
// longest decimal prefix is read ("12abc" is 12, "abc" is 0). Integers saturate at their type's
// limits instead of wrapping. A double is plain decimal only: "nan", "inf" and "0x10" read as 0
// (the last as the "0" before the "x"), and a value beyond the range of a double reads as 0, so
// no NaN or infinity ever comes out.
int ToInt(const std::string& s);
long long ToInt64(const std::string& s);
double ToDouble(const std::string& s);
// The length of the plain decimal number at the start of s ("-12.5e3"), 0 when there is none:
// an optional sign, digits with at most one point (at least one digit), and an exponent only
// when digits follow its "e".
size_t DecimalPrefix(const std::string& s);
// True when s is not empty and every character is a digit 0-9.
bool IsDigits(const std::string& s);

}  // namespace text
