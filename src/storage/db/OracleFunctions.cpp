#include "storage/db/OracleFunctions.h"

#include <sqlite3.h>

#include <cmath>
#include <string>

#include "platform/Clock.h"
#include "storage/db/OracleFormats.h"
#include "storage/db/Recordset.h"

namespace db {

namespace {

using oracle::DateParts;

bool IsNull(sqlite3_value* v) {
    int type = sqlite3_value_type(v);
    return type == SQLITE_NULL || (type == SQLITE_TEXT && sqlite3_value_bytes(v) == 0);
}

std::string TextOf(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(v)))
             : "";
}

bool IsNumeric(sqlite3_value* v) {
    int type = sqlite3_value_type(v);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

DateParts Today() {
    return platform::Clock::Current().Now();
}

void Error(sqlite3_context* ctx, const std::string& message) {
    sqlite3_result_error(ctx, message.c_str(), -1);
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
    if (s.empty()) {
        sqlite3_result_null(ctx);
    } else {
        sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
}

// A date argument: a day number, or a text in the stand-in's default date format.
bool DateOf(sqlite3_context* ctx, sqlite3_value* v, double& value) {
    if (IsNumeric(v)) {
        value = sqlite3_value_double(v);
        return true;
    }
    std::string s = TextOf(v);
    if (Recordset::ParseDouble(s, value) || oracle::ParseDefaultDate(s, value)) {
        return true;
    }
    Error(ctx, "not a date: " + s);
    return false;
}

// A number argument as Oracle converts it: numbers stay, texts must read as numbers.
bool NumberOf(sqlite3_context* ctx, sqlite3_value* v, double& value) {
    if (IsNumeric(v)) {
        value = sqlite3_value_double(v);
        return true;
    }
    std::string s = TextOf(v);
    if (Recordset::ParseDouble(s, value)) {
        return true;
    }
    Error(ctx, "invalid number: " + s);
    return false;
}

void ResultNumber(sqlite3_context* ctx, double value) {
    if (value == std::trunc(value) && std::fabs(value) < 9e15) {
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(value));
    } else {
        sqlite3_result_double(ctx, value);
    }
}

// Oracle compares a value with others in the type of the first: numbers as numbers, texts as
// texts.
int Compare(sqlite3_value* a, sqlite3_value* b) {
    if (IsNumeric(a)) {
        double x = sqlite3_value_double(a);
        double y = 0;
        if (!IsNumeric(b) && !Recordset::ParseDouble(TextOf(b), y)) {
            return TextOf(a).compare(TextOf(b));
        }
        y = IsNumeric(b) ? sqlite3_value_double(b) : y;
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return TextOf(a).compare(TextOf(b));
}

void Nvl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, IsNull(argv[0]) ? argv[1] : argv[0]);
}

void Nvl2(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, IsNull(argv[0]) ? argv[2] : argv[1]);
}

void Decode(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 3) {
        Error(ctx, "not enough arguments for function decode");
        return;
    }
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        bool match = IsNull(argv[0]) ? IsNull(argv[i]) : !IsNull(argv[i]) && Compare(argv[0], argv[i]) == 0;
        if (match) {
            sqlite3_result_value(ctx, argv[i + 1]);
            return;
        }
    }
    if (i < argc) {
        sqlite3_result_value(ctx, argv[i]);
    } else {
        sqlite3_result_null(ctx);
    }
}

void ToChar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    if (argc == 1 || IsNull(argv[1])) {
        if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
            sqlite3_result_value(ctx, argv[0]);
        } else {
            ResultText(ctx, oracle::NumberText(sqlite3_value_double(argv[0])));
        }
        return;
    }
    std::string mask = TextOf(argv[1]);
    std::string out;
    std::string error;
    if (oracle::IsNumberMask(mask)) {
        double value = 0;
        if (!NumberOf(ctx, argv[0], value)) {
            return;
        }
        if (!oracle::FormatNumber(value, mask, out, error)) {
            Error(ctx, error);
            return;
        }
    } else {
        double value = 0;
        if (!DateOf(ctx, argv[0], value)) {
            return;
        }
        if (!oracle::FormatDate(value, mask, out, error)) {
            Error(ctx, error);
            return;
        }
    }
    ResultText(ctx, out);
}

void ToDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string mask = argc > 1 && !IsNull(argv[1]) ? TextOf(argv[1]) : "";
    double value = 0;
    std::string error;
    if (IsNumeric(argv[0])) {
        value = sqlite3_value_double(argv[0]);
    } else {
        std::string s = TextOf(argv[0]);
        if (mask.empty()) {
            if (!oracle::ParseDefaultDate(s, value)) {
                Error(ctx, "not a date in the default format YYYY-MM-DD HH24:MI:SS: " + s);
                return;
            }
        } else if (oracle::ParseDate(s, mask, Today(), value, error)) {
            sqlite3_result_double(ctx, value);
            return;
        } else if (!oracle::ParseDefaultDate(s, value)) {
            // A date stored as text in the default format reads as the date it is.
            Error(ctx, error);
            return;
        }
    }
    if (!mask.empty()) {
        // A date given to to_date is written with the mask and read back, as Oracle converts
        // it: 'dd.mm.rrrr' keeps the day and drops the time.
        std::string text;
        if (!oracle::FormatDate(value, mask, text, error) ||
            !oracle::ParseDate(text, mask, Today(), value, error)) {
            Error(ctx, error);
            return;
        }
    }
    sqlite3_result_double(ctx, value);
}

void ToNumber(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    double value = 0;
    if (NumberOf(ctx, argv[0], value)) {
        ResultNumber(ctx, value);
    }
}

void Trunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    if (argc > 1 && !IsNull(argv[1]) && !IsNumeric(argv[1])) {
        double date = 0;
        double out = 0;
        std::string error;
        if (!DateOf(ctx, argv[0], date)) {
            return;
        }
        if (!oracle::TruncDate(date, TextOf(argv[1]), out, error)) {
            Error(ctx, error);
            return;
        }
        sqlite3_result_double(ctx, out);
        return;
    }
    double value = 0;
    if (!NumberOf(ctx, argv[0], value)) {
        return;
    }
    int places = argc > 1 && !IsNull(argv[1]) ? sqlite3_value_int(argv[1]) : 0;
    double scale = std::pow(10.0, places);
    double out = std::trunc(value * scale) / scale;
    if (places <= 0) {
        ResultNumber(ctx, out);
    } else {
        sqlite3_result_double(ctx, out);
    }
}

void Extreme(sqlite3_context* ctx, int argc, sqlite3_value** argv, int sign) {
    if (argc < 1) {
        Error(ctx, "not enough arguments");
        return;
    }
    sqlite3_value* best = argv[0];
    for (int i = 0; i < argc; ++i) {
        if (IsNull(argv[i])) {
            sqlite3_result_null(ctx);
            return;
        }
        if (Compare(argv[i], best) * sign > 0) {
            best = argv[i];
        }
    }
    sqlite3_result_value(ctx, best);
}

void Least(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    Extreme(ctx, argc, argv, -1);
}
void Greatest(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    Extreme(ctx, argc, argv, 1);
}

void Sign(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    double value = 0;
    if (NumberOf(ctx, argv[0], value)) {
        sqlite3_result_int(ctx, value > 0 ? 1 : value < 0 ? -1 : 0);
    }
}

double Now() {
    platform::LocalTime now = platform::Clock::Current().Now();
    return oracle::ToDayNumber(now) + now.millisecond / 86400000.0;
}

void SysDate(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_double(ctx, std::floor(Now() * 86400.0 + 0.5) / 86400.0);
}
void SysTimestamp(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_double(ctx, Now());
}

void Concat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string out;
    for (int i = 0; i < argc; ++i) {
        if (IsNull(argv[i])) {
            continue;
        }
        if (sqlite3_value_type(argv[i]) == SQLITE_FLOAT) {
            out += oracle::NumberText(sqlite3_value_double(argv[i]));
        } else {
            out += TextOf(argv[i]);
        }
    }
    ResultText(ctx, out);
}

struct Function {
    const char* name;
    int arguments;
    void (*call)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

}  // namespace

bool RegisterOracleFunctions(sqlite3* db) {
    static const Function functions[] = {
        {"nvl", 2, Nvl, true},
        {"nvl2", 3, Nvl2, true},
        {"decode", -1, Decode, true},
        {"to_char", 1, ToChar, true},
        {"to_char", 2, ToChar, true},
        {"to_char", 3, ToChar, true},
        {"to_date", 1, ToDate, false},
        {"to_date", 2, ToDate, false},
        {"to_date", 3, ToDate, false},
        {"to_number", 1, ToNumber, true},
        {"to_number", 2, ToNumber, true},
        {"to_number", 3, ToNumber, true},
        {"trunc", 1, Trunc, true},
        {"trunc", 2, Trunc, true},
        {"least", -1, Least, true},
        {"greatest", -1, Greatest, true},
        {"sign", 1, Sign, true},
        {"sysdate", 0, SysDate, false},
        {"systimestamp", 0, SysTimestamp, false},
        {"oracle_concat", -1, Concat, true},
    };
    for (const Function& f : functions) {
        int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
        if (sqlite3_create_function_v2(db, f.name, f.arguments, flags, nullptr, f.call, nullptr, nullptr,
                                       nullptr) != SQLITE_OK) {
            return false;
        }
    }
    return true;
}

}  // namespace db
