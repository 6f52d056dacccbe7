#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/db/Recordset.h"

namespace db {

// One message of the database client. Number 0 is information (a warning on a successful call);
// every other number is an error.
struct ProviderError {
    long number = 0;
    std::string description;
};

// The connection to the PMS database as the storage needs it. Every operation replaces the list
// of provider messages with its own; a false result always leaves at least one error there.
class Connection {
public:
    virtual ~Connection() = default;

    // A "sqlite:" connection string opens the embedded stand-in (see CreateConnection).
    static bool IsSqlite(const std::string& connectionString);

    // The schema the PMS tables are named with (//fidelio_ini/fidelio_schema), told before Open;
    // the stand-in keeps them in its database file unless its connection string attaches one.
    virtual void SetPmsSchema(const std::string& schema) { (void)schema; }
    // Told before Open: every statement that would change the database fails, and nothing this
    // connection did is ever committed.
    virtual void SetReadOnly() = 0;
    virtual bool Open(const std::string& connectionString) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
    // Limit for one statement, in seconds: how long it waits for a lock or for the server.
    virtual void SetCommandTimeout(int seconds) = 0;
    // Runs one statement; rows it may return are dropped.
    virtual bool Execute(const std::string& sql) = 0;
    // Runs one query and reads all its rows into the record set.
    virtual bool OpenRecordset(const std::string& sql, Recordset& recordset) = 0;

    const std::vector<ProviderError>& Errors() const { return errors; }
    // The last statement failed because the database did not answer: it waited out the statement
    // time-out (a lock held elsewhere, a server that is busy or gone) or the connection broke. An
    // error reply (a constraint, a missing grant) is an answer, a refusal.
    bool NotAnswered() const { return notAnswered; }
    // The rows the last statement given to Execute changed.
    int64_t ChangedRows() const { return changedRows; }

protected:
    // A read-only connection refuses every statement given to Execute, before the database sees it.
    bool RefusedAsReadOnly();
    void ClearErrors() {
        errors.clear();
        notAnswered = false;
        changedRows = 0;
    }
    void AddError(long number, const std::string& description) { errors.push_back({number, description}); }

    std::vector<ProviderError> errors;
    bool notAnswered = false;
    int64_t changedRows = 0;
    bool readOnly = false;
};

}  // namespace db
