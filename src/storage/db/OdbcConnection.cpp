#include "storage/db/OdbcConnection.h"

#include <vector>

#include "platform/Odbc.h"
#include "storage/db/ConnectionString.h"

namespace db {

namespace {

bool Succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

enum class Fetch { Integer, Double, Text };

// Numbers are fetched as binary values, which no locale of the client changes (an Oracle
// client with a Russian NLS_LANG writes decimals with ","). A decimal without scale and with at
// most 18 digits is exact as a 64-bit integer; every other one is read as a double, as the
// record bindings read them.
Fetch FetchKind(SQLSMALLINT type, SQLULEN precision, SQLSMALLINT scale) {
    switch (type) {
        case SQL_INTEGER:
        case SQL_SMALLINT:
        case SQL_TINYINT:
        case SQL_BIGINT:
        case SQL_BIT:
            return Fetch::Integer;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return Fetch::Double;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            return scale == 0 && precision > 0 && precision <= 18 ? Fetch::Integer : Fetch::Double;
        default:
            return Fetch::Text;
    }
}

}  // namespace

OdbcConnection::OdbcConnection()
    : statements(kKeptStatements, [](void* stmt) { SQLFreeHandle(SQL_HANDLE_STMT, stmt); }) {}

OdbcConnection::~OdbcConnection() {
    Close();
}

void OdbcConnection::Collect(short handleType, void* handle, bool failed) {
    bool any = false;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLCHAR> message(1024);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &native, message.data(),
                                     static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && static_cast<size_t>(length) >= message.size()) {
            message.resize(static_cast<size_t>(length) + 1);
            rc = SQLGetDiagRec(handleType, handle, record, state, &native, message.data(),
                               static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!Succeeded(rc)) {
            break;
        }
        any = true;
        std::string code(reinterpret_cast<char*>(state));
        std::string text = "[" + code + "] " + std::string(reinterpret_cast<char*>(message.data()));
        // HYT00/HYT01: the time-out passed; 08xxx: the connection failed or broke.
        notAnswered = notAnswered || (failed && (code.rfind("HYT", 0) == 0 || code.rfind("08", 0) == 0));
        AddError(failed ? (native != 0 ? native : -1) : 0, text);
    }
    if (failed && !any) {
        AddError(-1, "the ODBC call failed without a diagnostic record");
    }
}

bool OdbcConnection::Open(const std::string& connectionString) {
    Close();
    ClearErrors();
    SQLHENV env = SQL_NULL_HENV;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        AddError(-1, "cannot allocate an ODBC environment");
        return false;
    }
    environment = env;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        Collect(SQL_HANDLE_ENV, env, true);
        Close();
        return false;
    }
    connection = dbc;
    if (readOnly) {
        SQLSetConnectAttr(dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
    }
    std::vector<SQLCHAR> text(connectionString.begin(), connectionString.end());
    text.push_back(0);
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    SQLRETURN rc = SQLDriverConnect(dbc, nullptr, text.data(), SQL_NTS, out, sizeof out, &outLength,
                                    SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) {
        Collect(SQL_HANDLE_DBC, dbc, true);
        HidePasswords(connectionString);
        Close();
        return false;
    }
    if (rc == SQL_SUCCESS_WITH_INFO) {
        Collect(SQL_HANDLE_DBC, dbc, false);
        HidePasswords(connectionString);
    }
    if (readOnly && !Succeeded(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                                                 reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0))) {
        // Without a transaction to roll back, read-only could not be promised.
        Collect(SQL_HANDLE_DBC, dbc, true);
        SQLDisconnect(dbc);
        Close();
        return false;
    }
    connected = true;
    keepStatements = CanKeepStatements();
    return true;
}

bool OdbcConnection::CanKeepStatements() {
    SQLUSMALLINT prepares = SQL_FALSE;
    if (!Succeeded(SQLGetFunctions(connection, SQL_API_SQLPREPARE, &prepares)) || prepares != SQL_TRUE) {
        return false;
    }
    // A driver that deletes prepared statements at a commit (each statement commits) cannot keep
    // them.
    SQLUSMALLINT atCommit = SQL_CB_DELETE;
    if (!Succeeded(SQLGetInfo(connection, SQL_CURSOR_COMMIT_BEHAVIOR, &atCommit, sizeof atCommit, nullptr))) {
        return false;
    }
    return atCommit != SQL_CB_DELETE;
}

void OdbcConnection::HidePasswords(const std::string& connectionString) {
    // A driver may repeat the connection string, or the password, in its messages.
    for (ProviderError& error : errors) {
        error.description = ConnectionString::HidePasswords(error.description, connectionString);
    }
}

void OdbcConnection::Close() {
    statements.Clear();
    preparedCount = 0;
    keepStatements = false;
    if (connected) {
        if (readOnly) {
            SQLEndTran(SQL_HANDLE_DBC, connection, SQL_ROLLBACK);
        }
        SQLDisconnect(connection);
        connected = false;
    }
    if (connection) {
        SQLFreeHandle(SQL_HANDLE_DBC, connection);
        connection = nullptr;
    }
    if (environment) {
        SQLFreeHandle(SQL_HANDLE_ENV, environment);
        environment = nullptr;
    }
}

bool OdbcConnection::Execute(const std::string& sql) {
    ClearErrors();
    if (RefusedAsReadOnly()) {
        return false;
    }
    return Run(sql, nullptr);
}

bool OdbcConnection::OpenRecordset(const std::string& sql, Recordset& recordset) {
    ClearErrors();
    recordset.Reset({});
    return Run(sql, &recordset);
}

bool OdbcConnection::Run(const std::string& sql, Recordset* recordset) {
    if (!connected) {
        AddError(-1, "not connected");
        return false;
    }
    void* handle = nullptr;
    bool direct = true;
    if (!Statement(sql, handle, direct)) {
        return false;
    }
    SQLHSTMT stmt = handle;
    SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
    SQLRETURN rc = SQL_ERROR;
    if (direct) {
        std::vector<SQLCHAR> text(sql.begin(), sql.end());
        text.push_back(0);
        rc = SQLExecDirect(stmt, text.data(), SQL_NTS);
    } else {
        rc = SQLExecute(stmt);
    }
    bool ok = Succeeded(rc) || rc == SQL_NO_DATA;
    if (!ok) {
        Collect(SQL_HANDLE_STMT, stmt, true);
    } else {
        if (rc == SQL_SUCCESS_WITH_INFO) {
            Collect(SQL_HANDLE_STMT, stmt, false);
        }
        if (recordset) {
            ok = ReadRows(stmt, *recordset);
        } else {
            SQLLEN count = 0;
            changedRows = Succeeded(SQLRowCount(stmt, &count)) && count > 0 ? count : 0;
        }
    }
    if (direct) {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    } else {
        // Closes the cursor; the prepared statement stays for its next run.
        SQLFreeStmt(stmt, SQL_CLOSE);
    }
    return ok;
}

bool OdbcConnection::Statement(const std::string& sql, void*& statement, bool& direct) {
    if (keepStatements) {
        if (void** kept = statements.Find(sql)) {
            statement = *kept;
            direct = false;
            return true;
        }
    }
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection, &stmt))) {
        Collect(SQL_HANDLE_DBC, connection, true);
        return false;
    }
    statement = stmt;
    direct = !keepStatements;
    if (direct) {
        return true;
    }
    std::vector<SQLCHAR> text(sql.begin(), sql.end());
    text.push_back(0);
    SQLRETURN rc = SQLPrepare(stmt, text.data(), SQL_NTS);
    if (!Succeeded(rc)) {
        Collect(SQL_HANDLE_STMT, stmt, true);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return false;
    }
    if (rc == SQL_SUCCESS_WITH_INFO) {
        Collect(SQL_HANDLE_STMT, stmt, false);
    }
    ++preparedCount;
    statements.Add(sql, stmt);
    return true;
}

bool OdbcConnection::ReadRows(void* statement, Recordset& recordset) {
    SQLHSTMT stmt = statement;
    SQLSMALLINT count = 0;
    if (!Succeeded(SQLNumResultCols(stmt, &count))) {
        Collect(SQL_HANDLE_STMT, stmt, true);
        return false;
    }
    std::vector<std::string> names;
    std::vector<Fetch> kinds;
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
        SQLCHAR name[256] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT scale = 0;
        SQLSMALLINT nullable = 0;
        SQLDescribeCol(stmt, c, name, sizeof name, &nameLength, &type, &size, &scale, &nullable);
        names.emplace_back(reinterpret_cast<char*>(name));
        kinds.push_back(FetchKind(type, size, scale));
    }
    recordset.Reset(names);
    while (true) {
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA) {
            return true;
        }
        if (!Succeeded(rc)) {
            Collect(SQL_HANDLE_STMT, stmt, true);
            recordset.Reset({});
            return false;
        }
        std::vector<Value> row;
        for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
            SQLLEN indicator = 0;
            Fetch kind = kinds[c - 1];
            if (kind == Fetch::Integer) {
                SQLBIGINT v = 0;
                rc = SQLGetData(stmt, c, SQL_C_SBIGINT, &v, sizeof v, &indicator);
                row.push_back(indicator == SQL_NULL_DATA ? Value::Null()
                                                         : Value::Of(static_cast<int64_t>(v)));
            } else if (kind == Fetch::Double) {
                SQLDOUBLE v = 0;
                rc = SQLGetData(stmt, c, SQL_C_DOUBLE, &v, sizeof v, &indicator);
                row.push_back(indicator == SQL_NULL_DATA ? Value::Null() : Value::Of(static_cast<double>(v)));
            } else {
                // Texts, read in pieces.
                std::string value;
                bool isNull = false;
                char buffer[4096];
                while (true) {
                    rc = SQLGetData(stmt, c, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
                    if (rc == SQL_NO_DATA) {
                        rc = SQL_SUCCESS;
                        break;
                    }
                    if (!Succeeded(rc)) {
                        break;
                    }
                    if (indicator == SQL_NULL_DATA) {
                        isNull = true;
                        break;
                    }
                    if (rc == SQL_SUCCESS_WITH_INFO) {
                        value.append(buffer, sizeof buffer - 1);
                        continue;
                    }
                    size_t n = indicator == SQL_NO_TOTAL || indicator < 0
                                   ? std::char_traits<char>::length(buffer)
                                   : static_cast<size_t>(indicator);
                    value.append(buffer, std::min(n, sizeof buffer - 1));
                    break;
                }
                row.push_back(isNull ? Value::Null() : Value::Of(value));
            }
            if (!Succeeded(rc)) {
                Collect(SQL_HANDLE_STMT, stmt, true);
                recordset.Reset({});
                return false;
            }
        }
        recordset.AddRow(std::move(row));
    }
}

}  // namespace db
