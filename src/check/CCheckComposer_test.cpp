#include "check/CCheckComposer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "check/CCheckTotals.h"
#include "log/CLogFile.h"
#include "tests/support/check/TestLines.h"

namespace {

using namespace testlines;

struct Expected {
    int code;
    double amount;
    double quantity;
    std::string description;
    std::string tax;
};

struct ComposeCase {
    const char* name;
    std::function<CFiscalCheck()> build;
    bool result;
    int documentKind;
    int statusCode;
    std::string errorText;
    std::vector<Expected> postings;
    std::vector<std::pair<int, double>> payments;
    double postingsTotal;
    double paymentsTotal;
    std::vector<double> taxSums;  // empty: not looked at here (the TaxSums cases are)
    std::function<void(const CFiscalCheck&)> more;
};

void PrintTo(const ComposeCase& c, std::ostream* os) { *os << c.name; }

const std::vector<ComposeCase>& Cases() {
    static const std::vector<ComposeCase> cases = {
        {"RoomNightsWithVatAndCityTax",
         [] {
             CFiscalCheck c = Bill();
             auto room = [](struct_posting& p) {
                 p.rate_code = "BAR";
                 p.net_amount = 83.33;
             };
             c.postings = {
                 Line(101, 1000, 100.00, "Accommodation", "", room),
                 Line(102, 1000, 100.00, "Accommodation", "", room),
                 Line(105, 9000, 16.67, "VAT 20%", "1",
                      [](struct_posting& p) {
                          p.line_type = 7, p.added_by = 101, p.tax_included = true, p.print_code2 = "V20";
                      }),
                 Line(106, 9000, 16.67, "VAT 20%", "1",
                      [](struct_posting& p) {
                          p.line_type = 7, p.added_by = 102, p.tax_included = true, p.print_code2 = "V20";
                      }),
                 Line(103, 9100, 2.00, "City tax", "2",
                      [](struct_posting& p) { p.line_type = 7, p.added_by = 101, p.print_code2 = "CT"; }),
                 Line(104, 9100, 2.00, "City tax", "2",
                      [](struct_posting& p) { p.line_type = 7, p.added_by = 102, p.print_code2 = "CT"; }),
             };
             c.payments = {Pay(900, 9004, 204.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 204.00, 1, "Accommodation BAR", "1"}}, {{9004, 204.00}}, 204.00, 204.00,
         {0, 0, 166.66, 33.34, 200.00, 4.00, 0, 0, 0, 0},
         [](const CFiscalCheck& c) {
             // Two tax groups on one posting: the first group stays, both are listed.
             EXPECT_EQ(c.postings[0].print_code2, "V20");
             EXPECT_EQ(c.postings[0].code_text, "1,2");
             EXPECT_EQ(c.postings[0].subgroup, "1,2");
             ASSERT_EQ(c.removedLines.size(), 1u);
             EXPECT_EQ(c.removedLines[0].trx_no, 102);
             EXPECT_EQ(c.removedLines[0].trx_code, 101);
         }},
        {"PackageWithComponents",
         [] {
             CFiscalCheck c = Bill();
             c.postings = {
                 Line(201, 1010, 150.00, "Package BB", "1",
                      [](struct_posting& p) { p.package_link = 500, p.rate_code = "BB", p.net_amount = 125; }),
                 Line(202, 1000, 120.00, "Accommodation (pkg)", "5",
                      [](struct_posting& p) {
                          p.package_link = 500, p.excluded = true, p.guest_account_debit = 150.00;
                          p.net_amount = 100;
                      }),
                 Line(203, 2100, 30.00, "Breakfast (pkg)", "5",
                      [](struct_posting& p) { p.package_link = 500, p.excluded = true, p.net_amount = 25; }),
             };
             c.payments = {Pay(900, 9000, 150.00, 0, "1")};
             return c;
         },
         true, 7, 0, "", {{1000, 150.00, 1, "Accommodation (pkg) BB", "1"}}, {{9000, 150.00}}, 150.00, 150.00, {},
         [](const CFiscalCheck& c) {
             EXPECT_FALSE(c.postings[0].excluded);
             EXPECT_DOUBLE_EQ(c.postings[0].net_amount, 100);
         }},
        {"MinibarInQuantityMode",
         [] {
             CFiscalCheck c = Bill();
             c.printQuantity = 1;
             c.postings = {
                 Line(310, 1000, 80.00, "Accommodation", "1", [](struct_posting& p) { p.rate_code = "BAR"; }),
                 Line(311, 3000, 3.50, "Minibar"),
                 Line(312, 3000, -3.50, "Minibar"),
                 Line(313, 3000, 7.00, "Minibar", "1", [](struct_posting& p) { p.quantity = 2; }),
                 Line(314, 3000, 7.00, "Minibar", "1", [](struct_posting& p) { p.quantity = 2; }),
                 Line(315, 3001, 4.50, "Minibar juice"),
             };
             c.payments = {Pay(900, 9004, 98.50, 3, "2")};
             return c;
         },
         true, 7, 0, "",
         {{1000, 80.00, 1, "Accommodation BAR", "1"}, {3000, 14.00, 4, "Minibar", "1"}, {3001, 4.50, 1, "Minibar juice", "1"}},
         {{9004, 98.50}}, 98.50, 98.50, {},
         [](const CFiscalCheck& c) {
             ASSERT_EQ(c.removedLines.size(), 2u);
             EXPECT_EQ(c.removedLines[0].trx_no, 312);
             EXPECT_EQ(c.removedLines[0].trx_code, 311);
             EXPECT_EQ(c.removedLines[1].trx_no, 314);
             EXPECT_EQ(c.removedLines[1].trx_code, 313);
         }},
        {"RestaurantDiscountFollowsItsGoods",
         [] {
             CFiscalCheck c = Bill(false);
             c.postings = {
                 Line(401, 1000, 100.00, "Accommodation", "1"),
                 Line(402, 2900, -4.00, "Discount bar", "2", [](struct_posting& p) { p.line_type = 4; }),
                 Line(403, 2100, 60.00, "Restaurant food", "1"),
                 Line(404, 2200, 40.00, "Bar beverages", "2"),
             };
             c.payments = {Pay(900, 9004, 196.00, 3, "2")};
             return c;
         },
         true, 7, 0, "",
         {{1000, 100.00, 1, Hotel(), "1"}, {2100, 60.00, 1, Hotel(), "1"}, {2200, 40.00, 1, Hotel(), "2"},
          {2900, -4.00, 1, Hotel(), "2"}},
         {{9004, 196.00}}, 196.00, 196.00, {}, {}},
        {"RefundOfAPaymentCheckCorrectsWithItsSign",
         [] {
             CFiscalCheck c = Bill(false);
             c.statusCode = kPaymentCheck;
             c.postings = {Line(501, 1000, -33.33, "Accommodation"), Line(502, 1001, -33.33, "Late check-out"),
                           Line(503, 1002, -33.33, "Early check-in")};
             c.payments = {Pay(900, 9004, -100.00, 3, "2")};
             return c;
         },
         true, 7, 3, "",
         {{1000, -33.34, 1, Hotel(), "1"}, {1001, -33.33, 1, Hotel(), "1"}, {1002, -33.33, 1, Hotel(), "1"}},
         {{9004, -100.00}}, -100.00, -100.00, {}, {}},
        {"RefundOfABill",
         [] {
             CFiscalCheck c = Bill();
             c.postings = {Line(511, 1000, -120.00, "Accommodation", "1", [](struct_posting& p) { p.rate_code = "BAR"; })};
             c.payments = {Pay(900, 9000, -120.00, 0, "1")};
             return c;
         },
         true, 7, 14, "", {{1000, -120.00, 1, "Accommodation BAR", "1"}}, {{9000, -120.00}}, -120.00, -120.00, {},
         [](const CFiscalCheck& c) { EXPECT_DOUBLE_EQ(c.cashReturned, -120.00); }},
        {"ForeignCurrencyPayment",
         [] {
             CFiscalCheck c = Bill(false);
             c.postings = {Line(521, 1000, 9550.00, "Accommodation")};
             c.payments = {Pay(900, 9010, 100.00, 3, "4", [](struct_posting& p) { p.exchange_rate = 95.5; })};
             return c;
         },
         true, 7, 0, "", {{1000, 9550.00, 1, Hotel(), "1"}}, {{9010, 9550.00}}, 9550.00, 9550.00, {},
         [](const CFiscalCheck& c) { EXPECT_DOUBLE_EQ(c.payments[0].exchange_rate, 1.0); }},
        {"PostingRatesBelowAndAboveOne",
         [] {
             CFiscalCheck c = Bill(false);
             c.postings = {Line(531, 1000, 10.00, "Accommodation", "1", [](struct_posting& p) { p.exchange_rate = 0.5; }),
                           Line(532, 2100, 10.00, "Breakfast", "1", [](struct_posting& p) { p.exchange_rate = 2; })};
             c.payments = {Pay(900, 9004, 40.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 20.00, 1, Hotel(), "1"}, {2100, 20.00, 1, Hotel(), "1"}}, {{9004, 40.00}}, 40.00,
         40.00, {}, {}},
        {"CashWithChangeDue",
         [] {
             CFiscalCheck c = Bill(false);
             c.changeAllowed = true;
             c.postings = {Line(541, 1000, 95.00, "Accommodation")};
             c.payments = {Pay(900, 9000, 100.00, 0, "1", [](struct_posting& p) { p.change_due = -5.00; })};
             return c;
         },
         true, 7, 0, "", {{1000, 95.00, 1, Hotel(), "1"}}, {{9000, 95.00}}, 95.00, 95.00, {}, {}},
        {"ExcessGivenBackFromABigEnoughCashPayment",
         [] {
             CFiscalCheck c = Bill(false);
             c.changeAllowed = true;
             c.postings = {Line(551, 1000, 95.00, "Accommodation")};
             c.payments = {Pay(901, 9000, 50.00, 0, "1"), Pay(902, 9004, 50.00, 3, "2")};
             return c;
         },
         // Cash goes after the card.
         true, 7, 0, "", {{1000, 95.00, 1, Hotel(), "1"}}, {{9004, 50.00}, {9000, 50.00}}, 95.00, 100.00, {}, {}},
        {"ExcessWithoutCashIsRefused",
         [] {
             CFiscalCheck c = Bill(false);
             c.changeAllowed = true;
             c.postings = {Line(561, 1000, 95.00, "Accommodation")};
             c.payments = {Pay(900, 9004, 100.00, 3, "2")};
             return c;
         },
         false, 0, 0, "Postings amount = 95.0000, payments amount = 100.0000. (5.0000)",
         {{1000, 95.00, 1, "Accommodation", "1"}}, {{9004, 100.00}}, 95.00, 100.00, {}, {}},
        {"AmountsThatCannotMatch",
         [] {
             CFiscalCheck c = Bill();
             c.postings = {Line(571, 1000, 100.00, "Accommodation")};
             c.payments = {Pay(900, 9004, 120.00, 3, "2")};
             return c;
         },
         false, 0, 0, "Postings amount = 100.0000, payments amount = 120.0000. (20.0000)",
         {{1000, 100.00, 1, "Accommodation", "1"}}, {{9004, 120.00}}, 100.00, 120.00, {}, {}},
        {"NegativeLineThatFitsNowhere",
         [] {
             CFiscalCheck c = Bill();
             c.postings = {Line(581, 1000, 100.00, "Accommodation"), Line(582, 3900, -20.00, "Minibar allowance")};
             c.payments = {Pay(900, 9004, 80.00, 3, "2")};
             return c;
         },
         false, 4, 0, "Can't print check 40211, negative amount -20.00.",
         {{1000, 100.00, 1, "Accommodation", "1"}, {3900, -20.00, 1, "Minibar allowance", "1"}}, {{9004, 80.00}},
         80.00, 80.00, {}, {}},
        {"AdjustmentFoldedIntoThePostingItCorrects",
         [] {
             CFiscalCheck c = Bill();
             c.postings = {Line(591, 1000, 100.00, "Accommodation"),
                           Line(592, 3000, 30.00, "Minibar", "1", [](struct_posting& p) { p.adj_trx_code = 3900; }),
                           Line(593, 3900, -10.00, "Minibar correction")};
             c.payments = {Pay(900, 9004, 120.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 100.00, 1, "Accommodation", "1"}, {3000, 20.00, 1, "Minibar", "1"}}, {{9004, 120.00}},
         120.00, 120.00, {}, {}},
        {"TenAndFivePointZeroZeroFourMatchUntouched",
         [] {
             CFiscalCheck c = Bill(false);
             c.postings = {Line(601, 1000, 10.00, "Accommodation"), Line(602, 2100, 5.004, "Breakfast")};
             c.payments = {Pay(900, 9004, 15.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 10.00, 1, Hotel(), "1"}, {2100, 5.004, 1, Hotel(), "1"}}, {{9004, 15.00}}, 15.004,
         15.00, {}, {}},
        {"ThreeThirdsTakeTheCentOnTheFirst",
         [] {
             CFiscalCheck c = Bill(false);
             c.postings = {Line(611, 1000, 33.33, "A"), Line(612, 1001, 33.33, "B"), Line(613, 1002, 33.33, "C")};
             c.payments = {Pay(900, 9004, 100.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 33.34, 1, Hotel(), "1"}, {1001, 33.33, 1, Hotel(), "1"}, {1002, 33.33, 1, Hotel(), "1"}},
         {{9004, 100.00}}, 100.00, 100.00, {}, {}},
        {"WholeCurrencyAcceptsLessThanOne",
         [] {
             CFiscalCheck c = Bill(false);
             c.moneyDecimals = 0;
             c.postings = {Line(621, 1000, 99999.40, "Accommodation")};
             c.payments = {Pay(900, 9004, 100000.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 99999.40, 1, Hotel(), "1"}}, {{9004, 100000.00}}, 99999.40, 100000.00, {}, {}},
        {"GrossAmountsMatchWhereConvertedOnesDoNot",
         [] {
             CFiscalCheck c = Bill(false);
             c.postings = {Line(631, 1000, 99.00, "Accommodation", "1", [](struct_posting& p) { p.posted_amount = 100; })};
             c.payments = {Pay(900, 9004, 100.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 100.00, 1, Hotel(), "1"}}, {{9004, 100.00}}, 100.00, 100.00, {}, {}},
        {"LinesWithoutDebitDroppedWhenTheRestMatches",
         [] {
             CFiscalCheck c = Bill(false);
             c.postings = {Line(641, 1000, 100.00, "Accommodation", "1", [](struct_posting& p) { p.guest_account_debit = 100; }),
                           Line(642, 2100, 20.00, "Breakfast")};
             c.payments = {Pay(900, 9004, 100.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 100.00, 1, Hotel(), "1"}}, {{9004, 100.00}}, 100.00, 100.00, {}, {}},
        {"QuantityThreeOneLinePerTaxGroup",
         [] {
             CFiscalCheck c = Bill(false);
             c.printQuantity = 3;
             c.postings = {Line(651, 1000, 100.00, "Accommodation", "1"), Line(652, 2100, 60.00, "Food", "1"),
                           Line(653, 2200, 40.00, "Bar", "2"), Line(654, 5000, 30.00, "Spa", "2")};
             c.payments = {Pay(900, 9004, 230.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 160.00, 1, Hotel(), "1"}, {2200, 70.00, 1, Hotel(), "2"}}, {{9004, 230.00}}, 230.00,
         230.00, {}, {}},
        {"QuantityThreeSingleLineTakesThePayments",
         [] {
             CFiscalCheck c = Bill(false);
             c.printQuantity = 3;
             c.postings = {Line(661, 1000, 100.00, "Accommodation", "1"), Line(662, 2100, 60.004, "Food", "1")};
             c.payments = {Pay(900, 9004, 160.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 160.00, 1, Hotel(), "1"}}, {{9004, 160.00}}, 160.00, 160.00, {}, {}},
        {"PerUnitModeWithAPackage",
         [] {
             CFiscalCheck c = Bill(false);
             c.amountMode = 2;
             c.postings = {Line(671, 1000, 50.00, "Accommodation", "1",
                                [](struct_posting& p) { p.price_per_unit = 50, p.quantity = 2, p.rate_code = "BB"; }),
                           Line(672, 2100, 12.50, "Breakfast", "1",
                                [](struct_posting& p) { p.price_per_unit = 12.5, p.quantity = 2, p.package_link = 671; })};
             c.payments = {Pay(900, 9004, 125.00, 3, "2")};
             return c;
         },
         true, 7, 0, "", {{1000, 125.00, 1, Hotel(), "1"}}, {{9004, 125.00}}, 125.00, 125.00, {},
         [](const CFiscalCheck& c) { EXPECT_DOUBLE_EQ(c.postings[0].price_per_unit, 62.5); }},
        {"ReversedPaymentBecomesADepositCheck",
         [] {
             CFiscalCheck c = Bill(false);
             c.statusCode = kPaymentCheck;
             c.payments = {Pay(701, 9004, 100.00, 3, "2", [](struct_posting& p) { p.fisc_status = "Y"; }),
                           Pay(702, 9004, -100.00, 3, "2")};
             return c;
         },
         true, 7, 1, "", {{9004, -100.00, 1, "Deposit payment", "3"}}, {{9004, -100.00}}, -100.00, -100.00, {}, {}},
        {"NullCheckBothRegistered",
         [] {
             CFiscalCheck c = Bill(false);
             c.statusCode = kPaymentCheck;
             c.payments = {Pay(711, 9004, 100.00, 3, "2", [](struct_posting& p) { p.fisc_status = "Y"; }),
                           Pay(712, 9004, -100.00, 3, "2", [](struct_posting& p) { p.fisc_status = "D"; })};
             return c;
         },
         false, 2, 2, "Null check. Skipping.", {}, {{9004, 100.00}, {9004, -100.00}}, 0, 0, {}, {}},
        {"NullCheckNeitherRegistered",
         [] {
             CFiscalCheck c = Bill(false);
             c.statusCode = kPaymentCheck;
             c.payments = {Pay(721, 9004, 100.00, 3, "2", [](struct_posting& p) { p.fisc_status = "N"; }),
                           Pay(722, 9004, -100.00, 3, "2")};
             return c;
         },
         false, 2, 2, "Null check. Skipping.", {}, {{9004, 100.00}, {9004, -100.00}}, 0, 0, {}, {}},
        {"NullCheckMixedPayments",
         [] {
             CFiscalCheck c = Bill(false);
             c.statusCode = kPaymentCheck;
             c.payments = {Pay(731, 9004, 100.00, 3, "2", [](struct_posting& p) { p.fisc_status = "Y"; }),
                           Pay(732, 9000, -100.00, 0, "1")};
             return c;
         },
         false, 5, 2, "Null check. Mixed payments.", {}, {{9004, 100.00}, {9000, -100.00}}, 0, 0, {}, {}},
        {"RefundOfARegisteredDeposit",
         [] {
             CFiscalCheck c = Bill();
             c.postings = {Line(741, 1000, 300.00, "Accommodation", "1", [](struct_posting& p) { p.rate_code = "BAR"; })};
             c.payments = {Pay(742, 9100, 500.00, 3, "5", [](struct_posting& p) { p.fisc_status = "D", p.deposit_no = 7; }),
                           Pay(743, 9100, -200.00, 3, "5")};
             return c;
         },
         true, 7, 1, "", {{9100, -200.00, 1, "Deposit payment", "3"}}, {{9100, -200.00}}, -200.00, -200.00, {}, {}},
    };
    return cases;
}

class ComposeTest : public ::testing::TestWithParam<ComposeCase> {};

TEST_P(ComposeTest, ComposesTheBill) {
    const ComposeCase& c = GetParam();
    CFiscalCheck check = c.build();
    EXPECT_EQ(check.Compose(), c.result);
    EXPECT_EQ(check.documentKind, c.documentKind);
    EXPECT_EQ(CodeNumber(check.statusCode), c.statusCode);
    EXPECT_EQ(check.errorText, c.errorText);
    ASSERT_EQ(check.postings.size(), c.postings.size());
    for (size_t i = 0; i < c.postings.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "posting " << i);
        EXPECT_EQ(check.postings[i].trx_code, c.postings[i].code);
        EXPECT_NEAR(check.postings[i].trx_amount, c.postings[i].amount, 0.0001);
        EXPECT_DOUBLE_EQ(check.postings[i].quantity, c.postings[i].quantity);
        EXPECT_EQ(check.postings[i].description, c.postings[i].description);
        EXPECT_EQ(check.postings[i].tax_group, c.postings[i].tax);
    }
    ASSERT_EQ(check.payments.size(), c.payments.size());
    for (size_t i = 0; i < c.payments.size(); ++i) {
        EXPECT_EQ(check.payments[i].trx_code, c.payments[i].first);
        EXPECT_NEAR(check.payments[i].trx_amount, c.payments[i].second, 0.0001);
    }
    EXPECT_NEAR(check.postingsTotal, c.postingsTotal, 0.0001);
    EXPECT_NEAR(check.paymentsTotal, c.paymentsTotal, 0.0001);
    for (size_t i = 0; i < c.taxSums.size(); ++i) {
        EXPECT_NEAR(check.taxSums[i], c.taxSums[i], 0.0001) << i;
    }
    if (c.more) {
        c.more(check);
    }
}

INSTANTIATE_TEST_SUITE_P(HotelBills, ComposeTest, ::testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<ComposeCase>& info) { return std::string(info.param.name); });

// --- the tax sums that the Czech and Mongolian registrations send ---

struct TaxSumCase {
    const char* name;
    std::vector<struct_posting> postings;
    double paid;
    std::vector<double> taxSums;
};

TEST(TaxSums, EveryPostingCountsByItsGroupWithOrWithoutTaxLines) {
    auto included = [](double net) {
        return [net](struct_posting& p) { p.tax_included = true, p.net_amount = net; };
    };
    const std::vector<TaxSumCase> cases = {
        // The usual VAT-inclusive PMS: groups from the tax lists, no tax lines.
        {"IncludedVatWithoutTaxLines",
         {Line(801, 1000, 4500.00, "Accommodation", "1", included(3750.00)),
          Line(802, 2000, 1040.00, "Restaurant", "2", included(866.67))},
         5540.00,
         {0, 0, 3750.00, 750.00, 866.67, 173.33, 0, 0, 0, 0}},
        {"TaxNotIncludedCountsWholeWithoutTax",
         {Line(811, 1000, 100.00, "Accommodation", "3", [](struct_posting& p) { p.net_amount = 80; }),
          Line(812, 2000, 50.00, "Bar", "0")},
         150.00,
         {50.00, 0, 0, 0, 0, 0, 100.00, 0, 0, 0}},
        // A posting without a group is registered in the service template's.
        {"NoGroupCountsInTheTemplatesGroup",
         {Line(821, 1000, 120.00, "Accommodation", "", included(100.00))},
         120.00,
         {0, 0, 100.00, 20.00, 0, 0, 0, 0, 0, 0}},
        {"VoucherGroupSumsItsAmount",
         {Line(831, 1000, 100.00, "Accommodation", "1"), Line(832, 6000, 30.00, "Voucher", "4")},
         130.00,
         {0, 0, 100.00, 0, 0, 0, 0, 0, 0, 30.00}},
        // A posting with a tax line counts through it, once; the one beside it by its own group.
        {"TaxLineAndOwnGroupSideBySide",
         {Line(841, 1000, 100.00, "Accommodation", "", included(83.33)),
          Line(842, 9000, 16.67, "VAT 20%", "1",
               [](struct_posting& p) { p.line_type = 7, p.added_by = 841, p.tax_included = true; }),
          Line(843, 2000, 60.00, "Restaurant", "1", included(50.00))},
         160.00,
         {0, 0, 133.33, 26.67, 0, 0, 0, 0, 0, 0}},
        // Generated tax lines and package components add nothing of their own.
        {"TaxLinesAndComponentsAddNothing",
         {Line(851, 1000, 100.00, "Accommodation", "1", included(90.00)),
          Line(852, 4, 10.00, "City tax", "0", [](struct_posting& p) { p.line_type = 5; }),
          Line(853, 2100, 20.00, "Breakfast (pkg)", "2", [](struct_posting& p) { p.excluded = true; })},
         110.00,
         {0, 0, 90.00, 10.00, 0, 0, 0, 0, 0, 0}},
    };
    for (const TaxSumCase& c : cases) {
        SCOPED_TRACE(c.name);
        CFiscalCheck check = Bill(false);
        check.serviceTemplate.tax_group = "1";
        check.postings = c.postings;
        check.payments = {Pay(900, 9004, c.paid, 3, "2")};
        check.Compose();
        for (size_t i = 0; i < c.taxSums.size(); ++i) {
            EXPECT_NEAR(check.taxSums[i], c.taxSums[i], 0.0001) << i;
        }
    }
}

// --- the matching test ---

struct MatchCase {
    const char* name;
    std::vector<double> postings;
    double payments;
    int moneyDecimals;
    bool changeAllowed;
    std::vector<struct_posting> payLines;
    bool matches;
    std::vector<double> after;
};

TEST(AmountsMatch, RoundedTotalsAndTheirCorrections) {
    const std::vector<MatchCase> cases = {
        {"exact", {10.00, 5.004}, 15.00, 2, false, {}, true, {10.00, 5.004}},
        {"three thirds", {33.33, 33.33, 33.33}, 100.00, 2, false, {}, true, {33.34, 33.33, 33.33}},
        {"whole amounts take the cents on the last", {50, 50}, 100.10, 2, false, {}, true, {50, 50.10}},
        {"difference of 0.14 is too much", {99.86}, 100.00, 2, false, {}, false, {99.86}},
        {"money without decimals", {9999.40}, 10000.00, 0, false, {}, true, {9999.40}},
        {"money without decimals, 1.5 apart", {9998.50}, 10000.00, 0, false, {}, false, {9998.50}},
        {"change from 20.00 cash", {95.00}, 100.00, 2, true, {Pay(1, 9000, 20.00, 0, "1")}, true, {95.00}},
        {"change but cash too small", {95.00}, 100.00, 2, true, {Pay(1, 9000, 5.00, 0, "1")}, false, {95.00}},
        {"change but no cash", {95.00}, 100.00, 2, true, {Pay(1, 9004, 100.00, 3, "2")}, false, {95.00}},
        {"change only for an excess of payments", {100.00}, 95.00, 2, true, {Pay(1, 9000, 95.00, 0, "1")}, false, {100.00}},
    };
    for (const MatchCase& m : cases) {
        SCOPED_TRACE(m.name);
        CFiscalCheck check;
        double total = 0;
        for (size_t i = 0; i < m.postings.size(); ++i) {
            check.postings.push_back(Line(static_cast<int>(i) + 1, 1000 + static_cast<int>(i), m.postings[i], "x"));
            total += m.postings[i];
        }
        check.payments = m.payLines;
        check.postingsTotal = total;
        check.paymentsTotal = m.payments;
        check.moneyDecimals = m.moneyDecimals;
        check.changeAllowed = m.changeAllowed;
        EXPECT_EQ(check.AmountsMatch(), m.matches);
        for (size_t i = 0; i < m.after.size(); ++i) {
            EXPECT_NEAR(check.postings[i].trx_amount, m.after[i], 1e-9) << i;
        }
    }
}

TEST(AmountsMatch, MixedPostingsAndCzechChecksAreNotCompared) {
    CFiscalCheck check;
    check.postingsTotal = 10;
    check.paymentsTotal = 500;
    EXPECT_FALSE(check.AmountsMatch());
    check.mixedPostings = true;
    EXPECT_TRUE(check.AmountsMatch());
    check.mixedPostings = false;
    check.checkMode = 10;
    EXPECT_TRUE(check.AmountsMatch());
}

TEST(SmallCorrection, OnlyForDifferencesBetweenThreeThousandthsAndFiveHundredths) {
    struct Case {
        double payments;
        bool corrects;
        double lastAfter;
    };
    const std::vector<Case> cases = {
        {100.004, true, 40.005}, {99.996, true, 39.995}, {100.049, true, 40.005},
        {100.05, false, 40.00},  {100.003, false, 40.00}, {100.00, false, 40.00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payments);
        CFiscalCheck check;
        // Whole amounts of quantity 1: the last of them takes the step; the line of quantity 3 never.
        check.postings = {Line(1, 1000, 2.50, "x", "1", [](struct_posting& p) { p.quantity = 3; }),
                          Line(2, 1001, 57.50, "x"), Line(3, 1002, 40.00, "x")};
        check.postings[1].trx_amount = 60.00;
        check.postingsTotal = 100.00;
        check.paymentsTotal = c.payments;
        EXPECT_EQ(CCheckTotals(check).SmallCorrection(), c.corrects);
        EXPECT_NEAR(check.postings[2].trx_amount, c.lastAfter, 1e-9);
        EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, 2.50);
        EXPECT_DOUBLE_EQ(check.postings[1].trx_amount, 60.00);
    }
    CFiscalCheck cents;
    cents.postings = {Line(1, 1000, 20.00, "x"), Line(2, 1001, 19.99, "x"), Line(3, 1002, 30.50, "x")};
    cents.postingsTotal = 70.49;
    cents.paymentsTotal = 70.494;
    EXPECT_TRUE(CCheckTotals(cents).SmallCorrection());
    EXPECT_NEAR(cents.postings[1].trx_amount, 19.995, 1e-9);
}

// --- totals ---

TEST(Totals, ZeroLinesAreDroppedAndCashIsCounted) {
    CFiscalCheck check;
    check.postings = {Line(1, 1000, 50.00, "x", "1", [](struct_posting& p) { p.net_amount = 40; }),
                      Line(2, 1001, 0.004, "x"),
                      Line(3, 1002, 10.00, "x", "1", [](struct_posting& p) { p.quantity = 0; }),
                      Line(4, 9000, 8.00, "VAT", "1", [](struct_posting& p) { p.line_type = 7, p.tax_included = true; }),
                      Line(5, 1003, 30.00, "x", "1", [](struct_posting& p) { p.excluded = true, p.net_amount = 25; })};
    EXPECT_DOUBLE_EQ(check.SumPostings(check.postings), 50.00);
    EXPECT_EQ(check.postings.size(), 3u);
    EXPECT_DOUBLE_EQ(check.netTotal, 40.00);

    check.payments = {Pay(10, 9000, 120.00, 0, "1"), Pay(11, 9004, 0.004, 3, "2"), Pay(12, 9000, -20.00, 8, "1"),
                      Pay(13, 9004, 30.00, 3, "2", [](struct_posting& p) { p.quantity = 2; })};
    check.SumPayments();
    check.SumPayments();  // summing again gives the same totals
    EXPECT_EQ(check.payments.size(), 3u);
    ASSERT_EQ(check.removedLines.size(), 1u);
    EXPECT_EQ(check.removedLines[0].trx_no, 11);
    EXPECT_DOUBLE_EQ(check.paymentsTotal, 160.00);
    EXPECT_DOUBLE_EQ(check.cashTotal, 100.00);
    EXPECT_DOUBLE_EQ(check.cashReturned, -20.00);
}

TEST(Totals, AZeroPackagePostingLeavesItsDescriptionToItsLinesInPerUnitMode) {
    CFiscalCheck check;
    check.amountMode = 2;
    check.postings = {Line(1, 1010, 0.00, "Half board", "1", [](struct_posting& p) { p.rate_code = "HB"; }),
                      Line(2, 1000, 80.00, "Room", "1", [](struct_posting& p) { p.package_link = 1; }),
                      Line(3, 2100, 20.00, "Dinner", "1", [](struct_posting& p) { p.package_link = 1; }),
                      Line(4, 2200, 5.00, "Bar", "1")};
    EXPECT_DOUBLE_EQ(check.SumPostings(check.postings), 105.00);
    ASSERT_EQ(check.postings.size(), 3u);
    EXPECT_EQ(check.postings[0].description, "Half board");
    EXPECT_EQ(check.postings[1].rate_code, "HB");
    EXPECT_EQ(check.postings[2].description, "Bar");
}

TEST(Exchange, AnUnusableRateLeavesTheAmountAndIsLogged) {
    CFiscalCheck check = Bill(false);
    check.postings = {Line(1, 1000, 100.00, "Accommodation", "1", [](struct_posting& p) { p.exchange_rate = 0; })};
    check.payments = {Pay(2, 9004, 100.00, 3, "2")};
    EXPECT_TRUE(check.Compose());
    EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, 100.00);
    EXPECT_DOUBLE_EQ(check.postings[0].exchange_rate, 1.0);
}

// --- descriptions ---

TEST(Descriptions, WideTemplatesAndRateCodes) {
    CFiscalCheck deposit = Bill(false);
    deposit.statusCode = kOtherDeposit;
    deposit.depositTemplate.w_description = u"Záloha";
    deposit.postings = {Line(1, 9100, 50.00, "Deposit", "")};
    deposit.payments = {Pay(2, 9100, 50.00, 3, "5")};
    ASSERT_TRUE(deposit.Compose());
    EXPECT_EQ(deposit.postings[0].description, "Deposit");
    EXPECT_EQ(deposit.postings[0].w_description, u"Záloha");
    EXPECT_EQ(deposit.postings[0].tax_group, "3");

    CFiscalCheck full = Bill(true);
    full.postings = {Line(1, 1000, 50.00, "Room", "1", [](struct_posting& p) {
        p.rate_code = "RACK";
        p.w_description = u"Pokoj";
    })};
    full.payments = {Pay(2, 9004, 50.00, 3, "2")};
    ASSERT_TRUE(full.Compose());
    EXPECT_EQ(full.postings[0].description, "Room RACK");
    EXPECT_EQ(full.postings[0].w_description, u"Pokoj RACK");

    CFiscalCheck service = Bill(false);
    service.serviceTemplate.w_description = u"Služby hotelu";
    service.postings = {Line(1, 1000, 50.00, "Room")};
    service.payments = {Pay(2, 9004, 50.00, 3, "2")};
    ASSERT_TRUE(service.Compose());
    EXPECT_EQ(service.postings[0].description, "Hotel service");
    EXPECT_EQ(service.postings[0].w_description, u"Služby hotelu");

    CFiscalCheck payMaster = Bill(false);
    payMaster.statusCode = kPayMasterCheck;
    payMaster.postings = {Line(1, 1000, 50.00, "Pay master")};
    payMaster.payments = {Pay(2, 9004, 50.00, 3, "2")};
    ASSERT_TRUE(payMaster.Compose());
    EXPECT_EQ(payMaster.postings[0].description, "Pay master");
}

// --- the log of a composition ---

class ComposeLog : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("compose_log_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder);
        log.SetEcho(false);
        ASSERT_TRUE(log.Open((folder / "check.log").string(), true));
    }
    void TearDown() override {
        log.Close();
        std::filesystem::remove_all(folder);
    }
    std::string Text() {
        std::ifstream in(folder / "check.log");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::filesystem::path folder;
    CLogFile log;
};

TEST_F(ComposeLog, EveryStepLogsTheCheckUnderItsTitle) {
    CFiscalCheck check = Bill();
    check.log = &log;
    check.postings = {Line(1, 1000, 100.00, "Accommodation"),
                      Line(2, 9000, 16.67, "VAT", "1", [](struct_posting& p) { p.line_type = 7, p.added_by = 1, p.tax_included = true; })};
    check.payments = {Pay(3, 9004, 120.00, 3, "2")};
    EXPECT_FALSE(check.Compose());
    std::string text = Text();
    size_t at = 0;
    for (const char* title : {"    Pre - taxes\n", "    Taxes\n", "    ServiceCharges\n", "    Packages\n",
                              "    Merge posting\n", "Postings amount not match payments amount\n"}) {
        size_t found = text.find(title, at);
        EXPECT_NE(found, std::string::npos) << title;
        at = found == std::string::npos ? at : found;
    }
    EXPECT_NE(text.find("1000: Accommodation 100.0000*1.00 (0:1) TX: 0 (N)"), std::string::npos);
}

TEST_F(ComposeLog, PaymentChecksAreNotLogged) {
    CFiscalCheck check = Bill(false);
    check.statusCode = kPaymentCheck;
    check.log = &log;
    check.postings = {Line(1, 1000, 100.00, "Accommodation")};
    check.payments = {Pay(3, 9004, 100.00, 3, "2")};
    EXPECT_TRUE(check.Compose());
    EXPECT_EQ(Text().find("Merge posting"), std::string::npos);
}

}  // namespace
