#include <gtest/gtest.h>

#include <cmath>

#include "storage/db/OracleFormats.h"
#include "tests/support/platform/ManualClock.h"
#include "tests/support/storage/TestPms.h"

namespace {

using testpms::Pms;

class FunctionsTest : public ::testing::Test {
protected:
    // Local 14.03.2026 09:05:07.
    FunctionsTest() : clock(0), scoped(clock) { testpms::SetLocalTime(clock, 2026, 3, 14, 9, 5, 7); }
    // The one value of a one-row query.
    std::string Value(const std::string& expression) {
        std::vector<std::string> rows = pms.Rows("select " + expression + " from dual");
        return rows.size() == 1 ? rows[0] : "<" + std::to_string(rows.size()) + " rows>";
    }
    bool Fails(const std::string& expression) {
        db::Recordset rows;
        return !pms.Connection().OpenRecordset("select " + expression + " from dual", rows);
    }

    platform::ManualClock clock;
    platform::ScopedClock scoped;
    Pms pms{false};
};

TEST_F(FunctionsTest, DateMasksOfTheStatements) {
    EXPECT_EQ(Value("to_char(sysdate,'dd.mm.yyyy')"), "14.03.2026");
    EXPECT_EQ(Value("to_char(sysdate,'DDMMYYYY')"), "14032026");
    EXPECT_EQ(Value("to_char(sysdate,'YYYY-MM-DD\"T\"HH24:MI:SS')"), "2026-03-14T09:05:07");
    EXPECT_EQ(Value("to_char(sysdate,'MM/DD/YY HH24:MI:SS')"), "03/14/26 09:05:07");
    EXPECT_EQ(Value("to_char(sysdate,'Dy DD-MON-RR hh12:mi AM')"), "Sat 14-MAR-26 09:05 AM");
    EXPECT_EQ(Value("to_char(sysdate,'FMMonth DD')"), "March 14");
    EXPECT_EQ(Value("to_char(sysdate,'J')"), "2461114");

    // TZH:TZM is the local zone of that moment.
    platform::LocalTime now = clock.Now();
    long offset = platform::UtcOffsetSeconds(now.ToEpoch());
    char expected[64];
    std::snprintf(expected, sizeof expected, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                  std::labs(offset) / 3600, std::labs(offset) / 60 % 60);
    EXPECT_EQ(Value("to_char(systimestamp,'TZH:TZM')"), expected);
    EXPECT_TRUE(Fails("to_char(sysdate,'dd.qq.yyyy')"));
}

TEST_F(FunctionsTest, DayArithmeticAndComparison) {
    EXPECT_EQ(Value("to_char(sysdate-3,'dd.mm.yyyy hh24:mi')"), "11.03.2026 09:05");
    EXPECT_EQ(Value("to_char(to_date('01.03.2026','dd.mm.yyyy')-1,'dd.mm.yyyy')"), "28.02.2026");
    EXPECT_EQ(Value("to_date('14.03.2026','dd.mm.yyyy') - to_date('01.01.2026','dd.mm.yyyy')"), "72");
    EXPECT_EQ(Value("case when to_date('14.03.2026','dd.mm.yyyy') < sysdate then 1 else 0 end"), "1");
    EXPECT_EQ(Value("case when to_date('14.03.2026','dd.mm.yyyy') = trunc(sysdate) then 1 else 0 end"), "1");
    EXPECT_EQ(Value("to_char(trunc(sysdate,'MM'),'dd.mm.yyyy')"), "01.03.2026");
}

TEST_F(FunctionsTest, ToDateForms) {
    // rrrr with two digits follows the rr rule; the NLS argument is accepted.
    EXPECT_EQ(Value("to_char(to_date('5.1.26','dd.mm.rrrr','NLS_DATE_LANGUAGE = AMERICAN'),'dd.mm.yyyy')"),
              "05.01.2026");
    EXPECT_EQ(Value("to_char(to_date('05.01.97','dd.mm.rrrr'),'dd.mm.yyyy')"), "05.01.1997");
    // A date given to to_date keeps what the mask holds: the day.
    EXPECT_EQ(Value("to_char(to_date(sysdate-2,'dd.mm.rrrr'),'dd.mm.yyyy hh24:mi:ss')"),
              "12.03.2026 00:00:00");
    // A date kept as text in the default format reads as that date.
    EXPECT_EQ(Value("to_char(to_date('2026-03-10 18:30:00','dd.mm.rrrr'),'dd.mm.yyyy')"), "10.03.2026");
    EXPECT_EQ(Value("to_char(to_date('12:30','hh24:mi'),'dd.mm.yyyy hh24:mi')"), "01.03.2026 12:30");
    EXPECT_EQ(Value("to_date(NULL,'dd.mm.yyyy') is null"), "1");
    EXPECT_TRUE(Fails("to_date('31.02.2026','dd.mm.yyyy')"));
    EXPECT_TRUE(Fails("to_date('14.03.2026 extra','dd.mm.yyyy')"));
    EXPECT_TRUE(Fails("to_date('xx.03.2026','dd.mm.yyyy')"));
}

TEST_F(FunctionsTest, NumbersAndNulls) {
    EXPECT_EQ(Value("to_char(1234)"), "1234");
    EXPECT_EQ(Value("to_char(0.5)"), ".5");
    EXPECT_EQ(Value("to_char(-12.25)"), "-12.25");
    EXPECT_EQ(Value("to_char(1234.5,'FM999G990D00')"), "1,234.50");
    EXPECT_EQ(Value("to_char(0.5,'990.99')"), "   0.50");
    EXPECT_EQ(Value("to_char(123456,'999')"), "####");
    EXPECT_EQ(Value("to_number('12.5') * 2"), "25");
    EXPECT_TRUE(Fails("to_number('12,5')"));
    EXPECT_EQ(Value("trunc(-7.9) || '/' || trunc(7.987, 2)"), "-7/7.98");
    EXPECT_EQ(Value("least(3, 1, 2) || greatest('b', 'a') || nvl(least(1, NULL), -1)"), "1b-1");
    EXPECT_EQ(Value("sign(-4) || sign(0) || sign(2.5)"), "-101");
    EXPECT_EQ(Value("decode(NULL, NULL, 'null', 'other')"), "null");
    EXPECT_EQ(Value("decode(2, 1, 'one', 2, 'two', 'many')"), "two");
    EXPECT_EQ(Value("decode(3, 1, 'one')"), "~");
    EXPECT_EQ(Value("nvl2('', 'set', 'empty')"), "empty");
}

TEST(FormatsTest, DayNumbersRoundTrip) {
    db::oracle::DateParts d{2024, 2, 29, 23, 59, 59};
    db::oracle::DateParts back = db::oracle::FromDayNumber(db::oracle::ToDayNumber(d));
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.month, 2);
    EXPECT_EQ(back.day, 29);
    EXPECT_EQ(back.hour, 23);
    EXPECT_EQ(back.minute, 59);
    EXPECT_EQ(back.second, 59);
    EXPECT_EQ(db::oracle::ToDayNumber({2000, 1, 1, 0, 0, 0}), 2451545.0);
    double parsed = 0;
    EXPECT_TRUE(db::oracle::ParseDefaultDate("2026-01-05T10:22:33", parsed));
    EXPECT_EQ(parsed, db::oracle::ToDayNumber({2026, 1, 5, 10, 22, 33}));
    EXPECT_FALSE(db::oracle::ParseDefaultDate("05.01.2026", parsed));
}

TEST(FormatsTest, ValuesThatAreNoDateOrNumberAreRefused) {
    std::string out;
    std::string error;
    double truncated = 0;
    for (double notADay : {-1.0, 5373485.0, 1e300, -1e300, static_cast<double>(NAN), static_cast<double>(INFINITY)}) {
        EXPECT_FALSE(db::oracle::IsDayNumber(notADay)) << notADay;
        EXPECT_FALSE(db::oracle::FormatDate(notADay, "dd.mm.yyyy", out, error)) << notADay;
        EXPECT_EQ(error, "date out of range");
        EXPECT_FALSE(db::oracle::TruncDate(notADay, "DD", truncated, error)) << notADay;
    }
    EXPECT_TRUE(db::oracle::FormatDate(5373484.5, "dd.mm.yyyy", out, error)) << error;
    EXPECT_EQ(out, "31.12.9999");
    EXPECT_EQ(db::oracle::FromDayNumber(NAN).year, 1970) << "no date comes of it";

    for (const char* mask : {"", "FM", "S", "$", "MI", "FMS"}) {
        EXPECT_FALSE(db::oracle::FormatNumber(1.5, mask, out, error)) << mask;
        EXPECT_EQ(error.rfind("invalid number format model", 0), 0u) << mask;
    }
    EXPECT_FALSE(db::oracle::FormatNumber(INFINITY, "999", out, error));
    EXPECT_TRUE(db::oracle::FormatNumber(-12.5, "FM990.00", out, error)) << error;
    EXPECT_EQ(out, "-12.50");
}

}  // namespace
