#include "SqlScript.h"

#include <cmath>

#include "platform/Text.h"
#include "storage/db/OracleFormats.h"

namespace pmsgen {

std::vector<std::string> Statements(const std::string& script) {
    std::vector<std::string> out;
    std::string current;
    for (const std::string& line : text::Split(script, '\n')) {
        std::string trimmed = text::Trim(line);
        if (trimmed.empty() || text::StartsWith(trimmed, "--")) {
            continue;
        }
        current += line + "\n";
        if (!trimmed.empty() && trimmed.back() == ';') {
            out.push_back(current);
            current.clear();
        }
    }
    return out;
}

bool Exec(sqlite3* db, const std::string& sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        error = (message ? message : "SQLite error") + std::string(" in: ") + sql;
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool IsIndex(const std::string& statement) {
    std::string upper = text::ToUpper(text::Trim(statement));
    return text::StartsWith(upper, "CREATE INDEX") || text::StartsWith(upper, "CREATE UNIQUE INDEX");
}

bool ParseDate(const std::string& dateText, platform::LocalTime& date) {
    std::vector<std::string> parts = text::Split(dateText, '.');
    if (parts.size() != 3) {
        return false;
    }
    date = platform::LocalTime();
    date.day = text::ToInt(parts[0]);
    date.month = text::ToInt(parts[1]);
    date.year = text::ToInt(parts[2]);
    return db::oracle::IsValidDate(date);
}

std::string DateText(double day) {
    return db::oracle::FromDayNumber(day).DateText();
}

double RoundCents(double x) {
    return std::round(x * 100) / 100;
}

}  // namespace pmsgen
