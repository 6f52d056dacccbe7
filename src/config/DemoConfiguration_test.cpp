// The demo configuration that ships in demo/: every element it sets must be a key the service
// reads (a misspelt key would silently read as missing), and it must load as a working setup.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <set>

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

// Every element path of the configuration, below its root element.
const std::set<std::string>& KnownPaths() {
    static const std::set<std::string> known = [] {
        std::set<std::string> paths = {"save_log",
                                       "micros_check_expand",
                                       "history",
                                       "code_convertion",
                                       "interface_cashier",
                                       "UDF_name",
                                       "date_offset",
                                       "rvc",
                                       "tcpip_ini",
                                       "discount",
                                       "post_class",
                                       "rollup_minibar",
                                       "non_quantity",
                                       "fiscal_trans_ini",
                                       "fiscal_trans_ini/qel_nls_lang",
                                       "fiscal_trans_ini/trace",
                                       "fidelio_ini",
                                       "fidelio_ini/pm_payments",
                                       "fidelio_ini/pm_payments/room",
                                       "fidelio_ini/pm_payments/description",
                                       "fidelio_ini/deposit",
                                       "fidelio_ini/print_list",
                                       "fidelio_ini/print_list/udf",
                                       "fidelio_ini/print_list/room",
                                       "fidelio_ini/print_list/folio_view",
                                       "printer_ini",
                                       "display",
                                       "print_manager",
                                       "print_manager/port",
                                       "micros_ini",
                                       "micros_ini/discount_code",
                                       "tax_mode",
                                       "prepayment",
                                       "prepayment/view",
                                       "prepayment/print",
                                       "prepayment/payment",
                                       "pay_mode",
                                       "additional",
                                       "additional/pay",
                                       "additional/pay/print",
                                       "description_mode",
                                       "description_mode/description",
                                       "ignore",
                                       "ignore/cashier",
                                       "ignore/room",
                                       "general_cashier",
                                       "general_cashier/cash_shift_loan",
                                       "general_cashier/cash_shift_drop"};
        for (const char* key : {"version",
                                "base_access",
                                "fidelio_schema",
                                "property_code",
                                "block_payments",
                                "base_currency",
                                "payment_currency",
                                "convert_currency",
                                "language_code",
                                "room_rate_include",
                                "extra_bed_code",
                                "government_code",
                                "ar_payments",
                                "send_customer_info",
                                "customer_email",
                                "customer_number",
                                "ignore_view_balance",
                                "company_routing",
                                "adjustment_refund",
                                "only_payments",
                                "print_quantity",
                                "proforma_folio_deposit",
                                "minibar_articles",
                                "hotelbill",
                                "hotelinvoice",
                                "service_charge",
                                "interface"}) {
            paths.insert(std::string("fidelio_ini/") + key);
        }
        for (const char* key : {"code", "description", "w_description", "print", "tax", "online_payment"}) {
            paths.insert(std::string("fidelio_ini/deposit/") + key);
        }
        for (const char* key : {"printer",
                                "gtin_file",
                                "port",
                                "pass_admin",
                                "tax",
                                "check_path",
                                "message_port",
                                "district_code",
                                "taxpayer_id",
                                "app_taxpayer_id",
                                "site_id",
                                "cert_file",
                                "cert_pass",
                                "no_reference",
                                "verification_mode",
                                "sale_mode",
                                "test_command",
                                "net_amount_support",
                                "decimal_point",
                                "print_copy",
                                "cash_drawer",
                                "save_shift_number",
                                "check_refund",
                                "print_refund",
                                "mixed_postings",
                                "set_change",
                                "wait_answer",
                                "wait_next_check",
                                "base_monitoring",
                                "tax_udf_name",
                                "membership_code"}) {
            paths.insert(std::string("printer_ini/") + key);
        }
        for (const char* key :
             {"account", "room_number", "room", "cashier_name", "reservation", "cashier", "company", "guest",
              "tin", "vat", "description", "w_description", "header_line", "w_header", "codepage"}) {
            paths.insert(std::string("display/") + key);
        }
        for (const char* key : {"tax", "double_tax", "city_tax", "service_charge"}) {
            paths.insert(std::string("tax_mode/") + key);
            paths.insert(std::string("tax_mode/") + key + "/print");
        }
        paths.insert("tax_mode/agent_tax");
        paths.insert("tax_mode/tax_system");
        for (const char* key : {"posting", "tax", "description", "w_description"}) {
            paths.insert(std::string("prepayment/payment/") + key);
        }
        for (const char* list : {"pay", "put", "paid", "rebate"}) {
            paths.insert(std::string("pay_mode/") + list);
            paths.insert(std::string("pay_mode/") + list + "/print");
        }
        paths.insert("pay_mode/pay/tax");
        paths.insert("pay_mode/pay/limit");
        return paths;
    }();
    return known;
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
    for (const std::string& path : paths) {
        EXPECT_TRUE(KnownPaths().count(path)) << "not a configuration key: " << path;
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
    EXPECT_EQ(taxes.size(), 4u);

    CFiscalCheck check;
    ini.FillCheckTemplate(check);
    EXPECT_TRUE(check.depositTemplateSet);
    EXPECT_EQ(check.depositTemplate.description, platform::Cp1251("Предоплата за проживание"));
    EXPECT_EQ(check.serviceTemplate.description, platform::Cp1251("Услуги гостиницы"));
    EXPECT_EQ(check.checkMode, 7);
    EXPECT_FALSE(check.appendRateCode);

    std::string text = LogText();
    EXPECT_EQ(text.find("Can't read parameter"), std::string::npos) << text;
    EXPECT_NE(text.find("Fidelio version: OPERA"), std::string::npos);
    EXPECT_NE(text.find("Line FO1 printers: 1 2"), std::string::npos);
    EXPECT_NE(text.find("Posting code 5010 printers: 2 1"), std::string::npos);
}

}  // namespace
