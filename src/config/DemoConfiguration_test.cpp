// The demo configurations that ship in demo/: every element they set must be a key the service
// reads (a misspelt key would silently read as missing), and the main one must load as a working
// setup.
#include <gtest/gtest.h>

#include "check/CFiscalCheck.h"
#include "config/CConfigurationCheck.h"
#include "config/CFiscalINI.h"
#include "platform/CodePage.h"
#include "platform/Text.h"
#include "tests/support/config/ConfigTestFixture.h"

namespace {

// Each demo configuration holds only what the service reads, every number written as one: the
// start-up check finds nothing to warn of, and nothing to refuse.
TEST(DemoConfigurationTest, EveryDemoConfigurationPassesTheStartUpCheck) {
    for (const char* variant : {"", "suite8/", "czech/", "mongolia/"}) {
        SCOPED_TRACE(variant);
        CFiscalINI ini;
        ASSERT_TRUE(ini.LoadFrom({DemoFolder() + variant})) << ini.GetLastError();
        CConfigurationCheck::Result result = CConfigurationCheck::Check(ini);
        EXPECT_TRUE(result.errors.empty()) << text::Join(result.errors, "\n");
        EXPECT_TRUE(result.warnings.empty()) << text::Join(result.warnings, "\n");
    }
}

class DemoLoadTest : public ConfigTest {};

TEST_F(DemoLoadTest, LoadsAsAWorkingSetup) {
    ASSERT_TRUE(ini.LoadFrom({DemoFolder()})) << ini.GetLastError();
    EXPECT_EQ(ini.ReadVersion(), CFiscalINI::Opera);
    std::vector<CPrinterControl> printers;
    std::vector<CPrintLine> lines;
    int32_t mode = -1;
    ASSERT_TRUE(ini.LoadPrinters(printers, lines, mode)) << ini.GetLastError();
    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(printers[1].deviceSettings.host, "127.0.0.1");
    EXPECT_EQ(printers[1].deviceSettings.port, 4050);
    EXPECT_EQ(printers[1].tax, "1");
    EXPECT_EQ(mode, 0);
    // Every station line has a reserve printer, and a posting-code line follows.
    int postingCodeLines = 0;
    for (const CPrintLine& line : lines) {
        EXPECT_GE(line.count, line.kind == CPrintLine::kPostingCodeKind ? 1 : 2) << line.name;
        postingCodeLines += line.kind == CPrintLine::kPostingCodeKind;
    }
    EXPECT_EQ(postingCodeLines, 1);

    ASSERT_TRUE(ini.LoadRules());
    EXPECT_EQ(ini.printerType, 7);
    EXPECT_EQ(ini.storageVersion, CFiscalINI::Opera);
    EXPECT_EQ(ini.waitAnswer, 7000);
    EXPECT_EQ(ini.waitNextCheck, 1000);
    EXPECT_EQ(ini.baseMonitoring, 3000);
    EXPECT_EQ(ini.ReadParameter("//fidelio_ini/base_access"), "sqlite:demo_pms.db");

    CXMLParser::IntMap pay;
    ini.ReadIntMap(pay, "//pay_mode/pay[@code='xxxx']/print", "code");
    EXPECT_EQ(pay, (CXMLParser::IntMap{{9000, "1"}, {9004, "2"}, {9005, "2"}, {9020, "3"}}));
    CXMLParser::IntMap taxes;
    ini.ReadIntMap(taxes, "//tax_mode/tax[@code='xxxx']/print", "code");
    // The generated tax lines, and the payments that payments-only checks register as their line.
    EXPECT_EQ(taxes, (CXMLParser::IntMap{{1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {9000, "1"}, {9004, "1"},
                                          {9005, "1"}, {9020, "1"}, {9910, "1"}}));

    // The rule lists of the demo hotel.
    EXPECT_TRUE(ini.IsPaymentRegistered(9000));
    EXPECT_TRUE(ini.IsPaymentRegistered(9900));
    EXPECT_FALSE(ini.IsPaymentRegistered(9050));
    EXPECT_EQ(ini.rules.roomPayMaster, (CXMLParser::TextMap{{"9999", "3"}}));
    EXPECT_EQ(ini.rules.onlineDeposits, (CXMLParser::IntMap{{9050, "2"}}));
    EXPECT_EQ(ini.rules.cashDrops.count(9910), 1u);

    CFiscalCheck check;
    ini.FillCheckTemplate(check);
    EXPECT_TRUE(check.depositTemplateSet);
    EXPECT_EQ(check.depositTemplate.description, platform::Cp1251("Предоплата за проживание"));
    EXPECT_EQ(check.serviceTemplate.description, platform::Cp1251("Услуги гостиницы"));
    EXPECT_EQ(check.checkMode, 7);
    EXPECT_FALSE(check.appendRateCode);

    // A room night paid in cash is registered; the same bill of the supervisor is not.
    CFiscalCheck bill = check;
    bill.statusCode = kBillCheck;
    bill.checkNumber = "1";
    bill.cashierId = "2";
    struct_posting night;
    night.trx_no = 1, night.trx_code = 1000, night.trx_amount = 100;
    struct_posting cash;
    cash.trx_no = 2, cash.trx_code = 9000, cash.trx_amount = 100, cash.currency = "RUB";
    bill.postings = {night};
    bill.payments = {cash};
    CFiscalCheck supervisors = bill;
    supervisors.cashierId = "1";
    EXPECT_TRUE(ini.ApplyRules(bill)) << ini.GetLastError();
    EXPECT_EQ(bill.statusCode, kBillCheck);
    EXPECT_EQ(bill.payments[0].print_code, "1");
    ini.ApplyRules(supervisors);
    EXPECT_EQ(supervisors.statusCode, kNotToRegister);

    std::string text = LogText();
    EXPECT_EQ(text.find("Can't read parameter"), std::string::npos) << text;
    EXPECT_NE(text.find("\nPay codes: 9000 - 1 \\ 9004 - 2 \\ 9005 - 2 \\ 9020 - 3 \\ \n"),
              std::string::npos);
    EXPECT_NE(text.find("\nIgnore cashier: 1 - SUPERVISOR \\ \n"), std::string::npos);
    EXPECT_NE(text.find("Fidelio version: OPERA"), std::string::npos);
    EXPECT_NE(text.find("Line FO1 printers: 1 2"), std::string::npos);
    EXPECT_NE(text.find("Posting code 5010 printers: 2 1"), std::string::npos);
}

}  // namespace
