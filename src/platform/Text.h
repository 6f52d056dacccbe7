#pragma once

#include <cstdarg>
#include <string>
#include <vector>

// Small text helpers shared by every component. Formatting is printf-style with the format always
// a literal of the program; texts from outside go in as %s arguments only.
namespace text {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
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
std::string Join(const std::vector<std::string>& parts, const std::string& separator);
// True when one item of a comma list, blanks around it trimmed, is exactly item: "1" is in
// "11, 1" but not in "21,5".
bool ListHasItem(const std::string& list, const std::string& item);

// atoi / atof semantics: leading blanks skipped, the longest number prefix read, 0 otherwise.
int ToInt(const std::string& s);
long long ToInt64(const std::string& s);
double ToDouble(const std::string& s);

}  // namespace text
