// The demo configuration that ships in demo/: every element it sets must be a key the service
// reads (a misspelt key would silently read as missing), and it must load as a working setup.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <set>
#include <sstream>

#include "check/CFiscalCheck.h"
#include "config/CFiscalINI.h"
#include "config/ConfigTestFixture.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"

namespace {

std::string DemoFolder() {
    std::string source = platform::GetEnv("FISCORA_SOURCE_DIR");
    if (source.empty()) {
        std::string here = __FILE__;
        source = here.substr(0, here.rfind("/src/"));
    }
    return source + "/demo/";
}

// Every element path of the configuration, below its root element: a section name followed by
// its keys ("printer_ini: port tax" stands for printer_ini, printer_ini/port, printer_ini/tax).
const char* const kKnownKeys = R"(
: save_log micros_check_expand history code_convertion interface_cashier UDF_name date_offset rvc
  tcpip_ini discount post_class rollup_minibar non_quantity fiscal_trans_ini fidelio_ini printer_ini
  display print_manager micros_ini tax_mode prepayment pay_mode additional description_mode ignore
  general_cashier
fiscal_trans_ini: qel_nls_lang trace
fidelio_ini: version base_access fidelio_schema property_code block_payments base_currency
  payment_currency convert_currency language_code room_rate_include extra_bed_code pm_payments
  government_code ar_payments send_customer_info customer_email customer_number ignore_view_balance
  company_routing adjustment_refund only_payments print_quantity proforma_folio_deposit
  minibar_articles hotelbill hotelinvoice deposit service_charge interface print_list
fidelio_ini/pm_payments: room description
fidelio_ini/deposit: code description w_description print tax online_payment
fidelio_ini/print_list: udf room folio_view
printer_ini: printer gtin_file port pass_admin tax check_path message_port district_code taxpayer_id
  app_taxpayer_id site_id cert_file cert_pass no_reference verification_mode sale_mode test_command
  net_amount_support decimal_point print_copy cash_drawer save_shift_number check_refund print_refund
  mixed_postings set_change wait_answer wait_next_check base_monitoring answer_settle tax_udf_name
  membership_code
display: account room_number room cashier_name reservation cashier company guest tin vat description
  w_description header_line w_header codepage
print_manager: port
micros_ini: discount_code
tax_mode: agent_tax tax double_tax city_tax service_charge tax_system
tax_mode/tax: print
tax_mode/double_tax: print
tax_mode/city_tax: print
tax_mode/service_charge: print
prepayment: view print payment
prepayment/payment: posting tax description w_description
pay_mode: pay put paid rebate
pay_mode/pay: print tax limit
pay_mode/put: print
pay_mode/paid: print
pay_mode/rebate: print
additional: pay
additional/pay: print
description_mode: description
ignore: cashier room
general_cashier: cash_shift_loan cash_shift_drop
)";

std::set<std::string> KnownPaths() {
    std::set<std::string> paths;
    std::string section;
    std::istringstream words(kKnownKeys);
    for (std::string word; words >> word;) {
        if (word.back() == ':') {
            section = word.substr(0, word.size() - 1);
        } else {
            paths.insert(section.empty() ? word : section + "/" + word);
        }
    }
    return paths;
}

void CollectPaths(const pugi::xml_node& node, const std::string& prefix, std::vector<std::string>& paths) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        std::string path = prefix.empty() ? child.name() : prefix + "/" + child.name();
        paths.push_back(path);
        CollectPaths(child, path, paths);
    }
}

TEST(DemoConfigurationTest, EveryElementIsAKeyOfTheConfiguration) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file((DemoFolder() + CFiscalINI::kFileName).c_str()));
    std::vector<std::string> paths;
    CollectPaths(document.document_element(), "", paths);
    EXPECT_GT(paths.size(), 80u);
    CFiscalINI ini;
    ASSERT_TRUE(ini.LoadFrom({DemoFolder()}));
    std::set<std::string> known = KnownPaths();
    for (const std::string& path : paths) {
        EXPECT_TRUE(known.count(path)) << "not a configuration key: " << path;
        ini.ReadParameter("//" + path);
        EXPECT_EQ(ini.GetLastError(), "") << path;
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
    bill.statusCode = 0;
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
    EXPECT_EQ(bill.statusCode, 0);
    EXPECT_EQ(bill.payments[0].print_code, "1");
    ini.ApplyRules(supervisors);
    EXPECT_EQ(supervisors.statusCode, 8);

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
