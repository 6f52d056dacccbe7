// A hotel check's POS posting replaced by the lines of its POS check: the pieces both back-ends
// share, and the Opera back-end's ExpandPosCheck on a PMS stand-in (for the code table) with a
// GetCheck of the test's standing in for the client library.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "platform/Text.h"
#include "storage/CDovozEderarezev.h"
#include "storage/CPosExpansion.h"
#include "tests/support/storage/TestPms.h"

namespace {

using Rows = std::vector<std::string>;

struct_posting Posting(int code, double amount, const std::string& reference = "",
                       const std::string& text = "") {
    struct_posting p;
    p.trx_code = code;
    p.trx_no = code;
    p.description = text::Format("code %d", code);
    p.trx_amount = amount;
    p.cheque_number = reference;
    p.print_text = text;
    return p;
}

std::vector<int> Codes(const std::vector<struct_posting>& lines) {
    std::vector<int> codes;
    for (const struct_posting& p : lines) {
        codes.push_back(p.trx_code);
    }
    return codes;
}

TEST(PosExpansionTest, SumsAgreeBelowHalfACent) {
    struct Case {
        double pms, pos;
        bool agree;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Case& c : {Case{10.00, 10.004, true}, Case{10.004, 10.00, true}, Case{10.00, 10.005, false},
                          Case{10.005, 10.00, false}, Case{2484.90, 2484.9, true}, Case{0.005, 0, false},
                          Case{100.10, 100.00, false}, Case{nan, 1, false}, Case{1, nan, false}}) {
        EXPECT_EQ(CPosExpansion::SumsAgree(c.pms, c.pos), c.agree) << c.pms << " " << c.pos;
    }
    // The POS sum is added up line by line, as the lines come.
    std::vector<struct_posting> lines = {Posting(1, 0.1), Posting(2, 0.2), Posting(3, 2484.6)};
    EXPECT_TRUE(CPosExpansion::SumsAgree(2484.9, CPosExpansion::Sum(lines)));
}

TEST(PosExpansionTest, PrintTextIsCompletedFromThePosPosting) {
    struct Case {
        const char* line;
        const char* posting;
        const char* completed;
    };
    for (const Case& c : {Case{"x;3;", "", "4;3;"}, Case{"x;3;", "5;1;", "5;3;"}, Case{"x;x;", "2", "2;2;"},
                          Case{"7;1", "4;1;", "4;1;"}, Case{"7;1", "", ""}}) {
        EXPECT_EQ(CPosExpansion::CompletePrintText(c.line, c.posting), c.completed)
            << c.line << " / " << c.posting;
    }
}

// A device that registers net amounts sends each item's share of the POS posting's net amount:
// the shares add up to it to the cent, and the check's net total stays the sum of its postings'.
TEST(PosExpansionTest, PosLinesTakeTheirShareOfTheNetAmount) {
    struct Case {
        const char* name;
        std::vector<double> postingNets;  // of the postings of the reference (30.00 and 1.50)
        std::vector<double> lineNets;     // of the lines 20.00, 12.00 and -0.50
    } cases[] = {
        {"VAT of a sixth taken out", {25.00, 1.25}, {16.66, 10.00, -0.41}},
        {"no net amount apart from the amount", {30.00, 1.50}, {20.00, 12.00, -0.50}},
        {"no net amount at all", {0, 0}, {20.00, 12.00, -0.50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFiscalCheck check;
        check.postings = {Posting(1000, 4500), Posting(2000, 30, "R1"), Posting(2000, 1.5, "R1")};
        check.postings[0].net_amount = 3750;
        check.postings[1].net_amount = c.postingNets[0];
        check.postings[2].net_amount = c.postingNets[1];
        check.netTotal = 3750 + c.postingNets[0] + c.postingNets[1];
        CPosExpansion::InsertLines(check, "R1", {Posting(11, 20), Posting(12, 12), Posting(13, -0.5)});
        ASSERT_EQ(check.postings.size(), 4u);
        double sum = 0;
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_NEAR(check.postings[i + 1].net_amount, c.lineNets[i], 0.0001) << i;
            sum += check.postings[i].net_amount;
        }
        sum += check.postings[3].net_amount;
        EXPECT_NEAR(check.netTotal, sum, 0.0001);
    }
}

TEST(PosExpansionTest, PosLinesTakeThePlaceOfTheFirstPostingOfTheReference) {
    CFiscalCheck check;
    check.postings = {Posting(1000, 4500), Posting(2000, 30, "R1", "5;1;"), Posting(1010, 100),
                      Posting(2000, 1.5, "R1", "9;9;"), Posting(2100, 7, "R2")};
    std::vector<struct_posting> lines = {Posting(11, 20, "", "x;3;"), Posting(12, 11.5, "", "7;1")};
    EXPECT_DOUBLE_EQ(CPosExpansion::ReferenceSum(check, "R1"), 31.5);
    CPosExpansion::InsertLines(check, "R1", lines);
    EXPECT_EQ(Codes(check.postings), (std::vector<int>{1000, 11, 12, 1010, 2100}));
    EXPECT_EQ(check.postings[1].print_text, "5;3;");
    EXPECT_EQ(check.postings[2].print_text, "5;1;");
    EXPECT_EQ(check.postings[4].cheque_number, "R2") << "another reference is left alone";

    CPosExpansion::ClearReference(check, "R2");
    EXPECT_EQ(Codes(check.postings), (std::vector<int>{1000, 11, 12, 1010, 2100})) << "cleared, not removed";
    EXPECT_TRUE(check.postings[4].cheque_number.empty());
}

TEST(PosExpansionTest, EachPostingTakesItsPrinterCodeOnce) {
    CRuleLists rules;
    rules.discounts[9001] = "1";
    rules.serviceCharges[9500] = "1";
    std::map<int, int> table;  // allocated like the code table: the first code is 2
    std::vector<int> asked;
    auto printerCode = [&](int pmsCode, const std::string&) {
        asked.push_back(pmsCode);
        if (pmsCode == 666) {
            return 0;  // the table out of reach
        }
        if (table.count(pmsCode) == 0) {
            const int next = static_cast<int>(table.size()) + 2;
            table[pmsCode] = next;
        }
        return table[pmsCode];
    };
    CFiscalCheck check;
    check.postings = {Posting(1000, 1), Posting(9001, -1), Posting(9500, 1),
                      Posting(1101, 1), Posting(666, 1),   Posting(2000, 1, "R2")};
    check.postings[3].pos_number = 77;
    CPosExpansion::ConvertCodes(check, rules, printerCode);
    EXPECT_EQ(Codes(check.postings), (std::vector<int>{2, 9001, 9500, 77, 666, 3}));
    EXPECT_EQ(asked, (std::vector<int>{1000, 666, 2000}));

    // A second POS check of the same hotel check: only its own lines and what had no code yet.
    CPosExpansion::InsertLines(check, "R2", {Posting(1000, 1), Posting(3003, 1)});
    asked.clear();
    CPosExpansion::ConvertCodes(check, rules, printerCode);
    EXPECT_EQ(Codes(check.postings), (std::vector<int>{2, 9001, 9500, 77, 666, 2, 4}));
    EXPECT_EQ(asked, (std::vector<int>{666, 1000, 3003}));
}

// --- the Opera back-end ---

GetCheckResult answer;
int calls = 0;
std::string askedFor;

GetCheckResult* FakeGetCheck(int rvc, int cknum, const char* openTime) {
    ++calls;
    askedFor = text::Format("%d %d %s", rvc, cknum, openTime);
    return &answer;
}

const char* const kReference = "001004220260314193000";  // revenue centre 1, check 42

class OperaExpansionTest : public ::testing::Test {
protected:
    OperaExpansionTest() : log(pms.folder) {
        config.values = {{"//fidelio_ini/base_access", pms.ConnectionString()},
                         {"//fidelio_ini/fidelio_schema", "OPERA"},
                         {"//fidelio_ini/property_code", "HOTEL"},
                         {"//micros_check_expand", "1"},
                         {"//code_convertion", "1"}};
        config.rules.discounts[9001] = "1";
        storage.SetLogFile(&log.log);
        storage.SetSideFileFolder(pms.folder.Path());
        storage.clientLibrary.Bind(FakeGetCheck);
        calls = 0;
        askedFor.clear();
        Answer(0,
               {R"({"type":"M","objnum":1101,"name":"Borscht","qty":2,"ttl":"900.00","tax":128,"taxps":1})",
                R"({"type":"M","objnum":1205,"name":"Stroganoff","qty":1,"ttl":"1250.00","tax":128})",
                R"({"type":"D","objnum":9001,"name":"Discount","ttl":"-215.00","tax":128})",
                R"({"type":"T","objnum":1,"name":"Cash","ttl":"1935.00"})"});
        check.moneyDecimals = 2;
        check.postings = {Posting(1000, 4500), Posting(2000, 1900, kReference, ""),
                          Posting(2000, 35, kReference, "")};
    }

    static void Answer(int code, const std::vector<std::string>& details) {
        answer = GetCheckResult();
        answer.code = code;
        answer.replyError = code == 0 ? "" : "Ledgix server is not available";
        for (const std::string& json : details) {
            answer.check.dtl.emplace_back(json);
        }
    }

    testpms::Pms pms;
    testpms::Log log;
    testpms::FakeConfiguration config;
    CDovozEderarezev storage;
    CFiscalCheck check;
};

TEST_F(OperaExpansionTest, APosPostingBecomesTheItemsOfItsPosCheckWithPrinterCodes) {
    ASSERT_TRUE(storage.Open(config)) << storage.GetLastError();
    storage.ExpandPosCheck(kReference, 0, false, check);
    EXPECT_EQ(askedFor, "1 42 03/14/26 19:30:00");
    // The POS discount stays a line of its own and keeps its code; the room posting comes first
    // and takes printer code 2.
    ASSERT_EQ(check.postings.size(), 4u);
    EXPECT_EQ(Codes(check.postings), (std::vector<int>{2, 3, 4, 9001}));
    EXPECT_EQ(check.postings[1].description, "Borscht");
    EXPECT_DOUBLE_EQ(check.postings[1].quantity, 2);
    EXPECT_DOUBLE_EQ(check.postings[2].trx_amount, 1250.00);
    EXPECT_DOUBLE_EQ(check.postings[3].trx_amount, -215.00);
    EXPECT_EQ(check.postings[3].line_type, 4);
    EXPECT_EQ(check.postings[1].print_text, "4;1;") << "x;1; under a posting without print text";
    EXPECT_EQ(check.postings[2].print_text, "") << "7;1 takes the posting's (empty) text";
    EXPECT_EQ(pms.Rows("select pms_code, printer_code, description from qel_code_convertion order by 2"),
              (Rows{"1000|2|code 1000", "1101|3|Borscht", "1205|4|Stroganoff"}));
    for (const char* line : {"Interface check " /* reference */, "Try to expand check 1 42 03/14/26 19:30:00",
                             "Interface check:", "Postings:"}) {
        EXPECT_TRUE(log.Has(line)) << line;
    }
    EXPECT_FALSE(log.Has("not expanded"));
}

TEST_F(OperaExpansionTest, SumsThatDifferByHalfACentLeaveThePostingsAsBooked) {
    config.values["//code_convertion"] = "0";
    ASSERT_TRUE(storage.Open(config)) << storage.GetLastError();
    for (const char* ttl : {"1935.005", "1934.995"}) {
        SCOPED_TRACE(ttl);
        Answer(0, {text::Format(R"({"type":"M","objnum":1101,"name":"Borscht","ttl":"%s"})", ttl)});
        CFiscalCheck booked = check;
        storage.ExpandPosCheck(kReference, 0, false, booked);
        EXPECT_EQ(Codes(booked.postings), (std::vector<int>{1000, 2000, 2000}));
        EXPECT_EQ(booked.postings[1].cheque_number, kReference) << "the reference stays";
    }
    EXPECT_TRUE(log.Has("Fidelio check sum 1935.00, Interface check sum 1934.99")) << log.Text();
    Answer(0, {R"({"type":"M","objnum":1101,"name":"Borscht","ttl":"1935.004"})"});
    storage.ExpandPosCheck(kReference, 0, false, check);
    EXPECT_EQ(Codes(check.postings), (std::vector<int>{1000, 1101})) << "0.004 apart is the same sum";
}

TEST_F(OperaExpansionTest, AReferenceThatCannotBeReadIsGivenUpForTheCheck) {
    ASSERT_TRUE(storage.Open(config)) << storage.GetLastError();
    struct Case {
        std::string reference;
        int code;
        int calls;
        const char* logged;
    };
    const std::string twenty = std::string(kReference).substr(0, 20);
    for (const Case& c : {Case{twenty, 0, 0, "Incorrect interface check number "},
                          Case{kReference, 1, 1, "Ledgix server is not available"}}) {
        SCOPED_TRACE(c.reference);
        calls = 0;
        Answer(c.code, {R"({"type":"M","objnum":1101,"ttl":"1935.00"})"});
        CFiscalCheck booked = check;
        for (struct_posting& p : booked.postings) {
            p.cheque_number = p.cheque_number.empty() ? "" : c.reference;
        }
        storage.ExpandPosCheck(c.reference, 0, false, booked);
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(Codes(booked.postings), (std::vector<int>{1000, 2000, 2000}))
            << "kept as booked, codes too";
        for (const struct_posting& p : booked.postings) {
            EXPECT_TRUE(p.cheque_number.empty());
        }
        EXPECT_TRUE(log.Has(c.logged + (c.code ? "" : c.reference))) << log.Text();
        EXPECT_TRUE(log.Has("Micros posting " + c.reference + " not expanded"));
    }
    EXPECT_TRUE(pms.Rows("select pms_code from qel_code_convertion").empty());
}

TEST_F(OperaExpansionTest, OpenFailsWithoutTheClientLibrary) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' loader finds the built LGXClient.dll beside the test program";
#endif
    CDovozEderarezev unbound;
    unbound.SetLogFile(&log.log);
    unbound.SetSideFileFolder(pms.folder.Path());
    unbound.clientLibrary.SetFolder(pms.folder.Path());
    config.values["//fidelio_ini/adjustment_refund"] = "1";  // later steps must not hide the reason
    EXPECT_FALSE(unbound.Open(config));
    EXPECT_EQ(unbound.GetLastError(), "Can't load " + platform::DynamicLibrary::FileName("LGXClient"));
    config.values["//micros_check_expand"] = "3";
    EXPECT_TRUE(unbound.Open(config)) << "only 1 and 2 switch expansion on";
}

}  // namespace
