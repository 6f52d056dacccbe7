#include "config/CRuleLists.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "tests/support/config/RulesTestFixture.h"

namespace {

TEST_F(RulesTest, LoadRulesLogsEveryListUnderItsHeaderInOrder) {
    LoadRules(
        "<fidelio_ini><interface cashier='77'>POS</interface></fidelio_ini>"
        "<pay_mode><pay code='9007'><limit>500</limit></pay></pay_mode>");
    // Each list is one line of the form "\n<header>: <key> - <value> \ ...".
    const char* const headers[] = {
        "Pay codes: 9000 - 1 \\ 9004 - 2 \\ 9005 - 3 \\ 9006 - 4 \\ 9050 - 2 \\ 9060 - 5 \\ ",
        "Limits: 9007 - 500 \\ ",
        "Tax: 9004 - 2 \\ 9005 - 3 \\ 9006 - 2 \\ 9080 - 4 \\ ",
        "Room pay master: 9999 - 7 \\ ",
        "Discount codes: 4000 - 2 \\ ",
        "Put codes: 9900 - 1 \\ ",
        "Taxes: 5000 - 1 \\ ",
        "Taxes: 2000+* - 3 \\ 2000+VAT - 2 \\ 2100+VAT - 4 \\ ",
        "Service Charge Taxes: 5100 - 4 \\ ",
        "Double Taxes: 1000,1010 - A \\ 11,1 - B \\ 21,5 - C \\ ",
        "Service charge codes: 3000 - SC \\ ",
        "Ignore cashier: 13 - SUPERVISOR \\ ",
        "Ignore room: 9998 - HOUSE \\ ",
        "General cashier loan: 9930 - loan \\ ",
        "General cashier drop: 9940 - drop \\ ",
        "UDF taxes: CORP - 4 \\ ",
        "View taxes: 3 - 2 \\ ",
        "Tax system by view: * - USN \\ 2 - OSN \\ ",
        "RollUp minibar codes: 601 - MB \\ ",
        "Not print with quantity: 1300 - 1 \\ ",
        "Additional deposit codes: 9060 - 6 \\ ",
        "View descriptions: 3 - Window three \\ ",
        "Posting attrubutes: 1200 - 7Z \\ ",
        "Online deposit: 9050 - 4 \\ ",
        "Additional deposit tax: 9100 - 4 \\ ",
        "Prepayment codes: 9070 - *1400**1410* \\ 9071 - *1500* \\ ",
        "Prepayment taxes: 9070 - 3 \\ 9071 - 4 \\ ",
        "Prepayment descriptions: 9070 - Prepaid \\ 9071 - Advance \\ ",
        "Interface cashiers: 77 - POS \\ ",
    };
    std::string log = LogText();
    size_t at = 0;
    for (const char* header : headers) {
        size_t found = log.find(std::string("\n") + header + "\n", at);
        ASSERT_NE(found, std::string::npos) << header << "\n" << log;
        at = found + 1;
    }
    // Only the Mongolian family reads city taxes.
    EXPECT_EQ(log.find("City Taxes"), std::string::npos);
    EXPECT_EQ(log.find("Can't read parameter"), std::string::npos);
}

TEST_F(RulesTest, EmptyListsAreNotLogged) {
    ASSERT_TRUE(LoadBody("<pay_mode><pay code='9000'><print>1</print></pay></pay_mode>"));
    ASSERT_TRUE(ini.LoadRules());
    std::string log = LogText();
    EXPECT_NE(log.find("\nPay codes: 9000 - 1 \\ "), std::string::npos);
    for (const char* header : {"Limits:", "Tax:", "Taxes:", "Ignore cashier:", "Posting attrubutes:"}) {
        EXPECT_EQ(log.find(header), std::string::npos) << header;
    }
}

TEST_F(RulesTest, MongolianPrintersHaveCityTaxesButNoDoubleTaxesNorTaxesByType) {
    LoadRules("<printer_ini><printer>MONGOL</printer></printer_ini>");
    EXPECT_EQ(ini.printerType, 9);
    EXPECT_TRUE(ini.rules.doubleTaxes.empty());
    EXPECT_TRUE(ini.rules.taxByCodeAndType.empty());
    EXPECT_EQ(ini.rules.cityTaxes, (CRuleLists::IntMap{{5200, "4"}}));
    EXPECT_EQ(ini.rules.taxes.at(5000), "1");
    EXPECT_TRUE(Logged("\nCity Taxes: 5200 - 4 \\ "));

    CFiscalINI other;
    ASSERT_TRUE(other.LoadFrom({folder.Path()}));
    LoadRules();
    EXPECT_TRUE(ini.rules.cityTaxes.empty());
    EXPECT_EQ(ini.rules.doubleTaxes.size(), 3u);
}

TEST_F(RulesTest, RegisteredPaymentCodes) {
    LoadRules();
    struct Case {
        int code;
        bool registered;
    };
    // Pay (also without a device type), put, paid, rebate, cash loan, cash drop, additional
    // deposit; online deposits, taxes and unknown codes are not payment codes of their own.
    const Case cases[] = {{9000, true},  {9080, true},  {9900, true},  {9910, true}, {9920, true},
                          {9930, true},  {9940, true},  {9060, true},  {9050, true}, {9100, false},
                          {5000, false}, {9070, false}, {12345, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(ini.IsPaymentRegistered(c.code), c.registered) << c.code;
    }
    ASSERT_TRUE(LoadBody("<fidelio_ini><deposit><online_payment code='9051'>2</online_payment></deposit>"
                         "</fidelio_ini>"));
    ini.LoadRules();
    EXPECT_FALSE(ini.IsPaymentRegistered(9051));
}

TEST_F(RulesTest, DoubleTaxesMatchWholeItemsOfTheCodeList) {
    LoadRules("<tax_mode><double_tax code='1, 2000'><print>D</print></double_tax></tax_mode>");
    struct Case {
        int code;
        const char* taxes;
    };
    const Case cases[] = {
        {1000, "A"},  // first item
        {1010, "A"},  // last item
        {1, "D/B"},   // "11,1" holds 1 after a longer code; blanks around items do not count
        {11, "B"},    //
        {21, "C"},    //
        {2000, "D"},  //
        {10, ""},     // a part of "1010" is no item
        {100, ""},    // a prefix of "1000" neither
        {5, "C"},     //
        {2, ""},      // a digit inside "21" is no item
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ini.rules.DoubleTaxes(c.code), c.taxes) << c.code;
    }
}

TEST_F(RulesTest, NumbersGivenAsTextMatchOnlyWhenTheyAreNumbers) {
    CRuleLists::IntMap listed{{0, ""}, {13, "SUPERVISOR"}};
    EXPECT_TRUE(CRuleLists::HasNumber(listed, "13"));
    EXPECT_TRUE(CRuleLists::HasNumber(listed, " 13 "));
    EXPECT_TRUE(CRuleLists::HasNumber(listed, "0"));
    EXPECT_FALSE(CRuleLists::HasNumber(listed, "130"));
    EXPECT_FALSE(CRuleLists::HasNumber(listed, "13A"));
    EXPECT_FALSE(CRuleLists::HasNumber(listed, ""));
    EXPECT_FALSE(CRuleLists::HasNumber(listed, "PM"));
}

TEST_F(RulesTest, InterfaceCashiersAreTextKeys) {
    LoadRules("<fidelio_ini><interface cashier='77'>POS</interface><interface cashier='A1'/></fidelio_ini>");
    EXPECT_TRUE(ini.IsInterfaceCashier("77"));
    EXPECT_TRUE(ini.IsInterfaceCashier("A1"));
    EXPECT_FALSE(ini.IsInterfaceCashier("077"));
    EXPECT_FALSE(ini.IsInterfaceCashier(""));
    EXPECT_TRUE(Logged("\nInterface cashiers: 77 - POS \\ A1 -  \\ "));
}

}  // namespace
