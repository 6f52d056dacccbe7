#include "check/CCheckConversions.h"

#include <gtest/gtest.h>

#include "tests/support/check/TestLines.h"

namespace {

using namespace testlines;

TEST(ShortCheck, OnlyOnTheDefaultDeviceFamily) {
    CFiscalCheck check = Bill();
    check.checkMode = 9;
    check.postings = {Line(1, 1000, 100, "Room"), Line(2, 2100, 20, "Breakfast")};
    check.paymentsTotal = 150;
    EXPECT_FALSE(check.TryToCreateShortCheck());
    ASSERT_EQ(check.postings.size(), 2u);
    EXPECT_EQ(check.postings[0].description, "Room");
}

TEST(ShortCheck, OneLinePerTaxGroupWhenThatMatches) {
    CFiscalCheck check = Bill();
    check.postings = {Line(1, 1000, 100, "Room", "1", [](struct_posting& p) { p.quantity = 2, p.line_type = 4; }),
                      Line(2, 2200, 30.50, "Bar", "2"), Line(3, 2100, 50, "Food", "1", [](struct_posting& p) {
                          p.net_amount = 40, p.extra_amount2 = 1;
                      })};
    check.payments = {Pay(9, 9004, 180.50, 3, "2")};
    check.SumPayments();
    EXPECT_TRUE(check.TryToCreateShortCheck());
    ASSERT_EQ(check.postings.size(), 2u);
    EXPECT_EQ(check.postings[0].trx_code, 1000);
    EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, 150);
    EXPECT_DOUBLE_EQ(check.postings[0].net_amount, 40);
    EXPECT_DOUBLE_EQ(check.postings[0].extra_amount2, 1);
    EXPECT_DOUBLE_EQ(check.postings[0].quantity, 1);
    EXPECT_EQ(check.postings[0].line_type, 0);
    EXPECT_EQ(check.postings[0].description, Hotel());
    EXPECT_DOUBLE_EQ(check.postings[1].trx_amount, 30.50);
    EXPECT_EQ(check.postings[1].tax_group, "2");
}

TEST(ShortCheck, OneLineForTheWholeAmountOtherwise) {
    struct Case {
        const char* name;
        std::vector<struct_posting> postings;
        double payments;
    };
    const std::vector<Case> cases = {
        {"amounts apart", {Line(1, 1000, 100, "Room"), Line(2, 2200, 10, "Bar", "2")}, 120},
        {"a line of the wrong sign", {Line(1, 1000, 130, "Room"), Line(2, 3900, -10, "Allowance", "2")}, 120},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFiscalCheck check = Bill();
        check.serviceTemplate.tax_group = "1";
        check.postings = c.postings;
        check.payments = {Pay(9, 9004, c.payments, 3, "2")};
        check.SumPayments();
        EXPECT_TRUE(check.TryToCreateShortCheck());
        ASSERT_EQ(check.postings.size(), 1u);
        EXPECT_EQ(check.postings[0].trx_code, 100);
        EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, c.payments);
        EXPECT_DOUBLE_EQ(check.postings[0].quantity, 1);
        EXPECT_EQ(check.postings[0].description, Hotel());
        EXPECT_EQ(check.postings[0].tax_group, "1");
        EXPECT_DOUBLE_EQ(check.postingsTotal, c.payments);
    }
}

TEST(SumByTax, PosLinesOfAnExpandedCheckStay) {
    CFiscalCheck check;
    check.posExpand = true;
    check.postings = {Line(1, 1000, 100, "Room"), Line(2, 2100, 12, "Soup", "1", [](struct_posting& p) { p.line_type = 14; }),
                      Line(3, 2100, 8, "Salad", "1", [](struct_posting& p) { p.cheque_number = "5531"; }),
                      Line(4, 2200, 5, "Parking")};
    check.SumByTax(check.postings);
    ASSERT_EQ(check.postings.size(), 3u);
    EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, 105);
    EXPECT_EQ(check.postings[1].description, "Soup");
    EXPECT_EQ(check.postings[1].line_type, 14);
    EXPECT_EQ(check.postings[2].description, "Salad");

    check.posExpand = false;
    check.SumByTax(check.postings);
    ASSERT_EQ(check.postings.size(), 1u);
    EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, 125);
}

TEST(PaymentsAsPosting, OnePostingForAllPayments) {
    for (int status : {21, 2}) {
        CFiscalCheck check;
        check.statusCode = static_cast<CheckStatusCode>(status);
        check.folioNumber = "F-118";
        check.checkNumber = "40211";
        check.serviceTemplate.w_description = u"Hotel";
        check.postings = {Line(1, 1000, 100, "Room")};
        check.payments = {Pay(2, 9004, 60, 3, "2", [](struct_posting& p) { p.posted_amount = 60, p.net_amount = 50; }),
                          Pay(3, 9000, 40, 0, "1", [](struct_posting& p) { p.posted_amount = 40, p.net_amount = 30; })};
        check.PaymentsAsPosting();
        ASSERT_EQ(check.postings.size(), 1u);
        const struct_posting& p = check.postings[0];
        std::string number = status == 21 ? "F-118" : "40211";
        EXPECT_EQ(p.description, Hotel() + " " + number);
        EXPECT_EQ(p.w_description, status == 21 ? u"Hotel F-118" : u"Hotel 40211");
        EXPECT_EQ(p.trx_code, 9004);
        EXPECT_EQ(p.line_type, 20);
        EXPECT_DOUBLE_EQ(p.trx_amount, 100);
        EXPECT_DOUBLE_EQ(p.posted_amount, 100);
        EXPECT_DOUBLE_EQ(p.net_amount, 80);
        EXPECT_EQ(check.payments.size(), 2u);
    }
    CFiscalCheck empty;
    empty.postings = {Line(1, 1000, 100, "Room")};
    empty.PaymentsAsPosting();
    EXPECT_EQ(empty.postings.size(), 1u);
}

TEST(PostingsByTaxNumber, OneLinePerTaxNumber) {
    CFiscalCheck check;
    check.postings = {Line(1, 1000, 100, "Room", "1"), Line(2, 2200, 30, "Bar", "2"), Line(3, 2100, 50, "Food", "1"),
                      Line(4, 5000, 10, "Laundry", ""), Line(5, 5100, 5, "Phone", "9"), Line(6, 2300, 7, "Wine", "3"),
                      Line(7, 2300, -7, "Wine", "3")};
    check.PostingsByTaxNumber();
    ASSERT_EQ(check.postings.size(), 3u);
    EXPECT_EQ(check.postings[0].code_text, "0");
    EXPECT_EQ(check.postings[0].trx_no, 4);
    EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, 15);
    EXPECT_EQ(check.postings[1].code_text, "1");
    EXPECT_EQ(check.postings[1].tax_group, "1");
    EXPECT_DOUBLE_EQ(check.postings[1].trx_amount, 150);
    EXPECT_DOUBLE_EQ(check.postings[1].price_per_unit, 150);
    EXPECT_EQ(check.postings[1].line_type, 20);
    EXPECT_EQ(check.postings[2].code_text, "2");
    EXPECT_DOUBLE_EQ(check.postings[2].trx_amount, 30);
}

TEST(RefundDepositConversion, NeedsARegisteredDepositThatCoversTheRefund) {
    struct Case {
        const char* name;
        std::vector<struct_posting> payments;
        bool converts;
    };
    const std::vector<Case> cases = {
        {"refund of a registered deposit",
         {Pay(1, 9100, 500, 3, "5", [](struct_posting& p) { p.fisc_status = "D"; }), Pay(2, 9100, -200, 3, "5")}, true},
        {"by deposit number",
         {Pay(1, 9150, 500, 3, "5", [](struct_posting& p) { p.fisc_status = "D", p.deposit_no = 9100; }),
          Pay(2, 9100, -200, 3, "5")},
         true},
        {"deposit not registered", {Pay(1, 9100, 500, 3, "5"), Pay(2, 9100, -200, 3, "5")}, false},
        {"refund larger than the deposit",
         {Pay(1, 9100, 100, 3, "5", [](struct_posting& p) { p.fisc_status = "D"; }), Pay(2, 9100, -200, 3, "5"),
          Pay(3, 9004, 400, 3, "2")},
         false},
        {"no refund", {Pay(1, 9100, 500, 3, "5", [](struct_posting& p) { p.fisc_status = "D"; })}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFiscalCheck check = Bill();
        check.postings = {Line(1, 1000, 300, "Room")};
        check.payments = c.payments;
        check.SumPayments();
        EXPECT_EQ(check.RefundDepositConversion(), c.converts);
        if (c.converts) {
            EXPECT_EQ(check.statusCode, kDepositCheck);
            ASSERT_EQ(check.postings.size(), 1u);
            EXPECT_EQ(check.postings[0].description, "Deposit payment");
            EXPECT_EQ(check.postings[0].tax_group, "3");
            ASSERT_EQ(check.payments.size(), 1u);
            EXPECT_EQ(check.payments[0].trx_no, 2);
            EXPECT_DOUBLE_EQ(check.postingsTotal, -200);
            EXPECT_DOUBLE_EQ(check.paymentsTotal, -200);
        } else {
            EXPECT_EQ(check.statusCode, kBillCheck);
            EXPECT_EQ(check.postings.size(), 1u);
        }
    }
}

TEST(NullCheckConversion, PerUnitModeMatchesByDeviceCode) {
    struct Case {
        int checkMode;
        std::string code1, ext1, code2;
        bool converts;
    };
    const std::vector<Case> cases = {
        {7, "2", "", "2", true}, {7, "3", "2", "2", true}, {7, "4", "4", "2", true},
        {7, "3", "", "2", false}, {3, "2", "", "2", false},
    };
    for (const Case& c : cases) {
        CFiscalCheck check = Bill(false);
        check.amountMode = 2;
        check.checkMode = c.checkMode;
        check.payments = {Pay(1, 9004, 100, 3, c.code1, [&](struct_posting& p) {
                              p.fisc_status = "Y", p.print_code_ext = c.ext1;
                          }),
                          Pay(2, 9005, -100, 3, c.code2)};
        EXPECT_EQ(check.NullCheckConversion(), c.converts) << c.code1 << "/" << c.ext1;
        EXPECT_EQ(check.documentKind, c.converts ? 7 : 5);
        EXPECT_EQ(check.errorText, c.converts ? "" : "Null check. Mixed payments.");
    }
}

TEST(NullCheckConversion, PostingsOrAThirdPaymentAreNoNullCheck) {
    CFiscalCheck withPosting = Bill(false);
    withPosting.postings = {Line(1, 1000, 0.001, "Room")};
    withPosting.payments = {Pay(2, 9004, 100, 3, "2", [](struct_posting& p) { p.fisc_status = "Y"; }),
                            Pay(3, 9004, -100, 3, "2")};
    EXPECT_FALSE(withPosting.NullCheckConversion());
    EXPECT_EQ(withPosting.errorText, "Null check. Skipping.");

    CFiscalCheck three = Bill(false);
    three.payments = {Pay(2, 9004, 100, 3, "2", [](struct_posting& p) { p.fisc_status = "Y"; }),
                      Pay(3, 9004, -50, 3, "2"), Pay(4, 9004, -50, 3, "2")};
    EXPECT_FALSE(three.NullCheckConversion());
    EXPECT_EQ(three.documentKind, 2);
}

}  // namespace
