// The grant scripts an administrator runs on the PMS schema must cover every PMS table the
// statements read and every column they write, or the service fails at its first statement on a
// new table with "ORA-00942" at a hotel.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "platform/Text.h"
#include "storage/CDovozEderarezev.h"
#include "storage/CF8Monitoring.h"
#include "tests/support/storage/TestPms.h"

namespace {

std::vector<std::string> Statements() {
    CDovozEderarezev opera;
    CF8Monitoring suite8;
    std::vector<std::string> all;
    for (COperaBase* storage : std::initializer_list<COperaBase*>{&opera, &suite8}) {
        for (const std::string* statement : storage->AllTemplates()) {
            all.push_back(text::ToLower(*statement));
        }
    }
    return all;
}

TEST(GrantScriptsTest, EveryPmsTableAndWrittenColumnIsGranted) {
    std::string grants = text::ToLower(testpms::ReadSql("sql/oracle/grant_opera_access.sql") +
                                       testpms::ReadSql("sql/oracle/grant_suite8_access.sql"));
    std::set<std::string> tables;
    std::set<std::pair<std::string, std::string>> written;
    const std::regex table(R"(zzzz\.([a-z0-9_$]+))");
    const std::regex update(R"(update zzzz\.([a-z0-9_$]+) set (.*?) where)");
    const std::regex column(R"(([a-z0-9_]+)\s*=)");
    for (const std::string& statement : Statements()) {
        for (std::sregex_iterator it(statement.begin(), statement.end(), table), end; it != end; ++it) {
            tables.insert((*it)[1]);
        }
        for (std::sregex_iterator it(statement.begin(), statement.end(), update), end; it != end; ++it) {
            std::string assignments = (*it)[2];
            for (std::sregex_iterator c(assignments.begin(), assignments.end(), column); c != end; ++c) {
                written.insert({(*it)[1], (*c)[1]});
            }
        }
    }
    ASSERT_GT(tables.size(), 40u);
    ASSERT_GE(written.size(), 6u);
    for (const std::string& name : tables) {
        EXPECT_NE(grants.find("grant select on " + name + " to &&1;"), std::string::npos) << name;
    }
    for (const auto& [name, col] : written) {
        std::regex granted("grant update \\([^)]*\\b" + col + "\\b[^)]*\\) on " +
                           std::regex_replace(name, std::regex(R"(\$)"), "\\$") + " to");
        EXPECT_TRUE(std::regex_search(grants, granted)) << name << "." << col;
    }
}

}  // namespace
