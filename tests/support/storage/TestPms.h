#pragma once

// Test support for the storage suites: a fresh folder with a PMS stand-in (own tables in one
// file, the Opera schema in another attached as OPERA), a configuration that answers from a
// map, and a concrete storage over COperaBase. Header only, so that it stays out of the core
// library.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "log/CLogFile.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "storage/CRecordBinding.h"
#include "storage/db/SqliteConnection.h"
#include "tests/support/platform/ManualClock.h"
#include "tests/support/storage/StandIns.h"

namespace testpms {

inline std::string SourceDir() {
    std::string dir = platform::GetEnv("FISCORA_SOURCE_DIR");
    if (!dir.empty()) {
        return dir;
    }
    // tests/support/storage/TestPms.h -> the tree's root
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path().string();
}

// The given bound columns (numbered from 1) of every row of a recordset as the binding reads them,
// joined by "|", an absent value as "~".
inline std::vector<std::string> BoundRows(CRecordBinding& binding, db::Recordset& rows,
                                          const std::vector<size_t>& columns) {
    std::vector<std::string> out;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        binding.Read(rows);
        std::string line;
        for (size_t c : columns) {
            const CRecordBinding::Column& col = binding.GetBindingTable()[c - 1];
            std::string value = !binding.IsPresent(c)                          ? "~"
                                : col.type == CRecordBinding::ColumnType::Text ? binding.Text(c)
                                : col.type == CRecordBinding::ColumnType::Integer
                                    ? std::to_string(binding.Integer(c))
                                    : text::Format("%g", binding.Double(c));
            line += (line.empty() ? "" : "|") + value;
        }
        out.push_back(line);
    }
    return out;
}

inline std::string ReadSql(const std::string& relative) {
    std::string content;
    EXPECT_TRUE(platform::ReadFile(SourceDir() + "/" + relative, content)) << relative;
    return content;
}

// The stand-in of a hotel's PMS database: the Opera schema unless another schema script (and
// name) is given.
class Pms {
public:
    explicit Pms(bool withSchema = true, const std::string& schemaScript = "sql/sqlite/opera_schema.sql",
                 const std::string& schemaName = "OPERA")
        : withSchema(withSchema), schemaName(schemaName) {
        std::string error;
        std::string own = ReadSql("sql/oracle/install_own_tables.sql");
        std::string opera = ReadSql(schemaScript);
        if (withSchema) {
            EXPECT_TRUE(db::SqliteConnection::CreateDatabase(OwnFile(), own, error)) << error;
            EXPECT_TRUE(db::SqliteConnection::CreateDatabase(OperaFile(), opera, error)) << error;
        } else {
            EXPECT_TRUE(db::SqliteConnection::CreateDatabase(OwnFile(), own + opera, error)) << error;
        }
    }
    std::string OwnFile() const { return folder.File("own.db"); }
    std::string OperaFile() const { return folder.File(text::ToLower(schemaName) + ".db"); }
    std::string ConnectionString() const {
        return withSchema ? "sqlite:" + OwnFile() + ";" + schemaName + "=" + OperaFile() : "sqlite:" + OwnFile();
    }
    std::string Schema() const { return withSchema ? schemaName : ""; }

    // A connection of the test's own, beside the one of the storage under test.
    db::SqliteConnection& Connection() {
        if (!connection.IsOpen()) {
            EXPECT_TRUE(connection.Open(ConnectionString())) << Errors(connection);
        }
        return connection;
    }
    // Runs a statement in the Oracle dialect.
    void Run(const std::string& oracle) {
        ASSERT_TRUE(Connection().Execute(oracle)) << Errors(connection) << "\n" << oracle;
    }
    // The rows of a query, each as its texts joined by "|" (NULL as "~").
    std::vector<std::string> Rows(const std::string& oracle) {
        db::Recordset rows;
        EXPECT_TRUE(Connection().OpenRecordset(oracle, rows)) << Errors(connection) << "\n" << oracle;
        return Texts(rows);
    }
    static std::vector<std::string> Texts(db::Recordset& rows) {
        std::vector<std::string> out;
        for (rows.MoveFirst(); !rows.IsEOF(); rows.MoveNext()) {
            std::string line;
            for (size_t c = 0; c < rows.ColumnCount(); ++c) {
                std::string value;
                line += (c ? "|" : "") + (rows.GetText(c, value) == db::FieldStatus::Null ? "~" : value);
            }
            out.push_back(line);
        }
        return out;
    }
    static std::string Errors(const db::Connection& c) {
        std::string out;
        for (const auto& e : c.Errors()) {
            out += std::to_string(e.number) + ": " + e.description + "\n";
        }
        return out;
    }

    platform::TempFolder folder;
    bool withSchema;
    std::string schemaName;
    db::SqliteConnection connection;
};

using standins::FakeConfiguration;
using standins::Storage;

// Sets a manual clock to a local date and time.
inline void SetLocalTime(platform::ManualClock& clock, int year, int month, int day, int hour, int minute = 0,
                         int second = 0) {
    clock.SetTime(platform::LocalTime::Of(year, month, day, hour, minute, second).ToEpoch());
}

// A service log in the folder, without the echo to standard output.
class Log {
public:
    explicit Log(const platform::TempFolder& folder) : path(folder.File("qelfiscal.log")) {
        log.SetEcho(false);
        log.Open(path, true);
    }
    std::string Text() const {
        std::string content;
        platform::ReadFile(path, content);
        return content;
    }
    bool Has(const std::string& line) const { return Text().find(line) != std::string::npos; }

    std::string path;
    CLogFile log;
};

}  // namespace testpms
