#include "shared/JsonHelper.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "shared/CLGXCheck.h"
#include "shared/DTL.h"
#include "shared/TAX.h"
#include "tests/support/shared/UnescapeByReplacing.h"

namespace {

// Collects the reader's warnings while a test runs.
class CapturedLog {
public:
    CapturedLog() {
        lines().clear();
        JsonHelper::SetLogSink(&CapturedLog::Write);
    }
    ~CapturedLog() { JsonHelper::SetLogSink(nullptr); }

    static std::vector<std::string>& lines() {
        static std::vector<std::string> collected;
        return collected;
    }
    std::vector<std::string> AtLevel(int level) const {
        std::vector<std::string> found;
        for (const std::string& line : lines()) {
            if (line.rfind(std::to_string(level) + " ", 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }
    bool Has(const std::string& text) const {
        for (const std::string& line : lines()) {
            if (line == text) {
                return true;
            }
        }
        return false;
    }

private:
    static void Write(int level, const char* format, va_list args) {
        char buffer[512];
        std::vsnprintf(buffer, sizeof buffer, format, args);
        lines().push_back(std::to_string(level) + " " + buffer);
    }
};

std::vector<std::string> Split(const std::string& text, size_t max = 100) {
    std::vector<std::string> members;
    JsonHelper::SplitJsonMembers(text, max, members);
    return members;
}

TEST(SplitJsonMembersTest, CommasInsideStringsArraysAndObjectsDoNotSplit) {
    EXPECT_EQ(Split(R"("a":"x, y", "b":[1,2])"), (std::vector<std::string>{R"("a":"x, y")", R"("b":[1,2])"}));
    EXPECT_EQ(Split(R"("o":{"p":1,"q":2},"r":3)"), (std::vector<std::string>{R"("o":{"p":1,"q":2})", R"("r":3)"}));
    // An escaped quote does not end the string, so its comma stays inside.
    EXPECT_EQ(Split(R"("a":"say \"hi, there\"","b":1)"),
              (std::vector<std::string>{R"("a":"say \"hi, there\"")", R"("b":1)"}));
}

TEST(SplitJsonMembersTest, TrimsMembersSkipsEmptyOnesAndStopsAtTheMaximum) {
    EXPECT_EQ(Split("  a:1 ,, \t b:2 ,\r\n "), (std::vector<std::string>{"a:1", "b:2"}));
    std::vector<std::string> out;
    EXPECT_EQ(JsonHelper::SplitJsonMembers("a:1,b:2,c:3,d:4", 3, out), 3u);
    EXPECT_EQ(out, (std::vector<std::string>{"a:1", "b:2", "c:3"}));
    EXPECT_EQ(JsonHelper::SplitJsonMembers("", 3, out), 0u);
}

TEST(SplitJsonMembersTest, BadNestingIsWarnedAboutAndTheMembersStillCome) {
    {
        CapturedLog log;
        EXPECT_EQ(Split("a:1],b:2").size(), 1u);  // below zero no comma separates any more
        EXPECT_TRUE(log.Has("1 Invalid bracket nesting level"));
        EXPECT_FALSE(log.Has("1 Invalid bracket nesting count"));
    }
    {
        CapturedLog log;
        EXPECT_EQ(Split("a:1,b:[2,3").size(), 2u);
        EXPECT_TRUE(log.Has("1 Invalid bracket nesting count"));
        EXPECT_FALSE(log.Has("1 Invalid bracket nesting level"));
    }
    {
        CapturedLog log;
        EXPECT_EQ(Split("a:1,b:{\"c\":2").size(), 2u);
        EXPECT_TRUE(log.Has("1 Invalid bracket nesting count"));
    }
    {
        CapturedLog log;
        EXPECT_EQ(Split("a:\"open,b:2"), (std::vector<std::string>{"a:\"open,b:2"}));
        EXPECT_TRUE(log.Has("1 Invalid string quotes nesting"));
    }
    {
        CapturedLog log;
        Split(R"("a":[1,2],"b":{"c":"d"})");
        EXPECT_TRUE(CapturedLog::lines().empty());
    }
}

TEST(JsonUnescapeTest, ReplacesInOrderThenTrimsAndUnquotes) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {R"(A\/B)", "A/B"},
        {R"("A\/B")", "A/B"},
        {R"(a\"b)", "a\"b"},
        {R"(a\\z)", "a\\z"},
        {R"(a\\b)", "a\\\b"},  // the escaped backslash's second half pairs with b
        {R"(\b\f\r\n\t)", "\b\f"},  // the trailing blanks are trimmed
        {R"(x\ty)", "x\ty"},
        {R"(x\ry\nz)", "x\ry\nz"},
        {R"(x\by\fz)", "x\by\fz"},
        // A doubled backslash before n is read as a backslash and a line feed: the replacements
        // run one after another over the whole text.
        {R"(C:\\new)", "C:\\\new"},
        {R"(\u0041)", R"(\u0041)"},
        {"  \"padded\"  ", "padded"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JsonHelper::JsonUnescape(c.in), c.out) << c.in;
    }
}

TEST(JsonUnescapeTest, OnePassGivesWhatTheReplacementsInOrderGive) {
    // Every text of up to six characters made of backslashes, escape letters and others.
    size_t checked = 0;
    std::string text;
    std::function<void()> grow = [&] {
        EXPECT_EQ(JsonHelper::JsonUnescape(text), json_testing::UnescapeByReplacing(text)) << text;
        ++checked;
        if (text.size() == 6) {
            return;
        }
        for (char c : std::string("\\nb/\"x")) {
            text.push_back(c);
            grow();
            text.pop_back();
        }
    };
    grow();
    EXPECT_EQ(checked, 1u + 6 + 36 + 216 + 1296 + 7776 + 46656);
}

TEST(JsonReaderBoundsTest, AMillionClosingBracketsGiveOneWarning) {
    CapturedLog log;
    CLGXCheck check("{" + std::string(1000000, ']'));
    EXPECT_TRUE(check.dtl.empty());
    EXPECT_EQ(log.AtLevel(1), (std::vector<std::string>{"1 Invalid bracket nesting level"}));
}

TEST(JsonReaderBoundsTest, WarningsOfOneRecordAreCapped) {
    // Every line of the array is broken inside (balanced for the array, not for the line); the
    // warnings stop after ten and say so.
    std::string json = R"({"rvc":1,"dtl":[)";
    for (int i = 0; i < 500; ++i) {
        json += R"({"x":[}{]},)";
    }
    json += "{}]}";
    {
        CapturedLog log;
        CLGXCheck check(json);
        EXPECT_EQ(check.rvc, 1);
        const std::vector<std::string> warnings = log.AtLevel(1);
        ASSERT_EQ(warnings.size(), 11u);
        EXPECT_EQ(warnings.back(), "1 Further warnings of this record are not logged");
    }
    // The next record has its own allowance.
    CapturedLog log;
    CLGXCheck next(R"({"rvc":2,"dtl":[{"x":[}{]}]})");
    EXPECT_EQ(log.AtLevel(1), (std::vector<std::string>{"1 Invalid bracket nesting level"}));
}

TEST(JsonEscapeTest, EscapesEverySpecialCharacterAndReadsBack) {
    EXPECT_EQ(JsonHelper::JsonEscape("a\\b\"c/d\te\rf\ng\fh\bi"), R"(a\\b\"c\/d\te\rf\ng\fh\bi)");
    const std::string plain = "Борщ \"Kyiv\" 1/2";
    EXPECT_EQ(JsonHelper::JsonUnescape(JsonHelper::JsonEscape(plain)), plain);
}

TEST(JsonConversionTest, LeadingNumberRule) {
    EXPECT_EQ(JsonHelper::ToInt32("42abc"), 42);
    EXPECT_EQ(JsonHelper::ToInt32("  -7"), -7);
    EXPECT_EQ(JsonHelper::ToInt32("abc"), 0);
    EXPECT_EQ(JsonHelper::ToInt32(""), 0);
    EXPECT_EQ(JsonHelper::ToInt32("99999999999"), INT32_MAX);
    EXPECT_EQ(JsonHelper::ToUInt32("4000000000"), 4000000000u);
    EXPECT_EQ(JsonHelper::ToUInt32("99999999999"), UINT32_MAX);
    EXPECT_EQ(JsonHelper::ToUInt32("-1"), UINT32_MAX);
    EXPECT_EQ(JsonHelper::ToUInt32("x"), 0u);
    EXPECT_DOUBLE_EQ(JsonHelper::ToDouble("12.50 EUR"), 12.5);
    EXPECT_DOUBLE_EQ(JsonHelper::ToDouble("-"), 0.0);
    // No amount that is not a plain decimal number: these read as 0 (the hex one as its "0").
    for (const char* notDecimal : {"nan", "\"NaN\"", "inf", "-Infinity", "0x10", "1e999"}) {
        EXPECT_EQ(JsonHelper::ToDouble(notDecimal), 0.0) << notDecimal;
    }
    EXPECT_EQ(JsonHelper::ToInt32("4294967297"), INT32_MAX);
}

TEST(JsonConversionTest, OnlyTheWordTrueIsTrue) {
    EXPECT_TRUE(JsonHelper::ToFlag("true"));
    EXPECT_TRUE(JsonHelper::ToFlag("TRUE"));
    EXPECT_TRUE(JsonHelper::ToFlag("True"));
    EXPECT_FALSE(JsonHelper::ToFlag("1"));
    EXPECT_FALSE(JsonHelper::ToFlag("yes"));
    EXPECT_FALSE(JsonHelper::ToFlag("trueish"));
    EXPECT_FALSE(JsonHelper::ToFlag(""));
}

TEST(ReadMembersTest, LowerCasesKeysOnlyAndUnquotesBothSides) {
    std::vector<std::pair<std::string, std::string>> seen;
    JsonHelper::ReadMembers(R"({{ "NaMe" : "Mixed Case:Value" , QTY:"3", novalue, "x":}} )",
                            [&](const std::string& key, const std::string& value) { seen.emplace_back(key, value); });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(std::string("name"), std::string("Mixed Case:Value")));
    EXPECT_EQ(seen[1], std::make_pair(std::string("qty"), std::string("3")));
    EXPECT_EQ(seen[2], std::make_pair(std::string("x"), std::string("")));
}

TEST(ReadMembersTest, TracesEveryMemberAtLevelFive) {
    CapturedLog log;
    DTL line(R"({"name":"Soup","qty":2})");
    EXPECT_TRUE(log.Has("5 name: {name} value: {Soup}"));
    EXPECT_TRUE(log.Has("5 name: {qty} value: {2}"));
}

// Writes the record into buffers of every size up to its full length and checks that nothing is
// written past the size and that the text always ends with its zero byte inside the buffer.
void ExpectBoundedWrites(JsonHelper& record) {
    std::vector<char> full(4096);
    const std::string whole = record.ToJson(full.data(), full.size());
    for (size_t size = 0; size <= whole.size() + 2; ++size) {
        std::vector<char> buffer(size + 16, '#');
        record.ToJson(buffer.data(), size);
        for (size_t i = size; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], '#') << "byte " << i << " written with size " << size;
        }
        if (size > 0) {
            const size_t length = strnlen(buffer.data(), size);
            ASSERT_LT(length, size) << "no zero byte with size " << size;
            // What was written is a prefix of members of the whole text, or the whole text.
            const std::string written(buffer.data(), length);
            if (written.size() > 1) {
                EXPECT_EQ(written.front(), '{') << written;
            }
        }
    }
}

TEST(JsonWriterTest, NeverWritesPastTheBuffer) {
    DTL line;
    line.type = 'M';
    line.objnum = 1001;
    line.name = "Caesar \"salad\"";
    line.qty = 2;
    line.qtf = 2;
    line.ttl = "24.00";
    line.mgnum = 3;
    line.mgname = "Food";
    ExpectBoundedWrites(line);
    TAX tax;
    tax.type = 'A';
    tax.name = "VAT 20%";
    tax.rate = 20;
    tax.ttl = "4.00";
    tax.txbl = "20.00";
    ExpectBoundedWrites(tax);
    CLGXCheck check;
    check.rvc = 5;
    check.waiter = "Olga";
    check.dtl = {line, line};
    check.tax = {tax, tax};
    ExpectBoundedWrites(check);
}

TEST(JsonWriterTest, SkipsAMemberThatDoesNotFitAndKeepsLaterOnesThatDo) {
    TAX tax;
    tax.type = 'A';
    tax.taxnum = 1;
    tax.name = std::string(60, 'n');
    tax.rate = 0;
    tax.ttl = "1";
    tax.txbl = "2";
    char buffer[70];
    const std::string written = tax.ToJson(buffer, sizeof buffer);
    EXPECT_EQ(written, R"({"type":"A","taxnum":1,"rate":0.000000,"ttl":"1","txbl":"2"})");
}

TEST(JsonWriterTest, BaseRecordWritesNothing) {
    JsonHelper base;
    char buffer[8] = "keep";
    EXPECT_EQ(base.ToJson(buffer, sizeof buffer), buffer);
    EXPECT_STREQ(buffer, "keep");
}

}  // namespace
