#include "check/CFiscalCheck.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/CodePage.h"

namespace {

struct_posting RoomNight() {
    struct_posting p;
    p.trx_no = 5001;
    p.trx_code = 1000;
    p.description = "Accommodation";
    p.trx_amount = 120.5;
    p.quantity = 1;
    p.code_text = "1000";
    p.tax_group = "1";
    p.net_amount = 100.42;
    p.extra_amount3 = 20.08;
    return p;
}

struct_posting CashPayment() {
    struct_posting p;
    p.trx_no = 6001;
    p.trx_code = 9000;
    p.description = "Cash";
    p.trx_amount = 120.5;
    p.print_code = "0";
    p.posted_amount = 120.5;
    p.folio_view = 1;
    p.bill_no = 77;
    p.fisc_status = "N";
    return p;
}

}  // namespace

TEST(CFiscalCheckTest, NewCheckDefaults) {
    CFiscalCheck check;
    EXPECT_EQ(check.statusCode, kUndecided);
    EXPECT_EQ(check.checkMode, 99);
    EXPECT_EQ(check.amountMode, 6);
    EXPECT_EQ(check.moneyDecimals, 2);
    EXPECT_EQ(check.documentKind, 0);
    EXPECT_EQ(check.serviceTemplate.description, platform::Cp1251("Услуги гостиницы"));
    struct_posting line;
    EXPECT_EQ(line.pay_kind, 12);
    EXPECT_EQ(line.line_type, 21);
    EXPECT_EQ(line.room, "0");
    EXPECT_EQ(line.exchange_rate, 1.0);
    EXPECT_EQ(line.quantity, 1.0);
}

TEST(CFiscalCheckTest, CopyLeavesOutRemovedLinesMessagesAndComposition) {
    CFiscalCheck check;
    check.postings.push_back(RoomNight());
    check.payments.push_back(CashPayment());
    check.removedLines.push_back(CashPayment());
    check.errorText = "error";
    check.text = {"line"};
    check.documentKind = 4;
    check.mismatchCount = 3;
    check.depositTemplateSet = true;
    check.proformaDeposit = true;
    check.hasDeposit = true;
    check.statusCode = kPaymentCheck;
    check.paymentsTotal = 120.5;
    check.taxSums[3] = 7.5;
    check.checkNumber = "77";
    check.checkId = 9;
    check.taxSystem = "2";
    check.printQuantity = 21;
    check.codePage = "1252";
    check.checkMode = 7;

    CFiscalCheck copy(check);
    EXPECT_EQ(copy.postings.size(), 1u);
    EXPECT_EQ(copy.payments.size(), 1u);
    EXPECT_TRUE(copy.removedLines.empty());
    EXPECT_TRUE(copy.errorText.empty());
    EXPECT_TRUE(copy.text.empty());
    EXPECT_EQ(copy.documentKind, 0);
    EXPECT_EQ(copy.mismatchCount, 0);
    EXPECT_FALSE(copy.depositTemplateSet);
    EXPECT_FALSE(copy.proformaDeposit);
    EXPECT_FALSE(copy.hasDeposit);
    EXPECT_EQ(copy.statusCode, kPaymentCheck);
    EXPECT_EQ(copy.paymentsTotal, 120.5);
    EXPECT_EQ(copy.taxSums[3], 7.5);
    EXPECT_EQ(copy.checkNumber, "77");
    EXPECT_EQ(copy.checkId, 9);
    EXPECT_EQ(copy.taxSystem, "2");
    EXPECT_EQ(copy.printQuantity, 21);
    EXPECT_EQ(copy.codePage, "1252");
    EXPECT_EQ(copy.checkMode, 7);

    // The lists are deep copies.
    copy.postings[0].description = "changed";
    EXPECT_EQ(check.postings[0].description, "Accommodation");

    CFiscalCheck assigned;
    assigned = check;
    EXPECT_TRUE(assigned.removedLines.empty());
    EXPECT_EQ(assigned.checkNumber, "77");
}

TEST(CFiscalCheckTest, NumberedFields) {
    CFiscalCheck check;
    check.SetField(10, "O'Brien");
    EXPECT_EQ(check.GetField(10), "O''Brien");
    EXPECT_EQ(check.cashierName, "O''Brien");
    check.SetFieldInt(1, 12345);
    EXPECT_EQ(check.GetField(1), "12345");
    check.SetFieldInt(0, 42);
    EXPECT_EQ(check.GetField(0), "42");
    check.SetFieldInt(5, 101);  // room is set as text only
    EXPECT_EQ(check.GetField(5), "");
    check.SetField(27, "ignored");
    check.SetField(0, "ignored");
    EXPECT_EQ(check.GetField(27), "");
    EXPECT_EQ(check.GetField(-1), "");
    EXPECT_EQ(check.GetField(0), "42");
    check.SetField(26, "3");
    EXPECT_EQ(check.taxSystem, "3");
}

TEST(CFiscalCheckTest, SetStatusCodeClearsTheFullCheckMarkForPaymentKinds) {
    struct Case {
        int code;
        bool depositDescription;
        bool stillSet;
    } cases[] = {{2, false, false}, {5, false, false}, {6, false, false}, {7, false, false},
                 {15, false, false}, {20, false, false}, {1, false, true}, {1, true, false},
                 {3, false, true},   {0, false, true},   {14, true, true}};
    for (const Case& c : cases) {
        CFiscalCheck check;
        check.appendRateCode = true;
        if (c.depositDescription) {
            check.depositTemplate.description = "Deposit";
        }
        check.SetStatusCode(static_cast<CheckStatusCode>(c.code));
        EXPECT_EQ(CodeNumber(check.statusCode), c.code);
        EXPECT_EQ(check.appendRateCode, c.stillSet) << c.code;
    }
}

TEST(CFiscalCheckTest, IndexSettersIgnoreIndexesPastTheEnd) {
    CFiscalCheck check;
    check.postings.push_back(RoomNight());
    check.payments.push_back(CashPayment());
    check.SetPostingCode(0, 1010);
    check.SetPostingCode(5, 1);
    check.SetPaymentBillNo(0, 88);
    check.SetPaymentBillNo(3, 1);
    check.SetPostingStatus(0, "Y");
    check.SetPaymentStatus(0, "D");
    check.SetPostingDescription(0, "Room");
    check.SetPostingDescription(9, "x");
    struct_print_code code;
    code.pay_kind = 3;
    code.print_code = "P1";
    code.tax_group = "2";
    code.line_type = 4;
    code.print_code_ext = "E";
    check.SetPostingPrintCode(0, code);
    check.SetPostingPrintCode(1, code);
    EXPECT_EQ(check.postings[0].trx_code, 1010);
    EXPECT_EQ(check.payments[0].bill_no, 88);
    EXPECT_EQ(check.postings[0].fisc_status, "Y");
    EXPECT_EQ(check.payments[0].fisc_status, "D");
    EXPECT_EQ(check.postings[0].description, "Room");
    EXPECT_EQ(check.postings[0].pay_kind, 3);
    EXPECT_EQ(check.postings[0].print_code, "P1");
    EXPECT_EQ(check.postings[0].tax_group, "2");
    EXPECT_EQ(check.postings[0].line_type, 4);
    EXPECT_EQ(check.postings[0].print_code_ext, "E");
    EXPECT_EQ(check.postings.size(), 1u);
}

TEST(CFiscalCheckTest, ReadingPastTheEndGivesTheServiceTemplate) {
    CFiscalCheck check;
    check.serviceTemplate.tax_group = "3";
    check.postings.push_back(RoomNight());
    EXPECT_EQ(check.GetPosting(0).trx_no, 5001);
    EXPECT_EQ(check.GetPosting(1).tax_group, "3");
    EXPECT_EQ(check.GetPayment(0).description, check.serviceTemplate.description);
    EXPECT_THROW(check.GetPosting(-1), std::invalid_argument);
}

TEST(CFiscalCheckTest, RemoveZeroCodePostingsKeepsOrder) {
    CFiscalCheck check;
    for (int code : {5, 0, 7, 0, 9}) {
        struct_posting p;
        p.trx_code = code;
        check.postings.push_back(p);
    }
    check.RemoveZeroCodePostings();
    ASSERT_EQ(check.postings.size(), 3u);
    EXPECT_EQ(check.postings[0].trx_code, 5);
    EXPECT_EQ(check.postings[1].trx_code, 7);
    EXPECT_EQ(check.postings[2].trx_code, 9);
}

TEST(CFiscalCheckTest, PrintedFileNameNeedsAnUnderscoreExceptOnMongolianAndCzechPrinters) {
    CFiscalCheck check;
    check.checkMode = 7;
    check.SetPrintedFileName("12345.ck6");
    EXPECT_EQ(check.printedFileName, "");
    check.SetPrintedFileName("ST_1_12345.ck6");
    EXPECT_EQ(check.printedFileName, "ST_1_12345.ck6");
    check.SetPrintedFileName("");
    EXPECT_EQ(check.printedFileName, "");
    check.checkMode = 9;
    check.SetPrintedFileName("plain");
    EXPECT_EQ(check.printedFileName, "plain");
    // A fiscal identification code of the Czech registration has no "_".
    check.checkMode = 10;
    check.SetPrintedFileName("b3a09b52-7c87-4014-a496-4c7a53cf9125-ff");
    EXPECT_EQ(check.printedFileName, "b3a09b52-7c87-4014-a496-4c7a53cf9125-ff");
}

TEST(CFiscalCheckTest, BuildTextHeaderAndLines) {
    CFiscalCheck check;
    check.folioNumber = "F12";
    check.checkNumber = "77";
    check.room = "101";
    check.station = "FRONT1";
    check.cashierId = "5";
    check.cashierName = "Anna";
    check.cashierPosition = "Cashier";
    check.companyName = "ACME";
    check.printedFileName = "ST_1_77.ck6";
    check.postings.push_back(RoomNight());
    struct_posting discount = RoomNight();
    discount.line_type = 4;
    discount.trx_amount = -5;
    discount.post_with_tax = "2";
    discount.posted_amount = -5;
    discount.reference = "promo";
    check.postings.push_back(discount);
    struct_posting euro = RoomNight();
    euro.exchange_rate = 0.5;
    euro.posted_amount = 241;
    euro.rate_code = "BAR";
    euro.package_link = 44;
    euro.guest_account_debit = 1.5;
    euro.cheque_number = "C9";
    euro.adj_trx_code = 3;
    euro.subgroup = "7";
    euro.category = "ROOM";
    euro.print_text = "txt";
    check.postings.push_back(euro);
    check.payments.push_back(CashPayment());
    struct_posting removed;
    removed.trx_no = 7001;
    removed.trx_code = 6001;
    check.removedLines.push_back(removed);

    const std::vector<std::string>& lines = check.BuildText(2, "");
    std::vector<std::string> expected = {
        "Print check:",
        "Repeate file ST_1_77.ck6",
        "Folio: F12",
        "Check: 77",
        "Room: 101",
        "Station: FRONT1",
        "Cashier: 5 Anna Cashier",
        "Company: ACME ",
        "Postings:",
        "1000: Accommodation 120.50*1.00 (1000:1) TX: 0 (N) NET: 100.42 (20.08) REC: 5001         ",
        "1000: Accommodation -5.00*1.00 (1000:1) TX: 0 (N) NET: 100.42 (20.08) PA: -5.00  set to post with tax 2 "
        "promo",
        "1000: Accommodation 120.50*1.00 (1000:1) TX: 0 (N) NET: 100.42 (20.08) REC: 5001 PACK: 44 GAD: 1.50 CHK: C9 "
        "txt ADJ: 3  (7) CAT: ROOM RATE: BAR EXCH: 0.5000 PA: 241.00 ",
        "Payments:",
        "9000: Cash 120.50*1.00 Paid: 0; PA: 120.50 Rate: 1.0000; View: 1; (N)   Bill no: 77 Rec id: 6001   (+ 7001 )",
        "",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(check.BuildText(0, "Taxes")[0], "Taxes");
    EXPECT_EQ(check.text[9].substr(0, 26), "1000: Accommodation 120*1.");
}

TEST(CFiscalCheckTest, BuildTextPerUnitPackageAndAgent) {
    CFiscalCheck check;
    check.amountMode = 2;
    struct_posting p = RoomNight();
    p.trx_no = 0;
    p.package_link = 9;
    p.agent = "AG1";
    check.postings.push_back(p);
    struct_posting pay = CashPayment();
    pay.print_code_ext = "X";
    pay.deposit_no = 3;
    pay.machine = "PC1";
    check.payments.push_back(pay);
    const std::vector<std::string>& lines = check.BuildText(2, "T");
    EXPECT_EQ(lines[2], "1000: Accommodation 120.50*1.00 (1000:1) TX: 0 (N) NET: 100.42 (20.08)  PACK: 9 AGNT: AG1       ");
    EXPECT_EQ(lines[4],
              "9000: Cash 120.50*1.00 Paid: 0/X; PA: 120.50 Rate: 1.0000; View: 1; (N)  Deposit 3 Bill no: 77 Rec id: 6001  "
              "PC1");
}
