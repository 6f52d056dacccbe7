#include <gtest/gtest.h>

#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "tests/support/storage/TestPms.h"

namespace {

using testpms::Pms;
using Rows = std::vector<std::string>;

struct_posting Payment(int trxNo, int code, double amount, const std::string& description = "Cash") {
    struct_posting p;
    p.trx_no = trxNo;
    p.trx_code = code;
    p.trx_amount = amount;
    p.description = description;
    p.room = "101";
    p.cashier_id = "7";
    p.business_date = "14.03.2026";
    return p;
}

class StatusTableTest : public ::testing::Test {
protected:
    StatusTableTest() : log(pms.folder) {}

    void Open(int printerType = 7, bool fullCheck = true, bool payMaster = false) {
        config.values["//fidelio_ini/base_access"] = pms.ConnectionString();
        config.values["//fidelio_ini/fidelio_schema"] = "OPERA";
        config.values["//fidelio_ini/property_code"] = "HOTEL";
        if (payMaster) {
            config.values["//fidelio_ini/deposit/code"] = "9100";
        }
        config.printerType = printerType;
        config.fullCheck = fullCheck;
        storage.SetLogFile(&log.log);
        storage.SetSideFileFolder(pms.folder.Path());
        ASSERT_TRUE(storage.Open(config)) << storage.GetLastError();
    }

    CFiscalCheck Bill(const std::string& bill, std::vector<struct_posting> payments) {
        CFiscalCheck check;
        check.statusCode = kBillCheck;
        check.checkNumber = bill;
        check.receiptNumber = "7001";
        check.folioNumber = "123456";
        check.reservationId = "300";
        check.station = "FRONT1";
        check.billDate = "2026-03-14T10:15:00+01:00";
        check.payments = std::move(payments);
        return check;
    }

    void Row(int trxNo, const std::string& status, const std::string& bill = "5001",
             const std::string& folio = "123456") {
        pms.Run(text::Format(
            "insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no, folio_no) values "
            "(%d, '%s', %s, '%s')",
            trxNo, status.c_str(), bill.c_str(), folio.c_str()));
    }

    std::string Status(int trxNo) {
        Rows rows = pms.Rows(
            text::Format("select qel_fisc_status from qel_financial_transactions where trx_no=%d", trxNo));
        return rows.size() == 1 ? rows[0] : "<none>";
    }

    std::string Stored(int trxNo) {
        Rows rows = pms.Rows(text::Format(
            "select trx_no, trx_code, description, trx_amount, room, recpt_no, folio_no, bill_no, machine, "
            "cashier_id, "
            "qel_fisc_status, to_char(business_date,'dd.mm.yyyy hh24:mi:ss'), attempt, reference from "
            "qel_financial_transactions where trx_no=%d",
            trxNo));
        return rows.size() == 1 ? rows[0] : "<" + std::to_string(rows.size()) + " rows>";
    }

    Pms pms;
    testpms::Log log;
    testpms::FakeConfiguration config;
    testpms::Storage storage;
};

TEST_F(StatusTableTest, RegisterCheckRowsWritesEachNewPaymentOnce) {
    Open();
    CFiscalCheck check = Bill("5001", {Payment(1002, 9000, -60), Payment(1003, 9004, -40)});
    check.payments[1].fisc_status = "Y";  // has a row already
    check.printerName = "2";
    ASSERT_TRUE(storage.RegisterCheckRows(check)) << storage.GetLastError();
    EXPECT_EQ(Stored(1002), "1002|9000|Cash|-60|101|7001|123456|5001|FRONT1|7|N|14.03.2026 00:00:00|2|300");
    EXPECT_EQ(Stored(1003), "<0 rows>");
    EXPECT_EQ(check.payments[0].fisc_status, "N");
    EXPECT_EQ(check.payments[0].bill_no, 5001);
    // A second call finds nothing new to insert, so it cannot fail on the existing row.
    ASSERT_TRUE(storage.RegisterCheckRows(check));
    EXPECT_FALSE(log.Has("Executing failure"));
}

TEST_F(StatusTableTest, RowKeysFollowTheCheckKind) {
    Open();
    CFiscalCheck noBill = Bill("", {Payment(1004, 9000, -25)});
    ASSERT_TRUE(storage.RegisterCheckRows(noBill));
    EXPECT_EQ(pms.Rows("select bill_no, folio_no from qel_financial_transactions where trx_no=1004"),
              (Rows{"7001|123456"}));
    CFiscalCheck deposits = Bill("", {Payment(2001, 9000, 50)});
    deposits.statusCode = kReservationDeposits;
    ASSERT_TRUE(storage.RegisterCheckRows(deposits));
    EXPECT_EQ(pms.Rows("select folio_no from qel_financial_transactions where trx_no=2001"), (Rows{"300"}));
}

TEST_F(StatusTableTest, TextsKeepTheirApostrophesAndCannotBreakAStatement) {
    Open();
    CFiscalCheck check = Bill("5001", {Payment(1002, 9000, -60, "Guest's 10% discount")});
    check.payments[0].cashier_id = "7'";                                  // not a number: written as NULL
    check.SetField(13, "O'Neil'); delete from qel_code_convertion; --");  // doubled by SetField
    check.SetField(3, "12'3");
    check.reservationId = "30'0";  // raw, not doubled
    ASSERT_TRUE(storage.RegisterCheckRows(check)) << storage.GetLastError();
    EXPECT_EQ(
        pms.Rows(
            "select description, machine, cashier_id, folio_no, reference from qel_financial_transactions"),
        (Rows{"Guest's 10# discount|O'Neil'); delete from qel_code_convertion; --|~|12'3|30'0"}));
    check.printerId = "P'1";
    check.fiscalNumber = "F'%s'";
    ASSERT_TRUE(storage.SaveFiscalData(check)) << storage.GetLastError();
    EXPECT_EQ(pms.Rows("select printer_id, check_number from qel_financial_transactions"),
              (Rows{"P'1|F'%s'"}));
}

TEST_F(StatusTableTest, PmsTextsAreStoredExactlyAsThePmsHoldsThem) {
    Open();
    // Texts that hold a doubled apostrophe already, as the PMS may hold them: a line text as
    // read, check fields as SetField keeps them, and a device's answer.
    CFiscalCheck check = Bill("5001", {Payment(1002, 9000, -60, "It''s paid")});
    check.payments[0].room = "1''2";
    check.SetField(13, "Desk ''A''");
    check.SetField(3, "F'''1");
    ASSERT_TRUE(storage.RegisterCheckRows(check)) << storage.GetLastError();
    EXPECT_EQ(pms.Rows("select description, room, machine, folio_no from qel_financial_transactions"),
              (Rows{"It''s paid|1''2|Desk ''A''|F'''1"}));
    check.fiscalNumber = "N''7";
    check.printerId = "P'1";
    ASSERT_TRUE(storage.SaveFiscalData(check)) << storage.GetLastError();
    EXPECT_EQ(pms.Rows("select check_number, printer_id from qel_financial_transactions"), (Rows{"N''7|P'1"}));
}

TEST_F(StatusTableTest, StatusLettersAtBillLevel) {
    Open();
    Row(1002, "Y");
    Row(1010, "D");
    Row(1011, "N");
    Row(1012, "S");
    CFiscalCheck check = Bill("5001", {Payment(1002, 9000, -60), Payment(1011, 9000, -5)});
    check.payments[0].fisc_status = "Y";
    check.payments[1].fisc_status = "N";
    // N over Y changes nothing; the D row of the bill stays; S is overwritten.
    ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(1002), "Y");
    EXPECT_EQ(Status(1010), "D");
    EXPECT_EQ(Status(1011), "N");
    EXPECT_EQ(Status(1012), "N");
    ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(1010), "D");
    EXPECT_EQ(Status(1011), "Y");
    // A check without payments takes the D rows of its bill along.
    CFiscalCheck empty = Bill("5001", {});
    ASSERT_TRUE(storage.SetCheckStatus(empty, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(1010), "N");
    EXPECT_EQ(Status(1002), "Y");
}

TEST_F(StatusTableTest, AFullModeCheckWithoutBillNumberWritesOnlyItsOwnRows) {
    Open();
    // A bill whose number equals the payment's receipt number, not yet registered; and another
    // payment of the same receipt, a check of its own.
    Row(1020, "N", "7001");
    Row(1021, "N", "7001");
    CFiscalCheck payMaster = Bill("", {Payment(1022, 9000, 80)});
    payMaster.statusCode = kPayMasterCheck;
    ASSERT_TRUE(storage.SetCheckStatus(payMaster, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(pms.Rows("select bill_no from qel_financial_transactions where trx_no=1022"), (Rows{"7001"}));
    ASSERT_TRUE(storage.SetCheckStatus(payMaster, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(1022), "Y");
    EXPECT_EQ(Status(1020), "N");
    EXPECT_EQ(Status(1021), "N");
    CFiscalCheck nothing = Bill("", {});
    nothing.statusCode = kPayMasterCheck;
    EXPECT_FALSE(storage.SetCheckStatus(nothing, CheckStatusLetter::Registered));
}

TEST_F(StatusTableTest, StatusLettersPerTransaction) {
    Open();
    Row(1003, "N", "NULL");
    Row(1004, "N", "NULL");
    // A deposit check asked for Y stores D; kind 20 too.
    CFiscalCheck deposit = Bill("", {Payment(1003, 9000, -25), Payment(1004, 9000, -1)});
    deposit.statusCode = kDepositCheck;
    deposit.payments[0].fisc_status = deposit.payments[1].fisc_status = "N";
    ASSERT_TRUE(storage.SetCheckStatus(deposit, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(1003), "D");
    EXPECT_EQ(Status(1004), "N");  // only the first transaction is the check's
    deposit.statusCode = kOtherDeposit;
    ASSERT_TRUE(storage.SetCheckStatus(deposit, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(1003), "N");
    // An AR payment check writes its one transaction, registering it first.
    CFiscalCheck ar = Bill("", {Payment(1007, 9000, -70)});
    ar.statusCode = kReceivablePayment;
    ASSERT_TRUE(storage.SetCheckStatus(ar, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(1007), "Y");
    CFiscalCheck none = Bill("5001", {});
    none.statusCode = kReceivablePayment;
    EXPECT_FALSE(storage.SetCheckStatus(none, CheckStatusLetter::Registered));
}

// In full-check mode a check of one payment writes its first transaction's row, any other kind
// every row of its bill; unlike Suite8, a check registered like a deposit (4) is a bill and keeps
// N while it is due.
TEST_F(StatusTableTest, FullCheckModeWritesPaymentKindsToTheirFirstRowOnly) {
    Open();
    struct Case {
        CheckStatusCode kind;
        CheckStatusLetter asked;
        std::string first, second;
    };
    using L = CheckStatusLetter;
    const Case cases[] = {
        {kPaymentCheck, L::Registered, "Y", "N"},      {kRefundCheck, L::Registered, "Y", "N"},
        {kDepositCheck, L::Registered, "D", "N"},      {kOtherDeposit, L::Registered, "D", "N"},
        {kReceivablePayment, L::Registered, "Y", "N"}, {kDepositLikeCheck, L::NotRegistered, "N", "N"},
        {kDepositLikeCheck, L::Registered, "Y", "Y"},  {kCashLoan, L::Registered, "Y", "Y"},
        {kPayMasterCheck, L::Registered, "Y", "Y"},    {kBillCheck, L::Registered, "Y", "Y"}};
    int trxNo = 3000;
    for (const Case& c : cases) {
        std::string bill = std::to_string(trxNo);
        CFiscalCheck check = Bill(bill, {Payment(trxNo + 1, 9000, -10), Payment(trxNo + 2, 9000, -20)});
        check.statusCode = c.kind;
        for (struct_posting& payment : check.payments) {
            Row(payment.trx_no, "N", bill);
            payment.fisc_status = "N";
        }
        ASSERT_TRUE(storage.SetCheckStatus(check, c.asked)) << storage.GetLastError();
        EXPECT_EQ(Status(trxNo + 1), c.first) << c.kind << " " << c.asked;
        EXPECT_EQ(Status(trxNo + 2), c.second) << c.kind << " " << c.asked;
        trxNo += 10;
    }
}

// Payments-only mode: the letter per kind; unlike Suite8, a check registered like a deposit (4)
// keeps N while it is due.
TEST_F(StatusTableTest, PaymentsOnlyModeWritesTheLetterOfTheKind) {
    Open(7, false);
    using L = CheckStatusLetter;
    const std::tuple<CheckStatusCode, L, std::string> cases[] = {
        {kPaymentCheck, L::Registered, "Y"},     {kDepositCheck, L::Registered, "D"},
        {kOtherDeposit, L::Registered, "D"},     {kDepositLikeCheck, L::NotRegistered, "N"},
        {kDepositLikeCheck, L::Registered, "Y"}, {kReceivablePayment, L::Registered, "Y"},
        {kDepositCheck, L::RegisterAgain, "S"}};
    int trxNo = 3200;
    for (const auto& [kind, asked, stored] : cases) {
        CFiscalCheck check = Bill("5001", {Payment(++trxNo, 9000, -10)});
        check.statusCode = kind;
        ASSERT_TRUE(storage.SetCheckStatus(check, asked)) << storage.GetLastError();
        EXPECT_EQ(Status(trxNo), stored) << kind << " " << asked;
    }
}

TEST_F(StatusTableTest, PaymentsOnlyModeWritesTheFirstTransaction) {
    Open(7, false);
    Row(1011, "N");
    CFiscalCheck check = Bill("5001", {Payment(1002, 9000, -60)});
    check.statusCode = kPaymentCheck;
    ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(1002), "Y");
    EXPECT_EQ(Status(1011), "N");  // the bill's other rows are not this check's
}

TEST_F(StatusTableTest, PayMasterDepositRowsFollowTheBillButNeverFallBackToN) {
    Open(7, true, true);
    Row(1010, "D", "4001");
    CFiscalCheck check = Bill("5001", {Payment(1002, 9000, -60), Payment(1010, 9100, -50)});
    check.payments[1].fisc_status = "D";
    check.payments[1].bill_no = 4001;
    struct_posting removed = Payment(1020, 9100, -10);
    removed.fisc_status = "D";
    removed.bill_no = 4002;
    Row(1020, "D", "4002");
    check.removedLines.push_back(removed);
    ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered));
    // Re-billed to this bill, the removed line with this bill's station too.
    EXPECT_EQ(
        pms.Rows(
            "select trx_no, bill_no, machine, qel_fisc_status from qel_financial_transactions order by 1"),
        (Rows{"1002|5001|FRONT1|N", "1010|5001|~|D", "1020|5001|FRONT1|D"}));
    ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(1010), "Y");
    EXPECT_EQ(Status(1020), "Y");
}

TEST_F(StatusTableTest, CzechInterfaceWritesTheSaleTimeAsADateAndF) {
    Open(10);
    CFiscalCheck check = Bill("5001", {Payment(1002, 9000, -60)});
    ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered)) << storage.GetLastError();
    EXPECT_EQ(Stored(1002), "1002|9000|Cash|-60|101|7001|123456|5001|FRONT1|7|N|14.03.2026 10:15:00|0|300");
    // A date like any other row's: date comparisons see it.
    EXPECT_EQ(pms.Rows("select count(*) from qel_financial_transactions where business_date >= "
                       "to_date('14.03.2026','dd.mm.yyyy') and business_date < to_date('15.03.2026','dd.mm.yyyy')"),
              (Rows{"1"}));
    EXPECT_EQ(Status(1002), "N");
    check.printedFileName = "ST_1_check.txt";
    ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(1002), "F");
    check.printedFileName.clear();
    check.statusCode = kOfflineRegistration;
    ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(1002), "F");

    // Without a sale time the row takes the payment's business date, as on other printers.
    CFiscalCheck undated = Bill("5002", {Payment(1004, 9000, -10)});
    undated.billDate.clear();
    ASSERT_TRUE(storage.SetCheckStatus(undated, CheckStatusLetter::NotRegistered)) << storage.GetLastError();
    EXPECT_EQ(Stored(1004), "1004|9000|Cash|-10|101|7001|123456|5002|FRONT1|7|N|14.03.2026 00:00:00|0|300");
    // The history clean-up takes the sale-time rows with the others once they are old enough.
    ASSERT_TRUE(storage.qelFiscal.ClearHistory(3));
    EXPECT_EQ(pms.Rows("select count(*) from qel_financial_transactions"), (Rows{"0"}));
}

// In pro-forma mode a bill that consumed a registered deposit (D) settles it once it is Y: its
// own rows and the deposit's are Y and the reservation's deposits go; at N the deposit stays D.
TEST_F(StatusTableTest, DepositSettlementFinalisesTheReservation) {
    config.values["//fidelio_ini/proforma_folio_deposit"] = "1";
    Open();
    Row(2001, "D", "4999", "300");  // a pro-forma deposit of reservation 300, registered as an advance
    Row(1002, "N");
    pms.Run("insert into deposit_financial_transactions (trx_no, resv_name_id) values (2001, 300)");
    pms.Run("insert into deposit_financial_transactions (trx_no, resv_name_id) values (2002, 301)");
    struct Case {
        const char* name;
        int kind;
        bool depositAmongPayments;  // else settled by it (an advance check of a refund)
    } cases[] = {{"a bill paid with the deposit", 0, true}, {"a refund of the deposit", 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pms.Run("update qel_financial_transactions set qel_fisc_status='D' where trx_no=2001");
        pms.Run("update qel_financial_transactions set qel_fisc_status='N' where trx_no=1002");
        pms.Run("insert or ignore into deposit_financial_transactions (trx_no, resv_name_id) values (2001, 300)");
        struct_posting deposit = Payment(2001, 9000, 50);
        deposit.fisc_status = "D";
        CFiscalCheck check = Bill("5001", {Payment(1002, 9000, c.kind == 1 ? -50 : 20)});
        check.payments[0].fisc_status = "N";
        (c.depositAmongPayments ? check.payments : check.settledDeposits).push_back(deposit);
        check.statusCode = static_cast<CheckStatusCode>(c.kind);
        ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered));
        EXPECT_EQ(Status(2001), "D");
        EXPECT_EQ(Status(1002), "N");
        ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::Registered));
        EXPECT_EQ(Status(2001), "Y");
        EXPECT_EQ(Status(1002), "Y");
        EXPECT_EQ(pms.Rows("select trx_no from deposit_financial_transactions order by trx_no"), (Rows{"2002"}));
    }
}

TEST_F(StatusTableTest, FiscalDataByBillOrByTransaction) {
    Open();
    Row(1002, "N");
    Row(1003, "Y");
    CFiscalCheck check = Bill("5001", {Payment(1002, 9000, -60)});
    check.printerId = "PRN1";
    check.shiftNumber = "12";
    check.fiscalNumber = "345";
    check.printedFileName = "ST_1_a.txt";
    check.printerName = "1";
    ASSERT_TRUE(storage.SaveFiscalData(check));
    const char* query =
        "select trx_no, printer_id, shift_number, check_number, title, attempt from "
        "qel_financial_transactions order by 1";
    EXPECT_EQ(pms.Rows(query), (Rows{"1002|PRN1|12|345|ST_1_a.txt|1", "1003|PRN1|12|345|ST_1_a.txt|1"}));
    // A deposit writes its transaction unless that is fiscalised.
    check.statusCode = kDepositCheck;
    check.payments[0].trx_no = 1003;
    check.printerId = "PRN2";
    ASSERT_TRUE(storage.SaveFiscalData(check));
    EXPECT_EQ(pms.Rows(query), (Rows{"1002|PRN1|12|345|ST_1_a.txt|1", "1003|PRN1|12|345|ST_1_a.txt|1"}));
    // A cash loan (kind 6) writes its transaction with title and attempt.
    check.statusCode = kCashLoan;
    check.printerName.clear();
    check.payments[0].trx_no = 1002;
    ASSERT_TRUE(storage.SaveFiscalData(check));
    EXPECT_EQ(pms.Rows(query), (Rows{"1002|PRN2|12|345|ST_1_a.txt|0", "1003|PRN1|12|345|ST_1_a.txt|1"}));
}

TEST_F(StatusTableTest, TheCheckFileNameGoesWhereTheFiscalDataWillGo) {
    Open();
    Row(1002, "N");
    Row(1003, "N");
    Row(1004, "N", "5002");
    const char* query = "select trx_no, title from qel_financial_transactions order by 1";
    // A bill: every row of the bill, so that the bill found again carries it.
    CFiscalCheck bill = Bill("5001", {Payment(1002, 9000, 60)});
    bill.printedFileName = "1_5001_143_101500";
    ASSERT_TRUE(storage.SaveCheckFileName(bill));
    EXPECT_EQ(pms.Rows(query), (Rows{"1002|1_5001_143_101500", "1003|1_5001_143_101500", "1004|~"}));
    // A payment check of the same bill (and a deposit, whose fiscal data skip the title): its
    // own transaction only.
    for (int kind : {2, 1}) {
        CFiscalCheck payment = Bill("5002", {Payment(1004, 9000, 60)});
        payment.statusCode = static_cast<CheckStatusCode>(kind);
        payment.printedFileName = "1_5002_143_10150" + std::to_string(kind);
        ASSERT_TRUE(storage.SaveCheckFileName(payment));
        EXPECT_EQ(pms.Rows("select title from qel_financial_transactions where trx_no=1004"),
                  (Rows{payment.printedFileName}));
    }
    EXPECT_EQ(pms.Rows("select title from qel_financial_transactions where trx_no=1003"),
              (Rows{"1_5001_143_101500"}));
    // A name that is not a plain text cannot break the statement.
    bill.printedFileName = "1_5001_'x";
    ASSERT_TRUE(storage.SaveCheckFileName(bill));
    EXPECT_EQ(pms.Rows("select title from qel_financial_transactions where trx_no=1002"),
              (Rows{"1_5001_'x"}));
    CFiscalCheck none = Bill("", {});
    EXPECT_FALSE(storage.SaveCheckFileName(none));
}

TEST_F(StatusTableTest, DeviceResultAndPmsColumns) {
    Open();
    Row(1002, "N");
    pms.Run("insert into OPERA.financial_transactions (trx_no, trx_code) values (1002, '9000')");
    pms.Run("insert into OPERA.financial_transactions (trx_no, trx_code) values (1003, '9004')");
    CFiscalCheck check = Bill("5001", {Payment(1002, 9000, -60), Payment(1003, 9004, -40)});
    check.SetField(18, "FIK-1");
    check.SetField(17, "BKP-2");
    check.SetField(21, "site'7");
    check.SetField(19, "1");
    check.SetField(20, "");
    ASSERT_TRUE(storage.SaveFiscalResult(check));
    EXPECT_EQ(
        pms.Rows("select printer_id, printer_info, site_id, flag1, flag2 from qel_financial_transactions"),
        (Rows{"FIK-1|BKP-2|site'7|1|~"}));
    ASSERT_TRUE(storage.SaveCheckNumber(1002, "R-77"));
    check.payments[1].line_type = 19;
    ASSERT_TRUE(storage.SetCheckRemark(check, "Wrong payment"));
    EXPECT_EQ(pms.Rows("select trx_no, cheque_number, remark from OPERA.financial_transactions order by 1"),
              (Rows{"1002|R-77|~", "1003|~|Wrong payment"}));
}

TEST_F(StatusTableTest, AFailedInsertLeavesTheStatusUpdateToDecide) {
    Open();
    Row(1002, "S");
    CFiscalCheck check = Bill("5001", {Payment(1002, 9000, -60)});
    // The check does not know that the row exists: the insert fails, the update works.
    ASSERT_TRUE(storage.SetTransactionStatus(check.payments[0], CheckStatusLetter::NotRegistered, check));
    EXPECT_TRUE(log.Has("Executing failure"));
    EXPECT_TRUE(log.Has("insert into qel_financial_transactions"));
    EXPECT_EQ(Status(1002), "N");
    // A bill number that is no number stops the bill update before the database sees it.
    CFiscalCheck odd = Bill("5001 or 1=1", {});
    EXPECT_FALSE(storage.SetBillStatus(odd, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(1002), "N");
}

TEST_F(StatusTableTest, LettersReadBackAreTheTablesOwnAndAnUnknownOneIsLoggedNotTakenAsN) {
    Open();
    struct Case {
        int trxNo;
        const char* stored;  // nullptr: no row
        std::optional<CheckStatusLetter> read;
        bool logged;
    };
    const Case cases[] = {{1101, "Y", CheckStatusLetter::Registered, false},
                          {1102, "D", CheckStatusLetter::Deposit, false},
                          {1103, "N", CheckStatusLetter::NotRegistered, false},
                          {1104, "S", CheckStatusLetter::RegisterAgain, false},
                          {1105, "F", CheckStatusLetter::DescriptionSaved, false},
                          {1106, "X", std::nullopt, true},
                          {1107, "YY", std::nullopt, true},
                          {1108, nullptr, std::nullopt, false}};
    for (const Case& c : cases) {
        if (c.stored) {
            Row(c.trxNo, c.stored);
        }
        std::optional<CheckStatusLetter> letter = CheckStatusLetter::NotRegistered;
        ASSERT_TRUE(storage.ReadStatusLetter(c.trxNo, letter)) << c.trxNo;
        EXPECT_EQ(letter, c.read) << c.trxNo;
        std::string line = text::Format("Status '%s' of transaction %d is no status letter",
                                        c.stored ? c.stored : "", c.trxNo);
        EXPECT_EQ(log.Has(line), c.logged) << c.trxNo;
    }
}

}  // namespace
