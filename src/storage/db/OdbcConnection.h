#pragma once

#include <string>

#include "storage/db/Connection.h"

namespace db {

// The PMS database of a real hotel, reached through unixODBC (with Oracle's ODBC driver). The
// connection string goes to the driver manager unchanged, and so does every statement.
class OdbcConnection : public Connection {
public:
    OdbcConnection() = default;
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

private:
    bool Run(const std::string& sql, Recordset* recordset);
    bool ReadRows(void* statement, Recordset& recordset);
    // Adds the diagnostic records of a handle; failed says whether the call they belong to failed.
    void Collect(short handleType, void* handle, bool failed);
    // Replaces the connection string's passwords in the collected messages.
    void HidePasswords(const std::string& connectionString);

    void* environment = nullptr;
    void* connection = nullptr;
    bool connected = false;
    int timeoutSeconds = 360;
};

}  // namespace db
