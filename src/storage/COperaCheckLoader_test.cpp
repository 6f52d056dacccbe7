// Check loading of the Opera back-end on the demo hotel's generated PMS: how bills and payments
// become checks (lines, header fields, guest and company), and the conversions of a row.
#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "tests/support/storage/DemoHotel.h"

namespace {

using namespace demohotel;

class LoadingTest : public DemoHotelTest {
protected:
    CFiscalCheck LoadBill(int number) {
        CFiscalCheck check = storage.NewCheck();
        check.SetField(1, std::to_string(number));
        EXPECT_TRUE(storage.LoadBill(check, std::to_string(number), 0)) << storage.GetLastError();
        return check;
    }
    // The payment check of one payment of the day.
    CFiscalCheck LoadPayment(int trxNo) {
        std::vector<CFiscalCheck> checks;
        storage.FindPaymentChecks(checks);
        const CFiscalCheck* check = FindPayment(checks, trxNo);
        EXPECT_NE(check, nullptr) << trxNo;
        return check ? *check : CFiscalCheck();
    }
    static const struct_posting* Line(const std::vector<struct_posting>& lines, int trxNo) {
        for (const struct_posting& line : lines) {
            if (line.trx_no == trxNo) {
                return &line;
            }
        }
        return nullptr;
    }
};

TEST_F(LoadingTest, BillCarriesItsLinesCashierRoomAndCompany) {
    Open(FullChecks());
    const pmsgen::Bill& bill = BillOf(generated.companyBill);
    CFiscalCheck check = LoadBill(bill.number);
    EXPECT_EQ(check.statusCode, kBillCheck);
    EXPECT_EQ(check.checkNumber, std::to_string(bill.number));
    EXPECT_EQ(check.folioNumber, bill.confirmation);
    EXPECT_EQ(check.reservationId, std::to_string(bill.reservation));
    EXPECT_EQ(check.room, "310");
    EXPECT_EQ(check.station, "FO1");
    EXPECT_EQ(check.cashierId, "2");
    // The default device family names the cashier by the employee's name.
    EXPECT_EQ(check.cashierName, "Anna Ivanova");
    EXPECT_EQ(check.cashierPosition, "Front desk agent");
    EXPECT_EQ(check.cashierTaxId, "770123456789");
    // The payee is the company; the guest is the stay's.
    EXPECT_EQ(check.companyName, "Globex LLC");
    EXPECT_EQ(check.companyTaxId, "7709123456");
    EXPECT_EQ(check.companyExtra, "KPP 770101001");
    EXPECT_EQ(check.guestFirstName, "Olga");
    EXPECT_EQ(check.guestLastName, "Sidorova");
    ASSERT_EQ(check.postings.size(), 2u);
    const struct_posting& night = check.postings[0];
    const struct_posting& tax = check.postings[1];
    EXPECT_EQ(night.trx_code, 1000);
    EXPECT_EQ(night.description, platform::Cp1251("Проживание"));
    EXPECT_TRUE(night.tax_included);
    EXPECT_DOUBLE_EQ(night.trx_amount, 9800);
    EXPECT_DOUBLE_EQ(night.net_amount, 8166.67);
    EXPECT_EQ(night.business_date, "13.03.2026");
    EXPECT_EQ(night.folio_view, 2);
    EXPECT_EQ(tax.trx_code, 4);
    EXPECT_FALSE(tax.tax_included);
    EXPECT_EQ(tax.added_by, night.trx_no);
    ASSERT_EQ(check.payments.size(), 1u);
    const struct_posting& ledger = check.payments[0];
    EXPECT_EQ(ledger.trx_code, 9020);
    EXPECT_DOUBLE_EQ(ledger.trx_amount, 9900);
    EXPECT_EQ(ledger.cashier_id, "2");
    EXPECT_EQ(ledger.room, "310");
    EXPECT_EQ(ledger.fisc_status, "");
    EXPECT_EQ(ledger.bill_no, 0);
}

TEST_F(LoadingTest, PackageAndMinibarLines) {
    Open(FullChecks());
    const pmsgen::Bill& bill = BillOf(generated.packageBill);
    CFiscalCheck check = LoadBill(bill.number);
    ASSERT_EQ(check.postings.size(), 5u);
    int package = bill.postings[0];
    const struct_posting* header = Line(check.postings, package);
    const struct_posting* room = Line(check.postings, bill.postings[1]);
    const struct_posting* breakfast = Line(check.postings, bill.postings[2]);
    const struct_posting* water = Line(check.postings, bill.postings[3]);
    ASSERT_TRUE(header && room && breakfast && water);
    // Package components are marked for the package step of composition.
    EXPECT_TRUE(header->excluded);
    EXPECT_FALSE(room->excluded);
    EXPECT_TRUE(breakfast->excluded);
    for (const struct_posting* line : {header, room, breakfast}) {
        EXPECT_EQ(line->package_link, package);
    }
    EXPECT_DOUBLE_EQ(header->guest_account_debit, 6500);
    EXPECT_EQ(water->article_code, 501);
    EXPECT_EQ(water->article_description, "Mineral water 0.5");
    EXPECT_EQ(water->adj_trx_code, 5001);
    EXPECT_EQ(water->reference, "Guest's minibar");
    // Composed, the package is one line of what the guest paid.
    CFiscalCheck composed = check;
    ASSERT_TRUE(configuration.ApplyRules(composed)) << configuration.GetLastError();
    ASSERT_EQ(composed.postings.size(), 2u);
    EXPECT_DOUBLE_EQ(composed.postings[0].trx_amount, 6500);
    EXPECT_DOUBLE_EQ(composed.postings[1].trx_amount, 630);
    EXPECT_DOUBLE_EQ(composed.postingsTotal, 7130);
}

TEST_F(LoadingTest, CreditLineOfAnUnlistedCodeIsAPayment) {
    Open(FullChecks() + Changes{{"<pay code=\"9005\"><print>2</print></pay>", ""}});
    const pmsgen::Bill& bill = BillOf(generated.threePaymentBill);
    int mastercard = bill.payments[2];
    CFiscalCheck check = LoadBill(bill.number);
    ASSERT_NE(Line(check.payments, mastercard), nullptr);
    EXPECT_EQ(Line(check.postings, mastercard), nullptr);
    EXPECT_EQ(check.payments.size(), 3u);
    // The same line as a charge is a posting.
    Run(text::Format("update OPERA.financial_transactions set ft_subtype='C' where trx_no=%d", mastercard));
    check = LoadBill(bill.number);
    EXPECT_EQ(Line(check.payments, mastercard), nullptr);
    EXPECT_NE(Line(check.postings, mastercard), nullptr);
}

TEST_F(LoadingTest, ConversionExchangesAmountsOfTheConvertCurrencyAndRatesTheOthers) {
    Open(FullChecks() +
         Changes{{"<convert_currency></convert_currency>", "<convert_currency>USD</convert_currency>"}});
    const pmsgen::Bill& bill = BillOf(generated.currencyBill);
    CFiscalCheck check = LoadBill(bill.number);
    const struct_posting* dollars = Line(check.payments, generated.currencyPayment);
    ASSERT_NE(dollars, nullptr);
    EXPECT_DOUBLE_EQ(dollars->trx_amount, 100);
    EXPECT_DOUBLE_EQ(dollars->posted_amount, 9250);
    EXPECT_DOUBLE_EQ(dollars->exchange_rate, 1.0);
    EXPECT_EQ(dollars->currency, "");
    // A row in roubles keeps its amounts and takes the newest rate of the convert currency.
    const struct_posting& night = check.postings.at(0);
    EXPECT_DOUBLE_EQ(night.trx_amount, 8000);
    EXPECT_DOUBLE_EQ(night.posted_amount, 8000);
    EXPECT_DOUBLE_EQ(night.exchange_rate, 92.5);
}

TEST_F(LoadingTest, PaymentCurrencyKeepsOnlyTheCurrencyNamedFromItsSecondCharacter) {
    struct Case {
        const char* setting;
        bool kept;
    };
    // Only a match at position 1 of the setting counts.
    const Case cases[] = {{"RUB", false}, {"USD", false}, {",USD", true}, {"*USD", true}, {"RUB,USD", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        CFiscalINI config;
        CDovozEderarezev backEnd;
        OpenWith(Changes{{"<payment_currency>RUB</payment_currency>",
                          std::string("<payment_currency>") + c.setting + "</payment_currency>"}},
                 config, backEnd);
        std::vector<CFiscalCheck> checks;
        backEnd.FindPaymentChecks(checks);
        const CFiscalCheck* check = FindPayment(checks, generated.currencyPayment);
        ASSERT_NE(check, nullptr);
        const struct_posting& dollars = check->payments.at(0);
        EXPECT_EQ(dollars.currency, "USD");
        EXPECT_DOUBLE_EQ(dollars.trx_amount, c.kept ? 9250 : 100);
        EXPECT_DOUBLE_EQ(dollars.posted_amount, c.kept ? 100 : 9250);
        EXPECT_DOUBLE_EQ(dollars.exchange_rate, 92.5);
    }
}

TEST_F(LoadingTest, RoomRateConversionNamesTheNightByCategoryAndRate) {
    folder.Write("post_converter.txt",
                 "\xEF\xBB\xBFSTD=Номер стандарт\n1000=Проживание=ROOM\n2000=Ресторан=FB\n");
    Open(FullChecks());
    EXPECT_TRUE(Logged("Converted descriptions: 3 "));
    EXPECT_TRUE(Logged("Converted codes: 2 "));
    const pmsgen::Bill& bill = BillOf(generated.threePaymentBill);
    CFiscalCheck check = LoadBill(bill.number);
    const struct_posting& night = check.postings.at(0);
    ASSERT_EQ(night.trx_code, 1000);
    EXPECT_EQ(night.rate_code, "STDBAR");
    EXPECT_EQ(night.w_description, u"Номер стандартBAR");
    EXPECT_TRUE(Logged("Description convert STD"));
    // Categories still apply to the night; ordinary postings convert by their code.
    EXPECT_EQ(night.category, "ROOM");
    const struct_posting* dinner = nullptr;
    for (const struct_posting& p : check.postings) {
        if (p.trx_code == 2000)
            dinner = &p;
    }
    ASSERT_NE(dinner, nullptr);
    EXPECT_EQ(dinner->w_description, u"Ресторан");
    EXPECT_EQ(dinner->category, "FB");
    EXPECT_EQ(dinner->rate_code, "");
    EXPECT_TRUE(Logged("Description convert 2000 Y"));
    EXPECT_TRUE(Logged("Category convert 2000 Y"));
    EXPECT_TRUE(Logged("Description convert 2100\n"));
    // A night whose category has no name in the file: the rate code is still built, the name comes
    // from the code.
    const pmsgen::Bill& deluxe = BillOf(generated.bills.at(8).number);  // a two-night deluxe stay
    CFiscalCheck other = LoadBill(deluxe.number);
    EXPECT_EQ(other.postings.at(0).rate_code, "DLXBAR");
    EXPECT_EQ(other.postings.at(0).w_description, u"Проживание");
}

TEST_F(LoadingTest, WithoutConverterFileNothingIsRenamed) {
    Open(FullChecks());
    EXPECT_TRUE(Logged("Converted descriptions: 0 "));
    CFiscalCheck check = LoadBill(generated.threePaymentBill);
    for (const struct_posting& p : check.postings) {
        EXPECT_TRUE(p.w_description.empty());
        EXPECT_TRUE(p.rate_code.empty());
        EXPECT_TRUE(p.category.empty());
    }
    EXPECT_FALSE(Logged("Description convert"));
}

TEST_F(LoadingTest, CompanyRoutingTakesTheCompanyOfTheFirstPaymentsWindow) {
    Open(FullChecks() + Changes{{"<ar_payments>1</ar_payments>",
                                 "<ar_payments>1</ar_payments><company_routing>udfc21</company_routing>"}});
    CFiscalCheck company = LoadBill(generated.companyBill);
    EXPECT_TRUE(Logged("Check company routing"));
    EXPECT_TRUE(Logged("Personal folio other view"));
    EXPECT_EQ(company.companyName, "Globex LLC (billing)");
    EXPECT_EQ(company.companyTaxId, "7709123456");
    CFiscalCheck personal = LoadBill(generated.threePaymentBill);
    EXPECT_TRUE(Logged("Personal folio view 1"));
    EXPECT_EQ(personal.companyName, "");
    EXPECT_EQ(personal.guestLastName, "Petrov");
}

TEST_F(LoadingTest, CustomerEmailOfEveryCheck) {
    Open(Changes{{"<send_customer_info>0<", "<send_customer_info>1<"}});
    std::vector<CFiscalCheck> checks = CycleAfterDeposits();
    const CFiscalCheck* check = FindPayment(checks, BillOf(generated.threePaymentBill).payments[0]);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->email, "ivan.petrov@example.com");
    EXPECT_TRUE(Logged("Read customer info"));
    EXPECT_TRUE(Logged("Phone / Email:ivan.petrov@example.com"));
}

TEST_F(LoadingTest, UserDefinedFieldReplacesTheChequeNumber) {
    Open(FullChecks() + Changes{{"<date_offset>0</date_offset>",
                                 "<date_offset>0</date_offset><UDF_name>confirmation_no</UDF_name>"}});
    const pmsgen::Bill& bill = BillOf(generated.threePaymentBill);
    CFiscalCheck check = LoadBill(bill.number);
    for (const struct_posting& p : check.postings) {
        EXPECT_EQ(p.cheque_number, bill.confirmation);
    }
}

TEST_F(LoadingTest, UserDefinedFieldThatIsNoNameIsNotUsed) {
    Open(FullChecks() + Changes{{"<date_offset>0</date_offset>",
                                 "<date_offset>0</date_offset><UDF_name>x from dual--</UDF_name>"}});
    CFiscalCheck check = LoadBill(generated.threePaymentBill);
    EXPECT_EQ(check.postings.size(), 6u);
    LoadBill(generated.threePaymentBill);
    // Said once, when the settings are read, not for every bill.
    const std::string refused = "//UDF_name is not a column name and is not used: x from dual--";
    std::string log = LogText();
    size_t first = log.find(refused);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find(refused, first + 1), std::string::npos);
}

TEST_F(LoadingTest, PmsTextsReachTheStatusTableIntact) {
    Open();
    int payment = generated.inHousePayments[1];
    Run("delete from OPERA.fin_trx_translation where trx_code='9004'");
    Run("update OPERA.trx$_codes set description='Guest''s card 100%' where trx_code='9004'");
    Run(text::Format("update OPERA.financial_transactions set room='13''1' where trx_no=%d", payment));
    CFiscalCheck check = LoadPayment(payment);
    EXPECT_EQ(check.payments.at(0).description, "Guest's card 100%");
    ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered)) << storage.GetLastError();
    EXPECT_EQ(
        Rows(text::Format("select description, room, qel_fisc_status from qel_financial_transactions where "
                          "trx_no=%d",
                          payment)),
        (std::vector<std::string>{"Guest's card 100#|13'1|N"}));
}

TEST_F(LoadingTest, OperaFourReadsTheQuantityForTheChangeDue) {
    Open(FullChecks() + Changes{{"<version>OPERA</version>", "<version>OPERA4</version>"}});
    Run(text::Format("update OPERA.financial_transactions set quantity=2, change_due=50 where trx_no=%d",
                     BillOf(generated.threePaymentBill).payments[0]));
    std::vector<CFiscalCheck> checks = CycleAfterDeposits();
    Registered(checks);
    checks = Cycle();
    const CFiscalCheck* bill = Find(checks, std::to_string(generated.threePaymentBill));
    ASSERT_NE(bill, nullptr);
    EXPECT_EQ(bill->payments.size(), 3u);
    EXPECT_DOUBLE_EQ(bill->payments[0].quantity, 2);
    EXPECT_DOUBLE_EQ(bill->payments[0].change_due, 2);
}

}  // namespace
