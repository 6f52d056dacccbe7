#include "devices/CMAPICommand.h"

#include <gtest/gtest.h>

#include "check/CFiscalCheck.h"

namespace {

struct_posting Posting(int code, const std::string& description, double quantity, double price, double amount,
                       double extra2, double extra1) {
    struct_posting p;
    p.trx_code = code;
    p.description = description;
    p.quantity = quantity;
    p.price_per_unit = price;
    p.trx_amount = amount;
    p.extra_amount2 = extra2;
    p.extra_amount1 = extra1;
    return p;
}

// A room night with its city tax and a breakfast, 150.00 of which 100.00 in cash.
CFiscalCheck Sale() {
    CFiscalCheck check;
    check.checkMode = 9;
    check.statusCode = kBillCheck;
    check.postings = {Posting(1000, "Room night", 1, 100, 100, 1, 9.09),
                      Posting(2000, "Breakfast", 2, 25, 50, 0, 4.55)};
    check.paymentsTotal = 150;
    check.cashTotal = 100;
    check.taxSums[0] = 136.36;
    check.taxSums[1] = 13.64;
    return check;
}

TEST(MAPICommandTest, ASaleIsTheBillHeaderOneStockLinePerPostingAndTheEndMark) {
    CMAPICommand command("01", "1", 1);
    EXPECT_EQ(command.BuildSale(Sale()),
              "150.00#136.36#100.00#50.00#13.64#01#1##1#000001##="
              "1000#Room night#unit#1.00#100.00#100.00#1.00#9.09#@"
              "2000#Breakfast#unit#2.00#25.00#50.00#0.00#4.55#@"
              "&");
    ASSERT_EQ(command.stocks.size(), 2u);
    EXPECT_EQ(command.stockLines[1], "2000#Breakfast#unit#2.00#25.00#50.00#0.00#4.55#");
    // Built again for another check, the lines are those of that check only.
    CFiscalCheck empty = Sale();
    empty.postings.clear();
    EXPECT_EQ(command.BuildSale(empty), "150.00#136.36#100.00#50.00#13.64#01#1##1#000001##=&");
    EXPECT_TRUE(command.stocks.empty());
}

TEST(MAPICommandTest, HeaderFieldsFollowTheCheck) {
    struct Case {
        std::string taxpayer, group;
        int sequence;
        std::string header;
    } cases[] = {
        // A company's taxpayer number makes document type 3.
        {"5012345", "", 42, "#01#7#5012345#3#000042##="},
        {"", "", 999999, "#01#7##1#999999##="},
        {"", "GRP", 7, "#01#7##1#000007#GRP#="},
        // A separator inside a PMS text would shift every field after it.
        {"50#12=3", "G@1", 7, "#01#7#50123#3#000007#G1#="},
        {"#=@", "", 7, "#01#7##1#000007##="},
    };
    for (const Case& c : cases) {
        CFiscalCheck check = Sale();
        check.postings.clear();
        check.companyTaxId = c.taxpayer;
        check.groupName = c.group;
        CMAPICommand command("01", "7", c.sequence);
        EXPECT_EQ(command.BuildSale(check), "150.00#136.36#100.00#50.00#13.64" + c.header + "&") << c.taxpayer;
    }
}

TEST(MAPICommandTest, StockDescriptionsLoseTheSeparatorsAndKeepEverythingElse) {
    CFiscalCheck check = Sale();
    check.postings = {Posting(3000, "Mini#bar = snacks@room & more", 1, 5, 5, 0, 0)};
    CMAPICommand command("01", "1", 3);
    std::string sale = command.BuildSale(check);
    EXPECT_NE(sale.find("=3000#Minibar  snacksroom & more#unit#1.00#5.00#5.00#0.00#0.00#@&"), std::string::npos)
        << sale;
    EXPECT_EQ(command.stocks[0].name, "Minibar  snacksroom & more");
}

TEST(MAPICommandTest, AReturnNamesTheSaleByFiscalNumberAndPrintedFileNameWithoutStockLines) {
    CFiscalCheck refund = Sale();
    refund.statusCode = kBillRefund;
    refund.groupName = "100000017";
    refund.printedFileName = "20260101101500-100000017";
    CMAPICommand command("01", "1", 0);
    EXPECT_EQ(command.BuildReturn(refund), "R#100000017#20260101101500-100000017#&");
    EXPECT_TRUE(command.stockLines.empty());
    // A reference typed into the PMS can add no field and cannot end the command early.
    refund.groupName = "#&1000#00017&";
    refund.printedFileName = "2026#0101&";
    EXPECT_EQ(command.BuildReturn(refund), "R#100000017#20260101#&");
}

TEST(MAPICommandTest, RepliesFillTheValuesOrTheErrorAndTellARefusalFromBytesThatSayNothing) {
    struct Case {
        std::string reply;
        bool ok, refusal;
        std::string v1, v2, v3, v4, error;
    } cases[] = {
        {"0#100000001#LT 123#QRDATA#20260101-1&", true, false, "100000001", "LT 123", "QRDATA", "20260101-1", " "},
        {"0#100000001#LT&1#QR&#T1", true, false, "100000001", "LT1", "QR", "T1", " "},
        {"0#100000001&", true, false, "100000001", "", "", "", " "},
        {"1#E42#Register is blocked&", false, true, "", "", "", "", "E42 Register is blocked"},
        {"12#3#Bad command: no end mark&", false, true, "", "", "", "", "3 Bad command: no end mark"},
        {"1#E42", false, true, "", "", "", "", "E42 "},
        {"00#1#2#3#4&", false, false, "", "", "", "", "1 2"},
        {"\xfe#\x81##\x90", false, false, "", "", "", "", "\x81 "},
        {"", false, false, "", "", "", "", " "},
        {"OK#1#2#3#4&", false, false, "", "", "", "", "1 2"},
    };
    for (const Case& c : cases) {
        CMAPICommand command("01", "1", 1);
        command.ParseReply(c.reply);
        EXPECT_EQ(command.replyOk, c.ok) << c.reply;
        EXPECT_EQ(command.IsRefusal(), c.refusal) << c.reply;
        EXPECT_EQ(command.replyValue1, c.v1) << c.reply;
        EXPECT_EQ(command.replyValue2, c.v2) << c.reply;
        EXPECT_EQ(command.replyValue3, c.v3) << c.reply;
        EXPECT_EQ(command.replyValue4, c.v4) << c.reply;
        EXPECT_EQ(command.ErrorText(), c.error) << c.reply;
    }
}

TEST(MAPICommandTest, TheLogSeesEveryOccurrenceOfTheSecondAndThirdValuesMasked) {
    struct Case {
        std::string reply, logged;
    } cases[] = {
        {"0#100000001#LT 123#QR9#T1&", "0#100000001#XXXXXXXXXX#YYYYYYYYYY#T1&"},
        // The third value is also the printed file name, and the second is inside the first.
        {"0#A7B#7#T1#T1&", "0#AXXXXXXXXXXB#XXXXXXXXXX#YYYYYYYYYY#YYYYYYYYYY&"},
        // The longer value wins where both start.
        {"0#1#QR#QR-LONG#9&", "0#1#XXXXXXXXXX#YYYYYYYYYY#9&"},
        // An end mark inside a value: the field as it came is masked, not only the value.
        {"0#1#L&T#Q&R#9&", "0#1#XXXXXXXXXX#YYYYYYYYYY#9&"},
        {"0#1###9&", "0#1###9&"},
    };
    for (const Case& c : cases) {
        CMAPICommand command("01", "1", 1);
        command.ParseReply(c.reply);
        ASSERT_TRUE(command.replyOk) << c.reply;
        EXPECT_EQ(command.MaskedReply(c.reply), c.logged) << c.reply;
    }
}

}  // namespace
