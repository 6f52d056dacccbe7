#pragma once

#include <string>

#include "storage/db/Connection.h"
#include "storage/db/StatementCache.h"

namespace db {

// The PMS database of a real hotel, reached through unixODBC (with Oracle's ODBC driver). The
// connection string goes to the driver manager unchanged, and so does every statement. When the
// driver prepares statements and keeps them over a commit, a statement is prepared once and kept,
// by its text, while the connection is open (StatementCache.h); otherwise each run prepares it.
class OdbcConnection : public Connection {
public:
    // Kept prepared statements: each holds a cursor of the database session (Oracle allows 300
    // open cursors a session by default).
    static constexpr size_t kKeptStatements = 32;

    OdbcConnection();
    ~OdbcConnection() override;
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // Read-only: the driver is told so, nothing is committed and the work is rolled back at Close.
    void SetReadOnly() override { readOnly = true; }
    bool Open(const std::string& connectionString) override;
    bool IsOpen() const override { return connected; }
    void Close() override;
    void SetCommandTimeout(int seconds) override { timeoutSeconds = seconds; }
    bool Execute(const std::string& sql) override;
    bool OpenRecordset(const std::string& sql, Recordset& recordset) override;

    // Statements prepared since the connection was made (kept ones are not counted again), and
    // whether this driver's statements are kept.
    size_t PreparedCount() const { return preparedCount; }
    bool KeepsStatements() const { return keepStatements; }

private:
    bool Run(const std::string& sql, Recordset* recordset);
    // A statement handle ready to execute the text: kept, or newly prepared (then kept when the
    // driver allows); direct says it is to be run with SQLExecDirect and freed.
    bool Statement(const std::string& sql, void*& statement, bool& direct);
    bool CanKeepStatements();
    bool ReadRows(void* statement, Recordset& recordset);
    // Adds the diagnostic records of a handle; failed says whether the call they belong to failed.
    void Collect(short handleType, void* handle, bool failed);
    // Replaces the connection string's passwords in the collected messages.
    void HidePasswords(const std::string& connectionString);

    void* environment = nullptr;
    void* connection = nullptr;
    bool connected = false;
    int timeoutSeconds = 360;
    bool keepStatements = false;
    StatementCache<void*> statements;
    size_t preparedCount = 0;
};

}  // namespace db
