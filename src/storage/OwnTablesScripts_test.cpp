// An older installation brought up to date by the upgrade scripts must have what a new one has:
// after the scripts ran on tables installed without what they create, the tables, their columns
// and the indexes are those of a new installation. Run on the stand-in, where the scripts run
// unchanged.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "platform/Text.h"
#include "tests/support/storage/TestPms.h"

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

// Each table with its columns (name, type, not null, default, key) and each index with its
// table and columns, as the database file holds them: a column added later by ALTER TABLE reads
// as one created with the table.
Rows Schema(const std::string& file) {
    db::SqliteConnection c;
    EXPECT_TRUE(c.Open("sqlite:" + file)) << testpms::Pms::Errors(c);
    db::Recordset objects;
    EXPECT_TRUE(c.OpenRecordset(
        "select type, name, tbl_name from sqlite_master where sql is not null order by name", objects));
    Rows schema;
    for (const std::string& object : testpms::Pms::Texts(objects)) {
        std::vector<std::string> parts = text::Split(object, '|');
        const bool table = parts[0] == "table";
        db::Recordset columns;
        EXPECT_TRUE(c.OpenRecordset(
            (table ? "select name, lower(type), \"notnull\", dflt_value, pk from pragma_table_info('"
                   : "select name from pragma_index_info('") +
                parts[1] + "') order by " + (table ? "name" : "seqno"),
            columns));
        schema.push_back(parts[0] + " " + parts[1] + " on " + parts[2] + ": " +
                         text::Join(testpms::Pms::Texts(columns), ", "));
    }
    return schema;
}

// The name a statement creates, empty for any other statement.
std::string Created(const std::string& statement) {
    std::smatch m;
    return std::regex_search(statement, m, std::regex("^create (?:unique )?(?:table|index) (\\w+)")) ? m[1].str()
                                                                                                      : "";
}

TEST(OwnTablesScriptsTest, AnUpgradedInstallationHasWhatANewOneHas) {
    const std::string install = testpms::ReadSql("sql/oracle/install_own_tables.sql");
    platform::TempFolder folder;
    std::string error;
    ASSERT_TRUE(db::SqliteConnection::CreateDatabase(folder.File("new.db"), install, error)) << error;
    const Rows fresh = Schema(folder.File("new.db"));
    // Each chain of upgrade scripts, in the order an older installation runs them.
    using Chain = std::vector<std::string>;
    const std::vector<Chain> chains = {
        Chain{"sql/oracle/upgrade_service_lease.sql", "sql/oracle/upgrade_lease_fence.sql"},
        Chain{"sql/oracle/upgrade_status_index.sql"},
        Chain{"sql/oracle/upgrade_status_date_index.sql"},
    };
    for (size_t i = 0; i < chains.size(); ++i) {
        SCOPED_TRACE(chains[i].front());
        // The installation from before the chain: the install script without what it creates.
        std::set<std::string> created;
        for (const std::string& upgrade : chains[i]) {
            for (const std::string& statement : Statements(testpms::ReadSql(upgrade))) {
                created.insert(Created(statement));
            }
        }
        created.erase("");
        ASSERT_FALSE(created.empty());
        std::vector<std::string> older;
        for (const std::string& statement : Statements(install)) {
            if (!created.count(Created(statement))) {
                older.push_back(statement);
            }
        }
        std::string file = folder.File(text::Format("old%zu.db", i));
        ASSERT_TRUE(db::SqliteConnection::CreateDatabase(file, text::Join(older, ";\n") + ";", error)) << error;
        EXPECT_NE(Schema(file), fresh);
        for (const std::string& upgrade : chains[i]) {
            ASSERT_TRUE(db::SqliteConnection::CreateDatabase(file, testpms::ReadSql(upgrade), error))
                << upgrade << ": " << error;
        }
        EXPECT_EQ(Schema(file), fresh);
    }
}

}  // namespace
