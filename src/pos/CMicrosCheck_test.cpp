#include "pos/CMicrosCheck.h"

#include <gtest/gtest.h>

#include "tests/support/check/TestLines.h"

namespace {

using testlines::Line;
using testlines::Pay;

struct Item {
    double amount;
    double quantity;
    int lineType;
};

struct PrepareCase {
    const char* name;
    std::vector<struct_posting> postings;
    std::vector<Item> expected;
};

struct_posting Pos(int code, double amount, int lineType = 14, double quantity = 1) {
    return Line(0, code, amount, "item", "1", [&](struct_posting& p) {
        p.line_type = lineType;
        p.quantity = quantity;
    });
}

TEST(PrepareCheck, MergesSpreadsAndTypesTheLines) {
    const std::vector<PrepareCase> cases = {
        {"repeated lines merge with their quantities", {Pos(10, 10, 0), Pos(10, 10, 0)}, {{20, 2, 0}}},
        {"a line and its reversal disappear", {Pos(10, 10), Pos(10, -10), Pos(11, 5)}, {{5, 1, 0}}},
        {"two negatives keep the first quantity", {Pos(10, -5), Pos(10, -5)}, {{-10, 1, 0}}},
        {"a single zero posting stays", {Pos(10, 0)}, {{0, 1, 0}}},
        {"a discount line is spread over the items", {Pos(10, 60), Pos(11, 40), Pos(12, -10)}, {{54, 1, 0}, {36, 1, 0}}},
        {"discounts anywhere are folded and spread together",
         {Pos(12, -3), Pos(10, 60), Pos(13, -7), Pos(11, 40)},
         {{54, 1, 0}, {36, 1, 0}}},
        {"the remainder goes to the first item", {Pos(10, 1), Pos(11, 1), Pos(12, 1), Pos(13, -1)},
         {{0.66, 1, 0}, {0.67, 1, 0}, {0.67, 1, 0}}},
        {"a POS discount line is printed as a discount", {Pos(10, 60), Pos(11, 40), Pos(12, -10, 15)},
         {{60, 1, 0}, {40, 1, 0}, {-10, 1, 4}}},
        {"a refund check spreads its positive line", {Pos(10, -60), Pos(11, -40), Pos(12, 10)}, {{-54, 1, 0}, {-36, 1, 0}}},
        {"a positive line on a refund check that the POS marked stays", {Pos(10, -60), Pos(12, 10, 15)},
         {{-60, 1, 0}, {10, 1, 12}}},
        {"service charges and marked lines are not merged", {Pos(10, 10, 16), Pos(10, 10, 16), Pos(10, 10, 17)},
         {{10, 1, 0}, {10, 1, 0}, {10, 1, 0}}},
    };
    for (const PrepareCase& c : cases) {
        SCOPED_TRACE(c.name);
        CMicrosCheck check;
        check.statusCode = kUndecided;
        check.postings = c.postings;
        EXPECT_TRUE(check.PrepareCheck());
        EXPECT_EQ(check.statusCode, kBillCheck);
        ASSERT_EQ(check.postings.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_NEAR(check.postings[i].trx_amount, c.expected[i].amount, 1e-9) << i;
            EXPECT_DOUBLE_EQ(check.postings[i].quantity, c.expected[i].quantity) << i;
            EXPECT_EQ(check.postings[i].line_type, c.expected[i].lineType) << i;
            EXPECT_EQ(check.postings[i].print_text, "7;1");
        }
    }
}

TEST(PrepareCheck, CodeNumbersStatusesAndPrintTexts) {
    struct Case {
        const char* name;
        int lineType;
        int secondCodeNumber;
        std::string secondStatus;
        size_t lines;
    };
    const std::vector<Case> cases = {
        {"ordinary lines of other code numbers stay apart", 0, 7, "", 2},
        {"item lines merge whatever their code numbers", 14, 7, "", 1},
        {"other statuses stay apart", 14, 0, "Y", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMicrosCheck check;
        check.postings = {Pos(10, 10, c.lineType), Pos(10, 10, c.lineType)};
        check.postings[1].code_number = c.secondCodeNumber;
        check.postings[1].fisc_status = c.secondStatus;
        check.postings[0].print_text = "1;2";
        check.PrepareCheck();
        ASSERT_EQ(check.postings.size(), c.lines);
        EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, c.lines == 1 ? 20 : 10);
        EXPECT_EQ(check.postings[0].print_text, "1;2");
    }
}

TEST(PrepareCheck, WholeCurrencySpreadsWholeAmounts) {
    CMicrosCheck check;
    check.moneyDecimals = 0;
    check.postings = {Pos(10, 100), Pos(11, 100), Pos(12, 100), Pos(13, -100)};
    check.PrepareCheck();
    ASSERT_EQ(check.postings.size(), 3u);
    EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, 66);
    EXPECT_DOUBLE_EQ(check.postings[1].trx_amount, 67);
    EXPECT_DOUBLE_EQ(check.postings[2].trx_amount, 67);
}

TEST(DumpText, PostingsAndPayments) {
    CMicrosCheck check;
    check.checkNumber = "5531";
    check.cashierId = "12";
    check.cashierName = "Anna";
    check.postings = {Line(1, 2100, 12.5, "Soup", "1", [](struct_posting& p) {
        p.fisc_status = "N", p.reference = "T4", p.quantity = 2;
    })};
    EXPECT_EQ(check.DumpText("Interface check:"),
              (std::vector<std::string>{"Interface check:", "Check: 5531", "Cashier: 12 Anna", "Postings:",
                                        "2100 Soup 12.50*2.00 (N) Rate: 1.0000 T4 ", ""}));
    check.payments = {Pay(2, 9004, 25, 3, "2")};
    check.cashierId.clear();
    check.checkNumber.clear();
    EXPECT_EQ(check.DumpText(""),
              (std::vector<std::string>{"Print check:", "Postings:", "2100 Soup 12.50*2.00 (N) Rate: 1.0000 T4 ",
                                        "Payments:", "9004: Payment 25.00*1.00 Paid: 2; Rate: 1.0000; ", ""}));
    EXPECT_EQ(check.text.size(), 6u);
}

}  // namespace
