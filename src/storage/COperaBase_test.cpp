#include <gtest/gtest.h>

#include <sqlite3.h>

#include "platform/CodePage.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "tests/support/platform/ManualClock.h"
#include "tests/support/storage/TestPms.h"

namespace {

using sqlformat::Arg;
using testpms::Pms;
using Rows = std::vector<std::string>;

class OperaBaseTest : public ::testing::Test {
protected:
    OperaBaseTest() : log(pms.folder) {
        config.values = {{"//fidelio_ini/base_access", pms.ConnectionString()},
                         {"//fidelio_ini/fidelio_schema", "OPERA"},
                         {"//fidelio_ini/property_code", "HOTEL"}};
        storage.SetLogFile(&log.log);
        storage.SetSideFileFolder(pms.folder.Path());
    }

    bool Open() { return storage.Open(config); }

    Pms pms;
    testpms::Log log;
    testpms::FakeConfiguration config;
    testpms::Storage storage;
};

TEST_F(OperaBaseTest, MissingConnectionStringFailsTheStart) {
    config.values.erase("//fidelio_ini/base_access");
    EXPECT_FALSE(Open());
    EXPECT_EQ(storage.GetLastError(), "Can't read parameter Base Access");
    EXPECT_TRUE(log.Has("Can't read parameter Base Access"));
    EXPECT_TRUE(log.Has("DATABASE CONNECT UNDEFINED"));
}

TEST_F(OperaBaseTest, SettingsWithTheirDefaultsAndLogLines) {
    config.values["//fidelio_ini/base_access"] = "DSN=opera;UID=fiscal;PWD=secret";
    config.values["//history"] = "0";
    config.values["//fidelio_ini/room_rate_include"] = "1001, 1002";
    config.values["//fidelio_ini/convert_currency"] = "USD";
    config.values["//fidelio_ini/pm_payments/room"] = "9999";
    config.values["//fidelio_ini/pm_payments/description"] = "PM";
    config.values["//fidelio_ini/company_routing"] = "UDFC20";
    config.values["//fidelio_ini/ar_payments"] = "1";
    config.values["//fidelio_ini/government_code"] = "yes";  // only "1" is on
    config.values["//micros_check_expand"] = "2";
    config.values["//code_convertion"] = "1";
    config.values["//date_offset"] = "2";
    config.printerType = 9;
    // POS expansion binds the client library's GetCheck; a function of the test's stands in.
    storage.clientLibrary.Bind([](int, int, const char*) -> GetCheckResult* { return nullptr; });
    EXPECT_TRUE(Open()) << storage.GetLastError();
    const COperaBase::Settings& s = storage.settings;
    EXPECT_EQ(s.historyDays, 1096);
    EXPECT_EQ(s.discountCode, 1);
    EXPECT_EQ(s.roomRateCodes, (std::vector<int>{1001, 1002}));
    EXPECT_TRUE(storage.includeRoomRate);
    EXPECT_TRUE(s.currencyConversion);
    EXPECT_TRUE(s.arPayments);
    EXPECT_FALSE(s.governmentCode);
    EXPECT_EQ(s.posExpandMode, 2);
    EXPECT_TRUE(s.codeConversion);
    EXPECT_TRUE(s.refundReprint);
    EXPECT_EQ(s.dateOffset, 2);
    EXPECT_EQ(s.resort, "HOTEL");
    for (const char* line :
         {"Mongolia fiscal. Refund check reprinting", "Base access:DSN=opera;UID=fiscal;PWD=*****",
          "Schema: OPERA", "History: 1096 days", "Convert Currency: USD", "Base Currency: ",
          "Include room rate to posting: 1001 1002 ", "Print payments from PM 9999 (PM)", "AR payments mode",
          "Interface check expanded", "Support company routing. INN field UDFC20", "Resort: HOTEL",
          "TEST MODE DATE OFFSET -2", "POSTING NAME CONVERTER", "Converted descriptions: 0 "}) {
        EXPECT_TRUE(log.Has(line)) << line;
    }
    EXPECT_FALSE(log.Has("secret"));
    EXPECT_FALSE(log.Has("Government code mode"));
}

TEST_F(OperaBaseTest, SchemaThatIsNoNameIsRefused) {
    config.values["//fidelio_ini/fidelio_schema"] = "OPERA; drop table x";
    EXPECT_FALSE(Open());
    EXPECT_NE(storage.GetLastError().find("Schema name"), std::string::npos);
}

TEST_F(OperaBaseTest, PostingNameConverterFile) {
    std::string content =
        "\xEF\xBB\xBF"
        "1000=Проживание\r\n"
        "DBL=Двухместный номер=D2\n"
        "no separator line\n"
        "=no key\n"
        "5000=" +
        std::string(120, 'x') + "=cut\n";
    ASSERT_TRUE(platform::WriteFile(pms.folder.File("post_converter.txt"), content));
    ASSERT_TRUE(Open()) << storage.GetLastError();
    const CPostConverter& c = storage.postConverter;
    ASSERT_EQ(c.descriptions.size(), 3u);
    EXPECT_EQ(c.descriptions.at("1000"), platform::Utf8ToUtf16("Проживание"));
    EXPECT_EQ(c.descriptions.at("DBL"), platform::Utf8ToUtf16("Двухместный номер"));
    EXPECT_EQ(c.categories.at("DBL"), "D2");
    // Only the first 100 characters of a line count: the code fell off.
    EXPECT_EQ(c.descriptions.at("5000"), platform::Utf8ToUtf16(std::string(95, 'x')));
    EXPECT_EQ(c.categories.count("5000"), 0u);
    EXPECT_TRUE(log.Has("Converted descriptions: 3 "));
    EXPECT_TRUE(log.Has("Converted codes: 1 "));
}

TEST(PostConverterTest, LinesOfStrayBytesAreCutLikeLinesOfLetters) {
    CPostConverter converter;
    // Continuation bytes without a lead byte each count as one character.
    converter.Parse("1000=" + std::string(300, '\xBA') + "\n2000=" + std::string(50, 'x') + "\xF0\x9F\x98\x80=7\n");
    ASSERT_EQ(converter.descriptions.size(), 2u);
    EXPECT_EQ(converter.descriptions.at("1000").size(), 95u);
    EXPECT_EQ(converter.descriptions.at("2000").size(), 52u) << "a four-byte character is one, two UTF-16 units";
    EXPECT_EQ(converter.categories.at("2000"), "7");
}

TEST(CodeListTest, AddCloseAndReplacePadded) {
    struct Case {
        std::string start;
        std::vector<std::string> codes;
        std::string closed;
    };
    const Case cases[] = {
        {"code in (xxxx)", {"'1'", "'2'", "'3'"}, "code in ('1','2','3')"},
        {"code in (XxXx) or b in (xxxx)", {"'1'"}, "code in ('1') or b in ()"},
        {"code in (xxxx)", {}, "code in ()"},
        {"no list here", {"'1'"}, "no list here"},
    };
    for (const Case& c : cases) {
        std::string t = c.start;
        for (const std::string& code : c.codes) {
            COperaBase::AddToCodeList(t, code);
        }
        COperaBase::CloseCodeList(t);
        EXPECT_EQ(t, c.closed) << c.start;
    }
    std::string t = "select fin.CHANGE_DUE, fin.quantity from x";
    COperaBase::ReplacePadded(t, "fin.CHANGE_DUE", "fin.quantity");
    EXPECT_EQ(t, "select fin.quantity, fin.quantity from x ");
    t = "a fin.postit_no b";
    COperaBase::ReplacePadded(t, "fin.postit_no", "0");
    EXPECT_EQ(t, "a 0 b ");
}

TEST_F(OperaBaseTest, CodeListsGoIntoTheirTemplates) {
    config.lists["//pay_mode/pay[@code='xxxx']/print"] = {{9000, "1"}};
    config.lists["//pay_mode/paid[@code='xxxx']/print"] = {{9004, "2"}, {9000, "1"}};
    config.lists["//pay_mode/put[@code='xxxx']/print"] = {{9500, "1"}};
    config.lists["//additional/pay[@code='xxxx']/print"] = {{9600, "1"}};
    ASSERT_TRUE(Open());
    EXPECT_EQ(storage.paymentCodes, (std::vector<int>{9000, 9004}));
    EXPECT_EQ(storage.secondPaymentCodes, (std::vector<int>{9500}));
    EXPECT_TRUE(storage.depositCodes.empty());  // only with the pay-master flag
    const std::string& bills = storage.requestCheckNumber.templates[CRequestCheckNumber::BillsOfTheDay];
    EXPECT_NE(bills.find("(fin.trx_code in ('9000','9004'))"), std::string::npos);
    EXPECT_NE(bills.find("from OPERA.financial_transactions fin, OPERA.folio$_tax fol"), std::string::npos);
    EXPECT_NE(bills.find("RESORT = 'HOTEL'"), std::string::npos);
    // Full-check mode without pay-master or AR: the payment templates hold the second list only.
    const std::string& day = storage.recPayment.templates[CRecPayment::PaymentsOfTheDay];
    EXPECT_NE(day.find("fin.trx_code in ('9500')"), std::string::npos);
    for (const std::string& t : storage.blockPayments.templates) {
        EXPECT_NE(t.find("('9000','9004')"), std::string::npos) << t;
    }
    // No template keeps a placeholder.
    for (std::string* t : storage.AllTemplates()) {
        EXPECT_EQ(text::ToLower(*t).find("xxxx"), std::string::npos) << *t;
        EXPECT_EQ(t->find("zzzz"), std::string::npos) << *t;
        EXPECT_EQ(t->find("ssss"), std::string::npos) << *t;
    }
}

TEST_F(OperaBaseTest, PaymentsOnlyPayMasterAndOperaFour) {
    config.fullCheck = false;
    config.version = 1;
    config.values["//fidelio_ini/deposit/code"] = "9100";
    config.values["//fidelio_ini/fidelio_schema"] = "";
    config.values["//fidelio_ini/property_code"] = "O'Hotel 100%";
    config.lists["//fidelio_ini/print_list[@code='xxxx']"] = {{9001, "1"}};  // no pay or paid list
    config.lists["//fidelio_ini/deposit/online_payment[@code='xxxx']"] = {{9700, "x"}};
    config.lists["//additional/pay[@code='xxxx']/print"] = {{9600, "1"}};
    config.lists["//prepayment/payment[@code='xxxx']/posting"] = {{1000, "P"}};
    ASSERT_TRUE(Open());
    EXPECT_EQ(storage.paymentCodes, (std::vector<int>{9001}));
    auto& request = storage.requestCheckNumber.templates;
    auto& detail = storage.recPayment.templates;
    EXPECT_NE(detail[CRecPayment::PaymentsOfTheDay].find("fin.trx_code in ('9001')"), std::string::npos);
    EXPECT_NE(detail[CRecPayment::PaymentsWithReceiptType].find("(fin.trx_code in ('9600'))"),
              std::string::npos);
    EXPECT_NE(request[CRequestCheckNumber::BillsOfTheDay].find("(fin.trx_code in ('9700','9100'))"),
              std::string::npos);
    EXPECT_NE(request[CRequestCheckNumber::BillsWithFolioWindow].find("(fin.trx_code in ('1000'))"),
              std::string::npos);
    // Without a schema the PMS tables are unqualified; the resort is quoted and kept from formatting.
    EXPECT_NE(
        request[CRequestCheckNumber::BillsOfTheDay].find("from financial_transactions fin, folio$_tax fol"),
        std::string::npos);
    std::string sql;
    std::string error;
    ASSERT_TRUE(sqlformat::Format(request[CRequestCheckNumber::BillsOfTheDay], {}, sql, error)) << error;
    EXPECT_NE(sql.find("(fin.resort='O''Hotel 100%')"), std::string::npos) << sql;
    // Opera 4: no postit numbers, the change due reads the quantity.
    EXPECT_NE(request[CRequestCheckNumber::BillsOfTheDay].find(
                  "to_char(fol.BILL_GENERATION_DATE,'dd.mm.yyyy'), 0, 0 from"),
              std::string::npos);
    EXPECT_NE(detail[CRecPayment::TransactionsOfBill].find("fin.quantity, fin.quantity, nvl("),
              std::string::npos);
    EXPECT_NE(detail[CRecPayment::DepositsOfReservation].find("dep.CHANGE_DUE"), std::string::npos);
}

TEST_F(OperaBaseTest, EmptyCodeListFailsInTheDatabaseAsReadingFailure) {
    ASSERT_TRUE(Open());
    db::Recordset rows;
    EXPECT_FALSE(storage.OpenTemplate(
        storage.requestCheckNumber.templates[CRequestCheckNumber::BillsOfTheDay], {}, rows));
    EXPECT_TRUE(log.Has("Reading failure"));
    EXPECT_TRUE(log.Has("(fin.trx_code in ())"));
    EXPECT_FALSE(storage.IsConnected());
}

TEST_F(OperaBaseTest, FailedStatementIsLoggedClosesAndTheNextOneReconnects) {
    ASSERT_TRUE(Open());
    EXPECT_TRUE(storage.Execute(""));
    EXPECT_FALSE(storage.IsConnected());  // the empty statement never touched the database
    ASSERT_TRUE(storage.Execute("update qel_financial_transactions set attempt=1 where trx_no=1"));
    EXPECT_TRUE(storage.IsConnected());
    EXPECT_FALSE(storage.Execute("update no_such_table set a=1"));
    EXPECT_TRUE(log.Has("Executing failure"));
    EXPECT_TRUE(log.Has("update no_such_table set a=1"));
    EXPECT_NE(storage.GetLastError().find("no such table"), std::string::npos);
    EXPECT_FALSE(storage.IsConnected());
    ASSERT_TRUE(storage.Execute("insert into qel_code_convertion (pms_code) values (1)"))
        << storage.GetLastError();
    EXPECT_TRUE(storage.IsConnected());
    EXPECT_EQ(pms.Rows("select pms_code from qel_code_convertion"), (Rows{"1"}));
}

TEST_F(OperaBaseTest, TraceFramesEveryStatement) {
    config.values["//fiscal_trans_ini/trace"] = "1";
    ASSERT_TRUE(Open());
    ASSERT_TRUE(storage.Execute("delete from qel_code_convertion"));
    std::string text = log.Text();
    size_t start = text.find("* start transaction *");
    size_t statement = text.find("delete from qel_code_convertion");
    size_t end = text.find("* complete transaction *");
    ASSERT_NE(start, std::string::npos);
    EXPECT_LT(start, statement);
    EXPECT_LT(statement, end);
    db::Recordset rows;
    EXPECT_FALSE(storage.OpenRecordset("select nothing from nowhere", rows));
    EXPECT_TRUE(log.Has("Reading failure"));
}

TEST_F(OperaBaseTest, ConnectFailureNamesTheProblem) {
    config.values["//fidelio_ini/base_access"] = "sqlite:" + pms.folder.File("missing.db");
    ASSERT_TRUE(Open());
    EXPECT_FALSE(storage.Execute("delete from qel_code_convertion"));
    EXPECT_TRUE(text::StartsWith(storage.GetLastError(), "SQLite stand-in connect problem."))
        << storage.GetLastError();
    EXPECT_FALSE(storage.IsConnected());
    // Once the database is there, the next statement connects.
    std::filesystem::copy_file(pms.OwnFile(), pms.folder.File("missing.db"));
    EXPECT_TRUE(storage.Execute("delete from qel_code_convertion")) << storage.GetLastError();
}

TEST_F(OperaBaseTest, DatabaseFileMovedAwayIsALostConnectionUntilItIsBack) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows does not rename a file that is open";
#endif
    ASSERT_TRUE(Open());
    ASSERT_TRUE(storage.Execute("insert into qel_code_convertion (pms_code) values (1)"));
    std::string away = pms.OwnFile() + ".away";
    std::filesystem::rename(pms.OwnFile(), away);
    EXPECT_FALSE(storage.Execute("insert into qel_code_convertion (pms_code) values (2)"));
    EXPECT_NE(storage.GetLastError().find("the database file is gone"), std::string::npos)
        << storage.GetLastError();
    EXPECT_FALSE(storage.IsConnected());
    EXPECT_FALSE(storage.Execute("insert into qel_code_convertion (pms_code) values (2)"));
    EXPECT_TRUE(text::StartsWith(storage.GetLastError(), "SQLite stand-in connect problem."))
        << storage.GetLastError();
    std::filesystem::rename(away, pms.OwnFile());
    ASSERT_TRUE(storage.Execute("insert into qel_code_convertion (pms_code) values (3)"))
        << storage.GetLastError();
    // Nothing written before the file went away was lost with it.
    EXPECT_EQ(pms.Rows("select pms_code from qel_code_convertion order by 1"), (Rows{"1", "3"}));
}

TEST_F(OperaBaseTest, AStatementThatFindsNoAnswerMakesTheDatabaseSilentUntilOneIsAnswered) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(storage.Execute("insert into qel_code_convertion (pms_code) values (1)"));
    // Another session holds the write lock longer than a statement waits.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(pms.OwnFile().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_FALSE(storage.Execute("insert into qel_code_convertion (pms_code) values (2)"));
    EXPECT_NE(storage.GetLastError().find("database is locked"), std::string::npos) << storage.GetLastError();
    EXPECT_FALSE(storage.DatabaseReachable());
    EXPECT_EQ(storage.DatabaseSilentSince().size(), 19u) << storage.DatabaseSilentSince();
    EXPECT_GE(storage.DatabaseSilentMs(), 0);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // A refusal is an answer: the database speaks again.
    EXPECT_FALSE(storage.Execute("insert into qel_code_convertion (pms_code) values (1)"));
    EXPECT_TRUE(storage.DatabaseReachable());
    EXPECT_EQ(storage.DatabaseSilentSince(), "");
    EXPECT_EQ(storage.DatabaseSilentMs(), 0);
}

TEST_F(OperaBaseTest, PrinterCodesStartAtTwo) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(storage.GetPrinterCode(501, "Bar's menu"), 2);
    EXPECT_EQ(storage.GetPrinterCode(502, "Kitchen"), 3);
    EXPECT_EQ(storage.GetPrinterCode(501, "ignored"), 2);
    EXPECT_EQ(pms.Rows("select pms_code, printer_code, description from qel_code_convertion order by 1"),
              (Rows{"501|2|Bar's menu", "502|3|Kitchen"}));
    pms.Run("update qel_code_convertion set printer_code = 10 where pms_code = 502");
    EXPECT_EQ(storage.GetPrinterCode(503, ""), 11);
}

TEST_F(OperaBaseTest, AdjustmentCodePairs) {
    config.values["//fidelio_ini/adjustment_refund"] = "1";
    pms.Run("insert into OPERA.trx$_codes values ('HOTEL','5000','Minibar','MB','C','5001','Y','Y')");
    pms.Run("insert into OPERA.trx$_codes values ('HOTEL','5100','Pack','PK','PK','5101','Y','Y')");
    pms.Run("insert into OPERA.trx$_codes values ('HOTEL','9000','Cash','PAY','FC','9001','Y','Y')");
    pms.Run("insert into OPERA.trx$_codes values ('OTHER','5000','Minibar','MB','C','5002','Y','Y')");
    ASSERT_TRUE(Open());
    std::sort(storage.adjustmentCodes.begin(), storage.adjustmentCodes.end());
    EXPECT_EQ(storage.adjustmentCodes, (std::vector<std::pair<int, int>>{{5000, 5001}, {5100, 5101}}));
    EXPECT_TRUE(log.Has("Adjustment refund code list: 2"));
}

class BusinessDateTest : public OperaBaseTest {
protected:
    BusinessDateTest() : clock(0), scoped(clock) {
        testpms::SetLocalTime(clock, 2026, 3, 14, 3);
        config.values["//history"] = "30";
    }
    platform::ManualClock clock;
    platform::ScopedClock scoped;
};

TEST_F(BusinessDateTest, CleanUpAfterTheDateChangedDeletesExactlyTheOldRows) {
    ASSERT_TRUE(Open());
    // 30 days before 14.03.2026 is 12.02.2026: older rows go, that day stays.
    for (const char* row : {"1,'10.02.2026'", "2,'11.02.2026 23:59:59'", "3,'12.02.2026'",
                            "4,'12.02.2026 08:00:00'", "5,'13.03.2026'"}) {
        pms.Run(std::string("insert into qel_financial_transactions (trx_no, business_date) values (") +
                text::ReplaceAll(row, ",'", ", to_date('") + ",'dd.mm.yyyy hh24:mi:ss'))");
    }
    pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (6, 'Y')");

    // The first cycle only remembers the date.
    storage.NoteBusinessDate("13.03.2026");
    storage.CheckBusinessDate();
    EXPECT_FALSE(log.Has("Business date was changed"));
    ASSERT_TRUE(storage.Execute("update qel_code_convertion set description = 'x'"));
    storage.NoteBusinessDate("13.03.2026");
    storage.CheckBusinessDate();
    EXPECT_TRUE(clock.Pauses().empty());

    storage.NoteBusinessDate("14.03.2026");
    storage.CheckBusinessDate();
    EXPECT_TRUE(log.Has("Business date was changed. Clear old transactions."));
    EXPECT_TRUE(log.Has("Completed"));
    EXPECT_EQ(pms.Rows("select trx_no from qel_financial_transactions order by 1"),
              (Rows{"3", "4", "5", "6"}));
    EXPECT_FALSE(storage.IsConnected());
    EXPECT_EQ(clock.Pauses(), (std::vector<int64_t>{10000}));
    EXPECT_TRUE(storage.PreviousBusinessDate().empty());
    // The next cycle starts a new pair: no second clean-up.
    storage.NoteBusinessDate("14.03.2026");
    storage.CheckBusinessDate();
    EXPECT_EQ(clock.Pauses().size(), 1u);
    // The sale time of a Czech bill of the same day is the same business date.
    storage.NoteBusinessDate("2026-03-14T23:10:00+01:00");
    storage.CheckBusinessDate();
    EXPECT_EQ(storage.CurrentBusinessDate(), "14.03.2026");
    EXPECT_EQ(clock.Pauses().size(), 1u);
}

}  // namespace

namespace {

TEST(OperaBaseSchemaTest, ConfiguredSchemaLivesInTheDatabaseFileUnlessAttached) {
    Pms pms(false);  // own and Opera tables in one file
    pms.Run("insert into financial_transactions (trx_no, trx_code) values (1002, '9000')");
    testpms::FakeConfiguration config;
    config.values = {{"//fidelio_ini/base_access", pms.ConnectionString()},
                     {"//fidelio_ini/fidelio_schema", "OPERA"},
                     {"//fidelio_ini/property_code", "HOTEL"}};
    testpms::Storage storage;
    storage.SetSideFileFolder(pms.folder.Path());
    ASSERT_TRUE(storage.Open(config));
    ASSERT_TRUE(storage.SaveCheckNumber(1002, "R-1")) << storage.GetLastError();
    EXPECT_EQ(pms.Rows("select cheque_number from financial_transactions"), (Rows{"R-1"}));
    // Another schema name stays unknown.
    EXPECT_FALSE(storage.Execute("update OTHER.financial_transactions set remark='x'"));
}

}  // namespace
