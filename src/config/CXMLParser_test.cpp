#include "config/CXMLParser.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/TempFolder.h"

namespace {

class XMLParserTest : public ::testing::Test {
protected:
    bool Load(const std::string& content) {
        parser.SetFileName(folder.Write("settings.xml", content));
        return parser.LoadFile();
    }

    platform::TempFolder folder;
    CXMLParser parser;
};

TEST_F(XMLParserTest, NotWellFormedFileFailsWithTheParsersReason) {
    EXPECT_FALSE(Load("<root><a>1</b></root>"));
    const std::string& error = parser.GetLastError();
    EXPECT_EQ(error.rfind(folder.Path("settings.xml") + " file FAILED to load\n", 0), 0u) << error;
    EXPECT_NE(error.find("Start-end tags mismatch"), std::string::npos) << error;
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    // Nothing can be read from a document that did not load.
    EXPECT_EQ(parser.ReadParameter("//a"), "");
    EXPECT_EQ(parser.GetLastError(), "Can't read parameter //a");
}

TEST_F(XMLParserTest, MissingOrEmptyFileFails) {
    parser.SetFileName(folder.Path("absent.xml"));
    EXPECT_FALSE(parser.LoadFile());
    EXPECT_NE(parser.GetLastError().find("file FAILED to load\nFile was not found"), std::string::npos);
    EXPECT_FALSE(Load(""));
    EXPECT_NE(parser.GetLastError().find("No document element found"), std::string::npos);
}

TEST_F(XMLParserTest, AFileThatNeverEndsIsRefusedAtTheLimit) {
    parser.SetFileName("/dev/zero");
    EXPECT_FALSE(parser.LoadFile());
    EXPECT_EQ(parser.GetLastError(), "/dev/zero file FAILED to load\nThe file is longer than 16777216 bytes");
    EXPECT_EQ(parser.ReadParameter("//a"), "");
}

TEST_F(XMLParserTest, UnknownEncodingFails) {
    EXPECT_FALSE(Load("<?xml version=\"1.0\" encoding=\"x-no-such-code\"?><root/>"));
    EXPECT_NE(parser.GetLastError().find("encoding x-no-such-code"), std::string::npos)
        << parser.GetLastError();
}

TEST_F(XMLParserTest, ReadParameterGivesTheFirstNodeWithItsDescendantsText) {
    ASSERT_TRUE(
        Load("<root><a>first</a><b><a>second</a></b>"
             "<mixed> one <i>two</i> three </mixed><c attr=' v '/></root>"));
    EXPECT_EQ(parser.ReadParameter("//a"), "first");
    EXPECT_EQ(parser.GetLastError(), "");
    EXPECT_EQ(parser.ReadParameter("//b"), "second");
    EXPECT_EQ(parser.ReadParameter("//mixed"), "one two three");
    EXPECT_EQ(parser.ReadParameter("//c/@attr"), "v");
}

TEST_F(XMLParserTest, MissingParameterIsEmptyWithTheLastError) {
    ASSERT_TRUE(Load("<root><empty/></root>"));
    EXPECT_EQ(parser.ReadParameter("//empty"), "");
    EXPECT_EQ(parser.GetLastError(), "");
    EXPECT_EQ(parser.ReadParameter("//fidelio_ini/version"), "");
    EXPECT_EQ(parser.GetLastError(), "Can't read parameter //fidelio_ini/version");
    // An expression the reader cannot evaluate reads as missing, not as a crash.
    EXPECT_EQ(parser.ReadParameter("//a[@b='"), "");
    EXPECT_EQ(parser.GetLastError(), "Can't read parameter //a[@b='");
    // The next successful read empties the last error again.
    parser.ReadParameter("//empty");
    EXPECT_EQ(parser.GetLastError(), "");
}

TEST_F(XMLParserTest, KeyedListsTakeTheLaterOfTwoEqualKeysAndSkipNodesWithoutTheKey) {
    ASSERT_TRUE(
        Load("<root><pay_mode>"
             "<pay code='1'><print>1</print></pay>"
             "<pay code='2'><print>2</print></pay>"
             "<pay><print>no key</print></pay>"
             "<pay code='1'><print>later</print></pay>"
             "<pay code='abc'><print>x</print></pay>"
             "<pay code='3'/>"
             "</pay_mode></root>"));
    CXMLParser::IntMap codes;
    parser.ReadIntMap(codes, "//pay_mode/pay[@code='xxxx']/print", "code");
    EXPECT_EQ(codes, (CXMLParser::IntMap{{0, "x"}, {1, "later"}, {2, "2"}, {3, ""}}));
    // The entry without its child leaves its path as the last error.
    EXPECT_EQ(parser.GetLastError(), "Can't read parameter //pay_mode/pay[@code='3']/print");

    CXMLParser::TextMap texts;
    parser.ReadMap(texts, "//pay_mode/pay[@code='xxxx']/print", "code");
    EXPECT_EQ(texts, (CXMLParser::TextMap{{"1", "later"}, {"2", "2"}, {"3", ""}, {"abc", "x"}}));
}

TEST_F(XMLParserTest, ALaterNodeWithoutTheValueKeepsTheEarlierValueOfItsKey) {
    ASSERT_TRUE(
        Load("<root><tax_mode>"
             "<tax code='2000'><print>1</print></tax>"
             "<tax code='2000' type='VAT'>2</tax>"
             "<tax code='3000' type='VAT'>3</tax>"
             "<tax code='4000'><print>4</print></tax>"
             "<tax code='4000'><print>5</print></tax>"
             "</tax_mode></root>"));
    CXMLParser::IntMap taxes;
    parser.ReadIntMap(taxes, "//tax_mode/tax[@code='xxxx']/print", "code");
    EXPECT_EQ(taxes, (CXMLParser::IntMap{{2000, "1"}, {3000, ""}, {4000, "5"}}));
    CXMLParser::TextMap pairs;
    parser.ReadPairMap(pairs, "//tax_mode/tax[@code='xxxx' and @type='yyyy']", "code", "type");
    EXPECT_EQ(pairs, (CXMLParser::TextMap{{"2000+VAT", "2"}, {"3000+VAT", "3"}}));
}

TEST_F(XMLParserTest, KeyedListValueIsTheElementTextWithoutATail) {
    ASSERT_TRUE(
        Load("<root><fidelio_ini>"
             "<print_list station='FO1'>1,2</print_list>"
             "<print_list station=\"it's\">3</print_list>"
             "<print_list cashier='7'>4</print_list>"
             "</fidelio_ini></root>"));
    CXMLParser::TextMap lines;
    parser.ReadMap(lines, "//fidelio_ini/print_list[@station='xxxx']", "station");
    // A key with a quote still reads its own value.
    EXPECT_EQ(lines, (CXMLParser::TextMap{{"FO1", "1,2"}, {"it's", "3"}}));
}

TEST_F(XMLParserTest, PairMapJoinsBothKeys) {
    ASSERT_TRUE(
        Load("<root><tax_mode>"
             "<tax code='10' type='A'>1</tax>"
             "<tax code='10' type='*'>2</tax>"
             "<tax code='11'>3</tax>"
             "</tax_mode></root>"));
    CXMLParser::TextMap taxes;
    parser.ReadPairMap(taxes, "//tax_mode/tax[@code='xxxx' and @type='yyyy']", "code", "type");
    EXPECT_EQ(taxes, (CXMLParser::TextMap{{"10+*", "2"}, {"10+A", "1"}}));
}

TEST_F(XMLParserTest, WindowsCodePageFileReadsCorrectly) {
    std::string russian = "Услуги гостиницы";
    std::string content = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><root><display><description>" +
                          platform::Cp1251(russian) +
                          "</description></display><prepayment><payment code='5'><w_description>" +
                          platform::Cp1251(russian) + "</w_description></payment></prepayment></root>";
    ASSERT_TRUE(Load(content)) << parser.GetLastError();
    // Narrow texts come out in the site code page, wide texts as UTF-16.
    EXPECT_EQ(parser.ReadParameter("//display/description"), platform::Cp1251(russian));
    EXPECT_EQ(parser.ReadWideParameter("//display/description"), platform::Utf8ToUtf16(russian));
    CXMLParser::WideIntMap wide;
    parser.ReadWideIntMap(wide, "//prepayment/payment[@code='xxxx']/w_description", "code");
    ASSERT_EQ(wide.count(5), 1u);
    EXPECT_EQ(wide[5], platform::Utf8ToUtf16(russian));
}

TEST_F(XMLParserTest, Utf8FileGivesNarrowTextsInTheSiteCodePage) {
    ASSERT_TRUE(Load("<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><a k='Касса'>Гость</a></root>"));
    EXPECT_EQ(parser.ReadParameter("//a"), platform::Cp1251("Гость"));
    // A narrow XPath in the site code page finds the UTF-8 document text.
    EXPECT_EQ(parser.ReadParameter(platform::Cp1251("//a[@k='Касса']")), platform::Cp1251("Гость"));
    CXMLParser::TextMap map;
    parser.ReadMap(map, "//a[@k='xxxx']", "k");
    EXPECT_EQ(map, (CXMLParser::TextMap{{platform::Cp1251("Касса"), platform::Cp1251("Гость")}}));
}

TEST_F(XMLParserTest, ReadAttributesListsEveryNodeInDocumentOrder) {
    ASSERT_TRUE(Load("<root><tcpip_ini num='2' port='1'/><x><tcpip_ini num='1'/></x></root>"));
    std::vector<CXMLParser::Attributes> nodes = parser.ReadAttributes("//tcpip_ini");
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0], (CXMLParser::Attributes{{"num", "2"}, {"port", "1"}}));
    EXPECT_EQ(nodes[1], (CXMLParser::Attributes{{"num", "1"}}));
}

TEST(XMLParserTextTest, MapTextFormsAndEmptyMaps) {
    EXPECT_EQ(CXMLParser::IntMapToText("Pay codes", {}, true), "");
    EXPECT_EQ(CXMLParser::MapToText("Taxes", {{"a", ""}}, false), "");
    EXPECT_EQ(CXMLParser::IntMapToText("Pay codes", {{9000, "1"}, {9004, ""}, {1, "2"}}, false),
              "\nPay codes: 1 - 2 \\ 9000 - 1 \\ ");
    EXPECT_EQ(CXMLParser::IntMapToText("Pay codes", {{9004, ""}}, true), "\nPay codes: 9004 -  \\ ");
    EXPECT_EQ(CXMLParser::MapToText("Room pay master", {{"9999", "3"}}, false),
              "\nRoom pay master: 9999 - 3 \\ ");
}

TEST(XMLParserTextTest, CollectValuesKeepsEachValueOnce) {
    std::vector<std::string> values{"2"};
    CXMLParser::CollectValues(CXMLParser::IntMap{{1, "1"}, {2, "2"}, {3, "1"}, {4, "0"}}, values);
    EXPECT_EQ(values, (std::vector<std::string>{"2", "1", "0"}));
    std::vector<std::string> nonZero;
    CXMLParser::CollectNonZeroValues(CXMLParser::TextMap{{"a", "0"}, {"b", "3"}, {"c", "3"}}, nonZero);
    EXPECT_EQ(nonZero, (std::vector<std::string>{"3"}));
}

TEST(XMLParserTextTest, SubstituteKeyReplacesEveryPlaceholderAndTrims) {
    EXPECT_EQ(CXMLParser::SubstituteKey(" //a[@x='xxxx' or @y='xxxx'] ", "xxxx", "7"),
              "//a[@x='7' or @y='7']");
    EXPECT_EQ(CXMLParser::SubstituteKey("//a[@x='yyyy']", "xxxx", "7"), "//a[@x='yyyy']");
}

}  // namespace
