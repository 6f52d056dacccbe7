// The reconciliation of status rows with what the devices registered: each way a registration
// can go missing, be made twice or hold another amount is found, and what agrees passes.
#include "Reconciliation.h"

#include <gtest/gtest.h>

#include "CheckRecord.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

class ReconciliationTest : public ::testing::Test {
protected:
    void SetUp() override {
        pmsgen::Options options;
        options.openDay = pmsgen::OpenDay::Small;
        std::string error;
        ASSERT_TRUE(run.MakePms(options, error)) << error;
        ASSERT_TRUE(run.StartSimulators({"SIM"}, error)) << error;
    }
    // A document the printer manager registered, paid with the amounts.
    // (A cash command has no payments: its total is the amount.)
    void Record(const std::string& printer, const std::string& number, const std::string& file,
                std::vector<double> paid, const std::string& command = "Check", double cash = 0) {
        CheckRecord record;
        record.printer = printer;
        record.command = command;
        record.file = file;
        record.fiscalNumber = number;
        double total = 0;
        for (double amount : paid) {
            record.payments.push_back({"1", "", "", text::Format("%.2f", amount)});
            total += amount;
        }
        record.total = text::Format("%.2f", paid.empty() ? cash : total);
        platform::AppendToFile(run.Path("checks0.jsonl"), record.ToJson() + "\n", false);
    }
    // A status row of the service.
    void Row(int trxNo, const std::string& status, double amount, const std::string& number = "",
             const std::string& printer = "0", const std::string& file = "") {
        ASSERT_TRUE(run.Execute(text::Format(
            "insert or replace into qel_financial_transactions (trx_no, qel_fisc_status, trx_amount, check_number, "
            "attempt, title) values (%d, '%s', %.2f, '%s', %s, '%s')",
            trxNo, status.c_str(), amount, number.c_str(), printer.c_str(), file.c_str())));
    }
    std::vector<std::string> Problems(const Reconciliation::Expected& expected = {}) {
        return Reconciliation(run, expected).problems;
    }

    platform::TempFolder folder{"fiscora-reconciliation"};
    ServiceFolder run{folder.Path(), "", ""};
};

TEST_F(ReconciliationTest, RowsThatNameTheirDocumentsAgree) {
    // A bill of two payments, a deposit that names its document by amount only, a cash pick-up.
    Record("1", "1", "1_800001_1", {100, 50});
    Row(91000001, "Y", 100, "1", "1", "1_800001_1");
    Row(91000002, "Y", 50, "1", "1", "1_800001_1");
    Record("2", "1", "", {300});
    Row(91000003, "D", 300, "1");
    // 80.00 taken out of the drawer: the manager gives the command no number.
    Record("2", "", "", {}, "Cash Pickup", 80);
    Row(91000004, "Y", -80, "", "2", "");
    EXPECT_EQ(Problems({{91000001, 91000002, 91000003, 91000004}}), std::vector<std::string>{});
    Reconciliation reconciliation(run, {});
    EXPECT_EQ(reconciliation.documents.size(), 3u);
    EXPECT_NEAR(reconciliation.registeredAmount, 370, 0.001);
}

TEST_F(ReconciliationTest, EveryWayOfDisagreeingIsFound) {
    struct Case {
        const char* name;
        std::function<void()> make;
        Reconciliation::Expected expected;
        std::string problem;
    };
    auto self = this;
    Case cases[] = {
        {"a document no row names",
         [self] { self->Record("1", "5", "1_a", {100}); }, {}, "printer 1 fiscal number 5 (Check ) is in no status row"},
        {"a row Y without a document",
         [self] { self->Row(92000001, "Y", 100); }, {}, "row 92000001 is Y (100.00) without a registration"},
        {"a row D without a document",
         [self] { self->Row(92000001, "D", 100); }, {}, "row 92000001 is D (100.00) without a registration"},
        {"another amount registered",
         [self] {
             self->Record("1", "5", "1_a", {90});
             self->Row(92000001, "Y", 100, "5", "1", "1_a");
         },
         {}, "printer 1 fiscal number 5 (Check ) registered 90.00, its rows (92000001) hold 100.00"},
        {"a due payment left N",
         [self] { self->Row(92000001, "N", 100); }, {{92000001}}, "due payment 92000001 (100.00) is N without a registration"},
        {"a due payment closed without registration",
         [self] { self->Row(92000001, "Y", 100); }, {{92000001}, {{92000001, "by hand"}}},
         "due payment 92000001 (100.00) is Y without a registration"},
        {"a row to be closed that is registered",
         [self] {
             self->Record("1", "5", "1_a", {100});
             self->Row(92000001, "Y", 100, "5", "1", "1_a");
         },
         {{}, {{92000001, "by hand"}}}, "row 92000001, to be closed without registration (by hand), names printer 1 fiscal number 5 (Check )"},
        {"one check file registered twice",
         [self] {
             self->Record("1", "5", "1_a", {100});
             self->Record("1", "6", "1_a", {100});
             self->Row(92000001, "Y", 100, "5", "1", "1_a");
         },
         {}, "check file 1_a registered twice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::RemoveFile(run.Path("checks0.jsonl"));
        ASSERT_TRUE(run.Execute("delete from qel_financial_transactions where trx_no >= 92000000"));
        c.make();
        std::vector<std::string> problems = Problems(c.expected);
        EXPECT_NE(std::find(problems.begin(), problems.end(), c.problem), problems.end())
            << text::Join(problems, "\n");
    }
    // A row closed without registration, listed with its reason, is fine.
    platform::RemoveFile(run.Path("checks0.jsonl"));
    ASSERT_TRUE(run.Execute("delete from qel_financial_transactions where trx_no >= 92000000"));
    Row(92000001, "Y", 100);
    EXPECT_EQ(Problems({{}, {{92000001, "Payment included in ignore list."}}}), std::vector<std::string>{});
}

// A deposit registered as an advance, then consumed by a bill whose registration its row names:
// the advance is still named by the row as it was before.
TEST_F(ReconciliationTest, AnAdvanceConsumedByABillIsKnownByTheRowsOfBefore) {
    Record("1", "1", "1_adv", {500});
    Row(93000001, "D", 500, "1", "0", "1_adv");
    std::map<int, ServiceFolder::StatusRow> before = run.StatusRows();
    Record("1", "2", "1_bill", {100, 500});
    Row(93000002, "Y", 100, "2", "1", "1_bill");
    Row(93000001, "Y", 500, "2", "1", "1_bill");
    EXPECT_EQ(Problems({{93000001, 93000002}, {}, {before}}), std::vector<std::string>{});
    std::vector<std::string> without = Problems({{93000001, 93000002}});
    EXPECT_NE(std::find(without.begin(), without.end(), "printer 1 fiscal number 1 (Check ) is in no status row"),
              without.end())
        << text::Join(without, "\n");
}

}  // namespace
