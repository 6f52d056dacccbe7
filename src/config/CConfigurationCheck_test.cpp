// The start-up check of the configuration file: typos an operator makes in the demo
// configuration, each found and named (element or attribute, and printer).
#include "config/CConfigurationCheck.h"

#include <gtest/gtest.h>

#include "config/CFiscalINI.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "tests/support/config/ConfigTestFixture.h"

namespace {

std::string DemoConfiguration() {
    std::string xml;
    EXPECT_TRUE(platform::ReadFile(DemoFolder() + CFiscalINI::kFileName, xml));
    return xml;
}

TEST(ConfigurationCheckTest, EveryTypoIsNamedWithItsElementOrAttributeAndPrinter) {
    const std::string printer1 = "printer 1 (tcpip_ini num=\"1\")";
    const std::string printer2 = "printer 2 (tcpip_ini num=\"2\")";
    struct Case {
        const char* from;
        const char* to;
        std::vector<std::string> errors;
        std::vector<std::string> warnings;
    } cases[] = {
        {"num=\"1\" ip_address=", "num=\"1\" ip_adress=",
         {printer1 + ": attribute ip_address is missing (ip_adress is no attribute of tcpip_ini: did you mean "
                     "ip_address?)"},
         {printer1 + ": unknown attribute ip_adress, not read; did you mean ip_address?"}},
        {"port=\"4050\" user_name=\"1\"", "port=\"405O\" user_name=\"1\"",
         {printer1 + ": attribute port is \"405O\", not a whole number"},
         {}},
        {"<base_monitoring>3000<", "<base_monitoring>30O0<",
         {"//printer_ini/base_monitoring is \"30O0\", not a whole number"},
         {}},
        {"<pay code=\"9004\">", "<pay code=\"9OO4\">", {"<pay code=\"9OO4\">: attribute code is not a whole number"}, {}},
        {"    <port>4050</port>\n    <pass_admin>", "    <pass_admin>",
         {printer2 + ": no port (attribute port, or //printer_ini/port for every printer)"},
         {}},
        {"port=\"4050\" user_name=\"1\"", "port=\"70000\" user_name=\"1\"",
         {printer1 + ": port 70000 is no TCP port (1 to 65535)"},
         {}},
        {"<tcpip_ini num=\"2\"", "<tcpip_ini", {"printer entry 2 (tcpip_ini without num): attribute num is missing "
                                                "(the printer's name in the print lists)"},
         {}},
        {"<block_payments>Y</block_payments>", "<block_paymnets>Y</block_paymnets>",
         {},
         {"Unknown element <block_paymnets> in <fidelio_ini>, not read; did you mean <block_payments>?"}},
        {"<history>1096</history>", "<histroy>1096</histroy>",
         {},
         {"Unknown element <histroy> in <configuration>, not read; did you mean <history>?"}},
        {"<pay code=\"9004\"><print>2</print>", "<pay code=\"9004\"><prnt>2</prnt>",
         {},
         {"Unknown element <prnt> in <pay>, not read; did you mean <print>?"}},
        {"<cashier_name>", "<colour>Red</colour><cashier_name>", {}, {"Unknown element <colour> in <display>, not read"}},
    };
    platform::TempFolder folder;
    const std::string xml = DemoConfiguration();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        ASSERT_NE(xml.find(c.from), std::string::npos);
        folder.Write(CFiscalINI::kFileName, text::ReplaceAll(xml, c.from, c.to));
        CFiscalINI ini;
        ASSERT_TRUE(ini.LoadFrom({folder.Path()})) << ini.GetLastError();
        CConfigurationCheck::Result result = CConfigurationCheck::Check(ini);
        EXPECT_EQ(result.errors, c.errors);
        EXPECT_EQ(result.warnings, c.warnings);
    }
}

TEST(ConfigurationCheckTest, NumbersAndNearNames) {
    for (const char* number : {"", "0", " 4050 ", "-1", "+5"}) {
        EXPECT_TRUE(CConfigurationCheck::IsWholeNumber(number)) << number;
    }
    for (const char* text : {"405O", "4 050", "-", "5000ms", "0x10", "1.5"}) {
        EXPECT_FALSE(CConfigurationCheck::IsWholeNumber(text)) << text;
    }
    const std::vector<std::string> known = {"tax", "history", "print", "block_payments"};
    EXPECT_EQ(CConfigurationCheck::Nearest("hsitory", known), "history");
    EXPECT_EQ(CConfigurationCheck::Nearest("Block_Payment", known), "block_payments");
    // Short names must be closer: two letters off is too much for three letters.
    EXPECT_EQ(CConfigurationCheck::Nearest("tox", known), "tax");
    EXPECT_EQ(CConfigurationCheck::Nearest("vat", known), "");
    EXPECT_EQ(CConfigurationCheck::Nearest("colour", known), "");
}

}  // namespace
