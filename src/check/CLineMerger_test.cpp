#include "check/CLineMerger.h"

#include <gtest/gtest.h>

#include "check/CDiscountStep.h"
#include "check/CSignChecker.h"
#include "tests/support/check/TestLines.h"

namespace {

using namespace testlines;

struct Folded {
    int trxNo;
    double amount;
    double quantity;
};

struct MergeCase {
    const char* name;
    int checkMode;
    int mode;
    bool payments;
    std::vector<struct_posting> lines;
    std::vector<Folded> expected;
    std::vector<std::pair<int, int>> removed;  // trx_no, the trx_no it went into
};

std::vector<struct_posting> Q(std::vector<struct_posting> lines, std::vector<double> quantities) {
    for (size_t i = 0; i < lines.size(); ++i) {
        lines[i].quantity = quantities[i];
    }
    return lines;
}

TEST(Merge, FoldsLinesThatBelongTogether) {
    auto status = [](const char* s) { return [s](struct_posting& p) { p.fisc_status = s; }; };
    auto type = [](int t) { return [t](struct_posting& p) { p.line_type = t; }; };
    const std::vector<MergeCase> cases = {
        {"payments by device code on the default family", 7, 0, true,
         {Pay(1, 9000, 50, 0, "1"), Pay(2, 9001, 30, 0, "1"), Pay(3, 9004, 20, 3, "2"),
          Pay(4, 9005, 10, 3, "3", [](struct_posting& p) { p.print_code_ext = "1"; })},
         {{1, 90, 1}, {3, 20, 1}}, {{2, 1}, {4, 1}}},
        {"payments by code and deposit number elsewhere", 3, 0, true,
         {Pay(1, 9100, 100, 3, "5"), Pay(2, 9200, 50, 3, "6", [](struct_posting& p) { p.deposit_no = 9100; }),
          Pay(3, 9100, 25, 3, "5", status("Y")), Pay(4, 9300, 5, 3, "5")},
         {{1, 150, 1}, {3, 25, 1}, {4, 5, 1}}, {{2, 1}}},
        {"tax compared on ordinary lines only", 7, 0, false,
         {Line(1, 1000, 10, "a", "1"), Line(2, 1000, 10, "a", "2"), Line(3, 2000, 5, "b", "1", type(21)),
          Line(4, 2000, 5, "b", "2", type(21))},
         {{1, 10, 1}, {2, 10, 1}, {3, 10, 1}}, {{4, 3}}},
        {"generated, POS and marked lines take nothing in", 7, 0, false,
         {Line(1, 1000, 10, "a", "1", type(7)), Line(2, 1000, 10, "a", "1", type(14)), Line(3, 1000, 10, "a", "1", type(13)),
          Line(4, 1000, 10, "a", "1")},
         {{1, 10, 1}, {2, 10, 1}, {3, 10, 1}, {4, 10, 1}}, {}},
        {"rate codes keep lines apart", 7, 0, false,
         {Line(1, 1000, 10, "a", "1", [](struct_posting& p) { p.rate_code = "BAR"; }), Line(2, 1000, 10, "a", "1")},
         {{1, 10, 1}, {2, 10, 1}}, {}},
        {"quantity mode: same unit adds, its reversal takes it back", 7, 1, false,
         Q({Line(1, 3000, 3.5, "w"), Line(2, 3000, 3.5, "w"), Line(3, 3000, -7, "w")}, {1, 1, 2}),
         {{1, 0, 0}}, {{2, 1}, {3, 1}}},
        {"quantity mode: a smaller correction keeps the quantity", 7, 1, false,
         Q({Line(1, 3000, 7, "w"), Line(2, 3000, -1, "w")}, {2, 1}), {{1, 6, 2}}, {{2, 1}}},
        {"quantity mode: other amounts of one sign stay apart", 7, 1, false,
         Q({Line(1, 3000, 7, "w"), Line(2, 3000, 3.5, "w")}, {2, 1}), {{1, 7, 2}, {2, 3.5, 1}}, {}},
        {"quantity mode: a recalculated line folds by amount", 7, 1, false,
         Q({Line(1, 3000, 7, "w", "1", [](struct_posting& p) { p.recalculate = true; }), Line(2, 3000, 7, "w")}, {1, 1}),
         {{1, 14, 1}}, {{2, 1}}},
        {"mode 2 leaves the lines", 7, 2, false, {Line(1, 1000, 10, "a"), Line(2, 1000, 10, "a")},
         {{1, 10, 1}, {2, 10, 1}}, {}},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.name);
        CFiscalCheck check;
        check.checkMode = c.checkMode;
        std::vector<struct_posting> lines = c.lines;
        std::vector<struct_posting> removed;
        CLineMerger(check).Merge(lines, c.mode, c.payments, &removed);
        ASSERT_EQ(lines.size(), c.expected.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].trx_no, c.expected[i].trxNo);
            EXPECT_NEAR(lines[i].trx_amount, c.expected[i].amount, 1e-9);
            EXPECT_DOUBLE_EQ(lines[i].quantity, c.expected[i].quantity);
        }
        ASSERT_EQ(removed.size(), c.removed.size());
        for (size_t i = 0; i < removed.size(); ++i) {
            EXPECT_EQ(removed[i].trx_no, c.removed[i].first);
            EXPECT_EQ(removed[i].trx_code, c.removed[i].second);
        }
    }
}

TEST(Merge, AmountFoldTakesCodeTextReferenceAndDebit) {
    CFiscalCheck check;
    check.postings = {Line(1, 1000, 10, "a", "1", [](struct_posting& p) { p.code_text = "0"; }),
                      Line(2, 1000, 5, "a", "1", [](struct_posting& p) {
                          p.code_text = "ROOM", p.reference = "Night 2", p.guest_account_debit = 5, p.net_amount = 4;
                      }),
                      Line(3, 1000, -1, "a", "1", [](struct_posting& p) { p.reference = "Correction"; })};
    check.MergePostings();
    ASSERT_EQ(check.postings.size(), 1u);
    EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, 14);
    EXPECT_EQ(check.postings[0].code_text, "ROOM");
    EXPECT_EQ(check.postings[0].reference, "Night 2");  // a negative line does not give its reference
    EXPECT_DOUBLE_EQ(check.postings[0].guest_account_debit, 5);
    EXPECT_DOUBLE_EQ(check.postings[0].net_amount, 4);
    EXPECT_EQ(check.removedLines.size(), 2u);
}

TEST(Merge, FoldedPaymentsAreListedUnderThePaymentThatTookThem) {
    CFiscalCheck check;
    check.checkMode = 7;
    check.payments = {Pay(11, 9000, 50, 0, "1"), Pay(12, 9001, 30, 0, "1")};
    check.Merge(check.payments, 0, true);
    ASSERT_EQ(check.payments.size(), 1u);
    const std::vector<std::string>& text = check.BuildText(2, "");
    bool found = false;
    for (const std::string& line : text) {
        found = found || (line.find("Rec id: 11 ") != std::string::npos && line.find(" (+ 12 )") != std::string::npos);
    }
    EXPECT_TRUE(found);
    // A merge of a copy leaves the check's removed lines alone.
    std::vector<struct_posting> copy = {Pay(21, 9000, 1, 0, "1"), Pay(22, 9000, 1, 0, "1")};
    check.Merge(copy, 0, true);
    EXPECT_EQ(copy.size(), 1u);
    EXPECT_EQ(check.removedLines.size(), 1u);
}

// --- sign tests ---

TEST(CheckSigns, OppositeLinesAreFoldedOrReported) {
    CFiscalCheck refund = Bill();
    refund.paymentsTotal = -85;
    refund.postings = {Line(1, 1000, -100, "Room"), Line(2, 2100, 15, "Breakfast", "")};
    EXPECT_FALSE(refund.CheckSigns());
    EXPECT_EQ(refund.errorText, "Can't print refund check 40211, positive amount 15.00.");
    EXPECT_EQ(refund.documentKind, 4);

    CFiscalCheck bySubgroup = Bill();
    bySubgroup.paymentsTotal = 90;
    bySubgroup.postings = {Line(1, 1000, 60, "Room"),
                           Line(2, 3000, 40, "Minibar", "1", [](struct_posting& p) { p.subgroup = "3100, 3900"; }),
                           Line(3, 3900, -10, "Minibar correction", "")};
    EXPECT_TRUE(bySubgroup.CheckSigns());
    ASSERT_EQ(bySubgroup.postings.size(), 2u);
    EXPECT_DOUBLE_EQ(bySubgroup.postings[1].trx_amount, 30);

    // A merge in mode 1 folds the correction into its code's line when that leaves no negative line.
    CFiscalCheck byMerge = Bill();
    byMerge.paymentsTotal = 70;
    auto device = [](struct_posting& p) { p.line_type = 21; };
    byMerge.postings = {Line(1, 1000, 100, "Room", "1", device), Line(2, 1000, -30, "Room", "2", device)};
    EXPECT_TRUE(byMerge.CheckSigns());
    ASSERT_EQ(byMerge.postings.size(), 1u);
    EXPECT_DOUBLE_EQ(byMerge.postings[0].trx_amount, 70);
    EXPECT_EQ(byMerge.removedLines.size(), 1u);

    // Different rate codes keep the merge from folding; the negative line then takes its code's lines.
    CFiscalCheck byCode = Bill();
    byCode.paymentsTotal = 70;
    byCode.serviceTemplate.tax_group = "4";
    byCode.postings = {Line(1, 1000, 100, "Room", "", [](struct_posting& p) { p.rate_code = "BAR"; }),
                       Line(2, 1000, -30, "Room", "", [](struct_posting& p) { p.rate_code = "CORR", p.quantity = 2; })};
    EXPECT_TRUE(byCode.CheckSigns());
    ASSERT_EQ(byCode.postings.size(), 1u);
    EXPECT_EQ(byCode.postings[0].trx_no, 2);
    EXPECT_DOUBLE_EQ(byCode.postings[0].trx_amount, 70);
    EXPECT_DOUBLE_EQ(byCode.postings[0].quantity, 1);
    EXPECT_EQ(byCode.postings[0].tax_group, "4");
    EXPECT_EQ(byCode.errorText, "");
}

TEST(CheckSigns, PaymentChecksAndDepositsPassAtOnce) {
    for (int status : {1, 20}) {
        CFiscalCheck deposit = Bill();
        deposit.statusCode = static_cast<CheckStatusCode>(status);
        deposit.paymentsTotal = 50;
        deposit.postings = {Line(1, 1000, 100, "Room", ""), Line(2, 3900, -50, "x", "")};
        EXPECT_TRUE(deposit.CheckSigns());
        EXPECT_EQ(deposit.postings.size(), 2u);
        EXPECT_EQ(deposit.postings[0].tax_group, "");
    }
    CFiscalCheck payments = Bill(false);
    payments.paymentsTotal = 50;
    payments.postings = {Line(1, 1000, 100, "Room"), Line(2, 3900, -50, "x")};
    EXPECT_TRUE(payments.CheckSigns());
}

TEST(CheckSigns, FirstOppositeAmountSkipsDiscountsAndPosLines) {
    CFiscalCheck check;
    check.paymentsTotal = 10;
    check.postings = {Line(1, 1, -1, "d", "1", [](struct_posting& p) { p.line_type = 4; }),
                      Line(2, 2, -2, "pos", "1", [](struct_posting& p) { p.cheque_number = "77"; }),
                      Line(3, 3, -3, "x"), Line(4, 4, -4, "y")};
    EXPECT_DOUBLE_EQ(check.FirstOppositeAmount(check.postings), -3);
    check.mixedPostings = true;
    EXPECT_DOUBLE_EQ(check.FirstOppositeAmount(check.postings), 0);
}

struct PaymentSignCase {
    const char* name;
    int checkMode;
    std::vector<struct_posting> payments;
    std::vector<std::pair<int, double>> expected;  // trx_no, amount
    std::string errorText;
    size_t removed;
};

TEST(CheckPaymentSigns, FoldsCashChangeAndOrdersThePayments) {
    const std::vector<PaymentSignCase> cases = {
        {"cash given back goes into the cash payment", 7, {Pay(1, 9000, 120, 0, "1"), Pay(2, 9000, -20, 0, "1")},
         {{1, 100}}, "", 1},
        {"a card refund on a sale is reported", 7, {Pay(1, 9004, 120, 3, "2"), Pay(2, 9004, -20, 3, "2")},
         {{1, 120}, {2, -20}}, "Can't print check 40211, negative payment -20.00.", 0},
        {"a card sale on a refund is reported", 7, {Pay(1, 9004, -120, 3, "2"), Pay(2, 9004, 20, 3, "2")},
         {{1, -120}, {2, 20}}, "Can't print refund check 40211, positive payment 20.00.", 0},
        {"Mongolian device: wrong-sign payments last", 9,
         {Pay(1, 9004, -20, 3, "2"), Pay(2, 9004, 50, 3, "2"), Pay(3, 9004, 70, 3, "2")},
         {{2, 50}, {3, 70}, {1, -20}}, "", 0},
        {"cash after the others, returned cash last", 7,
         {Pay(1, 9000, -10, 0, "7"), Pay(2, 9000, 40, 0, "1"), Pay(3, 9004, 100, 3, "2")},
         {{3, 100}, {2, 40}, {1, -10}}, "Can't print check 40211, negative payment -10.00.", 0},
    };
    for (const PaymentSignCase& c : cases) {
        SCOPED_TRACE(c.name);
        CFiscalCheck check = Bill();
        check.checkMode = c.checkMode;
        check.payments = c.payments;
        check.SumPayments();
        EXPECT_TRUE(check.CheckPaymentSigns());
        ASSERT_EQ(check.payments.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(check.payments[i].trx_no, c.expected[i].first);
            EXPECT_DOUBLE_EQ(check.payments[i].trx_amount, c.expected[i].second);
        }
        EXPECT_EQ(check.errorText, c.errorText);
        EXPECT_EQ(check.removedLines.size(), c.removed);
    }
}

// --- discounts ---

std::vector<int> Codes(const CFiscalCheck& check) {
    std::vector<int> codes;
    for (const struct_posting& p : check.postings) {
        codes.push_back(p.trx_code);
    }
    return codes;
}

TEST(DiscountStep, DiscountsFollowEnoughGoodsOfTheirGroup) {
    auto discount = [](struct_posting& p) { p.line_type = 4; };
    auto charge = [](struct_posting& p) { p.line_type = 12; };

    CFiscalCheck check = Bill();
    check.paymentsTotal = 200;
    check.postings = {Line(1, 5100, 5, "Service", "1", charge), Line(2, 2900, -30, "Discount", "2", discount),
                      Line(3, 1000, 100, "Room", "1"),          Line(4, 2200, 20, "Bar", "2"),
                      Line(5, 5100, 3, "Service", "1", charge), Line(6, 2300, 20, "Wine", "2")};
    CDiscountStep(check).Run();
    EXPECT_EQ(Codes(check), (std::vector<int>{1000, 2200, 2300, 2900, 5100}));
    EXPECT_DOUBLE_EQ(check.postings[4].trx_amount, 8);
    EXPECT_DOUBLE_EQ(check.postings[4].net_amount, 3);

    // Discounts that nothing covers end up last, and the walk ends.
    CFiscalCheck uncovered = Bill();
    uncovered.paymentsTotal = 10;
    uncovered.postings = {Line(1, 2900, -5, "D1", "3", discount), Line(2, 2901, -6, "D2", "3", discount),
                          Line(3, 1000, 21, "Room", "1")};
    CDiscountStep(uncovered).Run();
    EXPECT_EQ(Codes(uncovered), (std::vector<int>{1000, 2900, 2901}));

    // On a refund the goods are negative and the discount positive.
    CFiscalCheck refund = Bill();
    refund.paymentsTotal = -90;
    refund.postings = {Line(1, 2900, 10, "Discount", "1", discount), Line(2, 1000, -100, "Room", "1")};
    CDiscountStep(refund).Run();
    EXPECT_EQ(Codes(refund), (std::vector<int>{1000, 2900}));
}

}  // namespace
