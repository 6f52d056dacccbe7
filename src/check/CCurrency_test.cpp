#include "check/CCurrency.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "check/CCurrencyArray.h"
#include "log/CLogFile.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"

TEST(CCurrencyTest, FromDoubleRoundsHalfAwayFromZero) {
    struct Case {
        double in;
        int64_t minor;
    } cases[] = {{0.005, 1}, {-0.005, -1}, {1.004999, 100}, {0.125, 13}, {-0.125, -13},
                 {0.0, 0},   {12.344, 1234}, {-0.004, 0},   {99999999.99, 9999999999}};
    for (const Case& c : cases) {
        EXPECT_EQ(CCurrency::Of(c.in).Value(), c.minor) << c.in;
    }
}

TEST(CCurrencyTest, TextFormPadsAndSigns) {
    struct Case {
        int64_t minor;
        const char* text;
    } cases[] = {{7, "0.07"}, {-7, "-0.07"}, {100, "1.00"}, {5, "0.05"}, {-1234, "-12.34"}, {0, "0.00"},
                 {123456789, "1234567.89"}};
    for (const Case& c : cases) {
        EXPECT_EQ(CCurrency().FromValue(c.minor).GetText(), c.text);
    }
}

TEST(CCurrencyTest, TextIsRebuiltAfterAChange) {
    CCurrency c = CCurrency::Of(1.5);
    EXPECT_EQ(c.GetText(), "1.50");
    c.FromValue(275);
    EXPECT_EQ(c.GetText(), "2.75");
    c.SetText("*stale");
    EXPECT_EQ(c.GetText(), "2.75");
}

TEST(CCurrencyTest, FromTextTakesCommaAndLeadingPoint) {
    EXPECT_EQ(CCurrency().FromText("12,345").Value(), 1235);
    EXPECT_EQ(CCurrency().FromText(".5").Value(), 50);
    EXPECT_EQ(CCurrency().FromText("-3.004").Value(), -300);
    EXPECT_EQ(CCurrency().FromText("abc").Value(), 0);
    // Only plain decimals: none of these is an amount.
    for (const char* notDecimal : {"nan", "inf", "-Infinity", "0x10", "1e999"}) {
        EXPECT_EQ(CCurrency().FromText(notDecimal).Value(), 0) << notDecimal;
    }
}

TEST(CCurrencyTest, ValuesBeyondSixtyFourBitsSaturateAndNanIsZero) {
    EXPECT_EQ(CCurrency().FromDouble(std::nan("")).Value(), 0);
    EXPECT_EQ(CCurrency().FromDouble(1e300).Value(), INT64_MAX);
    EXPECT_EQ(CCurrency().FromDouble(-INFINITY).Value(), INT64_MIN);
    EXPECT_EQ(CCurrency().FromDouble(92233720368547758.07).Value(), INT64_MAX);
    EXPECT_EQ(CCurrency().FromDouble(-1234567.895).Value(), -123456790);
}

TEST(CCurrencyTest, IntegerArithmeticIsExact) {
    CCurrency a = CCurrency::Of(10.10), b = CCurrency::Of(0.20);
    EXPECT_EQ(CCurrency::Add(a, b).Value(), 1030);
    EXPECT_EQ(CCurrency::Subtract(b, a).Value(), -990);
    EXPECT_EQ(a.Negate().Value(), -1010);
    EXPECT_EQ(a.MultiplyInt(3).Value(), 3030);
    EXPECT_EQ(a.DivideInt(4).Value(), 253);  // 252.5 rounds away from zero
    EXPECT_EQ(a.Negate().DivideInt(4).Value(), -253);
    EXPECT_EQ(a.DivideInt(0).Value(), 0);
    EXPECT_EQ(CCurrency(a).MultiplyDouble(1.5).Value(), 1515);
    EXPECT_EQ(CCurrency(a).DivideDouble(3).Value(), 337);
    EXPECT_TRUE(CCurrency::Of(1.00) == CCurrency().FromValue(100));
}

TEST(CCurrencyTest, ScaleAddsHalfOfTheOldTotal) {
    CCurrency x = CCurrency().FromValue(333);
    x.Scale(CCurrency().FromValue(1000), CCurrency().FromValue(900));
    EXPECT_EQ(x.Value(), 300);  // 299.7 rounded up by the half of 500
    CCurrency same = CCurrency().FromValue(333);
    same.Scale(CCurrency().FromValue(1000), CCurrency().FromValue(1000));
    EXPECT_EQ(same.Value(), 333);
    same.Scale(CCurrency(), CCurrency().FromValue(5));
    EXPECT_EQ(same.Value(), 333);
    // No overflow for large amounts.
    CCurrency big = CCurrency().FromValue(900000000000LL);
    big.Scale(CCurrency().FromValue(1000000000000LL), CCurrency().FromValue(500000000000LL));
    EXPECT_EQ(big.Value(), 450000000000LL);
}

TEST(CCurrencyArrayTest, ConstructionAccessAndSums) {
    CCurrencyArray empty(0);
    EXPECT_EQ(empty.Count(), 1u);
    CCurrencyArray a(4);
    a.Item(0).FromValue(100);
    a.Item(2).FromValue(250);
    EXPECT_EQ(a.UsedCount(), 3u);
    EXPECT_EQ(a.SumAll(), 350);
    EXPECT_EQ(a.Sum(1).Value(), 250);
    EXPECT_EQ(a.Sum(0, 2).Value(), 100);
    EXPECT_EQ(a.Sum(1, 100).Value(), 250);
    EXPECT_EQ(a.Sum(4).Value(), 0);
    EXPECT_EQ(a.Sum(0, 0).Value(), 0);
    EXPECT_EQ(a.Item(9).GetText(), "???");
    EXPECT_EQ(a.Item(9).Value(), 0);
    EXPECT_DOUBLE_EQ(static_cast<double>(a.SumAsDouble()), 3.5);
    a.Reset();
    EXPECT_EQ(a.UsedCount(), 0u);
}

namespace {

std::string LogContent(const std::string& path) {
    std::string content;
    platform::ReadFile(path, content);
    return content;
}

}  // namespace

TEST(CCurrencyArrayTest, ProrateCorrectsTheRemainderOnTheFirstItem) {
    platform::TempFolder temp;
    CLogFile log;
    log.SetEcho(false);
    log.Open(temp.File("p.log"), false);
    CCurrencyArray a(3);
    a.log = &log;
    for (uint32_t i = 0; i < 3; ++i) {
        a.Item(i).FromValue(100);
    }
    CCurrency two = CCurrency().FromValue(200);
    a.Prorate(a.Sum(0), two, two, true);
    EXPECT_EQ(a.Item(0).Value(), 66);
    EXPECT_EQ(a.Item(1).Value(), 67);
    EXPECT_EQ(a.Item(2).Value(), 67);
    EXPECT_EQ(a.SumAll(), 200);
    std::string content = LogContent(temp.File("p.log"));
    EXPECT_NE(content.find("Prorate array: 3.00 : 2.00 with expected total: 2.00"), std::string::npos);
    EXPECT_NE(content.find("1.00       1.00       1.00      "), std::string::npos);
    EXPECT_NE(content.find("Itemizer 1: 1.00 -> 0.67"), std::string::npos);
    EXPECT_NE(content.find("CCurrencyArray::Prorate(): Itemizer #1 corrected. diff=-0.01"), std::string::npos);
}

TEST(CCurrencyArrayTest, ProrateOfDiscountOverItems) {
    // Items 60 and 40 with a discount of -10: the items become 54 and 36.
    CCurrencyArray a(2);
    a.Item(0).FromValue(6000);
    a.Item(1).FromValue(4000);
    CCurrency total = a.Sum(0);
    CCurrency target = CCurrency::Add(total, CCurrency::Of(-10));
    a.Prorate(total, target, target, true);
    EXPECT_EQ(a.Item(0).Value(), 5400);
    EXPECT_EQ(a.Item(1).Value(), 3600);
}

TEST(CCurrencyArrayTest, AllZeroPutsExpectedOnTheFirstItem) {
    platform::TempFolder temp;
    CLogFile log;
    log.SetEcho(false);
    log.Open(temp.File("p.log"), false);
    CCurrencyArray a(3);
    a.log = &log;
    CCurrency expected = CCurrency().FromValue(500);
    a.Prorate(CCurrency(), expected, expected, true);
    EXPECT_EQ(a.Item(0).Value(), 500);
    EXPECT_EQ(a.Item(1).Value(), 0);
    EXPECT_NE(LogContent(temp.File("p.log")).find("CCurrencyArray::Prorate(): Itemizer #1 set to=5.00 (diff=5.00)"),
              std::string::npos);
}

TEST(CCurrencyArrayTest, WithoutCorrectionTheRemainderIsDropped) {
    CCurrencyArray a(3);
    for (uint32_t i = 0; i < 3; ++i) {
        a.Item(i).FromValue(100);
    }
    CCurrency two = CCurrency().FromValue(200);
    a.Prorate(a.Sum(0), two, two, false);
    EXPECT_EQ(a.SumAll(), 201);
}

TEST(CCurrencyArrayTest, ItemLineStopsAt1004Characters) {
    platform::TempFolder temp;
    CLogFile log;
    log.SetEcho(false);
    log.Open(temp.File("p.log"), false);
    CCurrencyArray a(200);
    a.log = &log;
    a.Prorate(CCurrency(), CCurrency(), CCurrency(), false);
    std::string content = LogContent(temp.File("p.log"));
    size_t start = content.find('\n', content.find("Prorate array")) + 1 + 24;  // past the time stamp
    size_t end = content.find('\n', start);
    // The first cell has 10 characters, the others 11: the cell that reaches 1004 is the last.
    EXPECT_EQ(end - start, 10u + 91u * 11u);
}
