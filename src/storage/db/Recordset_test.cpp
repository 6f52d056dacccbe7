#include "storage/db/Recordset.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using db::FieldStatus;
using db::Recordset;
using db::Value;

TEST(RecordsetTest, OnlyPlainDecimalTextsAreNumbers) {
    const std::pair<const char*, double> numbers[] = {
        {"25.00", 25.0}, {" -1.5 ", -1.5}, {"+3", 3.0}, {".5", 0.5}, {"-.25", -0.25}, {"1e3", 1000.0},
    };
    for (const auto& [input, expected] : numbers) {
        double value = 0;
        EXPECT_TRUE(Recordset::ParseDouble(input, value)) << input;
        EXPECT_EQ(value, expected) << input;
    }
    for (const char* notNumber : {"nan", "NAN", "inf", "-infinity", "0x10", "1e999", "25,00", "12abc", "", "."}) {
        double value = 7;
        EXPECT_FALSE(Recordset::ParseDouble(notNumber, value)) << notNumber;
        EXPECT_EQ(value, 7) << "left unchanged: " << notNumber;
    }
}

TEST(RecordsetTest, AnInfiniteColumnIsNoAmount) {
    Recordset rows;
    rows.Reset({"real", "text", "ok"});
    rows.AddRow({Value::Of(INFINITY), Value::Of(std::string("nan")), Value::Of(12.5)});
    double value = 0;
    EXPECT_EQ(rows.GetDouble(0, value), FieldStatus::CantConvert);
    EXPECT_EQ(rows.GetDouble(1, value), FieldStatus::CantConvert);
    EXPECT_EQ(rows.GetDouble(2, value), FieldStatus::Ok);
    EXPECT_EQ(value, 12.5);
}

}  // namespace
