#include "shared/CLGXCheck.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Text.h"
#include "shared/GetCheckResult.h"

namespace {

// A dinner for two at table 12 as the server sends it: keys in mixed capitals, some numbers
// quoted, escaped texts, a discount, a service charge, a tender and two tax lines.
const char* const kRestaurantCheck = R"({
  "uws": 3, "RVC": 5, "cknum": "1234",
  "open_time": "2019-05-30T12:34:56", "close_time": "2019-05-30T14:02:10",
  "total": "57.60", "tremp": 17, "tremp_lname": "Ivanova", "tremp_fname": "Olga",
  "cashier": 4, "waiter": "Olga I.", "tbl": 12, "grp": 0, "gst": 2,
  "trans_void": false, "adj_check": "FALSE",
  "dtl": [
    {"type":"M","objnum":1001,"name":"Caesar salad","name2":"Salat Tsezar","qty":2,"qtf":0,
     "ttl":"24.00","tax":1,"mgnum":3,"mgname":"Food","fgnum":31,"fgname":"Salads",
     "taxpm":1,"taxps":3,"qtyname":"pcs"},
    {"type":"M","objnum":2002,"name":"House wine 0.15\/glass","qty":3,"qtf":0.45,"ttl":"27.00",
     "tax":2,"mgnum":4,"mgname":"Beverages","agenttype":4,"supplName":"Vina \"Yug\"",
     "supplINN":"7701234567","supplPhone":"+7 495 000-00-00","excisemark":"EX-42"},
    {"type":"D","objnum":9001,"name":"Happy hour -10%","qty":1,"ttl":"-5.10","tax":1},
    {"type":"S","objnum":9500,"name":"Service 12.5%","qty":1,"ttl":"6.30","tax":0},
    {"type":"T","objnum":1,"name":"Visa","ttl":"57.60"}
  ],
  "tax": [
    {"type":"A","taxnum":1,"name":"VAT 20%","rate":20,"ttl":"3.15","txbl":"18.90"},
    {"type":"I","taxnum":2,"name":"VAT 10%","rate":10,"ttl":"2.45","txbl":"24.55"},
    {"type":"A","taxnum":3,"name":"No VAT","rate":0,"ttl":"0.00","txbl":"0.00"}
  ]
})";

TEST(CLGXCheckTest, ReadsARestaurantCheck) {
    CLGXCheck check(kRestaurantCheck);
    EXPECT_EQ(check.uws, 3);
    EXPECT_EQ(check.rvc, 5);
    EXPECT_EQ(check.cknum, 1234);
    EXPECT_EQ(check.open_time, "2019-05-30T12:34:56");
    EXPECT_EQ(check.total, "57.60");
    EXPECT_DOUBLE_EQ(check.totalValue, 57.6);
    EXPECT_EQ(check.tremp_lname, "Ivanova");
    EXPECT_EQ(check.waiter, "Olga I.");
    EXPECT_EQ(check.tbl, 12);
    EXPECT_EQ(check.gst, 2);
    EXPECT_FALSE(check.trans_void);
    EXPECT_FALSE(check.adj_check);
    ASSERT_EQ(check.dtl.size(), 5u);
    const DTL& salad = check.dtl[0];
    EXPECT_EQ(salad.type, 'M');
    EXPECT_EQ(salad.objnum, 1001u);
    EXPECT_EQ(salad.name2, "Salat Tsezar");
    EXPECT_EQ(salad.qty, 2);
    EXPECT_DOUBLE_EQ(salad.qtf, 2.0);  // a zero fraction quantity takes qty
    EXPECT_EQ(salad.ttl, "24.00");
    EXPECT_DOUBLE_EQ(salad.ttlValue, 24.0);
    EXPECT_EQ(salad.fgname, "Salads");
    EXPECT_EQ(salad.taxps, 3);
    EXPECT_EQ(salad.qtyname, "pcs");
    const DTL& wine = check.dtl[1];
    EXPECT_EQ(wine.name, "House wine 0.15/glass");
    EXPECT_DOUBLE_EQ(wine.qtf, 0.45);
    EXPECT_EQ(wine.supplname, "Vina \"Yug\"");
    EXPECT_EQ(wine.supplinn, "7701234567");
    EXPECT_EQ(wine.excisemark, "EX-42");
    EXPECT_DOUBLE_EQ(check.dtl[2].ttlValue, -5.1);
    EXPECT_EQ(check.dtl[4].type, 'T');
    ASSERT_EQ(check.tax.size(), 3u);
    EXPECT_EQ(check.tax[1].type, 'I');
    EXPECT_DOUBLE_EQ(check.tax[1].rate, 10.0);
    EXPECT_EQ(check.tax[1].txbl, "24.55");
}

TEST(CLGXCheckTest, RoundTripThroughTheWriterKeepsWhatItWrites) {
    CLGXCheck original(kRestaurantCheck);
    std::string dump(8192, '\0');
    original.ToJson(dump.data(), dump.size());
    CLGXCheck again(dump.c_str());
    EXPECT_EQ(again.rvc, original.rvc);
    EXPECT_EQ(again.cknum, original.cknum);
    EXPECT_EQ(again.close_time, original.close_time);
    EXPECT_EQ(again.totalValue, original.totalValue);
    EXPECT_EQ(again.tremp, original.tremp);
    EXPECT_EQ(again.tremp_fname, original.tremp_fname);
    EXPECT_EQ(again.waiter, original.waiter);
    ASSERT_EQ(again.dtl.size(), original.dtl.size());
    for (size_t i = 0; i < again.dtl.size(); ++i) {
        const DTL& a = again.dtl[i];
        const DTL& b = original.dtl[i];
        EXPECT_EQ(a.type, b.type) << i;
        EXPECT_EQ(a.objnum, b.objnum) << i;
        EXPECT_EQ(a.name, b.name) << i;
        EXPECT_EQ(a.name2, b.name2) << i;
        EXPECT_EQ(a.ttl, b.ttl) << i;
        EXPECT_EQ(a.ttlValue, b.ttlValue) << i;
        EXPECT_EQ(a.supplname, b.supplname) << i;
        EXPECT_EQ(a.supplphone, b.supplphone) << i;
        EXPECT_EQ(a.excisemark, b.excisemark) << i;
        EXPECT_EQ(a.taxps, 0) << "never written";
        EXPECT_TRUE(a.qtyname.empty()) << "never written";
    }
    EXPECT_EQ(again.dtl[1].qtf, 0.45);
    EXPECT_EQ(again.dtl[2].qty, 1);
    EXPECT_EQ(again.dtl[4].qty, 0) << "a tender line carries its total only";
    // The zero tax line is left out of the dump.
    ASSERT_EQ(again.tax.size(), 2u);
    EXPECT_EQ(again.tax[0].name, "VAT 20%");
    EXPECT_EQ(again.tax[1].rate, 10.0);
}

TEST(CLGXCheckTest, KeysInCapitalsWithQuotedNumbers) {
    DTL line(R"({"QTY":"3","qtf":0,"Type":"M","OBJNUM":"77"})");
    EXPECT_EQ(line.qty, 3);
    EXPECT_DOUBLE_EQ(line.qtf, 3.0);
    EXPECT_EQ(line.type, 'M');
    EXPECT_EQ(line.objnum, 77u);
}

TEST(CLGXCheckTest, FlagsAreTrueOnlyForTheWordTrue) {
    struct Case {
        const char* json;
        bool expected;
    } cases[] = {
        {R"({"trans_void":TRUE})", true},
        {R"({"trans_void":"TRUE"})", true},
        {R"({"trans_void":true})", true},
        {R"({"trans_void":1})", false},
        {R"({"trans_void":"yes"})", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CLGXCheck(c.json).trans_void, c.expected) << c.json;
    }
}

std::string Objects(size_t count, const char* object) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += (i ? "," : "") + text::FormatDynamic(object, static_cast<int>(i));
    }
    return text;
}

TEST(CLGXCheckTest, ArraysAndMembersAreCapped) {
    CLGXCheck check("{\"dtl\":[" + Objects(1001, "{\"type\":\"M\",\"objnum\":%d}") + "],\"tax\":[" +
                    Objects(21, "{\"type\":\"A\",\"taxnum\":%d}") + "]}");
    ASSERT_EQ(check.dtl.size(), 1000u);
    EXPECT_EQ(check.dtl.back().objnum, 999u);
    ASSERT_EQ(check.tax.size(), 20u);
    EXPECT_EQ(check.tax.back().taxnum, 19);

    // 100 unknown members, then a known one: only the first 100 members are read.
    std::string members;
    for (int i = 0; i < 100; ++i) {
        members += text::Format("\"x%d\":%d,", i, i);
    }
    EXPECT_EQ(CLGXCheck("{" + members + "\"gst\":4}").gst, 0);
    EXPECT_EQ(CLGXCheck("{" + members.substr(members.find(',') + 1) + "\"gst\":4}").gst, 4);
}

TEST(CLGXCheckTest, LaterKeysOverwriteAndArraysAccumulate) {
    CLGXCheck check(R"({"tbl":1,"dtl":[{"objnum":1}],"tbl":2,"dtl":[{"objnum":2},{"objnum":3}]})");
    EXPECT_EQ(check.tbl, 2);
    ASSERT_EQ(check.dtl.size(), 3u);
    check.FromJson(R"({"dtl":[{"objnum":4}]})");
    EXPECT_EQ(check.dtl.size(), 4u) << "reading into a record adds to it";
    EXPECT_EQ(check.tbl, 2);
    check.Clear();
    EXPECT_TRUE(check.dtl.empty());
    EXPECT_EQ(check.tbl, 0);
}

TEST(CLGXCheckTest, AmountsThatAreNoDecimalNumbersReadAsZeroAndKeepTheirText) {
    CLGXCheck check(R"({"total":"nan","dtl":[)"
                    R"({"type":"M","ttl":"inf","qty":2,"qtf":"NaN"},)"
                    R"({"type":"M","ttl":"-Infinity"},)"
                    R"({"type":"M","ttl":"0x10","qtf":"0x1p4"},)"
                    R"({"type":"M","ttl":"1e999"},)"
                    R"({"type":"M","ttl":"25.50"}],)"
                    R"("tax":[{"type":"A","rate":"inf","txbl":"10.00"}]})");
    EXPECT_EQ(check.total, "nan");
    EXPECT_EQ(check.totalValue, 0.0);
    ASSERT_EQ(check.dtl.size(), 5u);
    const double amounts[] = {0.0, 0.0, 0.0, 0.0, 25.5};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(check.dtl[i].ttlValue, amounts[i]) << check.dtl[i].ttl;
    }
    EXPECT_EQ(check.dtl[0].ttl, "inf");
    EXPECT_EQ(check.dtl[0].qtf, 2.0) << "a quantity that is no number is 0, so the integer one counts";
    EXPECT_EQ(check.dtl[2].qtf, 0.0);
    ASSERT_EQ(check.tax.size(), 1u);
    EXPECT_EQ(check.tax[0].rate, 0.0);
}

TEST(CLGXCheckTest, MalformedInputGivesAPartialRecord) {
    CLGXCheck check(R"({"rvc":5,"cknum":12,"dtl":[{"objnum":1},{"objnum":)");
    EXPECT_EQ(check.rvc, 5);
    EXPECT_EQ(check.cknum, 12);
    EXPECT_FALSE(check.dtl.empty());
    CLGXCheck empty("");
    EXPECT_TRUE(empty.dtl.empty());
    EXPECT_EQ(empty.rvc, 0);
}

TEST(CLGXCheckTest, DumpLeavesOutOnlyTheExactZeroTaxableAmount) {
    CLGXCheck check;
    TAX zero;
    zero.type = 'A';
    zero.name = "zero";
    zero.txbl = "0.00";
    TAX almost = zero;
    almost.name = "almost";
    almost.txbl = "0.0";
    TAX other = zero;
    other.type = 'X';
    other.name = "other";
    other.txbl = "5.00";
    check.tax = {zero, almost, other};
    char dump[1024];
    const std::string text = check.ToJson(dump, sizeof dump);
    EXPECT_EQ(text.find("\"zero\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"almost\""), std::string::npos) << text;
    EXPECT_EQ(text.find("\"other\""), std::string::npos) << text;
}

TEST(CLGXCheckTest, DumpWritesTheArraysWithCommasBetweenObjects) {
    CLGXCheck check;
    check.rvc = 5;
    check.cknum = 1234;
    check.total = "3.00";
    DTL line;
    line.type = 'T';
    line.objnum = 1;
    line.ttl = "3.00";
    check.dtl = {line, line};
    TAX tax;
    tax.type = 'I';
    tax.txbl = "3.00";
    check.tax = {tax};
    char dump[1024];
    EXPECT_STREQ(check.ToJson(dump, sizeof dump),
                 R"({"uws":0,"rvc":5,"cknum":1234,"open_time":"","close_time":"","total":"3.00","cashier":0,)"
                 R"("tbl":0,"grp":0,"gst":0,"trans_void":false,"adj_check":false,)"
                 R"("dtl":[{"type":"T","objnum":1,"name":"","ttl":"3.00"},{"type":"T","objnum":1,"name":"","ttl":"3.00"}],)"
                 R"("tax":[{"type":"I","taxnum":0,"name":"","rate":0.000000,"ttl":"","txbl":"3.00"}]})");
}

TEST(DTLWriterTest, MembersDependOnTheLineType) {
    DTL line;
    line.objnum = 5;
    line.name = "x";
    line.qty = 1;
    line.qtf = 1;
    line.ttl = "2.00";
    line.mgnum = 3;
    line.mgname = "Food";
    line.agenttype = 1;
    line.supplname = "S";
    line.taxps = 9;
    char buffer[512];
    struct Case {
        char type;
        const char* expected;
    } cases[] = {
        {'M', R"({"type":"M","objnum":5,"name":"x","qty":1,"qtf":1.000000,"ttl":"2.00","tax":0,"mgnum":3,)"
              R"("mgname":"Food","agenttype":1,"supplName":"S"})"},
        {'D', R"({"type":"D","objnum":5,"name":"x","qty":1,"qtf":1.000000,"ttl":"2.00","tax":0})"},
        {'S', R"({"type":"S","objnum":5,"name":"x","qty":1,"qtf":1.000000,"ttl":"2.00","tax":0})"},
        {'T', R"({"type":"T","objnum":5,"name":"x","ttl":"2.00"})"},
        {'R', R"({"type":"R","objnum":5,"name":"x"})"},
    };
    for (const Case& c : cases) {
        line.type = c.type;
        EXPECT_STREQ(line.ToJson(buffer, sizeof buffer), c.expected) << c.type;
    }
}

TEST(GetCheckResultTest, CodeIsASigned32BitIntegerAtOffsetZero) {
    GetCheckResult result;
    static_assert(std::is_same_v<decltype(result.code), int32_t>);
    EXPECT_EQ(static_cast<void*>(&result.code), static_cast<void*>(&result));
    EXPECT_EQ(result.code, 0);
}

}  // namespace
