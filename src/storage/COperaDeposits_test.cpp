// Deposits, refunds and splits of the Opera back-end on the demo hotel's generated PMS with its
// deposit stories: what the finders take, which status rows they write, and how a refund, a
// deposit brought over to a bill and a split part are tied to what they came from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/CodePage.h"
#include "tests/support/storage/DemoHotel.h"

namespace {

using namespace demohotel;

constexpr const char* kNextDay = "15.03.2026";
constexpr const char* kDayAfter = "16.03.2026";

class DepositsTest : public DemoHotelTest {
protected:
    DepositsTest() { pmsOptions.depositStories = true; }

    static std::vector<int> TrxNos(const std::vector<CFiscalCheck>& checks) {
        std::vector<int> numbers;
        for (const CFiscalCheck& check : checks) {
            numbers.push_back(check.payments.empty() ? 0 : check.payments[0].trx_no);
        }
        return numbers;
    }
    static bool Contains(const std::vector<int>& list, int value) {
        return std::find(list.begin(), list.end(), value) != list.end();
    }
    std::string Column(const std::string& column, int trxNo) {
        std::vector<std::string> rows = Rows(
            text::Format("select %s from qel_financial_transactions where trx_no=%d", column.c_str(), trxNo));
        return rows.empty() ? "-" : rows[0];
    }
    // A status row of the test's own.
    void Row(int trxNo, const std::string& status, double amount = 0, const std::string& reference = "") {
        Run(text::Format("insert into qel_financial_transactions (trx_no, qel_fisc_status, trx_amount, reference) "
                         "values (%d, '%s', %.2f, '%s')",
                         trxNo, status.c_str(), amount, reference.c_str()));
    }
    int Receipt(int trxNo) {
        return text::ToInt(
            Rows(text::Format("select recpt_no from OPERA.financial_transactions where trx_no=%d", trxNo)).at(0));
    }
    int BillOfPayment(int trxNo) const {
        for (const pmsgen::Bill& bill : generated.bills) {
            if (Contains(bill.payments, trxNo)) {
                return bill.number;
            }
        }
        return 0;
    }
    // Every other transaction is registered already.
    void OnlyDue(const std::vector<int>& due) {
        std::vector<std::string> numbers;
        for (int trxNo : due) {
            numbers.push_back(std::to_string(trxNo));
        }
        Run("insert into qel_financial_transactions (trx_no, qel_fisc_status) select trx_no, 'Y' from "
            "OPERA.financial_transactions where trx_no not in (" + text::Join(numbers, ",") +
            ") and trx_no not in (select trx_no from qel_financial_transactions)");
    }
    std::vector<CFiscalCheck> Bills() {
        std::vector<CFiscalCheck> checks;
        storage.FindBills(checks);
        return checks;
    }
};

// --- refunds of the Mongolian interface ---

class OriginalCheckTest : public DepositsTest {
protected:
    static constexpr const char* kFiscalNumber = "000123";
    static constexpr const char* kTitle = "1_800001_1403_101010";

    // The bill's payments registered under one fiscal number and journal file.
    void Registered(const pmsgen::Bill& bill, const std::string& folio, const std::string& title) {
        for (int trxNo : bill.payments) {
            Run(text::Format("insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no, folio_no, "
                             "check_number, title) values (%d, 'Y', %d, '%s', '%s', '%s')",
                             trxNo, bill.number, folio.c_str(), kFiscalNumber, title.c_str()));
        }
    }
    // A bill of the sale's stay that gives the amount back in cash, naming the sale's number.
    void RefundBill(const pmsgen::Bill& sale, int bill, int trxNo, int amount) {
        Run(text::Format("insert into OPERA.folio$_tax (resort, bill_no, bill_generation_date, resv_name_id, "
                         "folio_view) values ('DEMO', %d, to_date('14.03.2026','dd.mm.yyyy'), %d, 1)",
                         bill, sale.reservation));
        Run(text::Format("insert into OPERA.financial_transactions (trx_no, resort, business_date, trx_code, "
                         "trx_amount, posted_amount, net_amount, currency, exchange_rate, recpt_no, bill_no, "
                         "ft_subtype, tran_action_id, cashier_id, quantity, resv_name_id, reference, room) values "
                         "(%d, 'DEMO', to_date('14.03.2026','dd.mm.yyyy'), '9000', %d, %d, %d, 'RUB', 1, %d, %d, "
                         "'FC', 1, 2, 1, %d, '%s', '101')",
                         trxNo, -amount, -amount, -amount, bill - 100000, bill, sale.reservation, kFiscalNumber));
    }
    CFiscalCheck RefundOf(const pmsgen::Bill& bill, const std::string& reference) {
        CFiscalCheck refund = storage.NewCheck();
        refund.folioNumber = bill.confirmation;
        struct_posting payment;
        payment.trx_no = 1;
        payment.trx_amount = -400;
        payment.reference = reference;
        refund.payments.push_back(payment);
        return refund;
    }
};

TEST_F(OriginalCheckTest, TheBillsRegisteredUnderTheNamedNumberJoinTheRefund) {
    Open(FullChecks());
    const pmsgen::Bill& sale = BillOf(generated.threePaymentBill);
    Registered(sale, sale.confirmation, kTitle);
    CFiscalCheck refund = RefundOf(sale, kFiscalNumber);
    ASSERT_TRUE(storage.ReadOriginalCheck(refund));
    EXPECT_EQ(refund.groupName, kFiscalNumber);
    EXPECT_EQ(refund.printedFileName, kTitle);
    ASSERT_EQ(refund.postings.size(), sale.postings.size());
    for (size_t i = 0; i < sale.postings.size(); ++i) {
        EXPECT_EQ(refund.postings[i].trx_no, sale.postings[i]);
    }
    ASSERT_EQ(refund.payments.size(), 1 + sale.payments.size());
    EXPECT_EQ(refund.payments[0].trx_no, 1);
    EXPECT_EQ(refund.payments[3].trx_no, sale.payments[2]);
    EXPECT_TRUE(Logged(text::Format("Found 1 checks, %s", kTitle)));
    EXPECT_TRUE(Logged(text::Format("Read bill %d", sale.number)));

    // Two bills of the stay under the number: both are read, the later bill's file names it.
    const pmsgen::Bill& other = BillOf(generated.currencyBill);
    Registered(other, sale.confirmation, "1_800004_1403_111111");
    refund = RefundOf(sale, kFiscalNumber);
    ASSERT_TRUE(storage.ReadOriginalCheck(refund));
    EXPECT_EQ(refund.printedFileName, "1_800004_1403_111111");
    EXPECT_EQ(refund.postings.size(), sale.postings.size() + other.postings.size());
    EXPECT_TRUE(Logged("Found 2 checks, 1_800004_1403_111111"));
}

TEST_F(OriginalCheckTest, WhatCannotBeReadLeavesTheRefundAsItWas) {
    Open(FullChecks());
    const pmsgen::Bill& sale = BillOf(generated.threePaymentBill);
    Registered(sale, sale.confirmation, kTitle);
    // A number no check was registered under: nothing to add, which is no failure.
    CFiscalCheck refund = RefundOf(sale, "999999");
    refund.SetPrintedFileName("1_kept");
    EXPECT_TRUE(storage.ReadOriginalCheck(refund));
    EXPECT_EQ(refund.payments.size(), 1u);
    EXPECT_TRUE(refund.postings.empty());
    EXPECT_EQ(refund.printedFileName, "1_kept");
    // Another stay's folio does not see the number either.
    refund = RefundOf(BillOf(generated.currencyBill), kFiscalNumber);
    EXPECT_TRUE(storage.ReadOriginalCheck(refund));
    EXPECT_TRUE(refund.postings.empty());
    // A check without payments names no number.
    CFiscalCheck empty = storage.NewCheck();
    EXPECT_FALSE(storage.ReadOriginalCheck(empty));
    EXPECT_TRUE(Logged("No payments for this check"));
    // The status table cannot be read.
    Run("alter table qel_financial_transactions rename to qel_gone");
    refund = RefundOf(sale, kFiscalNumber);
    EXPECT_FALSE(storage.ReadOriginalCheck(refund));
    EXPECT_TRUE(Logged("Request error. Not found original check for refund."));
    EXPECT_TRUE(refund.postings.empty());
}

TEST_F(OriginalCheckTest, MongolianRefundBillIsReadWithTheCheckItReverses) {
    Open(FullChecks() + WithoutPayMaster() +
         Changes{{"<printer>PM</printer>", "<printer>MONGOL</printer><district_code>01</district_code>"}});
    ASSERT_TRUE(storage.settings.refundReprint);
    const pmsgen::Bill& sale = BillOf(generated.threePaymentBill);
    Registered(sale, sale.confirmation, kTitle);
    // The guest is given 400 back on a bill of its own that names the sale's fiscal number.
    RefundBill(sale, 899001, 60000011, 400);
    std::vector<CFiscalCheck> checks = Bills();
    const CFiscalCheck* refund = Find(checks, "899001");
    ASSERT_NE(refund, nullptr);
    EXPECT_EQ(refund->statusCode, kBillRefund);
    EXPECT_EQ(refund->groupName, kFiscalNumber);
    EXPECT_EQ(refund->printedFileName, kTitle);
    EXPECT_EQ(refund->postings.size(), sale.postings.size());
    // The sale's payments are registered: they stay with the sale, only the refund's own is left.
    ASSERT_EQ(refund->payments.size(), 1u);
    EXPECT_EQ(refund->payments[0].trx_amount, -400);
    // The sale's total goes with it, for the rules to compare; no return of it is known.
    EXPECT_NEAR(refund->returnedSaleTotal, sale.total, 0.001);
    EXPECT_EQ(refund->earlierReturn, "");
    // A bill whose payments are positive is no refund.
    for (const CFiscalCheck& check : checks) {
        if (&check != refund) {
            EXPECT_NE(check.statusCode, kBillRefund) << check.checkNumber;
        }
    }

    // Once that refund is registered as a return, a second refund bill naming the sale knows it.
    Run("insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no, check_number) values "
        "(60000011, 'Y', 899001, 'R1')");
    RefundBill(sale, 899002, 60000012, 100);
    checks = Bills();
    refund = Find(checks, "899002");
    ASSERT_NE(refund, nullptr);
    EXPECT_EQ(refund->statusCode, kBillRefund);
    EXPECT_EQ(refund->earlierReturn, "899001");
    EXPECT_TRUE(Logged("Sale 000123 was returned by bill 899001 (fiscal number R1)"));
}

// --- deposits of the day ---

TEST_F(DepositsTest, RdrDepositsFirstThenOtherReceiptTypesThenDepositsWithoutBillThenTransfers) {
    Open();
    std::vector<CFiscalCheck> checks = Cycle();
    ASSERT_EQ(TrxNos(checks), (std::vector<int>{generated.rdrDeposit}));
    EXPECT_EQ(checks[0].statusCode, kDepositCheck);
    // The payment keeps its name; the line printed is the configured deposit.
    EXPECT_EQ(checks[0].payments.at(0).description, "Visa");
    EXPECT_EQ(checks[0].postings.at(0).description, "Deposit");
    EXPECT_TRUE(Logged(text::Format("*** Deposit %d ***", generated.rdrDeposit)));
    Registered(checks);
    EXPECT_EQ(Status(generated.rdrDeposit), "D");

    // No RDR deposit is left: the additional deposit codes, whatever their receipt type.
    checks = Cycle();
    ASSERT_EQ(TrxNos(checks), (std::vector<int>{generated.otherTypeDeposit}));
    EXPECT_EQ(checks[0].statusCode, kOtherDeposit);
    Registered(checks);
    EXPECT_EQ(Status(generated.otherTypeDeposit), "D");

    // Then the payments without a bill whose folio window is open.
    checks = Cycle();
    std::vector<int> unbilled = TrxNos(checks);
    std::sort(unbilled.begin(), unbilled.end());
    std::vector<int> expected = generated.inHousePayments;
    expected.insert(expected.end(),
                    {generated.payMasterPayment, generated.openWindowDeposit, generated.groupDeposit});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(unbilled, expected);
    for (const CFiscalCheck& check : checks) {
        EXPECT_EQ(check.statusCode, kDepositCheck);
    }
    EXPECT_TRUE(Logged(text::Format("Window balance for trx_no %d = 2000.00", generated.openWindowDeposit)));
    EXPECT_TRUE(Logged(text::Format("Window balance for trx_no %d = 0.00", generated.settledWindowPayment)));
    EXPECT_FALSE(Logged(text::Format("Window balance for trx_no %d = -0.00", generated.settledWindowPayment)));
    EXPECT_TRUE(Contains(generated.paymentsOfTheDay, generated.settledWindowPayment));
    Registered(checks);
    EXPECT_EQ(Status(generated.openWindowDeposit), "D");

    // Nothing of the kind is left: the advance moved to the colleague's stay is registered there
    // without a check, and the payments follow.
    checks = Cycle();
    EXPECT_TRUE(Logged(text::Format("Insert transfer deposit from %d to %d with status 'D'",
                                    generated.transferSource, generated.transferTarget)));
    EXPECT_EQ(Status(generated.depositTransfer), "D");
    EXPECT_EQ(Column("trx_code||'|'||trx_amount||'|'||reference||'|'||cashier_id||'|'||attempt",
                     generated.depositTransfer),
              text::Format("9901|2500|%d|0|0", generated.transferTarget));
    EXPECT_EQ(checks.size(), 16u);
    for (const CFiscalCheck& check : checks) {
        EXPECT_EQ(check.statusCode, kPaymentCheck);
        EXPECT_NE(check.payments[0].trx_no, generated.depositTransfer);
    }
    EXPECT_TRUE(Contains(TrxNos(checks), generated.settledWindowPayment));
}

TEST_F(DepositsTest, SixteenDepositsPerCycle) {
    Open();
    // Twenty more card deposits at the desk.
    const std::string columns =
        "resort, business_date, trx_code, trx_amount, posted_amount, net_amount, currency, exchange_rate, "
        "recpt_type, ft_subtype, tran_action_id, cashier_id, quantity, resv_name_id";
    for (int i = 1; i <= 20; ++i) {
        Run(text::Format("insert into OPERA.financial_transactions (trx_no, recpt_no, %s) select %d, %d, %s from "
                         "OPERA.financial_transactions where trx_no=%d",
                         columns.c_str(), 60000100 + i, 790100 + i, columns.c_str(), generated.rdrDeposit));
    }
    std::vector<CFiscalCheck> checks = Cycle();
    EXPECT_EQ(checks.size(), 16u);
    Registered(checks);
    checks = Cycle();
    EXPECT_EQ(checks.size(), 5u);
    for (const CFiscalCheck& check : checks) {
        EXPECT_EQ(check.statusCode, kDepositCheck);
    }
}

// A settled window's lines (100.10 + 200.20 - 300.30) do not add up to 0 in binary floating
// point: the balance is compared in cents.
TEST_F(DepositsTest, UnbilledPaymentOfASettledWindowIsNoDepositUnlessZeroBalancesAreIgnored) {
    struct Case {
        bool ignoreZeroBalance;
        bool settledTaken;
    };
    for (const Case& c : {Case{false, false}, Case{true, true}}) {
        SCOPED_TRACE(c.ignoreZeroBalance);
        CFiscalINI config;
        CDovozEderarezev backEnd;
        OpenWith(c.ignoreZeroBalance ? Changes{{"<ignore_view_balance>0<", "<ignore_view_balance>1<"}} : Changes{},
                 config, backEnd);
        double balance = 1;
        ASSERT_TRUE(backEnd.WindowBalance(generated.settledWindowPayment, balance));
        EXPECT_NE(balance, 0.0);
        EXPECT_LT(std::fabs(balance), 1e-9);
        std::vector<CFiscalCheck> checks;
        backEnd.FindUnbilledDeposits(checks);
        std::vector<int> found = TrxNos(checks);
        EXPECT_EQ(Contains(found, generated.settledWindowPayment), c.settledTaken);
        EXPECT_TRUE(Contains(found, generated.openWindowDeposit));
        // A stay whose window the AR settlement does not belong to has no balance either.
        EXPECT_EQ(Contains(found, generated.arPayment), c.ignoreZeroBalance);
    }
}

TEST_F(DepositsTest, ADepositTransferNeedsARegisteredSourceOfTheSameAmount) {
    Open();
    const std::string source = std::to_string(generated.transferSource);
    struct Case {
        const char* status;
        double amount;
        bool registered;
    };
    for (const Case& c : {Case{"N", 2500, false}, Case{"D", 2400, false}, Case{"D", 2500, true}}) {
        SCOPED_TRACE(std::string(c.status) + " " + std::to_string(c.amount));
        Run("delete from qel_financial_transactions");
        Row(generated.openWindowDeposit, c.status, c.amount, source);
        storage.FindDepositTransfers();
        EXPECT_EQ(Status(generated.depositTransfer), c.registered ? "D" : "-");
    }
    // Registered once: a second D row of the same amount does not make a second one, and a
    // later cycle does not register it again.
    Row(60000200, "D", 2500, source);
    storage.FindDepositTransfers();
    storage.FindDepositTransfers();
    EXPECT_EQ(Rows(text::Format("select count(*) from qel_financial_transactions where trx_no=%d",
                                generated.depositTransfer)),
              (std::vector<std::string>{"1"}));
    EXPECT_EQ(LogText().find("Insert transfer deposit from"),
              LogText().rfind("Insert transfer deposit from"));
    EXPECT_EQ(Column("reference", generated.depositTransfer), std::to_string(generated.transferTarget));
}

// --- deposits consumed by bills ---

TEST_F(DepositsTest, ADepositIsRegisteredOnceAndTheBillThatConsumesItMakesItY) {
    Open(FullChecks());
    std::vector<CFiscalCheck> checks = Cycle();
    ASSERT_EQ(TrxNos(checks), (std::vector<int>{generated.rdrDeposit}));
    Registered(checks);
    EXPECT_EQ(Status(generated.rdrDeposit), "D");
    CycleAfterDeposits();

    // Kate leaves the next day: her bill holds the deposit, registered already.
    OpenBusinessDate(kNextDay);
    checks = Bills();
    const CFiscalCheck* bill = Find(checks, std::to_string(generated.depositBill));
    ASSERT_NE(bill, nullptr);
    ASSERT_EQ(bill->payments.size(), 2u);
    EXPECT_EQ(bill->payments[0].trx_no, generated.rdrDeposit);
    EXPECT_EQ(bill->payments[0].fisc_status, "D");
    CFiscalCheck consumed = *bill;
    // Taken up, or failed: the deposit row stays D.
    ASSERT_TRUE(storage.SetCheckStatus(consumed, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(generated.rdrDeposit), "D");
    EXPECT_EQ(Column("bill_no", generated.rdrDeposit), std::to_string(generated.depositBill));
    ASSERT_TRUE(storage.SetCheckStatus(consumed, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(generated.rdrDeposit), "Y");
    EXPECT_EQ(Status(bill->payments[1].trx_no), "Y");
    // Neither the bill nor the deposit comes again.
    EXPECT_EQ(Find(Bills(), std::to_string(generated.depositBill)), nullptr);
}

// The agency's deposit is brought over to a group member's bill with the pay-master code 9100;
// the bill's payment takes over the state of that deposit.
TEST_F(DepositsTest, APayMasterPaymentTakesOverTheStateOfTheDepositItCameFrom) {
    struct Case {
        const char* source;       // status of the group deposit's row, "-" for none
        const char* fiscStatus;   // the bill's payment after discovery
        int code;                 // its transaction code
        int lineType;
        const char* ownRow;       // its own status row
        const char* sourceRow;    // the deposit's row
    };
    const Case cases[] = {
        {"D", "D", 9100, 21, "N", "D"},
        {"Y", "Y", 9100, 18, "Y", "Y"},
        {"-", "N", 9004, 21, "N", "N"},
        {"N", "N", 9004, 21, "N", "N"},
    };
    Open(FullChecks());
    OpenBusinessDate(kNextDay);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Run("delete from qel_financial_transactions");
        if (std::string(c.source) != "-") {
            Row(generated.groupDeposit, c.source, 15000);
        }
        std::vector<CFiscalCheck> checks = Bills();
        const CFiscalCheck* bill = Find(checks, std::to_string(generated.payMasterDepositBill));
        ASSERT_NE(bill, nullptr);
        const struct_posting& payment = bill->payments.back();
        ASSERT_EQ(payment.trx_no, generated.payMasterDeposit);
        EXPECT_EQ(payment.deposit_no, 9004);
        EXPECT_EQ(payment.deposit_flag, generated.groupDeposit);
        EXPECT_EQ(payment.fisc_status, c.fiscStatus);
        EXPECT_EQ(payment.trx_code, c.code);
        EXPECT_EQ(payment.line_type, c.lineType);
        EXPECT_EQ(Status(generated.payMasterDeposit), c.ownRow);
        EXPECT_EQ(Status(generated.groupDeposit), c.sourceRow);
        if (c.fiscStatus == std::string("N")) {
            // The deposit was not registered: the bill registers it, and its row goes with the bill.
            EXPECT_EQ(Column("bill_no", generated.groupDeposit), std::to_string(generated.payMasterDepositBill));
            CFiscalCheck registered = *bill;
            ASSERT_TRUE(storage.SetCheckStatus(registered, CheckStatusLetter::NotRegistered));
            ASSERT_TRUE(storage.SetCheckStatus(registered, CheckStatusLetter::Registered));
            EXPECT_EQ(Status(generated.groupDeposit), "Y");
        }
    }
    EXPECT_TRUE(Logged("*** Find deposit original payment ***"));
    EXPECT_TRUE(Logged("ERROR.Deposit already fiscalized.Check saved"));

    // Registered with a deposit row: the payment's own row goes N -> D -> Y with the bill.
    Run("delete from qel_financial_transactions");
    Row(generated.groupDeposit, "D", 15000);
    std::vector<CFiscalCheck> checks = Bills();
    CFiscalCheck bill = *Find(checks, std::to_string(generated.payMasterDepositBill));
    ASSERT_TRUE(storage.SetCheckStatus(bill, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(generated.payMasterDeposit), "D");
    ASSERT_TRUE(storage.SetCheckStatus(bill, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(generated.payMasterDeposit), "Y");
    EXPECT_EQ(Find(Bills(), std::to_string(generated.payMasterDepositBill)), nullptr);
}

TEST_F(DepositsTest, APayMasterPaymentWithoutHeaderIsTiedThroughTheJournal) {
    Open(FullChecks());
    OpenBusinessDate(kNextDay);
    Row(generated.groupDeposit, "D", 15000);
    Run(text::Format("update OPERA.financial_transactions set trx_no_header=NULL where trx_no=%d",
                     generated.payMasterDeposit));
    // Not in the journal yet: the payment stays as it is.
    std::vector<CFiscalCheck> checks = Bills();
    const CFiscalCheck* bill = Find(checks, std::to_string(generated.payMasterDepositBill));
    ASSERT_NE(bill, nullptr);
    EXPECT_EQ(bill->payments.back().deposit_no, 0);
    EXPECT_EQ(bill->payments.back().fisc_status, "N");
    EXPECT_TRUE(Logged("Deposit original payment was transfered"));
    EXPECT_TRUE(Logged("Deposit original payment not found"));
    // The journal names the deposit as the payment's header.
    Run(text::Format("insert into OPERA.financial_transactions_jrnl (trx_no, trx_no_header, resort, u_d_flag) "
                     "values (%d, %d, 'DEMO', 'U')",
                     generated.payMasterDeposit, generated.groupDeposit));
    checks = Bills();
    bill = Find(checks, std::to_string(generated.payMasterDepositBill));
    ASSERT_NE(bill, nullptr);
    EXPECT_EQ(bill->payments.back().deposit_no, 9004);
    EXPECT_EQ(bill->payments.back().deposit_flag, generated.groupDeposit);
    EXPECT_EQ(bill->payments.back().fisc_status, "D");
}

TEST_F(DepositsTest, ADepositTiedToABillIsNotFoundByAPaymentFinderOfTheSameCycle) {
    Open(FullChecks());
    OpenBusinessDate(kNextDay);
    // The agency paid on the pay master's room the day the member leaves.
    Run(text::Format("update OPERA.financial_transactions set room='9999', "
                     "business_date=to_date('15.03.2026','dd.mm.yyyy') where trx_no=%d",
                     generated.groupDeposit));
    std::vector<CFiscalCheck> checks;
    storage.FindBills(checks);
    size_t bills = checks.size();
    storage.FindPayMasterPayments(checks);
    EXPECT_EQ(checks.size(), bills);
    EXPECT_TRUE(Logged(text::Format("Transaction %d is in a check of this cycle already", generated.groupDeposit)));
}

// --- pro-forma folio deposits ---

// The pro-forma deposit is registered as an advance (D); the cancellation bill that refunds it,
// without postings, registers the refund as an advance of its own, and its registration settles
// the deposit: both rows Y, the reservation's deposits deleted.
TEST_F(DepositsTest, ProFormaDepositsAreRegisteredThenSettledByTheBillWithoutPostings) {
    Open(FullChecks() + WithoutPayMaster() + Changes{{"<proforma_folio_deposit>0<", "<proforma_folio_deposit>1<"}});
    OpenBusinessDate(kNextDay);
    OpenBusinessDate(kDayAfter);
    std::vector<CFiscalCheck> checks = Cycle();
    const CFiscalCheck* deposit = FindPayment(checks, generated.proFormaDeposit);
    ASSERT_NE(deposit, nullptr);
    EXPECT_EQ(deposit->statusCode, kDepositCheck);
    ASSERT_EQ(deposit->postings.size(), 1u);
    EXPECT_DOUBLE_EQ(deposit->postings[0].trx_amount, 4000);
    std::string reservation = deposit->reservationId;
    Registered(checks);
    EXPECT_EQ(Status(generated.proFormaDeposit), "D");

    // The cancellation bill: the deposit and its refund, no postings.
    checks = Cycle();
    const CFiscalCheck* bill = Find(checks, std::to_string(generated.proFormaBill));
    ASSERT_NE(bill, nullptr);
    EXPECT_EQ(bill->statusCode, kDepositCheck);
    ASSERT_EQ(bill->payments.size(), 1u);
    EXPECT_EQ(bill->payments[0].trx_no, generated.proFormaRefund);
    ASSERT_EQ(bill->postings.size(), 1u);
    EXPECT_DOUBLE_EQ(bill->postings[0].trx_amount, -4000);
    ASSERT_EQ(bill->settledDeposits.size(), 1u);
    EXPECT_EQ(bill->settledDeposits[0].trx_no, generated.proFormaDeposit);
    EXPECT_TRUE(Logged("Check Pro-Forma Folio for refund"));
    EXPECT_TRUE(Logged("Pro-Forma Folio " + reservation));
    // The refund's row is the bill's.
    EXPECT_EQ(Column("bill_no", generated.proFormaRefund), std::to_string(generated.proFormaBill));
    CFiscalCheck settled = *bill;
    // A failed registration leaves the refund N and the deposit D.
    ASSERT_TRUE(storage.SetCheckStatus(settled, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(generated.proFormaRefund), "N");
    EXPECT_EQ(Status(generated.proFormaDeposit), "D");
    EXPECT_EQ(Rows("select count(*) from deposit_financial_transactions where resv_name_id=" + reservation),
              (std::vector<std::string>{"1"}));
    ASSERT_TRUE(storage.SetCheckStatus(settled, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(generated.proFormaRefund), "Y");
    EXPECT_EQ(Status(generated.proFormaDeposit), "Y");
    EXPECT_EQ(Rows("select count(*) from deposit_financial_transactions where resv_name_id=" + reservation),
              (std::vector<std::string>{"0"}));
    EXPECT_TRUE(Logged("Pro-Forma Folio " + reservation + " settled by bill " + std::to_string(generated.proFormaBill)));
    EXPECT_EQ(Find(Cycle(), std::to_string(generated.proFormaBill)), nullptr);
}

// A pro-forma bill without postings and without a registered deposit goes as it is, so that it
// is registered or closed where it can be seen, rather than waiting for ever; one paid by its
// deposits alone is settled at once.
TEST_F(DepositsTest, AProFormaBillWithoutADepositGoesAsItIsAndOnePaidByItsDepositIsSettled) {
    Open(FullChecks() + WithoutPayMaster() + Changes{{"<proforma_folio_deposit>0<", "<proforma_folio_deposit>1<"}});
    OpenBusinessDate(kNextDay);
    OpenBusinessDate(kDayAfter);
    // The deposit is not in the deposits table: never registered as an advance.
    Run(text::Format("delete from OPERA.deposit_financial_transactions where trx_no=%d", generated.proFormaDeposit));
    std::vector<CFiscalCheck> checks = Cycle();
    Registered(checks);  // the other deposits of the table
    checks = Cycle();
    const CFiscalCheck* bill = Find(checks, std::to_string(generated.proFormaBill));
    ASSERT_NE(bill, nullptr);
    EXPECT_EQ(bill->payments.size(), 2u);
    EXPECT_TRUE(Logged("No deposit payment in this check: the bill goes as it is"));

    // Paid by its deposit alone: settled without a check.
    Run(text::Format("delete from OPERA.financial_transactions where trx_no=%d", generated.proFormaRefund));
    Run(text::Format("insert into OPERA.deposit_financial_transactions (trx_no, resort, trx_code, trx_amount, "
                     "resv_name_id) select trx_no, resort, trx_code, trx_amount, resv_name_id from "
                     "OPERA.financial_transactions where trx_no=%d",
                     generated.proFormaDeposit));
    Row(generated.proFormaDeposit, "D", 4000);
    checks = Cycle();
    EXPECT_EQ(Find(checks, std::to_string(generated.proFormaBill)), nullptr);
    EXPECT_EQ(Status(generated.proFormaDeposit), "Y");
    EXPECT_TRUE(Logged("is paid by its deposits alone: settled without a check"));
}

// --- split parts ---

TEST_F(DepositsTest, ASplitPartInheritsTheStatusOfThePaymentOperaSplit) {
    struct Case {
        const char* origin;  // status of the deleted payment's row, "-" for none
        const char* deleted; // business date of the deletion
        bool emitted;
        const char* parts;   // the parts' rows
    };
    const Case cases[] = {
        // On the same business date a registered payment hands its letter on (first: the finder
        // knows the business date before it loads its first row); one not registered yet does not:
        // inheriting N, its parts would wait for ever, so they are registered as payments.
        {"N", kBusinessDate, true, "-"},
        {"Y", kBusinessDate, false, "Y"},
        {"Y", "13.03.2026", false, "Y"},
        {"D", "13.03.2026", false, "D"},
        {"N", "13.03.2026", true, "-"},
        {"-", kBusinessDate, true, "-"},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.origin) + " " + c.deleted);
        Run("delete from qel_financial_transactions");
        OnlyDue(generated.splitParts);
        if (std::string(c.origin) != "-") {
            Row(generated.splitOrigin, c.origin, 6000);
        }
        Run(text::Format("update OPERA.financial_transactions_jrnl set business_date=to_date('%s','dd.mm.yyyy') "
                         "where trx_no=%d",
                         c.deleted, generated.splitOrigin));
        std::vector<CFiscalCheck> checks;
        storage.FindPaymentChecks(checks);
        for (int part : generated.splitParts) {
            EXPECT_EQ(Contains(TrxNos(checks), part), c.emitted) << part;
            EXPECT_EQ(Status(part), c.parts) << part;
        }
    }
    EXPECT_TRUE(Logged("Split check passed!"));
    EXPECT_TRUE(Logged(text::Format("Split part %d of an unregistered payment (N): registered as a payment",
                                    generated.splitParts[0])));
}

TEST_F(DepositsTest, SplitPartsOfARegisteredPaymentStayInTheirBillAsRegistered) {
    Open(FullChecks());
    std::vector<CFiscalCheck> checks = Bills();
    const CFiscalCheck* bill = nullptr;
    for (const CFiscalCheck& check : checks) {
        if (!check.payments.empty() && check.payments[0].trx_no == generated.splitParts[0]) {
            bill = &check;
        }
    }
    ASSERT_NE(bill, nullptr);
    EXPECT_EQ(bill->postings.size(), 3u);
    ASSERT_EQ(bill->payments.size(), 2u);
    for (const struct_posting& part : bill->payments) {
        EXPECT_EQ(part.fisc_status, "Y");
        EXPECT_EQ(Status(part.trx_no), "Y");
    }
}

TEST_F(DepositsTest, ASplitPartWhoseOriginCannotBeReadWaits) {
    Open();
    OnlyDue({generated.splitParts[0], generated.splitParts[1], generated.refundSale});
    Run("alter table OPERA.financial_transactions_jrnl rename to jrnl_gone");
    std::vector<CFiscalCheck> checks;
    storage.FindPaymentChecks(checks);
    // The payments after the failed query are found as usual.
    EXPECT_EQ(TrxNos(checks), (std::vector<int>{generated.refundSale}));
    for (int part : generated.splitParts) {
        EXPECT_FALSE(Contains(TrxNos(checks), part));
        EXPECT_EQ(Status(part), "-");
    }
    EXPECT_FALSE(Logged("Split check passed!"));
    // A bill holding such a part waits too.
    CFiscalINI config;
    CDovozEderarezev bills;
    OpenWith(FullChecks(), config, bills);
    checks.clear();
    bills.FindBills(checks);
    int split = BillOfPayment(generated.splitParts[0]);
    EXPECT_EQ(Find(checks, std::to_string(split)), nullptr);
    EXPECT_TRUE(Logged(text::Format("Bill %d waits: the payment a split part came from cannot be read", split)));
}

// --- refunds of registered payments ---

TEST_F(DepositsTest, ARefundIsConfirmedAgainstTheSaleWhoseReceiptItNames) {
    Open();
    storage.NoteBusinessDate(kBusinessDate);
    struct Case {
        int refund;
        bool confirmed;
        int statusCode;
        std::string error;
    };
    const Case cases[] = {
        {generated.sameDayRefund, true, 2, ""},
        {generated.laterDayRefund, true, 7, ""},
        {generated.tooLargeRefund, false, 2,
         platform::Cp1251("Сумма возврата -2500.00 больше суммы оригинального платежа 2000.00")},
    };
    std::vector<CFiscalCheck> checks;
    storage.FindPaymentChecks(checks);
    storage.FindPaymentChecks(checks);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refund);
        const CFiscalCheck* found = FindPayment(checks, c.refund);
        ASSERT_NE(found, nullptr);
        CFiscalCheck refund = *found;
        const struct_posting& payment = refund.payments[0];
        EXPECT_EQ(storage.ConfirmRefund(refund, text::ToInt(payment.reference), payment.trx_amount), c.confirmed);
        EXPECT_EQ(CodeNumber(refund.statusCode), c.statusCode);
        EXPECT_EQ(storage.GetLastError(), c.error);
    }
    EXPECT_TRUE(Logged("Refund business date 14.03.2026 not equal Payment business date 13.03.2026"));
    EXPECT_TRUE(Logged("Turn fiscal check to PickUp"));

    // The amounts compare in cents: a refund summed to 3.3000000000000003 is not larger than a
    // sale of 3.30.
    Run(text::Format("update OPERA.financial_transactions set trx_amount=3.30 where trx_no=%d", generated.refundSale));
    CFiscalCheck refund = *FindPayment(checks, generated.sameDayRefund);
    EXPECT_TRUE(storage.ConfirmRefund(refund, Receipt(generated.refundSale), -(1.1 + 2.2)));
    EXPECT_FALSE(storage.ConfirmRefund(refund, Receipt(generated.refundSale), -3.31));
}

}  // namespace
