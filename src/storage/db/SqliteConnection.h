#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "storage/db/Connection.h"
#include "storage/db/OracleRewriter.h"
#include "storage/db/StatementCache.h"

struct sqlite3;
struct sqlite3_stmt;

namespace db {

// The embedded stand-in for the Oracle PMS database. Connection string:
//   sqlite:<database file>[;<SCHEMA>=<file>]...[;<SCHEMA>=main]
// The database file holds the service's own tables (and, without a schema, the PMS tables too);
// "<SCHEMA>=<file>" attaches a file whose tables are reached as SCHEMA.table, "<SCHEMA>=main"
// says that SCHEMA.table lives in the database file itself, and so does the PMS schema when the
// string names no file for it. Files must exist: connecting never creates a database, and a
// connection whose file has been moved or removed fails its next statement, the way a connection
// to a database server that went away does (the storage then reconnects). Statements are written
// in Oracle's dialect and rewritten (OracleRewriter); the Oracle functions they call are
// registered (OracleFunctions.h) and DUAL exists. A statement is rewritten and prepared once and
// kept, by its text, while the connection is open (StatementCache.h); each run starts it afresh.
class SqliteConnection : public Connection {
public:
    // How many statements the connection keeps prepared: more than a polling cycle's discovery
    // statements and the detail statements of a few bills.
    static constexpr size_t kKeptStatements = 64;

    struct Settings {
        std::string file;
        std::vector<std::pair<std::string, std::string>> attached;  // schema, file
        std::vector<std::string> localSchemas;
    };

    SqliteConnection();
    ~SqliteConnection() override;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    static bool ParseConnectionString(const std::string& connectionString, Settings& settings,
                                      std::string& error);
    // Creates the database file when it is missing and runs a script of plain SQLite statements
    // in it (the schema files, seed data); for tools and tests.
    static bool CreateDatabase(const std::string& file, const std::string& script, std::string& error);

    void SetPmsSchema(const std::string& schema) override { pmsSchema = schema; }
    void SetReadOnly() override { readOnly = true; }
    bool Open(const std::string& connectionString) override;
    bool IsOpen() const override { return db != nullptr; }
    void Close() override;
    void SetCommandTimeout(int seconds) override;
    bool Execute(const std::string& sql) override;
    bool OpenRecordset(const std::string& sql, Recordset& recordset) override;

    // Runs plain SQLite statements, several at once, without rewriting them.
    bool ExecuteScript(const std::string& script);
    // The statement as SQLite is given it.
    bool Translate(const std::string& oracle, std::string& sqlite);
    // What SQLite plans for the statement (EXPLAIN QUERY PLAN): one line a step, indented two
    // blanks a level ("SCAN fin", "SEARCH qel USING INDEX ..."); for the tools that look at the
    // plans of a polling cycle.
    bool ExplainQueryPlan(const std::string& oracle, std::vector<std::string>& steps);
    // Statements rewritten and prepared since the connection was made (kept ones are not
    // counted again), and how many are kept now.
    size_t PreparedCount() const { return preparedCount; }
    size_t KeptCount() const { return statements.Size(); }

private:
    bool Run(const std::string& sql, Recordset* recordset);
    // The kept statement of the text, or a new one (nullptr for a text of blanks and comments).
    bool Prepare(const std::string& oracle, sqlite3_stmt*& stmt);
    bool Setup(const Settings& settings);
    bool Columns(const std::string& schema, const std::string& table, std::vector<std::string>& columns);

    sqlite3* db = nullptr;
    OracleRewriter rewriter;
    StatementCache<sqlite3_stmt*> statements;
    size_t preparedCount = 0;
    std::map<std::string, std::vector<std::string>> columnCache;
    int timeoutSeconds = 360;
    std::string pmsSchema;
    // The files of the open connection: the stand-in's database server is gone when one is.
    std::vector<std::string> files;
};

}  // namespace db
