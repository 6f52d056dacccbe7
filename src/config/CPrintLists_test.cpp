#include "config/CPrintLists.h"

#include <gtest/gtest.h>

#include "config/CFiscalPrinter.h"
#include "tests/support/config/ConfigTestFixture.h"

namespace {

const char* const kTwoPrinters =
    "<printer_ini><port>4050</port></printer_ini>"
    "<tcpip_ini num='1' ip_address='127.0.0.1'/><tcpip_ini num='2' ip_address='127.0.0.1'/>";

class PrintListTest : public ConfigTest {
protected:
    bool LoadLists(const std::string& lists, const std::string& printersBody = kTwoPrinters) {
        if (!LoadBody(printersBody + "<fidelio_ini>" + lists + "</fidelio_ini>")) {
            return false;
        }
        return ini.LoadPrinters(printers, lines, mode);
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const CPrintLine& line : lines) {
            names.push_back(line.name);
        }
        return names;
    }

    std::vector<CPrinterControl> printers;
    std::vector<CPrintLine> lines;
    int32_t mode = -1;
};

struct ModeCase {
    const char* lists;
    int32_t mode;
    std::vector<std::string> names;
};

TEST_F(PrintListTest, FirstFormWithEntriesFixesTheMode) {
    const ModeCase cases[] = {
        {"<print_list udf='VIP' view='1'>1</print_list><print_list station='FO'>2</print_list>",
         3,
         {"VIP+1"}},
        {"<print_list><udf value='VIP'>1</udf></print_list><print_list cashier='5'>2</print_list>",
         3,
         {"VIP"}},
        {"<print_list><room value='101'>1</room><room value='102'>2</room></print_list>", 6, {"101", "102"}},
        {"<print_list ycad_id='7' ext_station='K1'>1</print_list><print_list ycad_id='8'>2</print_list>",
         5,
         {"7+K1"}},
        {"<print_list ycad_id='8'>2</print_list><print_list code='3'>1</print_list>", 5, {"8"}},
        {"<print_list code='3' ext_station='B'>1</print_list>", 5, {"3+B"}},
        {"<print_list code='3'>1</print_list><print_list station='FO'>2</print_list>", 5, {"3"}},
        {"<print_list station='FO' view='2'>1</print_list><print_list cashier='5'>2</print_list>",
         4,
         {"FO+2"}},
        {"<print_list><folio_view value='2'>1</folio_view></print_list>", 4, {"2"}},
        // Cashier lists win over plain station lists ...
        {"<print_list cashier='5'>1</print_list><print_list station='FO'>2</print_list>", 1, {"5"}},
        // ... and station-with-window lists over both.
        {"<print_list cashier='5'>1</print_list><print_list station='FO'>2</print_list>"
         "<print_list station='FO' view='3'>2</print_list>",
         4,
         {"FO+3"}},
        {"<print_list station='FO2'>2</print_list><print_list station='FO1'>1</print_list>",
         0,
         {"FO1", "FO2"}},
    };
    for (const ModeCase& c : cases) {
        ASSERT_TRUE(LoadLists(c.lists)) << c.lists << ": " << ini.GetLastError();
        EXPECT_EQ(mode, c.mode) << c.lists;
        EXPECT_EQ(Names(), c.names) << c.lists;
        EXPECT_EQ(ini.ReadListMode(), c.mode) << c.lists;
    }
}

TEST_F(PrintListTest, PostingCodeLinesFollowTheModeLines) {
    ASSERT_TRUE(
        LoadLists("<print_list post_code='5010'>2</print_list><print_list cashier='5'>1,2</print_list>"));
    EXPECT_EQ(mode, 1);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].name, "5");
    EXPECT_EQ(lines[0].kind, 0);
    EXPECT_EQ(lines[1].name, "5010");
    EXPECT_EQ(lines[1].kind, CPrintLine::kPostingCodeKind);
    EXPECT_EQ(lines[1].count, 1);
    EXPECT_EQ(lines[1].printers[0], "2");
    EXPECT_TRUE(Logged("Line 5 printers: 1 2"));
    EXPECT_TRUE(Logged("Posting code 5010 printers: 2"));

    // Posting-code lines alone make a valid print list.
    ASSERT_TRUE(LoadLists("<print_list post_code='5010'>2</print_list>"));
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"5010"}));
}

TEST_F(PrintListTest, LineTextGivesThePrintersInOrder) {
    ASSERT_TRUE(
        LoadLists("<print_list station='A'>1,2</print_list><print_list station='B'> 2 , 1 </print_list>"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].count, 2);
    EXPECT_EQ(lines[0].printers[0], "1");
    EXPECT_EQ(lines[0].printers[1], "2");
    EXPECT_EQ(lines[1].count, 2);
    EXPECT_EQ(lines[1].printers[0], "2");
    EXPECT_EQ(lines[1].printers[1], "1");
    EXPECT_TRUE(Logged("Line A printers: 1 2"));
    EXPECT_TRUE(Logged("Line B printers: 2 1"));
}

TEST_F(PrintListTest, EmptyLineIsDroppedSilently) {
    ASSERT_TRUE(LoadLists("<print_list station='A'></print_list><print_list station='B'>1</print_list>"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"B"}));
    EXPECT_EQ(ini.GetLastError(), "");
}

struct FailureCase {
    const char* lists;
    const char* printersBody;
    const char* error;
};

TEST_F(PrintListTest, ValidationMessages) {
    const FailureCase cases[] = {
        {"<print_list station='A'>1</print_list>", "", "Empty printer list!"},
        {"<print_list station='A'>1</print_list>",
         "<tcpip_ini num='1' ip_address='h' port='1'/><tcpip_ini num='2'/>", "station 2: port empty"},
        {"", kTwoPrinters, "Can't read print list"},
        {"<print_list station='A'></print_list>", kTwoPrinters, "Can't read print list"},
        {"<print_list station='A'>1</print_list><print_list station='B'> , </print_list>", kTwoPrinters,
         "Printer list for B empty!"},
        {"<print_list station='A'>1,3</print_list>", kTwoPrinters, "line A : printer 3 not defined"},
        {"<print_list post_code='10'>9</print_list><print_list station='A'>1</print_list>", kTwoPrinters,
         "line 10 : printer 9 not defined"},
        {"<print_list station='A'>1,2,1,2,1,2,1,2,1,2,1</print_list>", kTwoPrinters,
         "line A : more than 10 printers"},
    };
    for (const FailureCase& c : cases) {
        EXPECT_FALSE(LoadLists(c.lists, c.printersBody)) << c.lists;
        EXPECT_EQ(ini.GetLastError(), c.error) << c.lists;
    }
}

TEST_F(PrintListTest, TenPrintersAreAllowed) {
    ASSERT_TRUE(LoadLists("<print_list station='A'>1,2,1,2,1,2,1,2,1,2</print_list>"));
    EXPECT_EQ(lines[0].count, 10);
    EXPECT_EQ(lines[0].printers[9], "2");
}

TEST_F(PrintListTest, MongolianPrintersNeedADistrictCode) {
    std::string printersBody =
        std::string(kTwoPrinters) + "<printer_ini><printer>MONGOL</printer></printer_ini>";
    EXPECT_FALSE(LoadLists("<print_list station='A'>1</print_list>", printersBody));
    EXPECT_EQ(ini.GetLastError(), "Unknown parameter district_code");
    printersBody += "<printer_ini><district_code>27</district_code></printer_ini>";
    EXPECT_TRUE(LoadLists("<print_list station='A'>1</print_list>", printersBody)) << ini.GetLastError();
}

TEST_F(PrintListTest, PrintersInheritEmptyAttributesFromPrinterIni) {
    ASSERT_TRUE(LoadLists("<print_list station='A'>1,2,3</print_list>",
                          "<printer_ini><port>4050</port><pass_admin>30</pass_admin><tax>1</tax>"
                          "<check_path>/var/checks</check_path><taxpayer_id>CZ1</taxpayer_id>"
                          "<no_reference>1</no_reference><test_command>1</test_command></printer_ini>"
                          "<tcpip_ini num='1' ip_address='127.0.0.1' description='Front, desk' user_name='u'"
                          " print_header='head.txt' header_font='2'/>"
                          "<tcpip_ini num='2' ip_address='10.0.0.5' port='5000' tax='' pass_admin='1'"
                          " check_path='/srv/st2/' taxpayer_id='CZ2'/>"
                          "<tcpip_ini num='3' ip_address='10.0.0.6' port='0'/>"))
        << ini.GetLastError();
    ASSERT_EQ(printers.size(), 3u);
    const CPrinterControl& first = printers[0];
    EXPECT_EQ(first.name, "1");
    EXPECT_EQ(first.deviceSettings.host, "127.0.0.1");
    EXPECT_EQ(first.deviceSettings.port, 4050);
    EXPECT_EQ(first.deviceSettings.mode, 1);
    EXPECT_EQ(first.deviceSettings.name, "Front");
    EXPECT_EQ(first.description, "Front, desk");
    EXPECT_EQ(first.userName, "u");
    EXPECT_EQ(first.passAdmin, "30");
    EXPECT_EQ(first.tax, "1");
    EXPECT_EQ(first.checkPath, "/var/checks/");
    EXPECT_EQ(first.printHeader, "head.txt");
    EXPECT_EQ(first.headerFontSetting, "2");
    EXPECT_EQ(first.taxpayerId, "CZ1");
    EXPECT_EQ(first.noReference, "1");
    EXPECT_TRUE(first.testCommand);
    EXPECT_FALSE(first.netAmountSupport);

    const CPrinterControl& second = printers[1];
    EXPECT_EQ(second.deviceSettings.port, 5000);
    EXPECT_EQ(second.tax, "1");
    EXPECT_EQ(second.passAdmin, "1");
    EXPECT_EQ(second.checkPath, "/srv/st2/");
    EXPECT_EQ(second.taxpayerId, "CZ2");
    EXPECT_EQ(printers[2].deviceSettings.port, 4050);

    EXPECT_TRUE(Logged("Printer 2:"));
    EXPECT_TRUE(Logged("10.0.0.5 : 5000 // tax: 1"));
    EXPECT_TRUE(Logged("Check_path: /srv/st2/"));
    EXPECT_TRUE(Logged("Print header head.txt"));
}

TEST_F(PrintListTest, CzechRegistrationSwitchesAreOnOnlyWithOne) {
    struct Case {
        const char* verification;
        const char* sale;
        bool verificationMode;
        int saleMode;
    } cases[] = {
        {"1", "1", true, 1}, {"2", "2", false, 0},  {"true", "yes", false, 0},
        {"", "", false, 0},  {" 1 ", "0", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.verification) + "/" + c.sale);
        ASSERT_TRUE(LoadLists("<print_list station='A'>1</print_list>",
                              std::string(kTwoPrinters) +
                                  "<printer_ini><printer>CZECH</printer><verification_mode>" +
                                  c.verification + "</verification_mode><sale_mode>" + c.sale +
                                  "</sale_mode><app_taxpayer_id>CZ683555118</app_taxpayer_id>"
                                  "<cert_pass>pw</cert_pass></printer_ini>"))
            << ini.GetLastError();
        for (const CPrinterControl& printer : printers) {
            EXPECT_EQ(printer.verificationMode, c.verificationMode);
            EXPECT_EQ(printer.saleMode, c.saleMode);
            EXPECT_EQ(printer.appTaxpayerId, "CZ683555118");
            EXPECT_EQ(printer.certPass, "pw");
        }
    }
}

TEST_F(PrintListTest, TheRegistryKeepsThePrintersItFindsByName) {
    ASSERT_TRUE(LoadLists("<print_list station='A'>1,2</print_list>"));
    CFiscalPrinter registry;
    ASSERT_TRUE(registry.Load(ini));
    EXPECT_EQ(registry.printers.size(), 2u);
    for (const char* name : {"1", "2"}) {
        ASSERT_NE(registry.FindPrinter(name), nullptr) << name;
        EXPECT_EQ(registry.FindPrinter(name)->name, name);
    }
    EXPECT_EQ(registry.FindPrinter("3"), nullptr);
    EXPECT_EQ(registry.FindPrinter(""), nullptr);
}

TEST(PrintListsTest, SinglePrinterInModeTwoNeedsNoPort) {
    std::vector<CPrinterControl> printers(1);
    printers[0].name = "1";
    printers[0].deviceSettings.mode = 2;
    std::string error;
    EXPECT_TRUE(CPrintLists::ValidatePrinters(printers, error));
    printers[0].deviceSettings.mode = 1;
    EXPECT_FALSE(CPrintLists::ValidatePrinters(printers, error));
    EXPECT_EQ(error, "station 1: port empty");
    // A printer without a name needs no port.
    printers[0].name = "";
    EXPECT_TRUE(CPrintLists::ValidatePrinters(printers, error));
}

TEST(PrintListsTest, MakeLine) {
    CPrintLine line = CPrintLists::MakeLine("K", "1,,2", 7);
    EXPECT_EQ(line.name, "K");
    EXPECT_EQ(line.kind, 7);
    EXPECT_EQ(line.count, 2);
    EXPECT_EQ(line.printers[1], "2");
    CPrintLine empty = CPrintLists::MakeLine("E", "  ", 0);
    EXPECT_EQ(empty.count, 1);
    EXPECT_EQ(empty.printers[0], "");
    EXPECT_EQ(CPrintLists::MakeLine("C", ",", 0).count, 0);
}

}  // namespace
