#include "storage/db/SqliteConnection.h"

#include <sqlite3.h>

#include <cctype>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "storage/db/OracleFunctions.h"

namespace db {

namespace {

// The busy time-out passed while another connection held the file locked.
bool IsLockWait(int rc) {
    int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool IsName(const std::string& s) {
    if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) {
        return false;
    }
    for (char c : s) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '$' && c != '#') {
            return false;
        }
    }
    return true;
}

// A file name as an SQLite URI that opens an existing file only.
std::string ExistingFileUri(const std::string& file) {
    std::string uri = "file:";
    for (char c : file) {
        switch (c) {
            case '%':
                uri += "%25";
                break;
            case '?':
                uri += "%3f";
                break;
            case '#':
                uri += "%23";
                break;
            default:
                uri += c;
        }
    }
    return uri + "?mode=rw";
}

bool OnlyBlanks(const char* text) {
    for (; *text; ++text) {
        if (!std::isspace(static_cast<unsigned char>(*text)) && *text != ';') {
            return false;
        }
    }
    return true;
}

}  // namespace

SqliteConnection::SqliteConnection()
    : statements(kKeptStatements, [](sqlite3_stmt* stmt) { sqlite3_finalize(stmt); }) {}

SqliteConnection::~SqliteConnection() {
    Close();
}

bool SqliteConnection::ParseConnectionString(const std::string& connectionString, Settings& settings,
                                             std::string& error) {
    std::string s = text::Trim(connectionString);
    if (!Connection::IsSqlite(s)) {
        error = "not an sqlite: connection string";
        return false;
    }
    std::vector<std::string> parts = text::Split(s.substr(7), ';');
    settings = Settings();
    settings.file = parts.empty() ? "" : text::Trim(parts[0]);
    if (settings.file.empty()) {
        error = "the sqlite: connection string names no database file";
        return false;
    }
    for (size_t i = 1; i < parts.size(); ++i) {
        std::string part = text::Trim(parts[i]);
        if (part.empty()) {
            continue;
        }
        size_t eq = part.find('=');
        std::string name = text::Trim(part.substr(0, eq));
        std::string value = eq == std::string::npos ? "" : text::Trim(part.substr(eq + 1));
        if (!IsName(name) || value.empty()) {
            error = "bad schema entry in the sqlite: connection string: " + part;
            return false;
        }
        if (text::EqualsNoCase(value, "main")) {
            settings.localSchemas.push_back(name);
        } else {
            settings.attached.emplace_back(name, value);
        }
    }
    return true;
}

bool SqliteConnection::CreateDatabase(const std::string& file, const std::string& script,
                                      std::string& error) {
    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        error = std::string(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc)) + ": " + file;
        sqlite3_close(handle);
        return false;
    }
    // One transaction for the whole script: a schema or a million seed rows in one write.
    std::string all = "PRAGMA synchronous=OFF; PRAGMA journal_mode=WAL; BEGIN;\n" + script + "\n;COMMIT;";
    char* message = nullptr;
    rc = sqlite3_exec(handle, all.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        error = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
    }
    sqlite3_close(handle);
    return rc == SQLITE_OK;
}

bool SqliteConnection::Open(const std::string& connectionString) {
    Close();
    ClearErrors();
    Settings settings;
    std::string error;
    if (!ParseConnectionString(connectionString, settings, error)) {
        AddError(SQLITE_MISUSE, error);
        return false;
    }
    bool attached = false;
    for (const auto& entry : settings.attached) {
        attached = attached || text::EqualsNoCase(entry.first, pmsSchema);
    }
    if (!pmsSchema.empty() && !attached) {
        settings.localSchemas.push_back(pmsSchema);
    }
    int rc = sqlite3_open_v2(settings.file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
        AddError(rc, std::string(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) + ": " + settings.file);
        Close();
        return false;
    }
    if (!Setup(settings)) {
        Close();
        return false;
    }
    files = {settings.file};
    for (const auto& entry : settings.attached) {
        files.push_back(entry.second);
    }
    return true;
}

bool SqliteConnection::Setup(const Settings& settings) {
    sqlite3_extended_result_codes(db, 1);
    SetCommandTimeout(timeoutSeconds);
    if (!RegisterOracleFunctions(db)) {
        AddError(sqlite3_errcode(db),
                 std::string("cannot register the Oracle functions: ") + sqlite3_errmsg(db));
        return false;
    }
    for (const auto& [schema, file] : settings.attached) {
        sqlite3_stmt* attach = nullptr;
        std::string uri = ExistingFileUri(file);
        int rc = sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS ?2", -1, &attach, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(attach, 1, uri.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(attach, 2, schema.c_str(), -1, SQLITE_TRANSIENT);
            rc = sqlite3_step(attach) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
        }
        if (rc != SQLITE_OK) {
            AddError(rc, std::string(sqlite3_errmsg(db)) + ": " + file + " as " + schema);
            sqlite3_finalize(attach);
            return false;
        }
        sqlite3_finalize(attach);
    }
    // Write-ahead logging without a sync per statement: each status write is one small
    // transaction, and the stand-in need not survive a power cut.
    std::string setup = "PRAGMA main.journal_mode=WAL; PRAGMA main.synchronous=NORMAL;";
    for (const auto& entry : settings.attached) {
        setup += "PRAGMA \"" + entry.first + "\".journal_mode=WAL; PRAGMA \"" + entry.first +
                 "\".synchronous=NORMAL;";
    }
    // Oracle's LIKE tells upper from lower case; DUAL is Oracle's one-row table.
    setup +=
        "PRAGMA case_sensitive_like=ON;"
        "CREATE TEMP TABLE dual (dummy VARCHAR2(1));"
        "INSERT INTO temp.dual VALUES ('X');";
    if (readOnly) {
        // Queries too: not one of them may change a file.
        setup += "PRAGMA query_only=ON;";
    }
    if (!ExecuteScript(setup)) {
        return false;
    }
    columnCache.clear();
    rewriter.SetLocalSchemas(settings.localSchemas);
    rewriter.SetColumnLookup(
        [this](const std::string& schema, const std::string& table, std::vector<std::string>& columns) {
            return Columns(schema, table, columns);
        });
    return true;
}

void SqliteConnection::Close() {
    // Every statement goes before its connection, which closes only when none is left.
    statements.Clear();
    preparedCount = 0;
    if (db) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
    columnCache.clear();
    files.clear();
}

void SqliteConnection::SetCommandTimeout(int seconds) {
    timeoutSeconds = seconds;
    if (db) {
        // A statement waits this long for a lock held by another process.
        sqlite3_busy_timeout(db, seconds * 1000);
    }
}

bool SqliteConnection::Translate(const std::string& oracle, std::string& sqlite) {
    std::string error;
    if (!rewriter.Rewrite(oracle, sqlite, error)) {
        AddError(SQLITE_ERROR, error);
        return false;
    }
    return true;
}

bool SqliteConnection::Execute(const std::string& sql) {
    ClearErrors();
    if (RefusedAsReadOnly()) {
        return false;
    }
    return Run(sql, nullptr);
}

bool SqliteConnection::OpenRecordset(const std::string& sql, Recordset& recordset) {
    ClearErrors();
    recordset.Reset({});
    return Run(sql, &recordset);
}

bool SqliteConnection::Run(const std::string& oracle, Recordset* recordset) {
    if (!db) {
        AddError(SQLITE_MISUSE, "not connected");
        return false;
    }
    // An open file that was moved away or removed would go on working unseen; like a lost
    // server it ends the connection.
    for (const std::string& file : files) {
        if (!platform::FileExists(file)) {
            AddError(SQLITE_CANTOPEN, "the database file is gone: " + file);
            notAnswered = true;
            return false;
        }
    }
    sqlite3_stmt* stmt = nullptr;
    if (!Prepare(oracle, stmt)) {
        return false;
    }
    if (!stmt) {
        return true;  // nothing but blanks and comments
    }
    int rc = SQLITE_OK;
    int columns = sqlite3_column_count(stmt);
    if (recordset) {
        std::vector<std::string> names;
        for (int c = 0; c < columns; ++c) {
            const char* name = sqlite3_column_name(stmt, c);
            names.emplace_back(name ? name : "");
        }
        recordset->Reset(std::move(names));
    }
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!recordset) {
            continue;
        }
        std::vector<Value> row;
        row.reserve(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
                case SQLITE_INTEGER:
                    row.push_back(Value::Of(static_cast<int64_t>(sqlite3_column_int64(stmt, c))));
                    break;
                case SQLITE_FLOAT:
                    row.push_back(Value::Of(sqlite3_column_double(stmt, c)));
                    break;
                case SQLITE_NULL:
                    row.push_back(Value::Null());
                    break;
                default: {
                    const unsigned char* t = sqlite3_column_text(stmt, c);
                    int n = sqlite3_column_bytes(stmt, c);
                    row.push_back(
                        Value::Of(std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(n))));
                    break;
                }
            }
        }
        recordset->AddRow(std::move(row));
    }
    bool ok = rc == SQLITE_DONE;
    if (ok && !recordset) {
        changedRows = sqlite3_changes(db);
    }
    if (!ok) {
        AddError(rc, sqlite3_errmsg(db));
        notAnswered = IsLockWait(rc);
        if (recordset) {
            recordset->Reset({});
        }
    }
    // Ends the statement's transaction at once; the statement stays for its next run.
    sqlite3_reset(stmt);
    return ok;
}

bool SqliteConnection::Prepare(const std::string& oracle, sqlite3_stmt*& stmt) {
    if (sqlite3_stmt** kept = statements.Find(oracle)) {
        stmt = *kept;
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        return true;
    }
    std::string statement;
    if (!Translate(oracle, statement)) {
        return false;
    }
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, statement.c_str(), static_cast<int>(statement.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        AddError(rc, sqlite3_errmsg(db));
        notAnswered = IsLockWait(rc);
        return false;
    }
    if (tail && !OnlyBlanks(tail)) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
        AddError(SQLITE_ERROR, "only one statement can be run at a time");
        return false;
    }
    ++preparedCount;
    if (stmt) {
        statements.Add(oracle, stmt);
    }
    return true;
}

bool SqliteConnection::ExplainQueryPlan(const std::string& oracle, std::vector<std::string>& steps) {
    ClearErrors();
    steps.clear();
    std::string statement;
    if (!db) {
        AddError(SQLITE_MISUSE, "not connected");
        return false;
    }
    if (!Translate(oracle, statement)) {
        return false;
    }
    sqlite3_stmt* stmt = nullptr;
    std::string explain = "EXPLAIN QUERY PLAN " + statement;
    if (sqlite3_prepare_v2(db, explain.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        AddError(sqlite3_errcode(db), sqlite3_errmsg(db));
        return false;
    }
    // Columns: id, parent id, unused, detail; a step comes after its parent.
    std::map<int, int> depth;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        int id = sqlite3_column_int(stmt, 0);
        int parent = sqlite3_column_int(stmt, 1);
        const unsigned char* detail = sqlite3_column_text(stmt, 3);
        depth[id] = depth.count(parent) ? depth[parent] + 1 : 0;
        steps.push_back(std::string(static_cast<size_t>(2 * depth[id]), ' ') +
                        (detail ? reinterpret_cast<const char*>(detail) : ""));
    }
    if (rc != SQLITE_DONE) {
        AddError(rc, sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

bool SqliteConnection::ExecuteScript(const std::string& script) {
    if (!db) {
        AddError(SQLITE_MISUSE, "not connected");
        return false;
    }
    char* message = nullptr;
    int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        AddError(rc, message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool SqliteConnection::Columns(const std::string& schema, const std::string& table,
                               std::vector<std::string>& columns) {
    std::string key = text::ToLower(schema) + "." + text::ToLower(table);
    auto cached = columnCache.find(key);
    if (cached != columnCache.end()) {
        columns = cached->second;
        return !columns.empty();
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?1, ?2)", -1, &stmt, nullptr) !=
        SQLITE_OK) {
        return false;
    }
    sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    if (!schema.empty()) {
        sqlite3_bind_text(stmt, 2, schema.c_str(), -1, SQLITE_TRANSIENT);
    }
    columns.clear();
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const unsigned char* name = sqlite3_column_text(stmt, 0);
        columns.push_back(text::ToLower(name ? reinterpret_cast<const char*>(name) : ""));
    }
    sqlite3_finalize(stmt);
    columnCache[key] = columns;
    return !columns.empty();
}

}  // namespace db
