// An older installation brought up to date by the upgrade scripts must have what a new one has:
// every statement of an upgrade script is one of the install script, and after it ran on tables
// installed without it, the tables and indexes are those of a new installation. Run on the
// stand-in, where both scripts run unchanged.
#include <gtest/gtest.h>

#include <regex>

#include "platform/Text.h"
#include "storage/TestPms.h"

namespace {

using Rows = std::vector<std::string>;

// A statement without its comments, in lower case, blanks collapsed.
std::string Normal(const std::string& sql) {
    std::string text = std::regex_replace(sql, std::regex("--[^\n]*"), " ");
    text = std::regex_replace(text, std::regex("\\s+"), " ");
    text = std::regex_replace(text, std::regex(" ?([(),]) ?"), "$1");
    return text::ToLower(text::Trim(text));
}

std::vector<std::string> Statements(const std::string& script) {
    std::vector<std::string> out;
    // Comments first: they may hold a ";".
    for (const std::string& part :
         text::Split(std::regex_replace(script, std::regex("--[^\n]*"), " "), ';')) {
        if (!Normal(part).empty()) {
            out.push_back(Normal(part));
        }
    }
    return out;
}

// The tables and indexes of a database file, each as its normalised statement.
Rows Schema(const std::string& file) {
    db::SqliteConnection c;
    EXPECT_TRUE(c.Open("sqlite:" + file)) << testpms::Pms::Errors(c);
    db::Recordset rows;
    EXPECT_TRUE(c.OpenRecordset("select sql from sqlite_master where sql is not null order by name", rows));
    Rows schema;
    for (const std::string& sql : testpms::Pms::Texts(rows)) {
        schema.push_back(Normal(sql));
    }
    return schema;
}

TEST(OwnTablesScriptsTest, AnUpgradedInstallationHasWhatANewOneHas) {
    const std::string install = testpms::ReadSql("sql/oracle/install_own_tables.sql");
    platform::TempFolder folder;
    std::string error;
    ASSERT_TRUE(db::SqliteConnection::CreateDatabase(folder.File("new.db"), install, error)) << error;
    const Rows fresh = Schema(folder.File("new.db"));
    for (const char* upgrade :
         {"sql/oracle/upgrade_service_lease.sql", "sql/oracle/upgrade_status_index.sql"}) {
        SCOPED_TRACE(upgrade);
        const std::string script = testpms::ReadSql(upgrade);
        // The installation from before the upgrade: the install script without its statements.
        std::vector<std::string> older = Statements(install);
        for (const std::string& statement : Statements(script)) {
            auto found = std::find(older.begin(), older.end(), statement);
            ASSERT_NE(found, older.end()) << "not in the install script: " << statement;
            older.erase(found);
        }
        std::string file = folder.File(text::Format("old%zu.db", script.size()));
        ASSERT_TRUE(db::SqliteConnection::CreateDatabase(file, text::Join(older, ";\n") + ";", error))
            << error;
        EXPECT_NE(Schema(file), fresh);
        ASSERT_TRUE(db::SqliteConnection::CreateDatabase(file, script, error)) << error;
        EXPECT_EQ(Schema(file), fresh);
    }
}

}  // namespace
