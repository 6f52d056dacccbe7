// A polling cycle with nothing due must cost the same at ten million transactions as at ten
// thousand: every statement reaches the status table and the PMS's transaction tables through an
// index, and the statements are prepared once, not in every cycle.
#include <gtest/gtest.h>

#include "BenchHotel.h"
#include "CyclePlans.h"
#include "tests/support/storage/DemoHotel.h"

namespace {

std::string Lines(const cycleplans::Plan& plan) {
    return text::Join(cycleplans::Describe(plan), "\n");
}

// The check cycle_plans makes at a million transactions, at a scale the suite affords: a history
// with deposits (some moved on by transfers) and, on Opera, a transfer of the open date to pair.
TEST(IdleCyclePlansTest, NoStatementReadsATransactionTableWholeOrMakesSqliteBuildAnIndex) {
    struct Case {
        benchhotel::Hotel hotel;
        size_t statements;  // at least: every finder of the back-end ran
    } cases[] = {{benchhotel::Opera(), 12}, {benchhotel::Suite8(), 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hotel.label);
        platform::TempFolder folder;
        std::vector<cycleplans::Plan> plans;
        pmsgen::Summary summary;
        std::string error;
        ASSERT_TRUE(cycleplans::IdleCyclePlans(c.hotel, folder.Path(), 20000, 0, plans, summary, error))
            << error;
        EXPECT_GE(plans.size(), c.statements);
        for (const cycleplans::Plan& plan : plans) {
            EXPECT_TRUE(plan.faults.empty()) << Lines(plan);
            EXPECT_FALSE(plan.steps.empty()) << Lines(plan);
        }
    }
}

TEST(IdleCyclePlansTest, AScanOfAGuardedTableByAnyNameIsAFault) {
    platform::TempFolder folder;
    std::string error;
    ASSERT_TRUE(db::SqliteConnection::CreateDatabase(
        folder.File("pms.db"), testpms::ReadSql("sql/oracle/install_own_tables.sql"), error))
        << error;
    db::SqliteConnection pms;
    ASSERT_TRUE(pms.Open("sqlite:" + folder.File("pms.db")));
    // 3,000 registered rows, with the statistics of a generated PMS.
    ASSERT_TRUE(pms.ExecuteScript(
        "with recursive n(i) as (select 1 union all select i+1 from n where i<3000) insert into "
        "qel_financial_transactions (trx_no, qel_fisc_status, trx_amount) select i, 'Y', i % 50 from n; "
        "analyze;"));
    struct Case {
        const char* statement;
        const char* fault;
    } cases[] = {
        {"select trx_no from qel_financial_transactions q where title='x'",
         "full scan of qel_financial_transactions (as q)"},
        {"select count(*) from qel_financial_transactions", "full scan of qel_financial_transactions"},
        {"select trx_no from qel_financial_transactions where trx_no=5", nullptr},
        {"select trx_no from qel_financial_transactions where qel_fisc_status='D' and trx_amount=7", nullptr},
        // Through an index, but meeting every row.
        {"select trx_no from qel_financial_transactions where qel_fisc_status='Y'",
         "reads about 3000 of the 3000 rows of qel_financial_transactions"},
        {"select q.trx_no from qel_code_convertion c, qel_financial_transactions q where "
         "q.title=c.description",
         "automatic index: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        cycleplans::Plan plan = cycleplans::Explain(pms, c.statement);
        if (!c.fault) {
            EXPECT_TRUE(plan.faults.empty()) << Lines(plan);
        } else {
            ASSERT_FALSE(plan.faults.empty()) << Lines(plan);
            EXPECT_TRUE(text::StartsWith(plan.faults[0], c.fault)) << Lines(plan);
        }
    }
}

// The back-end's stand-in connection, to count what it prepared.
class CountedOpera : public CDovozEderarezev {
public:
    size_t Prepared() const {
        auto* sqlite = dynamic_cast<const db::SqliteConnection*>(connection.get());
        return sqlite ? sqlite->PreparedCount() : 0;
    }
};

class IdleCycleTest : public demohotel::DemoHotelTest {};

TEST_F(IdleCycleTest, ACycleRewritesAndPreparesNothingItPreparedBefore) {
    CountedOpera opera;
    CFiscalINI config;
    OpenWith(demohotel::FullChecks(), config, opera);
    ASSERT_TRUE(Pms().ExecuteScript(benchhotel::RegisterEverything(benchhotel::Opera(), generated)));
    auto cycle = [&] {
        std::vector<CFiscalCheck> checks;
        opera.CheckBusinessDate();
        opera.GetChecks(checks);
        EXPECT_TRUE(checks.empty());
    };
    cycle();
    size_t prepared = opera.Prepared();
    EXPECT_GE(prepared, 4u);
    cycle();
    cycle();
    EXPECT_EQ(opera.Prepared(), prepared);
    // A failed statement closes the connection: the next cycle prepares its statements anew.
    EXPECT_FALSE(opera.Execute("update no_such_table set a=1"));
    cycle();
    EXPECT_EQ(opera.Prepared(), prepared);
}

}  // namespace
