// The client library as the back-ends bind and ask it: the library files that do and do not
// bind, and how one POS check's detail lines become posting lines (a GetCheck of the test's
// stands in for the library's, so no test talks to a server).
#include <gtest/gtest.h>


#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "storage/CClientLibrary.h"
#include "tests/support/storage/TestPms.h"

namespace {

// What the stand-in GetCheck answers, and what it was asked.
GetCheckResult answer;
bool throws = false;
std::vector<std::string> asked;

GetCheckResult* FakeGetCheck(int rvc, int cknum, const char* openTime) {
    asked.push_back(text::Format("%d %d %s", rvc, cknum, openTime ? openTime : "(null)"));
    if (throws) {
        throw std::out_of_range("opening time out of range");
    }
    return &answer;
}

void Answer(int code, const std::string& error, const std::vector<std::string>& details) {
    answer = GetCheckResult();
    answer.code = code;
    answer.replyError = error;
    answer.jsonText = "{\"rvc\":5}";
    for (const std::string& json : details) {
        answer.check.dtl.emplace_back(json);
    }
}

class ClientLibraryTest : public ::testing::Test {
protected:
    ClientLibraryTest() : log(folder) {
        library.SetLog(&log.log);
        library.Bind(FakeGetCheck);
        asked.clear();
        throws = false;
    }

    platform::TempFolder folder;
    testpms::Log log;
    CClientLibrary library;
};

struct LineCase {
    const char* json;
    int lineType;
    double quantity;
    int codeNumber;
    const char* taxGroup;
    const char* printText;
};

TEST(ClientLibraryLineTest, DetailLinesBecomePostingLines) {
    const LineCase cases[] = {
        {R"({"type":"M","objnum":1001,"name":"Borscht","qty":2,"ttl":"18.00","tax":128})", 14, 2, 1, "1", ""},
        {R"({"type":"D","objnum":9001,"name":"Loyalty","qty":1,"ttl":"-1.20","tax":1})", 15, 1, 8, "8", ""},
        {R"({"type":"S","objnum":9500,"name":"Service","ttl":"9.00","tax":0})", 16, 1, 0, "0", ""},
        {R"({"type":"M","objnum":7,"ttl":"-4.00","qtf":-2,"tax":64})", 14, 2, 2, "2", ""},
        {R"({"type":"M","objnum":7,"ttl":"-4.00","qty":-3,"tax":32})", 14, 3, 3, "3", ""},
        {R"({"type":"M","objnum":7,"ttl":"-4.00","tax":16})", 14, 1, 4, "4", ""},
        {R"({"type":"M","objnum":7,"ttl":"4.00","qty":3,"qtf":1.5,"tax":8})", 14, 1.5, 5, "5", ""},
        {R"({"type":"M","objnum":7,"ttl":"4.00","qtf":-2,"tax":4})", 14, 2, 6, "6", ""},
        // Only the low byte counts; two bits at once name no group.
        {R"({"type":"M","objnum":7,"ttl":"4.00","tax":258})", 14, 1, 7, "7", ""},
        {R"({"type":"M","objnum":7,"ttl":"4.00","tax":3})", 14, 1, 0, "", ""},
        {R"({"type":"X","objnum":7,"ttl":"4.00","tax":0,"taxps":3})", 14, 1, 0, "0", "x;3;"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.json);
        struct_posting line;
        ASSERT_TRUE(CClientLibrary::MakeLine(DTL(c.json), line));
        EXPECT_EQ(line.line_type, c.lineType);
        EXPECT_DOUBLE_EQ(line.quantity, c.quantity);
        EXPECT_EQ(line.code_number, c.codeNumber);
        EXPECT_EQ(line.tax_group, c.taxGroup);
        EXPECT_EQ(line.print_text, c.printText);
    }
    struct_posting line;
    ASSERT_TRUE(
        CClientLibrary::MakeLine(DTL(R"({"type":"M","objnum":1001,"name":"Borscht","ttl":"18.40"})"), line));
    EXPECT_EQ(line.trx_no, 1001);
    EXPECT_EQ(line.trx_code, 1001);
    EXPECT_EQ(line.description, "Borscht");
    EXPECT_DOUBLE_EQ(line.trx_amount, 18.40);
    EXPECT_DOUBLE_EQ(line.posted_amount, 0) << "nothing else is taken over";
    EXPECT_TRUE(line.cheque_number.empty());
}

TEST(ClientLibraryLineTest, AmountsAndQuantitiesThatCannotBePrintedAreRefused) {
    for (const char* json :
         {R"({"type":"M","ttl":"nan"})", R"({"type":"M","ttl":"inf"})", R"({"type":"M","ttl":"-1e12"})",
          R"({"type":"M","ttl":"1","qtf":1e7})", R"({"type":"M","ttl":"0x10"})", R"({"type":"M","ttl":"12abc"})"}) {
        struct_posting line;
        EXPECT_FALSE(CClientLibrary::MakeLine(DTL(json), line)) << json;
    }
    // A quantity that is no number reads as none, so the whole-number quantity counts.
    struct_posting line;
    ASSERT_TRUE(CClientLibrary::MakeLine(DTL(R"({"type":"M","ttl":" 2.50 ","qty":3,"qtf":"nan"})"), line));
    EXPECT_EQ(line.quantity, 3.0);
    EXPECT_EQ(line.trx_amount, 2.5);
}

TEST(ClientLibraryLineTest, NamesLoseWhatWouldCutTheDeviceRecord) {
    EXPECT_EQ(CClientLibrary::DeviceText("Beer|0|1.00\nTea\x7f"), "Beer 0 1.00 Tea ");
    EXPECT_EQ(CClientLibrary::DeviceText("\xC1\xEE\xF0\xF9"), "\xC1\xEE\xF0\xF9") << "Windows-1251 stays";
}

TEST_F(ClientLibraryTest, ItemsDiscountsAndServiceChargesAreAppendedTendersAreNot) {
    Answer(0, "",
           {R"({"type":"M","objnum":1001,"name":"Borscht","qty":2,"ttl":"18.00","tax":128,"taxps":3})",
            R"({"type":"T","objnum":1,"name":"Cash","ttl":"31.50"})",
            R"({"type":"$","objnum":2,"name":"Total","ttl":"31.50"})",
            R"({"type":"R","objnum":3,"name":"Round","ttl":"0.01"})",
            R"({"type":"D","objnum":9001,"name":"Loyalty","ttl":"-1.20","tax":1})",
            R"({"type":"S","objnum":9500,"name":"Service","ttl":"9.00"})"});
    std::vector<struct_posting> lines(1);
    lines[0].description = "already there";
    ASSERT_TRUE(library.FetchPosCheck("1234", "05/30/19 12:34:56", "005", lines));
    EXPECT_EQ(asked, std::vector<std::string>{"5 1234 05/30/19 12:34:56"});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].description, "already there");
    EXPECT_EQ(lines[1].description, "Borscht");
    EXPECT_EQ(lines[2].description, "Loyalty");
    EXPECT_EQ(lines[3].description, "Service");
    for (const char* line :
         {"Try to expand check 5 1234 05/30/19 12:34:56", "M 1001 Borscht 18.00 * 2 (2.00) Tax 128",
          "Tax ps 3", "T 1 Cash 31.50 * 0 (0.00) Tax 0", "D 9001 Loyalty -1.20 * 0 (0.00) Tax 1"}) {
        EXPECT_TRUE(log.Has(line)) << line << "\n" << log.Text();
    }
}

struct FailureCase {
    const char* name;
    int code;
    std::vector<std::string> details;
    bool raise;
    const char* logged;
};

TEST_F(ClientLibraryTest, AnUnusableAnswerAddsNothingAndSaysWhy) {
    const FailureCase cases[] = {
        {"not available", 1, {R"({"type":"M","ttl":"1"})"}, false, "Ledgix server is not available"},
        {"no reply", 2, {}, false, "No reply from Ledgix server"},
        {"text reply", 3, {}, false, "Check 1234 of revenue centre 5 not found"},
        {"no lines", 0, {}, false, "No postings"},
        {"exception", 0, {}, true, "LGXClient exception"},
        {"bad line after good ones",
         0,
         {R"({"type":"M","objnum":1,"ttl":"5.00"})", R"({"type":"M","objnum":2,"ttl":"1e300"})"},
         false,
         "Amount or quantity out of range in the line above"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const char* errors[] = {"", "Ledgix server is not available", "No reply from Ledgix server",
                                "Check 1234 of revenue centre 5 not found"};
        Answer(c.code, errors[c.code], c.details);
        throws = c.raise;
        std::vector<struct_posting> lines;
        EXPECT_FALSE(library.FetchPosCheck("1234", "", "5", lines));
        EXPECT_TRUE(lines.empty());
        EXPECT_TRUE(log.Has(c.logged)) << log.Text();
    }
    EXPECT_TRUE(log.Has("{\"rvc\":5}")) << "a check without lines is logged as it came";
}

TEST(ClientLibraryLoadTest, AMissingLibraryStopsTheStart) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' loader finds the built LGXClient.dll beside the test program";
#endif
    platform::TempFolder folder;
    testpms::Log log(folder);
    CClientLibrary library;
    library.SetLog(&log.log);
    library.SetFolder(folder.Path());
    EXPECT_FALSE(library.Load());
    EXPECT_EQ(library.GetLastError(), "Can't load " + platform::DynamicLibrary::FileName("LGXClient"));
    EXPECT_FALSE(library.IsBound());
}

TEST(ClientLibraryLoadTest, TheBuiltLibraryBindsOnce) {
    std::string binaryDir = platform::GetEnv("FISCORA_BINARY_DIR");
    CClientLibrary library;
    library.SetFolder(binaryDir.empty() ? platform::ProgramFolder() : binaryDir + "/");
    ASSERT_TRUE(library.Load()) << library.GetLastError();
    EXPECT_TRUE(library.IsBound());
    library.SetFolder("/nonexistent/");
    EXPECT_TRUE(library.Load()) << "bound once, for the life of the process";
}

}  // namespace
