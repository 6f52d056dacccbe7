#include "config/CPostingRules.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/CodePage.h"
#include "tests/support/config/RulesTestFixture.h"

namespace {

// One posting through ApplyPostingRules: what the back-end loaded, and the classification.
struct PostingCase {
    const char* name;
    int code;
    std::function<void(struct_posting&)> loaded;
    bool fullCheck;
    int statusCode;
    int lineType;
    const char* tax;
    const char* printCode2;
    const char* postWithTax;
    const char* printText;
};

TEST_F(RulesTest, PostingKindTaxAndAttributes) {
    LoadRules();
    auto none = [](struct_posting&) {};
    const PostingCase cases[] = {
        {"plain posting", 1100, none, false, 0, 0, "", "", "", ""},
        {"POS posting", 1100, [](struct_posting& p) { p.cheque_number = "123"; }, false, 0, 14, "", "", "",
         ""},
        {"discount", 4000, none, false, 0, 4, "", "", "2", ""},
        {"service charge", 3000, none, false, 0, 12, "", "", "", ""},
        {"pay master room", 1100, [](struct_posting& p) { p.room = "9999"; }, false, 0, 1, "", "", "", ""},
        {"classified and taxed by the back-end", 1000,
         [](struct_posting& p) { p.line_type = 3, p.tax_group = "9"; }, true, 0, 3, "9", "", "", ""},
        {"double tax", 1000, none, false, 0, 5, "", "A", "", ""},
        {"double tax, code after a longer one", 1, none, false, 0, 5, "", "B", "", ""},
        {"no double tax inside a longer code", 2, none, false, 0, 0, "", "", "", ""},
        {"tax by code and type", 2000, [](struct_posting& p) { p.tax_type = "VAT"; }, true, 0, 0, "2", "", "",
         ""},
        {"tax by code, any type", 2000, [](struct_posting& p) { p.tax_type = "LUX"; }, true, 0, 0, "3", "",
         "", ""},
        {"tax by code without type", 2000, none, true, 0, 0, "3", "", "", ""},
        {"type rule of another type only", 2100, [](struct_posting& p) { p.tax_type = "LUX"; }, true, 0, 0,
         "", "", "", ""},
        {"tax line, payments only", 5000, none, false, 0, 0, "1", "", "", ""},
        {"tax line, full check", 5000, none, true, 0, 5, "1", "", "", ""},
        {"service-charge tax, full check", 5100, none, true, 0, 7, "4", "", "", ""},
        {"service-charge tax, payments only", 5100, none, false, 0, 0, "4", "", "", ""},
        {"city taxes only on Mongolian printers", 5200, none, true, 0, 0, "", "", "", ""},
        {"tax by user-defined field", 1100, [](struct_posting& p) { p.cheque_number = "CORP"; }, false, 0, 14,
         "4", "", "", ""},
        {"tax by folio window", 1100, [](struct_posting& p) { p.folio_view = 3; }, false, 0, 0, "2", "", "",
         ""},
        {"code rule before the window", 5000, [](struct_posting& p) { p.folio_view = 3; }, false, 0, 0, "1",
         "", "", ""},
        {"deposit tax by code", 9100, [](struct_posting& p) { p.tax_group = "1"; }, false, 1, 0, "4", "", "",
         ""},
        {"deposit tax of the template", 5000, none, false, 4, 0, "3", "", "", ""},
        {"prepayment tax", 9071, none, false, 0, 0, "4", "", "", ""},
        {"attribute mask", 1200, [](struct_posting& p) { p.print_text = "xAx"; }, false, 0, 0, "", "", "",
         "7A7"},
        {"attribute replaces a text", 1200, [](struct_posting& p) { p.print_text = "abx"; }, false, 0, 0, "",
         "", "", "7Z"},
        {"attribute of an empty text", 1200, none, false, 0, 0, "", "", "", "7Z"},
        {"no attribute", 1100, [](struct_posting& p) { p.print_text = "xx"; }, false, 0, 0, "", "", "", "xx"},
    };
    for (const PostingCase& c : cases) {
        SCOPED_TRACE(c.name);
        CFiscalCheck check = Bill(c.fullCheck);
        check.statusCode = static_cast<CheckStatusCode>(c.statusCode);
        check.postings = {Posting(1, c.code, 10, c.loaded)};
        ini.ApplyPostingRules(check);
        const struct_posting& p = check.postings[0];
        EXPECT_EQ(p.line_type, c.lineType);
        EXPECT_EQ(p.tax_group, c.tax);
        EXPECT_EQ(p.print_code2, c.printCode2);
        EXPECT_EQ(p.post_with_tax, c.postWithTax);
        EXPECT_EQ(p.print_text, c.printText);
        EXPECT_EQ(p.trx_code, c.code);
    }
    EXPECT_TRUE(Logged("Tax 2000 Rule VAT - print 2"));
    EXPECT_TRUE(Logged("Tax 2000 Rule LUX - print 3"));
    EXPECT_TRUE(Logged("Tax 2000 Rule  - print 3"));
}

TEST_F(RulesTest, CityTaxesOnMongolianPrinters) {
    LoadRules("<printer_ini><printer>MONGOL</printer></printer_ini>");
    CFiscalCheck check = Bill(true);
    check.postings = {Posting(1, 5200, 3), Posting(2, 1000, 10),
                      Posting(3, 2000, 10, [](struct_posting& p) { p.tax_type = "VAT"; })};
    ini.ApplyPostingRules(check);
    EXPECT_EQ(check.postings[0].tax_group, "4");
    EXPECT_EQ(check.postings[0].line_type, 6);
    // Neither double taxes nor taxes by code and type on these printers.
    EXPECT_EQ(check.postings[1].print_code2, "");
    EXPECT_EQ(check.postings[1].line_type, 0);
    EXPECT_EQ(check.postings[2].tax_group, "");
}

TEST_F(RulesTest, PrepaymentPostingsTakeTheTaxAndDescriptionOfThePrepayment) {
    LoadRules();
    CFiscalCheck check = Bill();
    check.postings = {Posting(1, 9070, 10, [](struct_posting& p) { p.tax_group = "1"; }),
                      Posting(2, 9071, 10), Posting(3, 1400, 10)};
    ini.ApplyPostingRules(check);
    // The wide description wins and is sent narrow.
    EXPECT_EQ(check.postings[0].description, platform::Cp1251("Предоплата"));
    EXPECT_EQ(check.postings[0].tax_group, "3");
    EXPECT_EQ(check.postings[1].description, "Advance");
    EXPECT_EQ(check.postings[2].description, "Posting");
    EXPECT_EQ(check.postings[2].tax_group, "");
}

TEST_F(RulesTest, PrepaymentTaxesNeedAPrepaymentPostingList) {
    ASSERT_TRUE(
        LoadBody("<prepayment><payment code='9070'><tax>3</tax><description>P</description></payment>"
                 "</prepayment>"));
    ini.LoadRules();
    CFiscalCheck check = Bill();
    check.postings = {Posting(1, 9070, 10)};
    ini.ApplyPostingRules(check);
    EXPECT_EQ(check.postings[0].tax_group, "");
    EXPECT_EQ(check.postings[0].description, "Posting");
}

TEST_F(RulesTest, PosPostingsOfInterfaceCashiers) {
    LoadRules("<fidelio_ini><interface cashier='77'>POS</interface></fidelio_ini>");
    CFiscalCheck check = Bill();
    auto pos = [](const char* cashier, const char* text) {
        return
            [=](struct_posting& p) { p.cheque_number = "C1", p.cashier_id = cashier, p.print_text = text; };
    };
    check.postings = {Posting(1, 1100, 10, pos("77", "")), Posting(2, 1100, 10, pos("77", "own")),
                      Posting(3, 1100, 10, pos("78", ""))};
    ini.ApplyPostingRules(check);
    EXPECT_EQ(check.postings[0].line_type, 14);
    EXPECT_EQ(check.postings[0].print_text, "POS");
    EXPECT_EQ(check.postings[1].line_type, 14);
    EXPECT_EQ(check.postings[1].print_text, "own");
    // Another cashier's POS posting stays unclassified.
    EXPECT_EQ(check.postings[2].line_type, 21);
}

TEST_F(RulesTest, MinibarArticlesAreItemised) {
    for (bool itemised : {true, false}) {
        SCOPED_TRACE(itemised);
        LoadRules(itemised ? "<fidelio_ini><minibar_articles>1</minibar_articles></fidelio_ini>" : "");
        auto article = [](int code, const char* description) {
            return [=](struct_posting& p) { p.article_code = code, p.article_description = description; };
        };
        CFiscalCheck check = Bill();
        check.postings = {Posting(1, 2500, 5, article(600, "Water")),
                          Posting(2, 2500, 5, article(601, "Nuts")), Posting(3, 2500, 5),
                          Posting(4, 2500, 5, [&](struct_posting& p) {
                              article(602, "Tax")(p);
                              p.line_type = 6;
                          })};
        ini.ApplyPostingRules(check);
        EXPECT_EQ(check.postings[0].trx_code, itemised ? 600 : 2500);
        EXPECT_EQ(check.postings[0].description, itemised ? "Water" : "Posting");
        // Rolled-up codes, postings without an article and city-tax lines stay as they are.
        EXPECT_EQ(check.postings[1].trx_code, 2500);
        EXPECT_EQ(check.postings[2].trx_code, 2500);
        EXPECT_EQ(check.postings[3].trx_code, 2500);
    }
}

TEST_F(RulesTest, PostingsWithoutQuantity) {
    LoadRules();
    CFiscalCheck check = Bill();
    check.postings = {Posting(1, 1300, 5), Posting(2, 1301, 5)};
    ini.ApplyPostingRules(check);
    EXPECT_TRUE(check.postings[0].recalculate);
    EXPECT_FALSE(check.postings[1].recalculate);
}

TEST_F(RulesTest, NegativeAdjustmentPostingsTakeTheirTransactionCode) {
    LoadRules();
    CFiscalCheck check = Bill();
    check.postings = {Posting(1, 5001, -10), Posting(2, 5001, 10), Posting(3, 5000, -10),
                      Posting(4, 5101, -3)};
    CFiscalCheck without = check;
    ini.ApplyPostingRules(without);
    EXPECT_EQ(without.postings[0].trx_code, 5001);

    ini.SetAdjustmentCodes({{5000, 5001}, {5100, 5101}});
    ini.ApplyPostingRules(check);
    EXPECT_EQ(check.postings[0].trx_code, 5000);
    EXPECT_EQ(check.postings[1].trx_code, 5001);
    EXPECT_EQ(check.postings[2].trx_code, 5000);
    EXPECT_EQ(check.postings[3].trx_code, 5100);
    EXPECT_TRUE(Logged("Change adjustment code 5001 to 5000"));
    EXPECT_TRUE(Logged("Change adjustment code 5101 to 5100"));
    EXPECT_FALSE(Logged("Change adjustment code 5000"));
}

TEST_F(RulesTest, PrinterRulesGivePostingsWithoutTaxThePrintersTax) {
    LoadRules(
        "<tcpip_ini num='1' ip_address='127.0.0.1' port='4050' tax='5'/>"
        "<tcpip_ini num='2' ip_address='127.0.0.1' port='4050'/>"
        "<fidelio_ini><print_list station='FO'>1,2</print_list></fidelio_ini>");
    std::vector<CPrinterControl> printers;
    std::vector<CPrintLine> lines;
    int32_t mode = 0;
    ASSERT_TRUE(ini.LoadPrinters(printers, lines, mode)) << ini.GetLastError();
    struct Case {
        const char* printer;
        const char* tax;
    };
    // Printer 2 carries the default tax of printer_ini; an unknown printer has none.
    const Case cases[] = {{"1", "5"}, {"2", "1"}, {"3", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.printer);
        CFiscalCheck check = Bill();
        check.postings = {Posting(1, 1100, 5),
                          Posting(2, 1100, 5, [](struct_posting& p) { p.tax_group = "2"; })};
        ini.ReadParameter("//missing");
        auto named = std::find_if(printers.begin(), printers.end(),
                                  [&c](const CPrinterControl& p) { return p.name == c.printer; });
        ini.ApplyPrinterRules(named == printers.end() ? CPrinterControl() : *named, check);
        EXPECT_EQ(ini.GetLastError(), "");
        EXPECT_EQ(check.postings[0].tax_group, c.tax);
        EXPECT_EQ(check.postings[1].tax_group, "2");
    }
    EXPECT_TRUE(Logged("Check: 40211"));
}

TEST_F(RulesTest, WindowRulesAfterComposition) {
    LoadRules();
    CFiscalCheck check = Bill(true);
    check.postings = {Posting(1, 1100, 5, [](struct_posting& p) { p.folio_view = 3, p.tax_group = "1"; }),
                      Posting(2, 1100, 5, [](struct_posting& p) { p.folio_view = 2, p.tax_group = "1"; })};
    CPostingRules(ini, check).ApplyWindowRules();
    EXPECT_EQ(check.postings[0].tax_group, "2");
    EXPECT_EQ(check.postings[0].description, "Window three");
    EXPECT_EQ(check.postings[1].tax_group, "1");
    EXPECT_EQ(check.postings[1].description, "Posting");
}

}  // namespace
