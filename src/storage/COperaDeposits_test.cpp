// Deposits, refunds and splits of the Opera back-end on the demo hotel's generated PMS with its
// deposit stories: what the finders take, which status rows they write, and how a refund, a
// deposit brought over to a bill and a split part are tied to what they came from.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/CodePage.h"
#include "storage/testing/DemoHotel.h"

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
    Run("insert into OPERA.folio$_tax (resort, bill_no, bill_generation_date, resv_name_id, folio_view) values "
        "('DEMO', 899001, to_date('14.03.2026','dd.mm.yyyy'), " +
        std::to_string(sale.reservation) + ", 1)");
    Run("insert into OPERA.financial_transactions (trx_no, resort, business_date, trx_code, trx_amount, "
        "posted_amount, net_amount, currency, exchange_rate, recpt_no, bill_no, ft_subtype, tran_action_id, "
        "cashier_id, quantity, resv_name_id, reference, room) values (60000011, 'DEMO', "
        "to_date('14.03.2026','dd.mm.yyyy'), '9000', -400, -400, -400, 'RUB', 1, 799001, 899001, 'FC', 1, 2, 1, " +
        std::to_string(sale.reservation) + ", '000123', '101')");
    std::vector<CFiscalCheck> checks = Bills();
    const CFiscalCheck* refund = Find(checks, "899001");
    ASSERT_NE(refund, nullptr);
    EXPECT_EQ(refund->statusCode, 14);
    EXPECT_EQ(refund->groupName, kFiscalNumber);
    EXPECT_EQ(refund->printedFileName, kTitle);
    EXPECT_EQ(refund->postings.size(), sale.postings.size());
    EXPECT_EQ(refund->payments.size(), 1 + sale.payments.size());
    // A bill whose payments are positive is no refund.
    for (const CFiscalCheck& check : checks) {
        if (&check != refund) {
            EXPECT_NE(check.statusCode, 14) << check.checkNumber;
        }
    }
}

}  // namespace
