#include "storage/SqlFormat.h"

#include <gtest/gtest.h>

#include <tuple>

#include "storage/CQELFiscal.h"
#include "storage/CRecordBinding.h"
#include "tests/support/storage/TestPms.h"

namespace {

using sqlformat::Arg;

// True when every run of apostrophes in the text has an even length.
bool AllRunsEven(const std::string& text) {
    size_t run = 0;
    for (char c : text + "x") {
        if (c == '\'') {
            ++run;
        } else if (run % 2 != 0) {
            return false;
        } else {
            run = 0;
        }
    }
    return true;
}

TEST(SqlFormatTest, QuoteDoublesEveryApostropheAndQuoteFieldUndoesTheFieldsDoubling) {
    // in, quoted as a raw text, quoted as a check field (doubled by SetField, or set directly)
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"O'Brien", "O''Brien", "O''Brien"},
        {"O''Brien", "O''''Brien", "O''Brien"},  // the field of O'Brien
        {"It''''s", "It''''''''s", "It''''s"},   // the field of the PMS text It''s
        {"'", "''", "''"},
        {"'''", "''''''", "''''"},
        {"it's a 'test'", "it''s a ''test''", "it''s a ''test''"},
        {"", "", ""},
        {"x'); drop table t; --", "x''); drop table t; --", "x''); drop table t; --"},
    };
    for (const auto& [in, raw, field] : cases) {
        EXPECT_EQ(sqlformat::Quote(in), raw) << in;
        EXPECT_EQ(sqlformat::QuoteField(in), field) << in;
        // Either way the literal cannot end inside the text.
        EXPECT_TRUE(AllRunsEven(sqlformat::Quote(in)) && AllRunsEven(sqlformat::QuoteField(in))) << in;
    }
    EXPECT_EQ(sqlformat::LineText("10% off, Guest's"), "10# off, Guest''s");
    EXPECT_EQ(sqlformat::LineText("It''s"), "It''''s");
}

TEST(SqlFormatTest, ConversionsTakeTypedValues) {
    std::string out;
    std::string error;
    ASSERT_TRUE(sqlformat::Format("a=%d, b='%s', c=%f, d=%.2f, e=%s, f=%s, g=%s, 100%%",
                                  {Arg::Int(-7), Arg::Text("it's"), Arg::Real(12.5), Arg::Real(0.125),
                                   Arg::Number("-3.5"), Arg::NumberOrNull("abc"), Arg::Raw("('1','2')")},
                                  out, error))
        << error;
    // %f and %.2f are written with std::to_chars, which no locale changes.
    EXPECT_EQ(out, "a=-7, b='it''s', c=12.500000, d=0.12, e=-3.5, f=NULL, g=('1','2'), 100%");
    // A value of the wrong kind, a missing or extra value, or a text that is no number all fail.
    EXPECT_FALSE(sqlformat::Format("%d", {Arg::Text("1")}, out, error));
    EXPECT_FALSE(sqlformat::Format("%s", {Arg::Int(1)}, out, error));
    EXPECT_FALSE(sqlformat::Format("%s %s", {Arg::Raw("x")}, out, error));
    EXPECT_FALSE(sqlformat::Format("%s", {Arg::Raw("x"), Arg::Raw("y")}, out, error));
    EXPECT_FALSE(sqlformat::Format("bill_no=%s", {Arg::Number("1 or 1=1")}, out, error));
    EXPECT_FALSE(sqlformat::Format("%x", {Arg::Int(1)}, out, error));
    // A "%" that came in with a value is never read as a conversion.
    ASSERT_TRUE(sqlformat::Format("'%s'", {Arg::Text("%d%s")}, out, error));
    EXPECT_EQ(out, "'%d%s'");
}

// A binding of one text of size 4 and one integer.
class SmallBinding : public CRecordBinding {
public:
    const BindingTable& GetBindingTable() const override {
        static const BindingTable table = Numbered({TextColumn(4), IntegerColumn(), DoubleColumn(12, 8)});
        return table;
    }
};

TEST(RecordBindingTest, ValuesAreReadAsTheirColumnType) {
    db::Recordset rows;
    rows.Reset({"a", "b", "c"});
    rows.AddRow(
        {db::Value::Of(std::string("abcdef")), db::Value::Of(std::string("12")), db::Value::Of(int64_t{3})});
    rows.AddRow({db::Value::Of(std::string("aдом")), db::Value::Of(int64_t{5000000000}),
                 db::Value::Of(std::string("x"))});
    rows.AddRow({db::Value::Null(), db::Value::Of(2.6), db::Value::Of(std::string(".5"))});
    rows.AddRow({db::Value::Of(int64_t{7})});  // a short row
    SmallBinding b;
    b.Read(rows);
    EXPECT_EQ(b.Text(1), "abcd");
    EXPECT_EQ(b.Status(1), db::FieldStatus::Truncated);
    EXPECT_TRUE(b.IsPresent(1));
    EXPECT_EQ(b.Integer(2), 12);
    EXPECT_EQ(b.Double(3), 3.0);
    rows.MoveNext();
    b.Read(rows);
    // Four bytes of "aдом" would split its third letter: the cut keeps whole letters.
    EXPECT_EQ(b.Text(1), "aд");
    EXPECT_EQ(b.Status(2), db::FieldStatus::CantConvert);  // beyond 32 bits
    EXPECT_FALSE(b.IsPresent(3));
    rows.MoveNext();
    b.Read(rows);
    EXPECT_EQ(b.Status(1), db::FieldStatus::Null);
    EXPECT_EQ(b.Integer(2), 3);
    EXPECT_EQ(b.Double(3), 0.5);
    rows.MoveNext();
    b.Read(rows);
    EXPECT_EQ(b.Text(1), "7");
    EXPECT_EQ(b.Status(2), db::FieldStatus::Null);
    EXPECT_FALSE(b.AnyTruncated());
}

TEST(RecordBindingTest, BindingTablesOfTheQueries) {
    testpms::Storage storage;
    EXPECT_EQ(storage.recPayment.GetBindingTable().size(), 45u);
    EXPECT_EQ(storage.recPayment.GetBindingTable()[20].size, 2000u);  // fin.reference
    EXPECT_EQ(storage.requestCheckNumber.GetBindingTable()[1].size, 61u);
    EXPECT_EQ(storage.qelFiscal.GetBindingTable()[1].size, 25u);
    EXPECT_EQ(storage.qelFiscal.templates.size(), static_cast<size_t>(CQELFiscal::TemplateCount));
    EXPECT_EQ(storage.recPayment.templates.size(), static_cast<size_t>(CRecPayment::TemplateCount));
    EXPECT_EQ(storage.blockPayments.GetBindingTable().size(), 2u);
    EXPECT_EQ(storage.blockPayments.templates.size(), static_cast<size_t>(CQBlockPayments::TemplateCount));
    EXPECT_EQ(storage.guestInfo.GetBindingTable().size(), 7u);
}

}  // namespace
