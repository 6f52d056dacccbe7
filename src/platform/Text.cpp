#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace text {

std::string FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) {
        return "";
    }
    if (static_cast<size_t>(n) < sizeof small) {
        return std::string(small, static_cast<size_t>(n));
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<size_t>(n));
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string result = FormatV(format, args);
    va_end(args);
    return result;
}

std::string FormatDynamic(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string result = FormatV(format, args);
    va_end(args);
    return result;
}

std::string Trim(const std::string& s) {
    size_t b = 0;
    while (b < s.size() && std::isspace(static_cast<unsigned char>(s[b]))) {
        ++b;
    }
    size_t e = s.size();
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) {
        --e;
    }
    return s.substr(b, e - b);
}

std::string TrimRight(const std::string& s) {
    size_t e = s.size();
    while (e > 0 && std::isspace(static_cast<unsigned char>(s[e - 1]))) {
        --e;
    }
    return s.substr(0, e);
}

std::string ToUpper(const std::string& s) {
    std::string r = s;
    for (char& c : r) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return r;
}

std::string ToLower(const std::string& s) {
    std::string r = s;
    for (char& c : r) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return r;
}

bool EqualsNoCase(const std::string& a, const std::string& b) { return ToUpper(a) == ToUpper(b); }

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
    if (from.empty()) {
        return s;
    }
    size_t pos = s.find(from);
    if (pos == std::string::npos) {
        return s;
    }
    // Built into a new text: replacing in place moves the tail at every match, which is
    // quadratic in the length of a text full of matches.
    std::string out;
    out.reserve(s.size());
    size_t done = 0;
    for (; pos != std::string::npos; pos = s.find(from, done)) {
        out.append(s, done, pos - done);
        out += to;
        done = pos + from.size();
    }
    out.append(s, done, std::string::npos);
    return out;
}

std::vector<std::string> Split(const std::string& s, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t pos = s.find(separator, start);
        if (pos == std::string::npos) {
            parts.push_back(s.substr(start));
            return parts;
        }
        parts.push_back(s.substr(start, pos - start));
        start = pos + 1;
    }
}

std::vector<std::string> Lines(const std::string& content) {
    std::vector<std::string> lines = Split(content, '\n');
    if (lines.back().empty()) {
        lines.pop_back();  // the end of the last line, or an empty content
    }
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
    }
    return lines;
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string r;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) {
            r += separator;
        }
        r += parts[i];
    }
    return r;
}

bool ListHasItem(const std::string& list, const std::string& item) {
    for (const std::string& part : Split(list, ',')) {
        if (Trim(part) == item) {
            return true;
        }
    }
    return false;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where the number starts: after the blanks that strtol would skip.
size_t SkipBlanks(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) {
        ++i;
    }
    return i;
}

// The leading integer of s, saturated at [low, high].
long long LeadingInteger(const std::string& s, long long low, long long high) {
    size_t i = SkipBlanks(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // Accumulated as a negative number, whose range reaches the lowest value.
    long long value = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i) {
        const int digit = s[i] - '0';
        if (value < (low + digit) / 10) {
            value = low;
            while (i < s.size() && IsDigit(s[i])) {
                ++i;
            }
            break;
        }
        value = value * 10 - digit;
    }
    if (negative) {
        return value;
    }
    return value < -high ? high : -value;
}

}  // namespace

int ToInt(const std::string& s) { return static_cast<int>(LeadingInteger(s, INT_MIN, INT_MAX)); }

long long ToInt64(const std::string& s) { return LeadingInteger(s, LLONG_MIN, LLONG_MAX); }

size_t DecimalPrefix(const std::string& s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t e = i + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) {
            ++e;
        }
        if (e < s.size() && IsDigit(s[e])) {
            while (e < s.size() && IsDigit(s[e])) {
                ++e;
            }
            i = e;
        }
    }
    return i;
}

double ToDouble(const std::string& s) {
    const size_t start = SkipBlanks(s);
    const std::string rest = s.substr(start);
    size_t length = DecimalPrefix(rest);
    if (length == 0) {
        return 0;
    }
    // from_chars reads neither a "+" nor a point without a digit before it ("-.5").
    std::string number = rest.substr(rest[0] == '+' ? 1 : 0, length - (rest[0] == '+' ? 1 : 0));
    const size_t point = number[0] == '-' ? 1 : 0;
    if (number[point] == '.') {
        number.insert(point, "0");
    }
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value)) {
        return 0;
    }
    return value;
}

bool IsDigits(const std::string& s) { return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit); }

}  // namespace text
