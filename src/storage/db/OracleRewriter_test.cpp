#include <gtest/gtest.h>

#include "platform/TempFolder.h"
#include "storage/db/OracleRewriter.h"
#include "storage/db/SqliteConnection.h"
#include "tests/support/platform/ManualClock.h"
#include "tests/support/storage/TestPms.h"

namespace {

using testpms::Pms;
using Rows = std::vector<std::string>;

// A small schema of its own: a driving table, two lookups, one with a language column.
class RewriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        pms.Run("create table OPERA.head (id number, code varchar2(10), ref number, note varchar2(20))");
        pms.Run("create table OPERA.lookup (code varchar2(10), lang varchar2(5), text varchar2(20))");
        pms.Run("create table OPERA.refs (ref_id number, parent number)");
        pms.Run("create table OPERA.parents (parent_id number, pname varchar2(20))");
        pms.Run("create table status (id number, st varchar2(1))");
        for (const char* row : {"1,'A',10,'x'", "2,'B',20,NULL", "3,'C',NULL,'z'"}) {
            pms.Run(std::string("insert into OPERA.head values (") + row + ")");
        }
        pms.Run("insert into OPERA.lookup values ('A','E','alpha')");
        pms.Run("insert into OPERA.lookup values ('A','R','alfa')");
        pms.Run("insert into OPERA.lookup values ('B','R','beta-r')");
        pms.Run("insert into OPERA.refs values (10, 100)");
        pms.Run("insert into OPERA.refs values (20, 200)");
        pms.Run("insert into OPERA.parents values (100, 'p100')");
        pms.Run("insert into status values (1, 'Y')");
    }

    Pms pms;
};

TEST_F(RewriterTest, OuterJoinKeepsRowsWithoutPartnerAndPutsLiteralConditionsIntoOn) {
    // Translations in 'E' only: B has one in 'R' alone, C none; both keep their row.
    Rows rows = pms.Rows(
        "select h.id, l.text, s.st from OPERA.head h, OPERA.lookup l, status s where (h.code=l.code(+)) and "
        "(l.lang(+)='E') and h.id=s.id(+) order by h.id");
    EXPECT_EQ(rows, (Rows{"1|alpha|Y", "2|~|~", "3|~|~"}));
}

TEST_F(RewriterTest, ChainedOuterJoinsAreOrderedByTheirOnClauses) {
    // parents is joined to refs, which is itself outer-joined; written in the other order.
    Rows rows = pms.Rows(
        "select h.id, p.pname from OPERA.parents p, OPERA.refs r, OPERA.head h where r.parent=p.parent_id(+) "
        "and "
        "h.ref=r.ref_id(+) order by h.id");
    EXPECT_EQ(rows, (Rows{"1|p100", "2|~", "3|~"}));
}

// An outer-joined table that the WHERE clause tests is joined before the others, so that a row
// the test rejects is joined no further; the rows are those of the statement as written.
TEST_F(RewriterTest, OuterJoinedTableTheWhereClauseTestsIsJoinedFirst) {
    const std::string statement =
        "select h.id, l.text, r.parent, s.st from OPERA.head h, OPERA.lookup l, OPERA.refs r, status s where "
        "h.code=l.code(+) and l.lang(+)='R' and h.ref=r.ref_id(+) and h.id=s.id(+) and (s.st is NULL or "
        "s.st!='Y') order by h.id";
    std::string sqlite;
    ASSERT_TRUE(pms.Connection().Translate(statement, sqlite)) << Pms::Errors(pms.Connection());
    size_t status = sqlite.find("LEFT JOIN status");
    size_t lookup = sqlite.find("LEFT JOIN OPERA.lookup");
    ASSERT_NE(lookup, std::string::npos) << sqlite;
    EXPECT_LT(status, lookup) << sqlite;
    EXPECT_EQ(pms.Rows(statement), (Rows{"2|beta-r|200|~", "3|~|~|~"}));
}

TEST_F(RewriterTest, UnqualifiedOuterJoinColumnsAreFoundInTheSchema) {
    Rows rows = pms.Rows(
        "select id, parent from OPERA.head, OPERA.refs where ref = ref_id (+) and parent(+) > 150 order by "
        "id");
    EXPECT_EQ(rows, (Rows{"1|~", "2|200", "3|~"}));
}

TEST_F(RewriterTest, OuterJoinInsideScalarSubSelectAndDerivedTable) {
    Rows rows = pms.Rows(
        "select h.id, (select max(p.pname) from OPERA.refs r, OPERA.parents p where r.ref_id=h.ref and "
        "r.parent=p.parent_id(+)) from OPERA.head h where h.id in (select d.id from (select id, ref from "
        "OPERA.head) "
        "d, OPERA.refs x where d.ref=x.ref_id(+) and x.parent(+)=100 and x.parent is null) order by h.id");
    EXPECT_EQ(rows, (Rows{"2|~", "3|~"}));
}

TEST_F(RewriterTest, OuterJoinedDerivedTableIsFoundByItsColumnNames) {
    // max_ref names a column of the derived table only: the join needs the derived table's own
    // select list, read after the FROM list has been taken apart.
    Rows rows = pms.Rows(
        "select h.id, r.parent from OPERA.head h, (select code, max(ref) max_ref from OPERA.head group by code) "
        "m, OPERA.refs r where h.code=m.code(+) and max_ref=r.ref_id(+) order by h.id");
    EXPECT_EQ(rows, (Rows{"1|100", "2|200", "3|~"}));
}

TEST_F(RewriterTest, NumberRunIntoAKeywordReadsAsOracleReadsIt) {
    // Oracle's tokenizer ends a number at the first letter: "1and" is "1 and".
    EXPECT_EQ(pms.Rows("select id from OPERA.head where id>=1and code<>'B' order by id"), (Rows{"1", "3"}));
    EXPECT_EQ(pms.Rows("select (select note from OPERA.head where id=1and rownum=1) from dual"), (Rows{"x"}));
}

TEST_F(RewriterTest, OneConditionMayOuterJoinOneTableOnly) {
    db::SqliteConnection c;
    ASSERT_TRUE(c.Open(pms.ConnectionString()));
    db::Recordset rows;
    EXPECT_FALSE(
        c.OpenRecordset("select h.id from OPERA.head h, OPERA.refs r, status s where h.ref=r.ref_id(+) and "
                        "r.parent(+)=s.id(+)",
                        rows));
    ASSERT_FALSE(c.Errors().empty());
    EXPECT_NE(c.Errors()[0].description.find("only one outer-joined table"), std::string::npos);
}

TEST_F(RewriterTest, RownumInScalarSubSelectTakesOneRow) {
    Rows rows = pms.Rows(
        "select h.id, nvl((select l.text from OPERA.lookup l where l.code=h.code and rownum=1),'none') from "
        "OPERA.head h order by h.id");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0] == "1|alpha" || rows[0] == "1|alfa") << rows[0];
    EXPECT_EQ(rows[1], "2|beta-r");
    EXPECT_EQ(rows[2], "3|none");
}

TEST_F(RewriterTest, RownumIsAppliedBeforeOrderBy) {
    pms.Run("create table seq (v number, name varchar2(5))");
    for (int v : {5, 4, 3, 2, 1}) {
        pms.Run("insert into seq values (" + std::to_string(v) + ", 'n" + std::to_string(v) + "')");
    }
    // Oracle takes the first two rows it reads (5 and 4) and then sorts them.
    EXPECT_EQ(pms.Rows("select name, v from seq where rownum <= 2 order by v"), (Rows{"n4|4", "n5|5"}));
    EXPECT_EQ(pms.Rows("select name from seq where 3 > rownum order by 1 desc"), (Rows{"n5", "n4"}));
    EXPECT_EQ(pms.Rows("select name from seq where rownum < 4"), (Rows{"n5", "n4", "n3"}));
    EXPECT_TRUE(pms.Rows("select name from seq where rownum = 2").empty());
}

TEST_F(RewriterTest, NullsSortAsTheHighestValue) {
    EXPECT_EQ(pms.Rows("select id from OPERA.head order by ref"), (Rows{"1", "2", "3"}));
    EXPECT_EQ(pms.Rows("select id from OPERA.head order by ref desc"), (Rows{"3", "2", "1"}));
}

TEST_F(RewriterTest, OracleOnlySyntax) {
    EXPECT_EQ(pms.Rows("select id from OPERA.head minus select id from status order by 1"), (Rows{"2", "3"}));
    // '' is NULL: it matches nothing and nvl replaces it.
    EXPECT_EQ(pms.Rows("select nvl('', 'empty'), dummy from dual"), (Rows{"empty|X"}));
    pms.Run("update OPERA.head set note = '' where id = 1");
    EXPECT_EQ(pms.Rows("select id from OPERA.head where note is null order by id"), (Rows{"1", "2"}));
    EXPECT_TRUE(pms.Rows("select id from OPERA.head where note = ''").empty());
    // Concatenation skips NULLs.
    EXPECT_EQ(pms.Rows("select code||note||'-'||to_char(id) from OPERA.head order by id"),
              (Rows{"A-1", "B-2", "Cz-3"}));
    EXPECT_EQ(pms.Rows("select count(*) from OPERA.head where id ^= 2 /* CHOOSE */"), (Rows{"2"}));
}

TEST_F(RewriterTest, EmptyInListIsRefused) {
    db::SqliteConnection c;
    ASSERT_TRUE(c.Open(pms.ConnectionString()));
    db::Recordset rows;
    EXPECT_FALSE(c.OpenRecordset("select id from OPERA.head where code in ( )", rows));
    EXPECT_TRUE(c.OpenRecordset("select id from OPERA.head where code in ('A')", rows));
    EXPECT_EQ(rows.RowCount(), 1u);
}

TEST(RewriterSchemaTest, LocalSchemaQualifiersAreDroppedAndUnqualifiedNamesWork) {
    platform::TempFolder folder;
    std::string error;
    ASSERT_TRUE(db::SqliteConnection::CreateDatabase(
        folder.File("one.db"), "create table t (a number); insert into t values (7);", error))
        << error;
    db::SqliteConnection c;
    ASSERT_TRUE(c.Open("sqlite:" + folder.File("one.db") + ";OPERA=main")) << Pms::Errors(c);
    db::Recordset rows;
    ASSERT_TRUE(c.OpenRecordset("select OPERA.t.a, a from OPERA.t", rows)) << Pms::Errors(c);
    EXPECT_EQ(Pms::Texts(rows), (Rows{"7|7"}));
    ASSERT_TRUE(c.OpenRecordset("select a from t", rows));
    EXPECT_EQ(rows.RowCount(), 1u);
}

TEST(RewriterTextTest, UntouchedStatementsStayAsWritten) {
    db::OracleRewriter rewriter;
    std::string out;
    std::string error;
    const std::string update =
        "update qel_financial_transactions set qel_fisc_status='N' where trx_no=12 and qel_fisc_status!='Y'";
    ASSERT_TRUE(rewriter.Rewrite(update, out, error)) << error;
    EXPECT_EQ(out, update);
    ASSERT_TRUE(rewriter.Rewrite("select a from b where c = 'it''s' and d=''", out, error));
    EXPECT_EQ(out, "select a from b where c = 'it''s' and d=NULL");
    EXPECT_FALSE(rewriter.Rewrite("select 'open from dual", out, error));
    EXPECT_FALSE(rewriter.Rewrite("select (1 from dual", out, error));
}

}  // namespace

namespace {

TEST(RewriterLimitTest, ParenthesesNestedBeyondOraclesLimitAreRefusedNotRecursedInto) {
    db::OracleRewriter rewriter;
    std::string out;
    std::string error;
    auto nested = [](size_t depth) {
        return "select " + std::string(depth, '(') + "1" + std::string(depth, ')') + " from dual";
    };
    EXPECT_TRUE(rewriter.Rewrite(nested(db::sql::kMaxNesting), out, error)) << error;
    EXPECT_FALSE(rewriter.Rewrite(nested(db::sql::kMaxNesting + 1), out, error));
    EXPECT_EQ(error, "parentheses nested deeper than 255 levels");
    // Deep enough to exhaust the stack of a recursive walk.
    EXPECT_FALSE(rewriter.Rewrite(nested(100000), out, error));
}

}  // namespace
