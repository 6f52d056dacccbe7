#include "config/CPaymentRules.h"

#include <gtest/gtest.h>

#include "platform/Text.h"
#include "tests/support/config/RulesTestFixture.h"

namespace {

// One payment through ApplyPaymentRules.
struct PaymentCase {
    const char* name;
    int code;
    std::function<void(struct_posting&)> loaded;
    bool accepted;
    int statusCode;
    int lineType;
    int payKind;
    const char* printCode;
    const char* printCodeExt;
};

TEST_F(RulesTest, PaymentTypesIgnoreListsAndCashOperations) {
    LoadRules();
    auto none = [](struct_posting&) {};
    auto deposit = [](struct_posting& p) { p.fisc_status = "D"; };
    auto general = [](const char* description) {
        return [=](struct_posting& p) { p.description = description; };
    };
    const PaymentCase cases[] = {
        {"cash", 9000, none, true, 0, 1, 0, "1", ""},
        {"card", 9004, none, true, 0, 1, 6, "2", ""},
        {"online deposit before pay codes", 9050, none, true, 0, 1, 6, "4", ""},
        {"additional deposit before pay codes", 9060, none, true, 0, 1, 6, "6", ""},
        {"paid out", 9910, none, true, 0, 1, 6, "8", ""},
        {"pay master room", 12345, [](struct_posting& p) { p.room = "9999"; }, true, 0, 1, 6, "7", ""},
        {"unknown code", 12345, none, true, 0, 21, 12, "", ""},
        {"pay code without device type", 9080, none, true, 0, 21, 12, "", ""},
        {"device code of the back-end kept", 9004, [](struct_posting& p) { p.print_code = "X"; }, true, 0, 1,
         6, "X", ""},
        {"registered deposit", 9004, deposit, true, 0, 1, 6, "9", "2"},
        {"registered deposit of a code without pay type", 9910, deposit, true, 0, 1, 6, "9", ""},
        {"ignored cashier", 9000, [](struct_posting& p) { p.cashier_id = "13"; }, false, 8, 8, 12, "", ""},
        {"ignored room", 9000, [](struct_posting& p) { p.room = "9998"; }, false, 8, 8, 12, "", ""},
        {"put", 9900, none, true, 6, 21, 12, "1", ""},
        {"cash loan of the general cashier", 9930, general("General cashier loan"), true, 6, 21, 12, "", ""},
        {"cash loan of another description", 9930, general("Cashier loan"), true, 0, 21, 12, "", ""},
        {"cash loan with a reference", 9930,
         [](struct_posting& p) { p.description = "general cashier", p.reference = "17"; }, true, 0, 21, 12,
         "", ""},
        {"cash drop of the general cashier", 9940, general("GENERAL CASHIER drop"), true, 7, 21, 12, "", ""},
        {"cash drop with a code text", 9940,
         [](struct_posting& p) { p.description = "general cashier", p.code_text = "X"; }, true, 0, 21, 12, "",
         ""},
        {"cash drop with code text 0", 9940,
         [](struct_posting& p) { p.description = "general cashier", p.code_text = "0"; }, true, 7, 21, 12, "",
         ""},
    };
    for (const PaymentCase& c : cases) {
        SCOPED_TRACE(c.name);
        CFiscalCheck check = Bill();
        check.depositTemplate.print_code = "9";
        check.payments = {Payment(1, c.code, 10, c.loaded)};
        EXPECT_EQ(ini.ApplyPaymentRules(check), c.accepted);
        EXPECT_EQ(CodeNumber(check.statusCode), c.statusCode);
        const struct_posting& p = check.payments[0];
        EXPECT_EQ(p.line_type, c.lineType);
        EXPECT_EQ(p.pay_kind, c.payKind);
        EXPECT_EQ(p.print_code, c.printCode);
        EXPECT_EQ(p.print_code_ext, c.printCodeExt);
    }
    EXPECT_TRUE(Logged("Payment included in ignore list."));
}

TEST_F(RulesTest, RegisteredDepositWithoutDeviceCodeOfItsOwnIsAnOrdinaryPayment) {
    LoadRules();
    CFiscalCheck check = Bill();
    check.payments = {Payment(1, 9000, 10, [](struct_posting& p) { p.fisc_status = "D"; })};
    ini.ApplyPaymentRules(check);
    EXPECT_EQ(check.payments[0].print_code, "1");
    EXPECT_EQ(check.payments[0].pay_kind, 0);
    EXPECT_EQ(check.payments[0].print_code_ext, "");
}

TEST_F(RulesTest, TaxSystemByTheWindowOfTheFirstPayment) {
    LoadRules();
    struct Case {
        int firstView;
        const char* firstCashier;
        const char* system;
        const char* logged;
    };
    const Case cases[] = {
        {2, "5", "OSN", "Set tax system OSN"},
        {5, "5", "USN", "Set tax system for default USN"},
        // An ignored first payment leaves the tax system alone.
        {2, "13", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.firstView);
        CFiscalCheck check = Bill();
        check.payments = {
            Payment(1, 9000, 10,
                    [&](struct_posting& p) { p.folio_view = c.firstView, p.cashier_id = c.firstCashier; }),
            Payment(2, 9004, 10, [](struct_posting& p) { p.folio_view = 2; })};
        ini.ApplyPaymentRules(check);
        EXPECT_EQ(check.GetField(26), c.system);
        if (c.logged) {
            EXPECT_TRUE(Logged(c.logged));
            EXPECT_TRUE(Logged(std::string("Check tax system for view ") + std::to_string(c.firstView)));
        }
    }

    ASSERT_TRUE(LoadBody("<tax_mode><tax_system view='7'>OSN</tax_system></tax_mode>"));
    ini.LoadRules();
    CFiscalCheck check = Bill();
    check.payments = {Payment(1, 9000, 10, [](struct_posting& p) { p.folio_view = 1; })};
    ini.ApplyPaymentRules(check);
    EXPECT_EQ(check.GetField(26), "");
}

TEST_F(RulesTest, PaymentCurrency) {
    struct Case {
        const char* settings;
        const char* currency;
        bool accepted;
    };
    const Case cases[] = {
        {"<payment_currency>RUB</payment_currency>", "EUR", false},
        {"<payment_currency>RUB</payment_currency>", "RUB", true},
        // With a base currency the back-end converts payments; without a payment currency any
        // currency is taken.
        {"<payment_currency>RUB</payment_currency><base_currency>RUB</base_currency>", "EUR", true},
        {"", "EUR", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.settings) + c.currency);
        LoadRules(std::string("<fidelio_ini>") + c.settings + "</fidelio_ini>");
        CFiscalCheck check = Bill();
        check.payments = {Payment(1, 9000, 10, [&](struct_posting& p) { p.currency = c.currency; })};
        size_t mark = LogMark();
        EXPECT_EQ(ini.ApplyPaymentRules(check), c.accepted);
        EXPECT_EQ(check.statusCode, c.accepted ? kBillCheck : kWrongPayment);
        // The rejected payment is the one the "Wrong payment" remark goes to.
        EXPECT_EQ(check.payments[0].line_type == 19, !c.accepted);
        EXPECT_EQ(LoggedSince(mark, "Payment in incorrect currency."), !c.accepted);
    }
}

TEST_F(RulesTest, PrepaymentCodeIsRemembered) {
    LoadRules();
    CFiscalCheck check = Bill();
    check.payments = {Payment(1, 9000, 10), Payment(2, 9071, 10)};
    ini.ApplyPaymentRules(check);
    EXPECT_EQ(ini.prepaymentCode, 9071);
    check.payments = {Payment(1, 9000, 10)};
    ini.ApplyRules(check);
    EXPECT_EQ(ini.prepaymentCode, 0);
}

// --- the whole rule set, composition included ---

class ApplyRulesTest : public RulesTest {
protected:
    // A bill of one room night paid as told.
    static CFiscalCheck PaidBill(std::vector<struct_posting> payments, bool fullCheck = false) {
        CFiscalCheck check = Bill(fullCheck);
        check.postings = {Posting(1, 1100, 100, [](struct_posting& p) { p.tax_group = "1"; })};
        check.payments = std::move(payments);
        return check;
    }
};

TEST_F(ApplyRulesTest, AcceptedBillIsComposedAndLogged) {
    LoadRules();
    CFiscalCheck check = PaidBill({Payment(10, 9000, 60), Payment(11, 9004, 40)});
    EXPECT_TRUE(ini.ApplyRules(check)) << ini.GetLastError();
    EXPECT_EQ(ini.ruleVerdict, 7);
    EXPECT_EQ(ini.GetLastError(), "");
    EXPECT_EQ(check.statusCode, kBillCheck);
    EXPECT_EQ(check.documentKind, 7);
    EXPECT_DOUBLE_EQ(check.paymentsTotal, 100);
    EXPECT_DOUBLE_EQ(check.cashTotal, 60);
    ASSERT_EQ(check.payments.size(), 2u);
    EXPECT_TRUE(Logged("Check: 40211"));
}

TEST_F(ApplyRulesTest, CheckOfIgnoredCashierOrRoomIsClosedWithoutRegistration) {
    LoadRules();
    CFiscalCheck cashier = PaidBill({Payment(10, 9000, 100)});
    cashier.cashierId = "13";
    EXPECT_TRUE(ini.ApplyRules(cashier));
    EXPECT_EQ(cashier.statusCode, kNotToRegister);
    EXPECT_TRUE(Logged("Check included in ignore list."));

    CFiscalCheck room = PaidBill({Payment(10, 9000, 100)});
    room.room = "9998";
    ini.ApplyRules(room);
    EXPECT_EQ(room.statusCode, kNotToRegister);

    CFiscalCheck other = PaidBill({Payment(10, 9000, 100)});
    other.cashierId = "130";
    ini.ApplyRules(other);
    EXPECT_EQ(other.statusCode, kBillCheck);
}

TEST_F(ApplyRulesTest, IgnoredPaymentEndsTheRulesBeforeComposition) {
    LoadRules();
    CFiscalCheck check = PaidBill({Payment(10, 9000, 100, [](struct_posting& p) { p.cashier_id = "13"; })});
    EXPECT_FALSE(ini.ApplyRules(check));
    EXPECT_EQ(check.statusCode, kNotToRegister);
    EXPECT_EQ(check.documentKind, 0);
    EXPECT_TRUE(Logged("Payment included in ignore list."));
    EXPECT_TRUE(Logged("Check: 40211"));
}

TEST_F(ApplyRulesTest, CheckMarkedNotToBeRegisteredPassesUntouched) {
    LoadRules();
    CFiscalCheck check = PaidBill({Payment(10, 12345, 100)});
    check.statusCode = kNotToRegister;
    ini.ReadParameter("//missing");
    EXPECT_TRUE(ini.ApplyRules(check));
    EXPECT_EQ(ini.GetLastError(), "");
    EXPECT_EQ(ini.ruleVerdict, 7);
    EXPECT_EQ(check.payments[0].line_type, 21);
    EXPECT_EQ(check.postings[0].line_type, 21);
    EXPECT_EQ(check.documentKind, 0);
    EXPECT_FALSE(Logged("unregistered"));
}

// Payments that must not be registered: the verdict and the reason.
struct RefusedCase {
    const char* name;
    const char* printer;
    struct_posting payment;
    bool result;
    int verdict;
    const char* error;
};

TEST_F(ApplyRulesTest, PaymentsThatMustNotBeRegistered) {
    const RefusedCase cases[] = {
        {"unregistered code", "PM", Payment(10, 12345, 100), false, 5,
         "Check 40211 has unregistered payment 12345 Payment."},
        {"unregistered code on a Czech printer", "CZECH", Payment(10, 12345, 100), true, 7, ""},
        {"code without a device type", "PM", Payment(10, 9920, 100), false, 5,
         "Check 40211 has unknown fiscal payment 9920 Payment."},
        {"registered before", "PM", Payment(10, 9000, 100, [](struct_posting& p) { p.fisc_status = "Y"; }),
         false, 6, "ERROR.Payment Payment 100.00 already has fiscalized.Check saved"},
        {"registered before, Czech printer", "CZECH",
         Payment(10, 9000, 100, [](struct_posting& p) { p.fisc_status = "Y"; }), true, 7, ""},
        {"marked by the back-end", "PM", Payment(10, 12345, 100, [](struct_posting& p) { p.line_type = 18; }),
         false, 6, ""},
        {"left alone", "PM", Payment(10, 12345, 100, [](struct_posting& p) { p.line_type = 17; }), true, 7,
         ""},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoadRules(std::string("<printer_ini><printer>") + c.printer + "</printer></printer_ini>");
        CFiscalCheck check = PaidBill({c.payment});
        EXPECT_EQ(ini.ApplyRules(check), c.result);
        EXPECT_EQ(ini.ruleVerdict, c.verdict);
        EXPECT_EQ(ini.GetLastError(), c.error);
        if (*c.error) {
            EXPECT_TRUE(Logged(c.error));
        }
        EXPECT_EQ(check.statusCode, kBillCheck);
    }
}

TEST_F(ApplyRulesTest, UnregisteredPaymentIsMarkedNotToBeRegistered) {
    LoadRules();
    CFiscalCheck check = PaidBill({Payment(10, 9000, 50), Payment(11, 12345, 50)});
    EXPECT_FALSE(ini.ApplyRules(check));
    ASSERT_EQ(check.payments.size(), 2u);
    for (const struct_posting& p : check.payments) {
        EXPECT_EQ(p.line_type, p.trx_code == 9000 ? 1 : 18) << p.trx_code;
    }
    EXPECT_EQ(ini.ruleVerdict, 5);
}

TEST_F(ApplyRulesTest, WrongCurrencyIsAPaymentNotAcceptable) {
    LoadRules("<fidelio_ini><payment_currency>RUB</payment_currency></fidelio_ini>");
    CFiscalCheck check = PaidBill({Payment(10, 9000, 100, [](struct_posting& p) { p.currency = "USD"; })});
    EXPECT_FALSE(ini.ApplyRules(check));
    EXPECT_EQ(check.statusCode, kWrongPayment);
    EXPECT_TRUE(Logged("Payment in incorrect currency."));
}

TEST_F(ApplyRulesTest, TaxOfThePaymentCode) {
    LoadRules();
    CFiscalCheck check = PaidBill({Payment(10, 9004, 100)});
    check.postings.push_back(Posting(2, 2000, 0));  // dropped by composition
    EXPECT_TRUE(ini.ApplyRules(check));
    EXPECT_EQ(check.statusCode, kBillCheck);
    ASSERT_EQ(check.postings.size(), 1u);
    EXPECT_EQ(check.postings[0].tax_group, "2");
    EXPECT_TRUE(Logged("Change taxes to 2 accourding to payment code 9004"));
}

TEST_F(ApplyRulesTest, TwoPaymentsWithTaxRulesAreIgnored) {
    struct Case {
        const char* name;
        int second;
    };
    // 9004 and 9005 name different taxes, 9004 and 9006 the same one.
    for (const Case& c : {Case{"different taxes", 9005}, Case{"same tax", 9006}}) {
        SCOPED_TRACE(c.name);
        LoadRules();
        CFiscalCheck check = PaidBill({Payment(10, 9004, 50), Payment(11, c.second, 50)});
        ini.ApplyRules(check);
        EXPECT_EQ(check.statusCode, kNotToRegister);
        EXPECT_TRUE(Logged("Not identical taxes in payment list."));
    }
    LoadRules();
    CFiscalCheck oneRule = PaidBill({Payment(10, 9004, 50), Payment(11, 9000, 50)});
    EXPECT_TRUE(ini.ApplyRules(oneRule));
    EXPECT_EQ(oneRule.statusCode, kBillCheck);
}

class ReturnRulesTest : public ApplyRulesTest {
protected:
    // A refund bill of a sale registered with the Mongolian tax service, as the back-end hands
    // it over: the refund's own lines, then the sale's, whose payment is registered already.
    static CFiscalCheck ReturnOfSale(double refunded, const std::string& saleNumber, const std::string& saleFile);
};

CFiscalCheck ReturnRulesTest::ReturnOfSale(double refunded, const std::string& saleNumber,
                                           const std::string& saleFile) {
    CFiscalCheck check = Bill(true);
    check.checkMode = 9;
    check.statusCode = kBillRefund;
    check.groupName = saleNumber;
    check.printedFileName = saleFile;
    check.postings = {Posting(1, 1100, -refunded), Posting(3, 1100, 100)};
    check.payments = {Payment(2, 9000, -refunded, [](struct_posting& p) { p.fisc_status = "N"; }),
                      Payment(4, 9000, 100, [](struct_posting& p) { p.fisc_status = "Y"; })};
    check.returnedSaleTotal = 100;
    return check;
}

TEST_F(ReturnRulesTest, AReturnOfAWholeRegisteredMongolianSaleIsAccepted) {
    LoadRules("<printer_ini><printer>MONGOL</printer></printer_ini>");
    for (double refunded : {100.0, 100.004}) {
        SCOPED_TRACE(refunded);
        CFiscalCheck check = ReturnOfSale(refunded, "100000007", "20260101100000-100000007");
        EXPECT_TRUE(ini.ApplyRules(check)) << ini.GetLastError();
        EXPECT_EQ(ini.ruleVerdict, 7);
        EXPECT_EQ(check.statusCode, kBillRefund);
        EXPECT_DOUBLE_EQ(check.paymentsTotal, -refunded);
        EXPECT_DOUBLE_EQ(check.cashTotal, -refunded);
        // The worker's sign test passes it on to the device; only the refund's own payment is
        // left, so the return's status writes cannot reach the sale's row.
        EXPECT_TRUE(check.CheckSigns()) << check.errorText;
        ASSERT_EQ(check.payments.size(), 1u);
        EXPECT_EQ(check.payments[0].trx_no, 2);
        EXPECT_EQ(check.postings.size(), 2u);
        EXPECT_TRUE(Logged(text::Format("Return of sale 100000007 (20260101100000-100000007): refund %.2f",
                                        -refunded)));
        EXPECT_FALSE(Logged("already has fiscalized"));
    }
}

// The return command voids the whole sale, and a second return of a sale gets the first one's
// answer: a part of a sale, or a sale returned before, is refused and never sent.
TEST_F(ReturnRulesTest, APartialOrSecondReturnIsRefusedForAManualClose) {
    LoadRules("<printer_ini><printer>MONGOL</printer></printer_ini>");
    CFiscalCheck part = ReturnOfSale(30, "100000007", "20260101100000-100000007");
    EXPECT_FALSE(ini.ApplyRules(part));
    EXPECT_EQ(ini.ruleVerdict, 6);
    EXPECT_EQ(ini.GetLastError(),
              "Refund check 40211 returns 30.00 of sale 100000007 of 100.00, the tax service returns only whole "
              "sales. Register the refund by hand. Check saved");
    EXPECT_EQ(part.statusCode, kBillRefund);
    EXPECT_FALSE(Logged("Return of sale"));

    CFiscalCheck second = ReturnOfSale(100, "100000007", "20260101100000-100000007");
    second.earlierReturn = "800031";
    EXPECT_FALSE(ini.ApplyRules(second));
    EXPECT_EQ(ini.ruleVerdict, 6);
    EXPECT_EQ(ini.GetLastError(),
              "Refund check 40211: sale 100000007 was returned already by bill 800031, the tax service returns a "
              "sale once. Register the refund by hand. Check saved");
}

TEST_F(ReturnRulesTest, AReturnThatFoundNoRegisteredSaleIsLeftForAManualClose) {
    LoadRules("<printer_ini><printer>MONGOL</printer></printer_ini>");
    for (const auto& [number, file] : {std::pair<std::string, std::string>{"", ""}, {"100000007", ""}}) {
        CFiscalCheck check = ReturnOfSale(30, number, file);
        check.payments.pop_back();
        EXPECT_FALSE(ini.ApplyRules(check));
        EXPECT_EQ(ini.ruleVerdict, 6);
        EXPECT_EQ(ini.GetLastError(),
                  "Refund check 40211: no registered sale " + number + " to return. Check saved");
        EXPECT_EQ(check.statusCode, kBillRefund);
    }
    // The payment rules still apply: an ignored cashier closes the return unregistered.
    CFiscalCheck ignored = ReturnOfSale(30, "100000007", "T");
    ignored.payments[0].cashier_id = "13";
    EXPECT_FALSE(ini.ApplyRules(ignored));
    EXPECT_EQ(ignored.statusCode, kNotToRegister);

    // On other printers a payment registered before still refuses the check.
    LoadRules();
    CFiscalCheck other = ReturnOfSale(30, "100000007", "T");
    EXPECT_FALSE(ini.ApplyRules(other));
    EXPECT_EQ(ini.ruleVerdict, 6);
}

TEST_F(ApplyRulesTest, RefundsAreClosedOnlyWhenRefundsAreNotPrinted) {
    for (const char* setting : {"", "<printer_ini><print_refund>2</print_refund></printer_ini>",
                                "<printer_ini><print_refund>0</print_refund></printer_ini>"}) {
        SCOPED_TRACE(setting);
        LoadRules(setting);
        bool closed = std::string(setting).find(">0<") != std::string::npos;
        CFiscalCheck check = Bill();
        check.statusCode = kPaymentCheck;
        check.postings = {Posting(1, 1100, -100, [](struct_posting& p) { p.tax_group = "1"; })};
        check.payments = {Payment(10, 9000, -100)};
        EXPECT_TRUE(ini.ApplyRules(check));
        EXPECT_EQ(check.statusCode, closed ? kNotToRegister : kRefundCheck);
        EXPECT_EQ(Logged("Refund check passed!"), closed);
    }
}

TEST_F(ApplyRulesTest, FailedCompositionGivesItsMessageAndKind) {
    LoadRules();
    CFiscalCheck check = PaidBill({Payment(10, 9000, 90)});
    EXPECT_FALSE(ini.ApplyRules(check));
    EXPECT_EQ(ini.GetLastError(), "Postings amount = 100.0000, payments amount = 90.0000. (10.0000)");
    EXPECT_EQ(ini.ruleVerdict, 0);
    EXPECT_TRUE(Logged("Postings amount = 100.0000, payments amount = 90.0000. (10.0000)"));

    // A line of the wrong sign on a full check: the worker may try a short check.
    CFiscalCheck negative = PaidBill({Payment(10, 9000, 80)}, true);
    negative.postings.push_back(Posting(2, 1200, -20, [](struct_posting& p) { p.tax_group = "1"; }));
    EXPECT_FALSE(ini.ApplyRules(negative));
    EXPECT_EQ(ini.ruleVerdict, 4);
    EXPECT_EQ(ini.GetLastError(), "Can't print check 40211, negative amount -20.00.");
}

TEST_F(ApplyRulesTest, PrepaymentMustCoverItsPostings) {
    struct Case {
        double prepaid;  // amount of the second prepaid posting
        bool passes;
    };
    // The prepayment of 150 pays 100 + the second posting; the cash payment the rest.
    for (const Case& c : {Case{50, true}, Case{50.004, true}, Case{49.996, true}, Case{50.005, false},
                          Case{49.995, false}, Case{40, false}}) {
        SCOPED_TRACE(c.prepaid);
        LoadRules();
        CFiscalCheck check = Bill();
        check.postings = {Posting(1, 1400, 100), Posting(2, 1410, c.prepaid),
                          Posting(3, 1100, 100 - c.prepaid)};
        check.payments = {Payment(10, 9070, 150, [](struct_posting& p) { p.print_code = "2"; }),
                          Payment(11, 9000, 50)};
        EXPECT_EQ(ini.ApplyRules(check), c.passes) << ini.GetLastError();
        EXPECT_EQ(Logged("Prepayment sum postings not correct."), !c.passes);
    }
}

TEST_F(ApplyRulesTest, WindowTaxesAndDescriptionsOutlastComposition) {
    LoadRules();
    CFiscalCheck check = PaidBill({Payment(10, 9000, 100)});
    check.postings[0].folio_view = 3;
    EXPECT_TRUE(ini.ApplyRules(check));
    // Payments-only composition gives every posting the generic description; the window's
    // description comes after it.
    EXPECT_EQ(check.postings[0].description, "Window three");
    EXPECT_EQ(check.postings[0].tax_group, "2");
}

// --- full checks of only_payments 2 ---

class InvoiceKindTest : public ApplyRulesTest {
protected:
    void LoadInvoiceRules(const std::string& extra, const std::string& limit = "") {
        ASSERT_TRUE(
            LoadBody("<fidelio_ini><only_payments>2</only_payments></fidelio_ini>"
                     "<pay_mode><pay code='9000'><print>1</print>" +
                     limit + "</pay><pay code='9004'><print>2</print></pay></pay_mode>" + extra));
        ASSERT_TRUE(ini.LoadRules());
    }

    // A bill with two taxes on the check template of the configuration.
    CFiscalCheck InvoiceBill(const std::string& number, int payment, double amount) {
        CFiscalCheck check;
        ini.FillCheckTemplate(check);
        check.statusCode = kBillCheck;
        check.checkNumber = number;
        check.postings = {Posting(1, 1100, amount - 20, [](struct_posting& p) { p.tax_group = "1"; }),
                          Posting(2, 2100, 20, [](struct_posting& p) { p.tax_group = "2"; })};
        check.payments = {Payment(10, payment, amount)};
        return check;
    }

    static bool IsProofOfPayment(const CFiscalCheck& check) {
        return !check.postings.empty() && check.postings[0].line_type == 20;
    }
};

TEST_F(InvoiceKindTest, ProofOfPaymentOrSimplifiedVatDocument) {
    struct Case {
        const char* name;
        const char* lists;
        const char* number;
        int payment;
        double amount;
        bool proof;
        const char* logged;
    };
    const char* kLists =
        "<fidelio_ini><hotelbill>HB, B</hotelbill><hotelinvoice>HI</hotelinvoice></fidelio_ini>";
    const Case cases[] = {
        {"no lists", "", "100", 9000, 100, true, "Check 100.00 to limit 0.00"},
        // Pay codes without a limit still make a limit list: a refund stays a simplified document.
        {"refund, no limits", "", "100", 9000, -50, false, "Check -50.00 to limit 0.00"},
        {"hotel bill", kLists, "HB100", 9000, 100, true, "Check invoce num HB100 - print proof of payment"},
        {"second hotel bill code", kLists, "B7", 9000, 100, true,
         "Check invoce num B7 - print proof of payment"},
        {"hotel invoice", kLists, "HI100", 9000, 900, false,
         "Check invoce num HI100 - print simplified VAT document"},
        {"within the limit", kLists, "100", 9000, 400, false, "Check 400.00 to limit 500.00"},
        {"above the limit", kLists, "100", 9000, 600, true, "Check 600.00 to limit 500.00"},
        {"code without limit", kLists, "100", 9004, 30, true, "Check 30.00 to limit 0.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadInvoiceRules(c.lists, *c.lists ? "<limit>500</limit>" : "");
        CFiscalCheck check = InvoiceBill(c.number, c.payment, c.amount);
        EXPECT_TRUE(ini.ApplyRules(check)) << ini.GetLastError();
        EXPECT_EQ(IsProofOfPayment(check), c.proof);
        if (c.proof) {
            // One line per tax number.
            ASSERT_EQ(check.postings.size(), 2u);
            EXPECT_EQ(check.postings[0].code_text, "1");
            EXPECT_EQ(check.postings[1].code_text, "2");
        }
        if (c.logged) {
            EXPECT_TRUE(Logged(c.logged));
        }
    }
}

TEST_F(InvoiceKindTest, DepositAndReceivablesChecksArePaymentsOnly) {
    LoadInvoiceRules("<fidelio_ini><hotelinvoice>HI</hotelinvoice></fidelio_ini>");
    CFiscalCheck deposit = InvoiceBill("HI1", 9000, 100);
    deposit.postings[1].printed = true;
    EXPECT_TRUE(ini.ApplyRules(deposit)) << ini.GetLastError();
    ASSERT_EQ(deposit.postings.size(), 1u);
    EXPECT_EQ(deposit.postings[0].line_type, 20);
    EXPECT_DOUBLE_EQ(deposit.postings[0].trx_amount, 100);
    EXPECT_TRUE(Logged("Check deposit"));

    CFiscalCheck receivable = InvoiceBill("HI2", 9000, 100);
    receivable.statusCode = kReceivablePayment;
    receivable.folioNumber = "F77";
    EXPECT_TRUE(ini.ApplyRules(receivable)) << ini.GetLastError();
    ASSERT_EQ(receivable.postings.size(), 1u);
    EXPECT_NE(receivable.postings[0].description.find("F77"), std::string::npos);
    EXPECT_TRUE(Logged("AR payment check"));

    // Payments-only configurations leave such checks as they are.
    ASSERT_TRUE(LoadBody("<pay_mode><pay code='9000'><print>1</print></pay></pay_mode>"));
    ini.LoadRules();
    CFiscalCheck plain = InvoiceBill("1", 9000, 100);
    plain.postings[1].printed = true;
    ini.ApplyRules(plain);
    EXPECT_EQ(plain.postings.size(), 2u);
}

}  // namespace
