#include "platform/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <string>

#include "platform/Environment.h"
#include "platform/TempFolder.h"

namespace {

TEST(TextNumbersTest, DoublesArePlainDecimalOnly) {
    const std::pair<const char*, double> cases[] = {
        {"25.00", 25.0},   {"  -1.5e2 EUR", -150.0}, {"+3", 3.0},     {".5", 0.5},    {"-.25", -0.25},
        {"7.", 7.0},       {"1e", 1.0},              {"1e+", 1.0},    {"2E3x", 2000}, {"25,50", 25.0},
        {"nan", 0.0},      {"NaN", 0.0},             {"-nan(1)", 0.0}, {"inf", 0.0},   {"-Infinity", 0.0},
        {"0x10", 0.0},     {"0X1p4", 0.0},           {"1e999", 0.0},  {"-1e999", 0.0}, {"", 0.0},
        {"-", 0.0},        {".", 0.0},               {"e5", 0.0},     {"\t\n 42", 42.0},
    };
    for (const auto& [input, expected] : cases) {
        const double value = text::ToDouble(input);
        EXPECT_TRUE(std::isfinite(value)) << input;
        EXPECT_DOUBLE_EQ(value, expected) << input;
    }
}

TEST(TextNumbersTest, IntegersSaturateInsteadOfWrapping) {
    const std::pair<const char*, int> cases[] = {
        {"4294967297", INT_MAX},  {"-4294967297", INT_MIN}, {"2147483647", INT_MAX}, {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN}, {" 12abc", 12},           {"+7", 7},
        {"abc", 0},               {"", 0},                  {"0x10", 0},              {"1e5", 1},
        {"99999999999999999999999", INT_MAX},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(text::ToInt(input), expected) << input;
    }
    EXPECT_EQ(text::ToInt64("9223372036854775807"), LLONG_MAX);
    EXPECT_EQ(text::ToInt64("9223372036854775808"), LLONG_MAX);
    EXPECT_EQ(text::ToInt64("-9223372036854775808"), LLONG_MIN);
    EXPECT_EQ(text::ToInt64("-99999999999999999999"), LLONG_MIN);
    EXPECT_EQ(text::ToInt64("4294967297"), 4294967297LL);
}

TEST(TextNumbersTest, DigitsAndDecimalPrefix) {
    EXPECT_TRUE(text::IsDigits("0123456789"));
    for (const char* notDigits : {"", "1x", " 1", "+1", "-1", "1.0", "١"}) {
        EXPECT_FALSE(text::IsDigits(notDigits)) << notDigits;
    }
    EXPECT_EQ(text::DecimalPrefix("-12.5e3kg"), 7u);
    EXPECT_EQ(text::DecimalPrefix("12e+x"), 2u);
    EXPECT_EQ(text::DecimalPrefix("-.x"), 0u);
}

TEST(TextReplaceTest, ReplacesEveryOccurrenceLeftToRight) {
    struct Case {
        const char* text;
        const char* from;
        const char* to;
        const char* expected;
    } cases[] = {
        {"a-b-c", "-", "+", "a+b+c"},  {"aaa", "aa", "b", "ba"},        {"xx", "x", "xx", "xxxx"},
        {"abc", "", "z", "abc"},       {"abc", "d", "z", "abc"},         {"", "a", "b", ""},
        {"%c%c", "%c", "\x1c", "\x1c\x1c"}, {"a\\\\n", "\\n", "\n", "a\\\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text::ReplaceAll(c.text, c.from, c.to), c.expected) << c.text;
    }
}

TEST(TextLinesTest, CutsLikeALineReader) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(text::Lines(""), Lines{});
    EXPECT_EQ(text::Lines("a"), Lines{"a"});
    EXPECT_EQ(text::Lines("a\r\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(text::Lines("a\n\n"), (Lines{"a", ""}));
    EXPECT_EQ(text::Lines("\r\n"), Lines{""});
    EXPECT_EQ(text::Lines("a\rb\n"), Lines{"a\rb"}) << "only a carriage return before the line end goes";
}

}  // namespace
