#include "storage/db/OracleFormats.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/Text.h"

namespace db::oracle {

namespace {

// Day number of 1 January 1970.
constexpr long long kUnixEpochDay = 2440588;
constexpr double kLastDayNumber = 5373484;  // 31 December 9999

const char* const kMonths[12] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                 "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char* const kDays[7] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

enum class Element {
    Literal,
    Quoted,
    YYYY,
    YYY,
    YY,
    Y,
    RRRR,
    RR,
    MM,
    MON,
    MONTH,
    DD,
    DDD,
    D,
    DY,
    DAY,
    HH24,
    HH12,
    MI,
    SS,
    SSSSS,
    AM,
    AMDots,
    TZH,
    TZM,
    J,
    FM,
    FX
};

enum class Case { Upper, Capital, Lower };

struct MaskItem {
    Element element = Element::Literal;
    std::string literal;
    Case letterCase = Case::Upper;
};

struct Keyword {
    const char* text;
    Element element;
};

// Longest first, so that "MONTH" wins over "MON" and "MM", "DDD" over "DD".
const Keyword kKeywords[] = {
    {"SSSSS", Element::SSSSS}, {"MONTH", Element::MONTH}, {"YYYY", Element::YYYY},
    {"RRRR", Element::RRRR},   {"HH24", Element::HH24},   {"HH12", Element::HH12},
    {"A.M.", Element::AMDots}, {"P.M.", Element::AMDots}, {"YYY", Element::YYY},
    {"MON", Element::MON},     {"DDD", Element::DDD},     {"DAY", Element::DAY},
    {"TZH", Element::TZH},     {"TZM", Element::TZM},     {"YY", Element::YY},
    {"RR", Element::RR},       {"MM", Element::MM},       {"DD", Element::DD},
    {"DY", Element::DY},       {"HH", Element::HH12},     {"MI", Element::MI},
    {"SS", Element::SS},       {"AM", Element::AM},       {"PM", Element::AM},
    {"FM", Element::FM},       {"FX", Element::FX},       {"Y", Element::Y},
    {"D", Element::D},         {"J", Element::J},
};

bool IsLiteralChar(char c) {
    return c == '-' || c == '/' || c == ',' || c == '.' || c == ';' || c == ':' || c == ' ';
}

bool ParseMask(const std::string& mask, std::vector<MaskItem>& items, std::string& error) {
    size_t i = 0;
    while (i < mask.size()) {
        char c = mask[i];
        if (c == '"') {
            size_t end = mask.find('"', i + 1);
            if (end == std::string::npos) {
                error = "date format not recognized: unterminated quoted text";
                return false;
            }
            items.push_back({Element::Quoted, mask.substr(i + 1, end - i - 1), Case::Upper});
            i = end + 1;
            continue;
        }
        if (IsLiteralChar(c)) {
            items.push_back({Element::Literal, std::string(1, c), Case::Upper});
            ++i;
            continue;
        }
        bool found = false;
        for (const Keyword& k : kKeywords) {
            size_t n = std::char_traits<char>::length(k.text);
            if (mask.size() - i >= n && text::EqualsNoCase(mask.substr(i, n), k.text)) {
                MaskItem item{k.element, "", Case::Upper};
                if (std::islower(static_cast<unsigned char>(mask[i]))) {
                    item.letterCase = Case::Lower;
                } else if (n > 1 && std::islower(static_cast<unsigned char>(mask[i + 1]))) {
                    item.letterCase = Case::Capital;
                }
                items.push_back(item);
                i += n;
                found = true;
                break;
            }
        }
        if (!found) {
            error = "date format not recognized: " + mask;
            return false;
        }
    }
    return true;
}

std::string InCase(const std::string& upper, Case letterCase) {
    switch (letterCase) {
        case Case::Upper:
            return upper;
        case Case::Lower:
            return text::ToLower(upper);
        case Case::Capital: {
            std::string s = text::ToLower(upper);
            if (!s.empty()) {
                s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
            }
            return s;
        }
    }
    return upper;
}

std::string Number(long long value, int width, bool fill) {
    if (!fill) {
        return std::to_string(value);
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", width, value);
    return buffer;
}

std::string Padded(const std::string& s, bool fill) {
    return fill && s.size() < 9 ? s + std::string(9 - s.size(), ' ') : s;
}

// Year of a two-digit RR value for the current year: 00-49 and 50-99 go to the century that puts
// the date closest to now.
int RrYear(int twoDigits, int currentYear) {
    int century = currentYear / 100 * 100;
    int current = currentYear % 100;
    if (twoDigits < 50 && current >= 50) {
        return century + 100 + twoDigits;
    }
    if (twoDigits >= 50 && current < 50) {
        return century - 100 + twoDigits;
    }
    return century + twoDigits;
}

bool IsPunctuation(char c) {
    return !std::isalnum(static_cast<unsigned char>(c));
}

bool ReadDigits(const std::string& s, size_t& i, size_t maxDigits, long long& value, size_t& count) {
    while (i < s.size() && s[i] == ' ') {
        ++i;
    }
    size_t start = i;
    value = 0;
    while (i < s.size() && i - start < maxDigits && std::isdigit(static_cast<unsigned char>(s[i]))) {
        value = value * 10 + (s[i] - '0');
        ++i;
    }
    count = i - start;
    return count > 0;
}

// Index of the name that the text starts with, full names tried before their first three letters.
int MatchName(const std::string& s, size_t& i, const char* const* names, int count) {
    for (int full = 1; full >= 0; --full) {
        for (int n = 0; n < count; ++n) {
            std::string name = full ? names[n] : std::string(names[n]).substr(0, 3);
            if (s.size() - i >= name.size() && text::EqualsNoCase(s.substr(i, name.size()), name)) {
                i += name.size();
                return n;
            }
        }
    }
    return -1;
}

}  // namespace

double ToDayNumber(const DateParts& d) {
    long long day =
        DaysFromCivil(d.year, static_cast<unsigned>(d.month), static_cast<unsigned>(d.day)) + kUnixEpochDay;
    return static_cast<double>(day) + (d.hour * 3600 + d.minute * 60 + d.second) / 86400.0;
}

bool IsDayNumber(double value) {
    // 1 January 4712 BC to 31 December 9999, the dates Oracle has.
    return value >= 0 && value < kLastDayNumber + 1;
}

DateParts FromDayNumber(double value) {
    if (!IsDayNumber(value)) {
        return DateParts();  // not a date; the converters refuse such a value before
    }
    double whole = std::floor(value);
    long long day = static_cast<long long>(whole);
    long long seconds = std::llround((value - whole) * 86400.0);
    if (seconds >= 86400) {
        ++day;
        seconds -= 86400;
    }
    DateParts d;
    CivilFromDays(day - kUnixEpochDay, d.year, d.month, d.day);
    d.hour = static_cast<int>(seconds / 3600);
    d.minute = static_cast<int>(seconds / 60 % 60);
    d.second = static_cast<int>(seconds % 60);
    return d;
}

bool IsValidDate(const DateParts& d) {
    return d.year >= -4712 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
           d.day <= DaysInMonth(d.year, d.month) && d.hour >= 0 && d.hour < 24 && d.minute >= 0 &&
           d.minute < 60 && d.second >= 0 && d.second < 60;
}

bool FormatDate(double value, const std::string& mask, std::string& out, std::string& error) {
    std::vector<MaskItem> items;
    if (!ParseMask(mask, items, error)) {
        return false;
    }
    if (!IsDayNumber(value)) {
        error = "date out of range";
        return false;
    }
    DateParts d = FromDayNumber(value);
    long long dayNumber = static_cast<long long>(std::floor(value));
    int weekday = static_cast<int>(((dayNumber + 1) % 7 + 7) % 7);  // 0 = Sunday
    bool fill = true;
    out.clear();
    for (const MaskItem& item : items) {
        switch (item.element) {
            case Element::Literal:
            case Element::Quoted:
                out += item.literal;
                break;
            case Element::YYYY:
            case Element::RRRR:
                out += Number(d.year, 4, fill);
                break;
            case Element::YYY:
                out += Number(d.year % 1000, 3, fill);
                break;
            case Element::YY:
            case Element::RR:
                out += Number(d.year % 100, 2, fill);
                break;
            case Element::Y:
                out += Number(d.year % 10, 1, fill);
                break;
            case Element::MM:
                out += Number(d.month, 2, fill);
                break;
            case Element::MON:
                out += InCase(std::string(kMonths[d.month - 1]).substr(0, 3), item.letterCase);
                break;
            case Element::MONTH:
                out += Padded(InCase(kMonths[d.month - 1], item.letterCase), fill);
                break;
            case Element::DD:
                out += Number(d.day, 2, fill);
                break;
            case Element::DDD: {
                DateParts first;
                first.year = d.year;
                out += Number(dayNumber - static_cast<long long>(ToDayNumber(first)) + 1, 3, fill);
                break;
            }
            case Element::D:
                out += std::to_string(weekday + 1);
                break;
            case Element::DY:
                out += InCase(std::string(kDays[weekday]).substr(0, 3), item.letterCase);
                break;
            case Element::DAY:
                out += Padded(InCase(kDays[weekday], item.letterCase), fill);
                break;
            case Element::HH24:
                out += Number(d.hour, 2, fill);
                break;
            case Element::HH12:
                out += Number(d.hour % 12 == 0 ? 12 : d.hour % 12, 2, fill);
                break;
            case Element::MI:
                out += Number(d.minute, 2, fill);
                break;
            case Element::SS:
                out += Number(d.second, 2, fill);
                break;
            case Element::SSSSS:
                out += Number(d.hour * 3600 + d.minute * 60 + d.second, 5, fill);
                break;
            case Element::AM:
                out += InCase(d.hour < 12 ? "AM" : "PM", item.letterCase);
                break;
            case Element::AMDots:
                out += InCase(d.hour < 12 ? "A.M." : "P.M.", item.letterCase);
                break;
            case Element::TZH:
            case Element::TZM: {
                // The database's time zone is the local zone of the machine at that moment.
                long offset = platform::UtcOffsetSeconds(d.ToEpoch());
                long magnitude = std::labs(offset);
                if (item.element == Element::TZH) {
                    out += offset < 0 ? "-" : "+";
                    out += Number(magnitude / 3600, 2, true);
                } else {
                    out += Number(magnitude / 60 % 60, 2, true);
                }
                break;
            }
            case Element::J:
                out += std::to_string(dayNumber);
                break;
            case Element::FM:
                fill = !fill;
                break;
            case Element::FX:
                break;
        }
    }
    return true;
}

bool ParseDate(const std::string& input, const std::string& mask, const DateParts& today, double& value,
               std::string& error) {
    std::vector<MaskItem> items;
    if (!ParseMask(mask, items, error)) {
        return false;
    }
    DateParts d;
    d.year = today.year;
    d.month = today.month;
    bool pm = false;
    bool meridian = false;
    long long julian = -1;
    size_t i = 0;
    for (const MaskItem& item : items) {
        if (i >= input.size()) {
            break;
        }
        long long n = 0;
        size_t count = 0;
        auto digits = [&](size_t maxDigits) {
            if (!ReadDigits(input, i, maxDigits, n, count)) {
                error = "a non-numeric character was found where a numeric was expected: " + input;
                return false;
            }
            return true;
        };
        switch (item.element) {
            case Element::Literal:
                // Any run of punctuation stands for any separator of the mask.
                while (i < input.size() && IsPunctuation(input[i])) {
                    ++i;
                }
                break;
            case Element::Quoted:
                if (input.size() - i < item.literal.size() ||
                    !text::EqualsNoCase(input.substr(i, item.literal.size()), item.literal)) {
                    error = "literal does not match format string: " + input;
                    return false;
                }
                i += item.literal.size();
                break;
            case Element::YYYY:
            case Element::RRRR:
            case Element::RR:
                if (!digits(4)) {
                    return false;
                }
                d.year = static_cast<int>(count <= 2 && item.element != Element::YYYY
                                              ? RrYear(static_cast<int>(n), today.year)
                                              : n);
                break;
            case Element::YYY:
                if (!digits(3)) {
                    return false;
                }
                d.year = today.year / 1000 * 1000 + static_cast<int>(n);
                break;
            case Element::YY:
                if (!digits(2)) {
                    return false;
                }
                d.year = today.year / 100 * 100 + static_cast<int>(n);
                break;
            case Element::Y:
                if (!digits(1)) {
                    return false;
                }
                d.year = today.year / 10 * 10 + static_cast<int>(n);
                break;
            case Element::MM:
                if (!digits(2)) {
                    return false;
                }
                d.month = static_cast<int>(n);
                break;
            case Element::MON:
            case Element::MONTH: {
                int m = MatchName(input, i, kMonths, 12);
                if (m < 0) {
                    error = "not a valid month: " + input;
                    return false;
                }
                d.month = m + 1;
                break;
            }
            case Element::DD:
                if (!digits(2)) {
                    return false;
                }
                d.day = static_cast<int>(n);
                break;
            case Element::DDD:
            case Element::D:
                if (!digits(item.element == Element::D ? 1 : 3)) {
                    return false;
                }
                break;
            case Element::DY:
            case Element::DAY:
                if (MatchName(input, i, kDays, 7) < 0) {
                    error = "not a valid day of the week: " + input;
                    return false;
                }
                break;
            case Element::HH24:
            case Element::HH12:
                if (!digits(2)) {
                    return false;
                }
                d.hour = static_cast<int>(n);
                if (item.element == Element::HH12) {
                    meridian = true;
                    if (d.hour < 1 || d.hour > 12) {
                        error = "hour must be between 1 and 12: " + input;
                        return false;
                    }
                }
                break;
            case Element::MI:
                if (!digits(2)) {
                    return false;
                }
                d.minute = static_cast<int>(n);
                break;
            case Element::SS:
                if (!digits(2)) {
                    return false;
                }
                d.second = static_cast<int>(n);
                break;
            case Element::SSSSS:
                if (!digits(5) || n >= 86400) {
                    error = "seconds in day must be between 0 and 86399: " + input;
                    return false;
                }
                d.hour = static_cast<int>(n / 3600);
                d.minute = static_cast<int>(n / 60 % 60);
                d.second = static_cast<int>(n % 60);
                break;
            case Element::AM:
            case Element::AMDots: {
                std::string rest = text::ToUpper(input.substr(i, 4));
                if (text::StartsWith(rest, "A.M.") || text::StartsWith(rest, "P.M.")) {
                    pm = rest[0] == 'P';
                    i += 4;
                } else if (text::StartsWith(rest, "AM") || text::StartsWith(rest, "PM")) {
                    pm = rest[0] == 'P';
                    i += 2;
                } else {
                    error = "AM/A.M. or PM/P.M. required: " + input;
                    return false;
                }
                meridian = true;
                break;
            }
            case Element::TZH:
                if (i < input.size() && (input[i] == '+' || input[i] == '-')) {
                    ++i;
                }
                if (!digits(2)) {
                    return false;
                }
                break;
            case Element::TZM:
                if (!digits(2)) {
                    return false;
                }
                break;
            case Element::J:
                if (!digits(7)) {
                    return false;
                }
                julian = n;
                break;
            case Element::FM:
            case Element::FX:
                break;
        }
    }
    while (i < input.size() && input[i] == ' ') {
        ++i;
    }
    if (i < input.size()) {
        error = "date format picture ends before converting entire input string: " + input;
        return false;
    }
    if (meridian) {
        d.hour = d.hour % 12 + (pm ? 12 : 0);
    }
    if (julian >= 0) {
        DateParts day = FromDayNumber(static_cast<double>(julian));
        d.year = day.year;
        d.month = day.month;
        d.day = day.day;
    }
    if (!IsValidDate(d)) {
        error = "not a valid date: " + input;
        return false;
    }
    value = ToDayNumber(d);
    return true;
}

bool ParseDefaultDate(const std::string& input, double& value) {
    std::string s = text::Trim(input);
    if (s.size() < 10 || s[4] != '-' || s[7] != '-') {
        return false;
    }
    if (s.size() > 10) {
        if (s[10] != ' ' && s[10] != 'T') {
            return false;
        }
        s[10] = ' ';
    }
    static const char* const masks[] = {"YYYY-MM-DD", "YYYY-MM-DD HH24:MI", "YYYY-MM-DD HH24:MI:SS"};
    const char* mask = s.size() <= 10 ? masks[0] : s.size() <= 16 ? masks[1] : masks[2];
    std::string error;
    return ParseDate(s, mask, DateParts(), value, error);
}

bool TruncDate(double value, const std::string& unit, double& out, std::string& error) {
    std::string u = text::ToUpper(text::Trim(unit));
    if (!IsDayNumber(value)) {
        error = "date out of range";
        return false;
    }
    DateParts d = FromDayNumber(value);
    if (u == "DD" || u == "DDD" || u == "J") {
        d.hour = d.minute = d.second = 0;
    } else if (u == "MM" || u == "MON" || u == "MONTH" || u == "RM") {
        d.day = 1;
        d.hour = d.minute = d.second = 0;
    } else if (u == "YYYY" || u == "YEAR" || u == "YYY" || u == "YY" || u == "Y" || u == "RR" ||
               u == "RRRR" || u == "SYYYY") {
        d.month = d.day = 1;
        d.hour = d.minute = d.second = 0;
    } else if (u == "HH" || u == "HH12" || u == "HH24") {
        d.minute = d.second = 0;
    } else if (u == "MI") {
        d.second = 0;
    } else {
        error = "bad precision specifier: " + unit;
        return false;
    }
    out = ToDayNumber(d);
    return true;
}

std::string NumberText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e18) {
        return std::to_string(static_cast<long long>(value));
    }
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string s(buffer, result.ptr);
    if (text::StartsWith(s, "0.")) {
        s.erase(0, 1);
    } else if (text::StartsWith(s, "-0.")) {
        s.erase(1, 1);
    }
    return s;
}

bool IsNumberMask(const std::string& mask) {
    return mask.find_first_of("09") != std::string::npos;
}

bool FormatNumber(double value, const std::string& mask, std::string& out, std::string& error) {
    std::string m = text::ToUpper(mask);
    bool fm = false;
    bool leadingSign = false;
    bool trailingSign = false;
    bool trailingMinus = false;
    bool dollar = false;
    if (text::StartsWith(m, "FM")) {
        fm = true;
        m.erase(0, 2);
    }
    if (text::StartsWith(m, "S")) {
        leadingSign = true;
        m.erase(0, 1);
    }
    if (text::EndsWith(m, "MI")) {
        trailingMinus = true;
        m.erase(m.size() - 2);
    } else if (text::EndsWith(m, "S")) {
        trailingSign = true;
        m.erase(m.size() - 1);
    }
    if (text::StartsWith(m, "$")) {
        dollar = true;
        m.erase(0, 1);
    }
    // What is left: digits with group separators, at most one decimal point.
    std::string integerMask;
    std::string decimalMask;
    bool inDecimals = false;
    for (char c : m) {
        if (c == '9' || c == '0' || c == ',' || c == 'G') {
            (inDecimals ? decimalMask : integerMask) += c == 'G' ? ',' : c;
        } else if ((c == '.' || c == 'D') && !inDecimals) {
            inDecimals = true;
        } else {
            error = "invalid number format model: " + mask;
            return false;
        }
    }
    // A mask needs a digit position, and group separators belong before the point.
    if (decimalMask.find(',') != std::string::npos || (integerMask.empty() && !inDecimals)) {
        error = "invalid number format model: " + mask;
        return false;
    }
    if (!std::isfinite(value)) {
        error = "not a finite number";
        return false;
    }
    size_t decimals = decimalMask.size();
    size_t integerDigits = 0;
    for (char c : integerMask) {
        integerDigits += c != ',';
    }
    bool negative = value < 0;
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(decimals), std::fabs(value));
    std::string digits(buffer);
    // snprintf may use the locale's decimal point; the digits are split on any non-digit.
    size_t point = digits.find_first_not_of("0123456789");
    std::string whole = digits.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : digits.substr(point + 1);
    if (whole == "0") {
        whole.clear();
    }
    size_t width = integerMask.size() + (inDecimals ? 1 + decimals : 0) + 1 + (dollar ? 1 : 0);
    if (whole.size() > integerDigits) {
        out = std::string(width, '#');
        return true;
    }
    // Fill the integer part from the right; a 0 in the mask forces the digits from there on.
    std::string integerText;
    size_t digitIndex = 0;
    size_t forcedFrom = integerMask.find('0');
    for (size_t k = integerMask.size(); k-- > 0;) {
        char c = integerMask[k];
        bool haveDigit = digitIndex < whole.size();
        bool forced = forcedFrom != std::string::npos && k >= forcedFrom;
        if (c == ',') {
            bool anyLeft = digitIndex < whole.size() || (forced && k > forcedFrom);
            integerText.insert(0, 1, anyLeft || forced ? ',' : ' ');
            continue;
        }
        if (haveDigit) {
            integerText.insert(0, 1, whole[whole.size() - 1 - digitIndex]);
            ++digitIndex;
        } else if (forced) {
            integerText.insert(0, 1, '0');
        } else {
            integerText.insert(0, 1, ' ');
        }
    }
    if (!inDecimals && text::Trim(integerText).empty()) {
        integerText.back() = '0';
    }
    std::string body = integerText;
    if (dollar) {
        size_t first = body.find_first_not_of(' ');
        body.insert(first == std::string::npos ? body.size() : first, "$");
    }
    if (inDecimals) {
        body += "." + fraction;
    }
    std::string sign;
    if (leadingSign) {
        sign = negative ? "-" : "+";
    } else if (!trailingSign && !trailingMinus) {
        sign = negative ? "-" : " ";
    }
    size_t first = body.find_first_not_of(' ');
    body.insert(first == std::string::npos ? body.size() : first, sign);
    if (trailingSign) {
        body += negative ? "-" : "+";
    } else if (trailingMinus) {
        body += negative ? "-" : " ";
    }
    out = fm ? text::Trim(body) : body;
    return true;
}

}  // namespace db::oracle
