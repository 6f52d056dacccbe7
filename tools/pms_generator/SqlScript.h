#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/LocalTime.h"

// What the PMS generators share: prepared inserts, schema scripts run statement by statement,
// business dates as texts and day numbers, amounts in cents.
namespace pmsgen {

// A prepared statement whose values are bound in order.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db(db) { sqlite3_prepare_v2(db, sql, -1, &statement, nullptr); }
    ~Statement() { sqlite3_finalize(statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return statement != nullptr; }
    Statement& Int(long long value) {
        sqlite3_bind_int64(statement, next++, value);
        return *this;
    }
    Statement& Real(double value) {
        sqlite3_bind_double(statement, next++, value);
        return *this;
    }
    Statement& Text(const std::string& value) {
        sqlite3_bind_text(statement, next++, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Null() {
        sqlite3_bind_null(statement, next++);
        return *this;
    }
    Statement& Int(const std::optional<int>& value) { return value ? Int(*value) : Null(); }
    Statement& Text(const std::optional<std::string>& value) { return value ? Text(*value) : Null(); }
    // Runs it; false with SQLite's message.
    bool Run(std::string& error) {
        int rc = sqlite3_step(statement);
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        next = 1;
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            error = sqlite3_errmsg(db);
            return false;
        }
        return true;
    }

private:
    sqlite3* db;
    sqlite3_stmt* statement = nullptr;
    int next = 1;
};

// The open date's rows of a kind (transactions, bills, receipts, ...) take the numbers from a
// fixed first one on, the same at every scale; the history counts its own from wherever it starts
// and steps over kTodayNumbers of them, so that however long it grows it never takes one of the
// open date's numbers.
constexpr int kTodayNumbers = 100000;
// The first of count consecutive history numbers (next moves past them).
inline int TakeHistoryNumbers(int& next, int todayFirst, int count = 1) {
    if (next + count > todayFirst && next < todayFirst + kTodayNumbers) {
        next = todayFirst + kTodayNumbers;
    }
    int first = next;
    next += count;
    return first;
}

// Splits a schema script into its statements.
std::vector<std::string> Statements(const std::string& script);
// Runs the statements; a failure names the statement after SQLite's message.
bool Exec(sqlite3* db, const std::string& sql, std::string& error);
bool IsIndex(const std::string& statement);
// A "dd.mm.yyyy" text as a date; false when it is none.
bool ParseDate(const std::string& dateText, platform::LocalTime& date);
// "dd.mm.yyyy" of a day number.
std::string DateText(double day);
double RoundCents(double x);

}  // namespace pmsgen
