// The search for checks left on closed business dates runs in every polling cycle, also when
// nothing is due: on a PMS with a long history it must start from the status table's index on
// (qel_fisc_status, business_date), never read the history.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "PmsGenerator.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "storage/CFidelio8Folio.h"
#include "storage/CRecPayment.h"
#include "storage/CRequestCheckNumber.h"
#include "storage/db/OracleFunctions.h"
#include "storage/db/SqliteConnection.h"

namespace {

// The plan SQLite makes for the statement, one line per step.
std::string Plan(const std::string& file, const std::string& schema, const std::string& oracle) {
    db::SqliteConnection connection;
    connection.SetPmsSchema(schema);
    std::string translated;
    if (!connection.Open("sqlite:" + file) || !connection.Translate(oracle, translated)) {
        ADD_FAILURE() << "cannot translate " << oracle;
        return "";
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    db::RegisterOracleFunctions(db);
    sqlite3_stmt* statement = nullptr;
    std::string plan;
    if (sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + translated).c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db) << "\n" << translated;
    }
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
        plan += reinterpret_cast<const char*>(sqlite3_column_text(statement, 3)) + std::string("\n");
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return plan;
}

// A statement template with the values of a polling cycle in place.
std::string Filled(std::string statement, const std::string& schema) {
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"zzzz", schema}, {"ssss", "DEMO"}, {"xxxx", "'9000','9004'"}, {"%d", "30"}, {"%s", "'1'"}}) {
        statement = text::ReplaceAll(statement, from, to);
    }
    return text::ReplaceAll(statement, "''1''", "'1'");
}

TEST(EarlierDatesSearchTest, StartsFromTheStatusIndexOnALongHistory) {
    struct Case {
        pmsgen::PmsKind pms;
        std::string schema;
        std::string statement;
    } cases[] = {
        {pmsgen::PmsKind::Opera, "OPERA", CRequestCheckNumber().templates[CRequestCheckNumber::BillsOfEarlierDates]},
        {pmsgen::PmsKind::Opera, "OPERA", CRecPayment().templates[CRecPayment::PaymentsOfEarlierDates]},
        {pmsgen::PmsKind::Suite8, "FIDELIO",
         CRequestCheckNumber().templates[CRequestCheckNumber::InvoicesOfEarlierDates]},
        {pmsgen::PmsKind::Suite8, "FIDELIO", CFidelio8Folio().templates[CFidelio8Folio::DayPostingsOfEarlierDates]},
    };
    platform::TempFolder folder;
    for (pmsgen::PmsKind kind : {pmsgen::PmsKind::Opera, pmsgen::PmsKind::Suite8}) {
        pmsgen::Options options;
        options.pms = kind;
        options.file = folder.Path(kind == pmsgen::PmsKind::Opera ? "opera.db" : "suite8.db");
        options.businessDate = "14.03.2026";
        options.historyTransactions = 20000;
        options.openDay = pmsgen::OpenDay::Small;
        pmsgen::Summary summary;
        std::string error;
        ASSERT_TRUE(pmsgen::Generate(options, summary, error)) << error;
        for (const Case& c : cases) {
            if (c.pms != kind) {
                continue;
            }
            std::string plan = Plan(options.file, c.schema, Filled(c.statement, c.schema));
            SCOPED_TRACE(plan);
            EXPECT_NE(plan.find("SEARCH qel USING INDEX qel_fin_trx_status_date_idx (qel_fisc_status=?"),
                      std::string::npos);
            EXPECT_EQ(plan.find("SCAN qel"), std::string::npos);
            EXPECT_EQ(plan.find("SCAN fin"), std::string::npos);
            EXPECT_EQ(plan.find("SCAN zpos"), std::string::npos);
        }
    }
}

}  // namespace
