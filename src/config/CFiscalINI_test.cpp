#include "config/CFiscalINI.h"

#include <gtest/gtest.h>

#include "check/CFiscalCheck.h"
#include "platform/CodePage.h"
#include "platform/Text.h"
#include "tests/support/config/ConfigTestFixture.h"

namespace {

TEST_F(ConfigTest, LoadLooksInTheFoldersInOrderAndLogsTheFileLoaded) {
    platform::TempFolder first;
    platform::TempFolder second;
    second.Write(CFiscalINI::kFileName, "<c><fidelio_ini><version>OPERA4</version></fidelio_ini></c>");
    ASSERT_TRUE(ini.LoadFrom({first.Path(), second.Path()})) << ini.GetLastError();
    EXPECT_EQ(ini.GetFileName(), second.Path(CFiscalINI::kFileName));
    EXPECT_TRUE(Logged("Configuration file " + second.Path(CFiscalINI::kFileName)));

    first.Write(CFiscalINI::kFileName, "<c><fidelio_ini><version>FIDELIO8</version></fidelio_ini></c>");
    ASSERT_TRUE(ini.LoadFrom({first.Path(), second.Path()}));
    EXPECT_EQ(ini.ReadParameter("//fidelio_ini/version"), "FIDELIO8");
}

TEST_F(ConfigTest, LoadWithoutAnyFileNamesTheFoldersSearched) {
    platform::TempFolder empty;
    EXPECT_FALSE(ini.LoadFrom({empty.Path()}));
    EXPECT_EQ(ini.GetLastError(),
              std::string("VuvovaZododAVU.xml file FAILED to load\nFile was not found in ") + empty.Path());
}

TEST_F(ConfigTest, BrokenFileDoesNotLoad) {
    EXPECT_FALSE(LoadBody("<fidelio_ini><version>OPERA</fidelio_ini>"));
    EXPECT_NE(ini.GetLastError().find("VuvovaZododAVU.xml file FAILED to load\n"), std::string::npos);
}

struct VersionCase {
    const char* body;
    int version;
    const char* error;
};

TEST_F(ConfigTest, VersionMapping) {
    const VersionCase cases[] = {
        {"<version>OPERA</version>", 0, ""},
        {"<version>OPERA5</version>", 0, ""},
        {"<version>OPERA4</version>", 1, ""},
        {"<version>FIDELIO8</version>", 2, ""},
        {"<version>3700</version>", 3, ""},
        {"<version>9700</version>", 4, ""},
        {"<version>opera4</version>", 6, "Unknown Fidelio version"},
        {"<version></version>", 6, "Unknown Fidelio version"},
        {"", 6, "Can't read parameter Fidelio Version"},
    };
    for (const VersionCase& c : cases) {
        CFiscalINI fresh;
        folder.Write(CFiscalINI::kFileName, std::string("<c><fidelio_ini>") + c.body + "</fidelio_ini></c>");
        ASSERT_TRUE(fresh.LoadFrom({folder.Path()}));
        EXPECT_EQ(fresh.ReadVersion(), c.version) << c.body;
        if (c.version == 6) {
            EXPECT_EQ(fresh.GetLastError(), c.error) << c.body;
        }
    }
}

TEST_F(ConfigTest, KnownVersionIsKeptButNoneIsReadAgain) {
    ASSERT_TRUE(LoadBody("<fidelio_ini><version>opera</version></fidelio_ini>"));
    EXPECT_EQ(ini.ReadVersion(), 6);
    ASSERT_TRUE(LoadBody("<fidelio_ini><version>OPERA4</version></fidelio_ini>"));
    EXPECT_EQ(ini.ReadVersion(), 1);
    EXPECT_TRUE(Logged("Fidelio version: OPERA4"));
    ASSERT_TRUE(LoadBody("<fidelio_ini><version>FIDELIO8</version></fidelio_ini>"));
    EXPECT_EQ(ini.ReadVersion(), 1);
}

struct TypeCase {
    const char* printer;
    const char* gtin;
    int type;
};

TEST_F(ConfigTest, PrinterTypeMapping) {
    const TypeCase cases[] = {
        {"MONGOL", "", 9},  {"CZECH", "", 10},         {"ARMENIA", "", 8},        {"UKRAINE", "", 3},
        {"PM", "", 7},      {"czech", "", 7},          {nullptr, "", 7},          {"PM", "gtin.txt", 13},
        {nullptr, "g", 13}, {"CZECH", "gtin.txt", 10}, {"MONGOL", "gtin.txt", 9}, {"UKRAINE", "g", 3},
    };
    for (const TypeCase& c : cases) {
        std::string body = "<printer_ini>";
        if (c.printer) {
            body += std::string("<printer>") + c.printer + "</printer>";
        }
        body += std::string("<gtin_file>") + c.gtin + "</gtin_file></printer_ini>";
        CFiscalINI fresh;
        folder.Write(CFiscalINI::kFileName, "<c>" + body + "</c>");
        ASSERT_TRUE(fresh.LoadFrom({folder.Path()}));
        EXPECT_TRUE(fresh.LoadRules());
        EXPECT_EQ(fresh.printerType, c.type) << body;
        EXPECT_EQ(fresh.gtinFile, c.gtin);
    }
}

TEST_F(ConfigTest, TimingValuesAndTheirDefaults) {
    struct Case {
        const char* value;
        int32_t pause;
    };
    const Case cases[] = {{"<x>0</x>", 5000},   {"<x></x>", 5000},   {"", 5000},
                          {"<x>abc</x>", 5000}, {"<x>-1</x>", 5000}, {"<x>250</x>", 250}};
    for (const Case& c : cases) {
        std::string base = text::ReplaceAll(c.value, "x>", "base_monitoring>");
        std::string next = text::ReplaceAll(c.value, "x>", "wait_next_check>");
        std::string answer = text::ReplaceAll(c.value, "x>", "wait_answer>");
        CFiscalINI fresh;
        folder.Write(CFiscalINI::kFileName, "<c><printer_ini>" + base + next + answer + "</printer_ini></c>");
        ASSERT_TRUE(fresh.LoadFrom({folder.Path()}));
        fresh.LoadRules();
        EXPECT_EQ(fresh.baseMonitoring, c.pause) << c.value;
        EXPECT_EQ(fresh.waitNextCheck, c.pause) << c.value;
        EXPECT_EQ(fresh.waitAnswer, c.pause == 5000 ? 0 : c.pause) << c.value;
    }
}

TEST_F(ConfigTest, LoadRulesReadsTheSingleSettings) {
    ASSERT_TRUE(
        LoadBody("<fidelio_ini><version>OPERA5</version><minibar_articles>1</minibar_articles>"
                 "<base_currency>RUB</base_currency><payment_currency>EUR</payment_currency>"
                 "<hotelbill> B1, B2 ,</hotelbill><hotelinvoice>I</hotelinvoice></fidelio_ini>"
                 "<printer_ini><print_refund>0</print_refund></printer_ini>"
                 "<prepayment><view>2</view><print>4</print></prepayment>"));
    EXPECT_TRUE(ini.LoadRules());
    EXPECT_EQ(ini.storageVersion, 0);
    EXPECT_TRUE(ini.minibarArticles);
    EXPECT_EQ(ini.baseCurrency, "RUB");
    EXPECT_EQ(ini.paymentCurrency, "EUR");
    EXPECT_EQ(ini.hotelBillCodes, (std::vector<std::string>{"B1", "B2"}));
    EXPECT_EQ(ini.hotelInvoiceCodes, (std::vector<std::string>{"I"}));
    EXPECT_FALSE(ini.refundsPrinted);
    EXPECT_EQ(ini.prepaymentView, 2);
    EXPECT_EQ(ini.prepaymentPrinter, "4");
    EXPECT_TRUE(Logged("hotelbill: B1,B2,"));
    EXPECT_TRUE(Logged("hotelinvoice: I"));
    EXPECT_TRUE(Logged("PrePayment mode. Folio view: 2 Pay: 4"));
    EXPECT_EQ(ini.onlyPayments, 1);
}

TEST_F(ConfigTest, RefundsArePrintedUnlessPrintRefundIsZero) {
    for (const char* body : {"", "<printer_ini><print_refund>2</print_refund></printer_ini>",
                             "<printer_ini><print_refund></print_refund></printer_ini>"}) {
        CFiscalINI fresh;
        folder.Write(CFiscalINI::kFileName, std::string("<c>") + body + "</c>");
        ASSERT_TRUE(fresh.LoadFrom({folder.Path()}));
        fresh.LoadRules();
        EXPECT_TRUE(fresh.refundsPrinted) << body;
    }
}

// The template check of a printer type and only_payments value.
struct ModeCase {
    const char* printer;
    const char* onlyPayments;  // nullptr: element missing
    int checkMode;
    bool fullCheck;
    bool mixed;
    int typeAfter;
};

TEST_F(ConfigTest, FillCheckTemplateModes) {
    const ModeCase cases[] = {
        {"PM", nullptr, 7, false, false, 7}, {"PM", "1", 7, false, false, 7},
        {"PM", "0", 7, true, false, 7},      {"PM", "", 7, true, false, 7},
        {"PM", "2", 11, true, true, 11},     {"CZECH", "1", 10, true, true, 10},
        {"MONGOL", "1", 9, true, false, 9},  {"ARMENIA", "1", 8, true, false, 8},
        {"UKRAINE", "0", 3, true, false, 3}, {"UKRAINE", "2", 3, false, false, 3},
        {"CZECH", "2", 10, true, true, 10},
    };
    for (const ModeCase& c : cases) {
        std::string body =
            std::string("<printer_ini><printer>") + c.printer + "</printer></printer_ini><fidelio_ini>";
        if (c.onlyPayments) {
            body += std::string("<only_payments>") + c.onlyPayments + "</only_payments>";
        }
        body += "</fidelio_ini>";
        CFiscalINI fresh;
        folder.Write(CFiscalINI::kFileName, "<c>" + body + "</c>");
        ASSERT_TRUE(fresh.LoadFrom({folder.Path()}));
        fresh.LoadRules();
        CFiscalCheck check;
        fresh.FillCheckTemplate(check);
        EXPECT_EQ(check.checkMode, c.checkMode) << body;
        EXPECT_EQ(check.appendRateCode, c.fullCheck) << body;
        EXPECT_EQ(check.mixedPostings, c.mixed) << body;
        EXPECT_EQ(fresh.printerType, c.typeAfter) << body;
    }
}

TEST_F(ConfigTest, FillCheckTemplateLogsTheMode) {
    ASSERT_TRUE(LoadBody("<fidelio_ini><only_payments>0</only_payments></fidelio_ini>"));
    CFiscalCheck check;
    ini.FillCheckTemplate(check);
    EXPECT_TRUE(Logged("Only Payments: NO. Full check mode!"));
    ASSERT_TRUE(LoadBody(""));
    ini.FillCheckTemplate(check);
    EXPECT_TRUE(Logged("Only payments: Yes"));
}

TEST_F(ConfigTest, FillCheckTemplateServiceLineAndSettings) {
    ASSERT_TRUE(
        LoadBody("<fidelio_ini><version>OPERA4</version><print_quantity>3</print_quantity>"
                 "<proforma_folio_deposit>1</proforma_folio_deposit></fidelio_ini>"
                 "<printer_ini><tax>2</tax><mixed_postings>1</mixed_postings><set_change>1</set_change>"
                 "<decimal_point>0</decimal_point></printer_ini>"
                 "<micros_check_expand>2</micros_check_expand>"
                 "<display><description>Hotel</description><w_description>Гостиница</w_description>"
                 "<w_header>Шапка</w_header><header_line>Head</header_line><codepage>1252</codepage>"
                 "</display>"));
    CFiscalCheck check;
    ini.FillCheckTemplate(check);
    EXPECT_EQ(check.serviceTemplate.tax_group, "2");
    EXPECT_EQ(check.serviceTemplate.description, "Hotel");
    EXPECT_EQ(check.serviceTemplate.w_description, platform::Utf8ToUtf16("Гостиница"));
    EXPECT_EQ(check.serviceTemplate.category_block, "Шапка");
    EXPECT_EQ(check.headerLine, "Head");
    EXPECT_EQ(check.codePage, "1252");
    EXPECT_EQ(check.printQuantity, 3);
    EXPECT_EQ(check.amountMode, 1);
    EXPECT_TRUE(check.proformaDeposit);
    EXPECT_TRUE(check.mixedPostings);
    EXPECT_TRUE(check.changeAllowed);
    EXPECT_EQ(check.moneyDecimals, 0);
    EXPECT_TRUE(check.posExpand);
    EXPECT_FALSE(check.depositTemplateSet);
    EXPECT_FALSE(check.hasDeposit);
    for (const char* line :
         {"Default tax: 2", "Print posting quantity 3", "Check default settings: Hotel tax 2",
          "Pro-Forma Folio Deposit", "Mixed postings allowed", "Change allowed"}) {
        EXPECT_TRUE(Logged(line)) << line;
    }
}

TEST_F(ConfigTest, FillCheckTemplateDefaultsKeepTheGenericDescription) {
    ASSERT_TRUE(LoadBody(""));
    CFiscalCheck check;
    std::string generic = check.serviceTemplate.description;
    ini.FillCheckTemplate(check);
    EXPECT_EQ(check.serviceTemplate.description, generic);
    EXPECT_EQ(generic, platform::Cp1251("Услуги гостиницы"));
    EXPECT_EQ(check.printQuantity, 0);
    EXPECT_EQ(check.moneyDecimals, 2);
    EXPECT_FALSE(check.posExpand);
    EXPECT_FALSE(check.proformaDeposit);
    EXPECT_EQ(check.amountMode, 6);
}

TEST_F(ConfigTest, DepositLineOnThePrinterManagerIsNarrow) {
    ASSERT_TRUE(
        LoadBody("<fidelio_ini><deposit><code>9100</code><description>Deposit</description>"
                 "<w_description>Предоплата</w_description><print>1</print><tax>4</tax></deposit>"
                 "</fidelio_ini><additional><pay code='9200'><print>2</print></pay></additional>"));
    ini.LoadRules();
    CFiscalCheck check;
    ini.FillCheckTemplate(check);
    ASSERT_TRUE(check.depositTemplateSet);
    EXPECT_EQ(check.depositTemplate.description, platform::Cp1251("Предоплата"));
    EXPECT_TRUE(check.depositTemplate.w_description.empty());
    EXPECT_EQ(check.depositTemplate.trx_code, 9100);
    EXPECT_EQ(check.depositTemplate.print_code, "1");
    EXPECT_EQ(check.depositTemplate.tax_group, "4");
    EXPECT_TRUE(check.hasDeposit);
    EXPECT_TRUE(Logged("Deposit: 9100 " + platform::Cp1251("Предоплата") + " printer code: 1 tax: 4"));
}

TEST_F(ConfigTest, DepositLineOnOtherPrintersKeepsTheWideText) {
    ASSERT_TRUE(
        LoadBody("<printer_ini><printer>CZECH</printer></printer_ini>"
                 "<fidelio_ini><deposit><description>Deposit</description>"
                 "<w_description>Záloha</w_description></deposit></fidelio_ini>"));
    ini.LoadRules();
    CFiscalCheck check;
    ini.FillCheckTemplate(check);
    ASSERT_TRUE(check.depositTemplateSet);
    EXPECT_EQ(check.depositTemplate.description, "Deposit");
    EXPECT_EQ(check.depositTemplate.w_description, platform::Utf8ToUtf16("Záloha"));
    EXPECT_EQ(check.depositTemplate.text_block, "Záloha");
    EXPECT_TRUE(Logged("Deposit: Deposit printer code:  tax: "));
}

TEST_F(ConfigTest, DepositFlagAloneMakesAnEmptyDepositLine) {
    ASSERT_TRUE(LoadBody("<fidelio_ini><deposit>1</deposit></fidelio_ini>"));
    CFiscalCheck check;
    ini.FillCheckTemplate(check);
    EXPECT_TRUE(check.depositTemplateSet);
    EXPECT_EQ(check.depositTemplate.trx_code, 0);
    ASSERT_TRUE(LoadBody("<fidelio_ini><deposit>0</deposit></fidelio_ini>"));
    CFiscalCheck without;
    ini.FillCheckTemplate(without);
    EXPECT_FALSE(without.depositTemplateSet);
}

TEST_F(ConfigTest, WideTemplateTextsAreCutToFiftyCharacters) {
    std::string longText(80, 'w');
    ASSERT_TRUE(LoadBody("<display><w_description>" + longText + "</w_description></display>"));
    CFiscalCheck check;
    ini.FillCheckTemplate(check);
    EXPECT_EQ(check.serviceTemplate.w_description.size(), 50u);
}

TEST_F(ConfigTest, ReadingConventions) {
    ASSERT_TRUE(LoadBody("<a>1</a><b>yes</b><c> 42 </c><d>x</d><e></e>"));
    EXPECT_TRUE(ini.ReadFlag("//a"));
    EXPECT_FALSE(ini.ReadFlag("//b"));
    EXPECT_FALSE(ini.ReadFlag("//missing"));
    EXPECT_EQ(ini.ReadInteger("//c"), 42);
    EXPECT_EQ(ini.ReadInteger("//d"), 0);
    EXPECT_EQ(ini.ReadInteger("//e"), 0);
}

}  // namespace

TEST_F(ConfigTest, ANamedFileIsTheOnlyOneLoaded) {
    platform::TempFolder folder;
    folder.Write(CFiscalINI::kFileName, "<c><fidelio_ini><version>OPERA4</version></fidelio_ini></c>");
    std::string named =
        folder.Write("site.xml", "<c><fidelio_ini><version>FIDELIO8</version></fidelio_ini></c>");
    ini.SetLocation(named, {folder.Path()});
    ASSERT_TRUE(ini.Load()) << ini.GetLastError();
    EXPECT_EQ(ini.ReadParameter("//fidelio_ini/version"), "FIDELIO8");
    EXPECT_TRUE(Logged("Configuration file " + named));

    // A named file that is missing is an error, even with a file in the folders.
    ini.SetLocation(folder.Path("other.xml"), {folder.Path()});
    EXPECT_FALSE(ini.Load());
    EXPECT_EQ(ini.GetLastError(), folder.Path("other.xml") + " file FAILED to load\nFile was not found");

    ini.SetLocation("", {folder.Path()});
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadParameter("//fidelio_ini/version"), "OPERA4");
}
