// The ODBC driver against Debian's SQLite ODBC driver (libsqliteodbc), registered in a private
// odbcinst.ini, so that no root rights and no system set-up are needed. Statements here are
// dialect-neutral: the ODBC path passes every statement to the driver unchanged.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/Environment.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "storage/CF8Monitoring.h"
#include "storage/CQELFiscal.h"
#include "storage/db/CreateConnection.h"
#include "storage/db/OdbcConnection.h"
#include "storage/db/SqliteConnection.h"
#include "tests/support/storage/TestPms.h"

namespace {

using testpms::Pms;
using Rows = std::vector<std::string>;

std::string FindSqliteOdbcDriver() {
    std::vector<std::string> candidates;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib", ignored)) {
        candidates.push_back(entry.path().string() + "/odbc/libsqlite3odbc.so");
    }
    candidates.push_back("/usr/lib/odbc/libsqlite3odbc.so");
    candidates.push_back("/usr/local/lib/libsqlite3odbc.so");
    for (const std::string& c : candidates) {
        if (std::filesystem::exists(c, ignored)) {
            return c;
        }
    }
    return "";
}

// One private driver registration for the whole suite.
class OdbcTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        driver = FindSqliteOdbcDriver();
        ASSERT_FALSE(driver.empty())
            << "libsqlite3odbc.so not found: install libsqliteodbc (scripts/setup.sh)";
        registry = new platform::TempFolder();
        ASSERT_TRUE(platform::WriteFile(
            registry->File("odbcinst.ini"),
            "[FiscoraSQLite3]\nDescription=SQLite3 for the Fiscora tests\nDriver=" + driver + "\n"));
        ASSERT_TRUE(platform::WriteFile(registry->File("odbc.ini"), ""));
        platform::SetEnv("ODBCSYSINI", registry->Path());
        platform::SetEnv("ODBCINI", registry->File("odbc.ini"));
    }
    static void TearDownTestSuite() {
        delete registry;
        registry = nullptr;
    }

    std::string ConnectionString(const std::string& file) const {
        return "DRIVER={FiscoraSQLite3};Database=" + file;
    }

    static std::string driver;
    static platform::TempFolder* registry;
    platform::TempFolder folder;
};

std::string OdbcTest::driver;
platform::TempFolder* OdbcTest::registry = nullptr;

TEST_F(OdbcTest, EveryColumnTypeWithItsNullStatus) {
    db::OdbcConnection c;
    ASSERT_TRUE(c.Open(ConnectionString(folder.File("types.db")))) << Pms::Errors(c);
    ASSERT_TRUE(
        c.Execute("create table t (i integer, r double, d numeric(10,2), s varchar(50), b varchar(10))"))
        << Pms::Errors(c);
    ASSERT_TRUE(c.Execute("insert into t values (42, 2.5, 12.34, 'O''Neil', NULL)")) << Pms::Errors(c);
    std::string big(10000, 'z');
    ASSERT_TRUE(c.Execute("insert into t values (NULL, NULL, NULL, '" + big + "', 'x')"));
    db::Recordset rows;
    ASSERT_TRUE(c.OpenRecordset("select i, r, d, s, b from t order by i desc", rows)) << Pms::Errors(c);
    ASSERT_EQ(rows.RowCount(), 2u);
    ASSERT_EQ(rows.ColumnCount(), 5u);
    int64_t i = 0;
    double r = 0;
    double d = 0;
    std::string s;
    EXPECT_EQ(rows.GetInteger(0, i), db::FieldStatus::Ok);
    EXPECT_EQ(i, 42);
    EXPECT_EQ(rows.GetDouble(1, r), db::FieldStatus::Ok);
    EXPECT_EQ(r, 2.5);
    EXPECT_EQ(rows.GetDouble(2, d), db::FieldStatus::Ok);
    EXPECT_DOUBLE_EQ(d, 12.34);
    EXPECT_EQ(rows.GetText(3, s), db::FieldStatus::Ok);
    EXPECT_EQ(s, "O'Neil");
    EXPECT_EQ(rows.GetText(4, s), db::FieldStatus::Null);
    rows.MoveNext();
    EXPECT_EQ(rows.GetInteger(0, i), db::FieldStatus::Null);
    EXPECT_EQ(rows.GetDouble(1, r), db::FieldStatus::Null);
    EXPECT_EQ(rows.GetText(3, s), db::FieldStatus::Ok);
    EXPECT_EQ(s, big);  // read in several pieces
    EXPECT_EQ(rows.GetInteger(4, i), db::FieldStatus::CantConvert);
}

TEST_F(OdbcTest, BindingReadsAndCutsTexts) {
    db::OdbcConnection c;
    ASSERT_TRUE(c.Open(ConnectionString(folder.File("bind.db"))));
    ASSERT_TRUE(c.Execute("create table q (bill varchar(20), title varchar(60), trx integer)"));
    ASSERT_TRUE(c.Execute("insert into q values ('5001', '" + std::string(30, 't') + "', 1002)"));
    db::Recordset rows;
    ASSERT_TRUE(c.OpenRecordset("select bill, title, trx from q", rows));
    testpms::Storage storage;
    CQELFiscal& qel = storage.qelFiscal;
    qel.Read(rows);
    EXPECT_EQ(qel.Text(1), "5001");
    EXPECT_EQ(qel.Status(2), db::FieldStatus::Truncated);
    EXPECT_EQ(qel.Text(2), std::string(25, 't'));
    EXPECT_EQ(qel.Integer(3), 1002);
    EXPECT_TRUE(qel.AnyTruncated());
}

TEST_F(OdbcTest, StatementsGoUnchangedAndFailuresReconnect) {
    testpms::Log log(folder);
    testpms::FakeConfiguration config;
    config.values = {{"//fidelio_ini/base_access", ConnectionString(folder.File("pms.db"))}};
    testpms::Storage storage;
    storage.SetLogFile(&log.log);
    storage.SetSideFileFolder(folder.Path());
    ASSERT_TRUE(storage.Open(config));
    ASSERT_TRUE(storage.Execute(
        "create table qel_code_convertion (pms_code integer, printer_code integer, description "
        "varchar(200))"))
        << storage.GetLastError();
    // No Oracle rewriting on this path: the driver sees the (+) and refuses it.
    db::Recordset rows;
    EXPECT_FALSE(
        storage.OpenRecordset("select a.pms_code from qel_code_convertion a, qel_code_convertion b where "
                              "a.pms_code=b.pms_code(+)",
                              rows));
    EXPECT_TRUE(log.Has("Reading failure"));
    EXPECT_TRUE(log.Has("b.pms_code(+)"));
    EXPECT_FALSE(storage.GetLastError().empty());
    EXPECT_NE(storage.GetLastError().find("["), std::string::npos) << storage.GetLastError();  // the SQLSTATE
    EXPECT_FALSE(storage.IsConnected());
    // The next statement connects again; the printer codes work over ODBC too.
    EXPECT_EQ(storage.GetPrinterCode(7, "Bar"), 2);
    EXPECT_TRUE(storage.IsConnected());
    EXPECT_EQ(storage.GetPrinterCode(8, "Kitchen's"), 3);
    EXPECT_EQ(storage.GetPrinterCode(7, ""), 2);
    EXPECT_FALSE(storage.Execute("insert into no_such_table values (1)"));
    EXPECT_TRUE(log.Has("Executing failure"));
    EXPECT_FALSE(storage.IsConnected());
    ASSERT_TRUE(storage.OpenRecordset("select description from qel_code_convertion order by pms_code", rows));
    EXPECT_EQ(Pms::Texts(rows), (Rows{"Bar", "Kitchen's"}));
}

TEST_F(OdbcTest, SuiteEightStatementsReachTheDriverAsWritten) {
    testpms::Log log(folder);
    testpms::FakeConfiguration config;
    config.values = {{"//fidelio_ini/base_access", ConnectionString(folder.File("suite8.db"))},
                     {"//fidelio_ini/government_code", "1"}};
    config.lists["//pay_mode/pay[@code='xxxx']/print"] = {{9000, "1"}, {9004, "2"}};
    config.version = 2;
    CF8Monitoring storage;
    storage.SetLogFile(&log.log);
    storage.SetSideFileFolder(folder.Path());
    ASSERT_TRUE(storage.Open(config));
    ASSERT_TRUE(storage.Execute(
        "create table zdco (zdco_id integer, zdco_numericdesc integer, zdco_foliotext varchar(60), zdco_govcode "
        "varchar(200), zdco_disabled_prearr integer, zdco_disabled_billing integer)"));
    ASSERT_TRUE(storage.Execute("insert into zdco values (1, 9000, 'Cash', '1,2', 0, 0)"));
    ASSERT_TRUE(storage.Execute("insert into zdco values (2, 1000, 'Room', '3', 0, 0)"));
    // Statements in the common dialect run as they are: blocking and the government codes.
    ASSERT_TRUE(storage.BlockPayments(true, "")) << storage.GetLastError();
    db::Recordset rows;
    ASSERT_TRUE(storage.OpenRecordset(
        "select zdco_numericdesc, zdco_disabled_prearr, zdco_disabled_billing from zdco order by 1", rows));
    EXPECT_EQ(Pms::Texts(rows), (Rows{"1000|0|0", "9000|1|1"}));
    storage.ReadGovernmentCodes();
    EXPECT_EQ(storage.governmentCodes, (std::map<std::string, std::string>{{"1000", "*3*"}, {"9000", "*1**2*"}}));
    // An Oracle statement is not rewritten on this path: the driver sees its outer joins.
    std::vector<CFiscalCheck> checks;
    storage.GetChecks(checks);
    EXPECT_TRUE(checks.empty());
    EXPECT_TRUE(log.Has("Reading failure"));
    EXPECT_TRUE(log.Has("(zpos_id=qel.trx_no(+))"));
}

#ifdef FISCORA_ORACLE_SQLITE_EXT
// A Czech status row through the ODBC path: the statement goes to the driver as Oracle gets it,
// and its business date must read as the sale's date and time whatever the session's date format
// is, or later date comparisons pass the row over.
TEST_F(OdbcTest, ACzechSaleTimeReachesTheDriverAsADateOfItsDay) {
    Pms pms(false);
    testpms::Log log(folder);
    testpms::FakeConfiguration config;
    config.values = {{"//fidelio_ini/base_access",
                      "DRIVER={FiscoraSQLite3};Database=" + pms.OwnFile() + ";LoadExt=" + FISCORA_ORACLE_SQLITE_EXT}};
    testpms::Storage storage;
    storage.SetLogFile(&log.log);
    storage.SetSideFileFolder(folder.Path());
    struct Case {
        int printerType;
        int trxNo;
        const char* billDate;
        const char* stored;
    } cases[] = {
        {10, 1002, "2026-03-14T23:10:05+01:00", "14.03.2026 23:10:05"},
        // Without a sale time the payment's business date, as on every other printer.
        {10, 1003, "", "14.03.2026 00:00:00"},
        {7, 1004, "2026-03-14T23:10:05+01:00", "14.03.2026 00:00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.trxNo);
        config.printerType = c.printerType;
        ASSERT_TRUE(storage.Open(config));
        CFiscalCheck check;
        check.statusCode = kBillCheck;
        check.checkNumber = "5001";
        check.receiptNumber = "7001";
        check.folioNumber = "123456";
        check.billDate = c.billDate;
        struct_posting payment;
        payment.trx_no = c.trxNo;
        payment.trx_code = 9000;
        payment.trx_amount = -60;
        payment.description = "Cash";
        payment.cashier_id = "7";
        payment.business_date = "14.03.2026";
        check.payments = {payment};
        ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered))
            << storage.GetLastError();
        EXPECT_EQ(pms.Rows(text::Format("select to_char(business_date,'dd.mm.yyyy hh24:mi:ss') from "
                                        "qel_financial_transactions where trx_no=%d",
                                        c.trxNo)),
                  (Rows{c.stored}));
    }
    // Every row is a date of that day for the comparisons of the stand-in and of Oracle alike.
    EXPECT_EQ(pms.Rows("select count(*) from qel_financial_transactions where business_date >= "
                       "to_date('14.03.2026','dd.mm.yyyy') and business_date < to_date('15.03.2026','dd.mm.yyyy')"),
              (Rows{"3"}));
    EXPECT_FALSE(log.Has("Executing failure"));
}
#endif

TEST_F(OdbcTest, ConnectFailuresCollectTheDriverManagersMessages) {
    db::OdbcConnection c;
    EXPECT_FALSE(c.Open("DRIVER={NoSuchFiscoraDriver};Database=x"));
    ASSERT_FALSE(c.Errors().empty());
    EXPECT_NE(c.Errors()[0].number, 0);
    EXPECT_FALSE(c.IsOpen());
    EXPECT_FALSE(c.Execute("select 1"));

    testpms::FakeConfiguration config;
    config.values = {{"//fidelio_ini/base_access", ConnectionString(folder.File("no/such/folder/pms.db"))}};
    testpms::Storage storage;
    storage.SetSideFileFolder(folder.Path());
    ASSERT_TRUE(storage.Open(config));
    EXPECT_FALSE(storage.Execute("select 1"));
    EXPECT_TRUE(text::StartsWith(storage.GetLastError(), "Oracle connect problem."))
        << storage.GetLastError();
    std::filesystem::create_directories(folder.File("no/such/folder"));
    EXPECT_TRUE(storage.Execute("create table t (a integer)")) << storage.GetLastError();
}

}  // namespace

// The status command reads through such connections while the service writes: not one statement
// of theirs may change the database, whatever the driver.
TEST_F(OdbcTest, ReadOnlyConnectionsOfBothDriversChangeNothing) {
    std::string file = folder.File("ro.db");
    {
        db::OdbcConnection writer;
        ASSERT_TRUE(writer.Open(ConnectionString(file)));
        ASSERT_TRUE(writer.Execute("create table t (n integer)"));
        ASSERT_TRUE(writer.Execute("insert into t values (1)"));
    }
    for (const std::string& connectionString : {ConnectionString(file), "sqlite:" + file}) {
        SCOPED_TRACE(connectionString);
        std::unique_ptr<db::Connection> c = db::CreateConnection(connectionString);
        c->SetReadOnly();
        ASSERT_TRUE(c->Open(connectionString)) << Pms::Errors(*c);
        EXPECT_FALSE(c->Execute("insert into t values (2)"));
        ASSERT_FALSE(c->Errors().empty());
        EXPECT_EQ(c->Errors()[0].description, "the connection is read-only: statement not run");
        // A change slipped in as a query is refused by the driver or rolled back at the close.
        db::Recordset ignored;
        c->OpenRecordset("delete from t", ignored);
        c->Close();
        db::OdbcConnection reader;
        ASSERT_TRUE(reader.Open(ConnectionString(file)));
        db::Recordset rows;
        ASSERT_TRUE(reader.OpenRecordset("select count(*) from t", rows));
        EXPECT_EQ(Pms::Texts(rows), Rows{"1"});
    }
}

// Both drivers keep what they prepared, by the statement's text. A kept statement must read the
// database as it is at each run, hold no lock between runs, run again after it failed, and go
// with its connection.
TEST_F(OdbcTest, KeptStatementsOfBothDriversRunAfreshEachTime) {
    std::string file = folder.File("kept.db");
    db::OdbcConnection other;
    ASSERT_TRUE(other.Open(ConnectionString(file) + ";Timeout=2000"));
    ASSERT_TRUE(other.Execute("create table t (n integer primary key)"));
    db::OdbcConnection odbc;
    db::SqliteConnection sqlite;
    struct Driver {
        db::Connection& connection;
        std::string connectionString;
        std::function<size_t()> prepared;
    } drivers[] = {
        {odbc, ConnectionString(file) + ";Timeout=2000", [&] { return odbc.PreparedCount(); }},
        {sqlite, "sqlite:" + file, [&] { return sqlite.PreparedCount(); }},
    };
    for (Driver& d : drivers) {
        SCOPED_TRACE(d.connectionString);
        db::Connection& c = d.connection;
        ASSERT_TRUE(other.Execute("delete from t"));
        ASSERT_TRUE(other.Execute("insert into t values (1)"));
        ASSERT_TRUE(c.Open(d.connectionString)) << Pms::Errors(c);
        const std::string select = "select n from t order by n";
        db::Recordset rows;
        ASSERT_TRUE(c.OpenRecordset(select, rows)) << Pms::Errors(c);
        EXPECT_EQ(Pms::Texts(rows), Rows{"1"});
        // Another connection writes between two runs: the kept statement holds no lock and sees it.
        ASSERT_TRUE(other.Execute("insert into t values (2)")) << Pms::Errors(other);
        ASSERT_TRUE(c.OpenRecordset(select, rows)) << Pms::Errors(c);
        EXPECT_EQ(Pms::Texts(rows), (Rows{"1", "2"}));
        EXPECT_EQ(d.prepared(), 1u);
        // A statement that failed runs again once the database lets it.
        const std::string insert = "insert into t values (3)";
        ASSERT_TRUE(other.Execute(insert));
        EXPECT_FALSE(c.Execute(insert));
        ASSERT_TRUE(other.Execute("delete from t where n=3"));
        EXPECT_TRUE(c.Execute(insert)) << Pms::Errors(c);
        EXPECT_EQ(d.prepared(), 2u);
        // Closed, nothing is kept: the table made anew with another column is read as it is now.
        c.Close();
        ASSERT_TRUE(other.Execute("drop table t"));
        ASSERT_TRUE(other.Execute("create table t (n integer primary key, m varchar(5))"));
        ASSERT_TRUE(other.Execute("insert into t values (7, 'x')"));
        ASSERT_TRUE(c.Open(d.connectionString));
        EXPECT_EQ(d.prepared(), 0u);
        ASSERT_TRUE(c.OpenRecordset("select * from t order by n", rows)) << Pms::Errors(c);
        EXPECT_EQ(Pms::Texts(rows), Rows{"7|x"});
        c.Close();
        ASSERT_TRUE(other.Execute("drop table t"));
        ASSERT_TRUE(other.Execute("create table t (n integer primary key)"));
    }
}

// Only so many statements stay prepared: the one used longest ago goes first.
TEST_F(OdbcTest, KeptStatementsAreBoundedAndTheLeastRecentlyUsedGoesFirst) {
    db::SqliteConnection c;
    std::string file = folder.File("bounded.db");
    std::string error;
    ASSERT_TRUE(db::SqliteConnection::CreateDatabase(file, "create table t (n integer);", error)) << error;
    ASSERT_TRUE(c.Open("sqlite:" + file));
    db::Recordset rows;
    auto run = [&](size_t i) {
        ASSERT_TRUE(c.OpenRecordset(text::Format("select n from t where n=%d", static_cast<int>(i)), rows));
    };
    const size_t kept = db::SqliteConnection::kKeptStatements;
    for (size_t i = 0; i < kept; ++i) {
        run(i);
    }
    run(0);  // the first is used again: the second is now the oldest
    run(kept);
    EXPECT_EQ(c.KeptCount(), kept);
    EXPECT_EQ(c.PreparedCount(), kept + 1);
    run(0);
    EXPECT_EQ(c.PreparedCount(), kept + 1);
    run(1);
    EXPECT_EQ(c.PreparedCount(), kept + 2);
}

TEST_F(OdbcTest, AFailedConnectMakesTheDatabaseUnreachableUntilOneSucceeds) {
    testpms::Log log(folder);
    testpms::FakeConfiguration config;
    config.values = {{"//fidelio_ini/base_access", "sqlite:" + folder.File("later.db")}};
    testpms::Storage storage;
    storage.SetLogFile(&log.log);
    storage.SetSideFileFolder(folder.Path());
    ASSERT_TRUE(storage.Open(config));
    EXPECT_TRUE(storage.DatabaseReachable());
    db::Recordset rows;
    EXPECT_FALSE(storage.OpenRecordset("select 1 from dual", rows));
    EXPECT_FALSE(storage.DatabaseReachable());
    {
        db::OdbcConnection creator;
        ASSERT_TRUE(creator.Open(ConnectionString(folder.File("later.db"))));
        ASSERT_TRUE(creator.Execute("create table t (n integer)"));
    }
    EXPECT_TRUE(storage.OpenRecordset("select 1 from dual", rows)) << storage.GetLastError();
    EXPECT_TRUE(storage.DatabaseReachable());
}
