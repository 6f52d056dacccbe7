// Every statement template of the Suite8 back-end, resolved by its PrepareTemplates and filled
// with sample values, run on the SQLite stand-in against one seeded Suite8 hotel: the rows are
// those Suite8's Oracle database returns for the same data.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ManualClock.h"
#include "platform/Text.h"
#include "storage/CF8Monitoring.h"
#include "storage/TestPms.h"

namespace {

using sqlformat::Arg;
using testpms::Pms;
using Rows = std::vector<std::string>;
using Folio = CFidelio8Folio;

// The open business date is 14.03.2026. Invoice 1001 exists in two series; invoice 1002 is of
// the day before; invoice 1003 is billed to window 2 and holds a prepayment posting (8000).
const char* const kSeed[] = {
    "insert into FIDELIO.wgbs values (1, to_date('14.03.2026','dd.mm.yyyy'))",
    "insert into FIDELIO.zdco values (1, 1000, 'Accommodation', '1,3', 0, 0)",
    "insert into FIDELIO.zdco values (2, 2000, 'Restaurant', '2', 0, 0)",
    "insert into FIDELIO.zdco values (3, 9000, 'Cash', '1, 2,3', 0, 0)",
    "insert into FIDELIO.zdco values (4, 9004, 'Visa', NULL, 0, 0)",
    "insert into FIDELIO.zdco values (5, 1, 'VAT 20%', '1', 0, 0)",
    "insert into FIDELIO.zdco values (6, 9100, 'Deposit', '1', 0, 0)",
    "insert into FIDELIO.zdco values (7, 8000, 'Prepayment', '1', 0, 0)",
    "insert into FIDELIO.zcas values (1, 7, 'Anna')",
    "insert into FIDELIO.zcur values (1, 'RUB')",
    "insert into FIDELIO.zcur values (2, 'USD')",
    "insert into FIDELIO.zxch values (1, 2, 92.5, 1)",
    "insert into FIDELIO.zxch values (2, 2, 90, 0)",
    "insert into FIDELIO.zwin values (1, 1)",
    "insert into FIDELIO.zwin values (2, 2)",
    "insert into FIDELIO.zfan values (1, 'Conference hall')",
    "insert into FIDELIO.zfag values (1, 'HALLS', 55)",
    "insert into FIDELIO.zfac values (1, 1, 1, 900)",
    "insert into FIDELIO.zart values (1, 501, 'Cola')",
    "insert into FIDELIO.zche values (1, '1230042', to_date('14.03.2026 12:30:05','dd.mm.yyyy hh24:mi:ss'))",
    "insert into FIDELIO.wtrl values (1, 'ZDCO', 'ZDCO_FOLIOTEXT', 1, 2, 'Prozhivanie')",
    "insert into FIDELIO.wtrl values (2, 'ZDCO', 'ZDCO_FOLIOTEXT', 3, 2, 'Nalichnye')",
    "insert into FIDELIO.wtrl values (3, 'ZDCO', 'ZDCO_FOLIOTEXT', 3, 1, 'Cash money')",
    "insert into FIDELIO.wtrl values (4, 'ZDCO', 'ZDCO_LONGTEXT', 3, 2, 'Not a folio text')",
    // Invoice 501 was made by user 70; a posting with the same id 501 by user 71.
    "insert into FIDELIO.wmlg values (1, 'ZPOS', 501, 71)",
    "insert into FIDELIO.wmlg values (2, 'ZINV', 501, 70)",
    "insert into FIDELIO.xced values (70, 1, 'Front desk manager')",
    "insert into FIDELIO.xced values (71, 1, 'Night auditor')",
    "insert into FIDELIO.xect values (1, 'INN')",
    "insert into FIDELIO.xect values (2, 'PASSPORT')",
    "insert into FIDELIO.xcom values (1, 71, NULL, 1, 0, '7701000071')",
    "insert into FIDELIO.xcom values (2, 70, NULL, 1, 0, '7701000070')",
    "insert into FIDELIO.xcom values (3, 70, NULL, 2, 0, 'AB123')",
    "insert into FIDELIO.xcom values (4, 900, 1, NULL, 1, 'accounts@globex.example')",
    "insert into FIDELIO.xcom values (5, 900, 2, NULL, 1, '+7 900 000')",
    "insert into FIDELIO.xcom values (6, 900, 1, NULL, 0, 'old@globex.example')",
    "insert into FIDELIO.xcmt values (1, 1, 'E-Mail')",
    "insert into FIDELIO.xcmt values (2, 2, 'Phone')",
    "insert into FIDELIO.xcms values (900, 1, 'Globex', 'LLC', NULL)",
    "insert into FIDELIO.xcms values (901, 2, 'Ivan', NULL, 'Petrov')",
    "insert into FIDELIO.xmty values (1, 3)",
    "insert into FIDELIO.xmty values (2, 1)",
    "insert into FIDELIO.xmnr values (1, 900, 1, '7709123456')",
    "insert into FIDELIO.xmnr values (2, 900, 2, 'M-42')",
    "insert into FIDELIO.xccd values (900, 'North')",
    "insert into FIDELIO.v8_rep_invoiceno values (1001, 'RE-1001')",
    "insert into FIDELIO.wses values (1, 70, 1)",
    "insert into FIDELIO.wpca values (1, 'FO-PC1')",
    "insert into FIDELIO.wlog values (1, 70, 431, 'TERM-A')",
    "insert into FIDELIO.wlog values (2, 70, 431, 'TERM-B')",
    "insert into FIDELIO.wlog values (3, 70, 100, 'TERM-X')",
    "insert into FIDELIO.xcac values (1, 'EB')",
    "insert into FIDELIO.xcac values (2, 'CH')",
    // Reservation 300: two days in room 101 (category DBL, rate BAR then CORP), two adults, an
    // extra bed on the second day; its main account is 950.
    "insert into FIDELIO.ycat values (1, 'DBL', 44)",
    "insert into FIDELIO.ycat values (2, 'SGL', 45)",
    "insert into FIDELIO.yrms values (1, '101', 1)",
    "insert into FIDELIO.yrch values (1, 'BAR')",
    "insert into FIDELIO.yrch values (2, 'CORP')",
    "insert into FIDELIO.yres values (300, 32)",
    "insert into FIDELIO.ydet values (31, 300, to_date('13.03.2026','dd.mm.yyyy'), 1, 1, 1, 2)",
    "insert into FIDELIO.ydet values (32, 300, to_date('14.03.2026','dd.mm.yyyy'), 1, 2, 2, 2)",
    "insert into FIDELIO.yrgl values (1, 31, 1, 1)",
    "insert into FIDELIO.yrgl values (2, 31, 2, 2)",
    "insert into FIDELIO.yrgl values (3, 32, 1, 1)",
    "insert into FIDELIO.yral values (1, 32, 950, 1)",
    "insert into FIDELIO.yral values (2, 32, 951, 2)",
    "insert into FIDELIO.v8_rep_yres_infos values (300, 32)",
    // Invoices.
    "insert into FIDELIO.zinv values (501, 1001, 1, to_date('14.03.2026','dd.mm.yyyy'), "
    "to_date('14.03.2026 10:15:00','dd.mm.yyyy hh24:mi:ss'), 900)",
    "insert into FIDELIO.zinv values (502, 1001, 2, to_date('14.03.2026','dd.mm.yyyy'), "
    "to_date('14.03.2026 11:00:00','dd.mm.yyyy hh24:mi:ss'), 901)",
    "insert into FIDELIO.zinv values (503, 1002, 1, to_date('13.03.2026','dd.mm.yyyy'), NULL, NULL)",
    "insert into FIDELIO.zinv values (504, 1003, 1, to_date('14.03.2026','dd.mm.yyyy'), "
    "to_date('14.03.2026 09:05:00','dd.mm.yyyy hh24:mi:ss'), NULL)",
    // Accounts receivable: payment 111 settles the AR invoice that posting 104's invoice line
    // (AR invoice 7001) was debited to.
    "insert into FIDELIO.ainv values (7001, 104)",
    "insert into FIDELIO.ainv values (7002, 111)",
    "insert into FIDELIO.aipl values (1, 7001, 7002)",
};

// One posting: id, department, text, unit price, kind (zpos_cdt), post date, window, invoice
// (0: none), then the columns that differ from posting to posting.
struct Posting {
    int id;
    int department;
    const char* descript;
    double price;
    int kind;
    const char* date;
    int window;
    int invoice;
    // taxlink, ledgerstatus, facility, currency, manual split, POS check, proforma, yres
    const char* more;
};

const Posting kPostings[] = {
    {101, 1, "Room 101", 4500, 0, "13.03.2026", 1, 501, "103, NULL, NULL, 1, NULL, NULL, NULL, 300"},
    {102, 2, "Dinner", 1200, 0, "13.03.2026", 1, 501, "NULL, NULL, NULL, 1, NULL, 1, NULL, 300"},
    {103, 5, "VAT", 750, 2, "13.03.2026", 1, 501, "103, NULL, NULL, 1, NULL, NULL, NULL, 300"},
    {104, 3, "Cash", 3000, 5, "14.03.2026", 1, 501, "NULL, NULL, NULL, 1, NULL, NULL, NULL, 300"},
    {105, 4, "Visa", 2450, 5, "14.03.2026", 1, 501, "NULL, NULL, NULL, 1, 77, NULL, NULL, 300"},
    {106, 3, "Cash", 500, 5, "14.03.2026", 1, 502, "NULL, NULL, NULL, 1, NULL, NULL, NULL, NULL"},
    {107, 3, "Cash", 100, 5, "13.03.2026", 1, 503, "NULL, NULL, NULL, 1, NULL, NULL, NULL, NULL"},
    {108, 3, "Cash", 700, 5, "14.03.2026", 2, 504, "NULL, NULL, NULL, 1, NULL, NULL, NULL, NULL"},
    {109, 7, "Prepaid", 200, 0, "14.03.2026", 2, 504, "NULL, NULL, NULL, 1, NULL, NULL, NULL, NULL"},
    {110, 3, "Hall deposit", 800, 5, "14.03.2026", 1, 0, "NULL, 1, 1, 1, NULL, NULL, NULL, NULL"},
    {111, 4, "AR payment", 6000, 5, "14.03.2026", 1, 0, "NULL, 3, NULL, 1, NULL, NULL, NULL, NULL"},
    {112, 3, "Yesterday", 50, 5, "13.03.2026", 1, 0, "NULL, NULL, NULL, 1, NULL, NULL, NULL, NULL"},
    {113, 3, "Pro forma", 60, 5, "14.03.2026", 1, 0, "NULL, NULL, NULL, 1, NULL, NULL, 1, NULL"},
    {114, 3, "Dollars", 9250, 5, "14.03.2026", 1, 0, "NULL, 2, NULL, 2, NULL, NULL, NULL, NULL"},
    {115, 4, "Visa part", 500, 5, "14.03.2026", 1, 0, "NULL, NULL, NULL, 1, 77, NULL, NULL, 300"},
    {116, 6, "Deposit", 300, 5, "14.03.2026", 1, 0, "NULL, 3, NULL, 1, NULL, NULL, NULL, NULL"},
};

class SuiteEightTemplatesTest : public ::testing::Test {
protected:
    SuiteEightTemplatesTest()
        : pms(true, "sql/sqlite/suite8_schema.sql", "FIDELIO"), clock(0), scoped(clock), log(pms.folder) {
        testpms::SetLocalTime(clock, 2026, 3, 14, 12);
    }

    void SetUp() override {
        for (const char* statement : kSeed) {
            pms.Run(statement);
        }
        int link = 1;
        for (const Posting& p : kPostings) {
            pms.Run(text::Format(
                "insert into FIDELIO.zpos (zpos_id, zpos_zdco_id, zpos_descript, zpos_unitprice, "
                "zpos_quantity, "
                "zpos_exchangerate, zpos_cdt, zpos_zcas_id, zpos_postdate, zpos_internalsplit_zpos_id, "
                "zpos_comment, zpos_foreignprice, zpos_grossforeignprice, zpos_sumupamount, zpos_zwin_id, "
                "zpos_zart_id, zpos_poscheck_nr, zpos_wpca_netbios, zpos_deposit, zpos_xcms_id, "
                "zpos_user_xcms_id, zpos_originated_yres_id, zpos_paidout, zpos_noreprint, zpos_taxlink_id, "
                "zpos_ledgerstatus, zpos_zfac_id, zpos_zcur_id, zpos_manualsplit_id, zpos_zche_id, "
                "zpos_proforma, zpos_yres_id) values (%d, %d, '%s', %.2f, 1, 1, %d, 1, "
                "to_date('%s','dd.mm.yyyy'), NULL, 'ref %d', %.2f, %.2f, %.2f, %d, %s, 'P-%d', 'WS%d', 0, "
                "900, "
                "70, 300, 0, 0, %s)",
                p.id, p.department, p.descript, p.price, p.kind, p.date, p.id, p.price / 92.5,
                p.price / 92.5 * 1.2, p.price, p.window, p.department == 2 ? "1" : "NULL", p.id, p.id % 2 + 1,
                p.more));
            if (p.invoice != 0) {
                pms.Run(
                    text::Format("insert into FIDELIO.zpil values (%d, %d, %d)", link++, p.invoice, p.id));
            }
        }
        // 105 is registered; 106 is a deposit; 104 failed once; 107 and 110 are to be sent again.
        pms.Run(
            "insert into qel_financial_transactions (trx_no, qel_fisc_status, printer_id, shift_number, "
            "attempt, title, bill_no, machine, recpt_no, folio_no, check_number) values (105, 'Y', 'P1', "
            "'12', 2, 'ST_1_105', 1001, 'WS2', '501', '300', 'F77')");
        pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (106, 'D')");
        pms.Run(
            "insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no, machine) values "
            "(104, 'N', 1001, 'WS1')");
        pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (110, 'S')");
        pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (107, 'S')");

        config.values = {{"//fidelio_ini/base_access", pms.ConnectionString()},
                         {"//fidelio_ini/fidelio_schema", "FIDELIO"},
                         {"//fidelio_ini/language_code", "2"},
                         {"//fidelio_ini/convert_currency", "USD"},
                         {"//fidelio_ini/deposit/code", "9100"}};
        config.lists["//pay_mode/pay[@code='xxxx']/print"] = {{9000, "1"}, {9004, "2"}};
        config.lists["//additional/pay[@code='xxxx']/print"] = {{9100, "1"}};
        config.lists["//prepayment/payment[@code='xxxx']/posting"] = {{8000, "P"}};
        config.version = 2;
        storage.SetLogFile(&log.log);
        storage.SetSideFileFolder(pms.folder.Path());
        ASSERT_TRUE(storage.Open(config)) << storage.GetLastError();
    }

    Rows Run(const std::string& statementTemplate, const std::vector<Arg>& args) {
        db::Recordset rows;
        EXPECT_TRUE(storage.OpenTemplate(statementTemplate, args, rows)) << storage.GetLastError() << "\n"
                                                                         << statementTemplate;
        return Pms::Texts(rows);
    }
    // The given bound columns of every row of a detail query, joined by "|" (absent as "~").
    Rows Detail(const std::string& statementTemplate, const std::vector<Arg>& args,
                std::vector<size_t> columns) {
        db::Recordset rows;
        EXPECT_TRUE(storage.OpenTemplate(statementTemplate, args, rows)) << storage.GetLastError();
        Rows out;
        for (; !rows.IsEOF(); rows.MoveNext()) {
            CRecordBinding& b = storage.folio;
            b.Read(rows);
            std::string line;
            for (size_t c : columns) {
                const CRecordBinding::Column& col = b.GetBindingTable()[c - 1];
                std::string value = !b.IsPresent(c)                                ? "~"
                                    : col.type == CRecordBinding::ColumnType::Text ? b.Text(c)
                                    : col.type == CRecordBinding::ColumnType::Integer
                                        ? std::to_string(b.Integer(c))
                                        : text::Format("%g", b.Double(c));
                line += (line.empty() ? "" : "|") + value;
            }
            out.push_back(line);
        }
        return out;
    }
    static Rows Sorted(Rows rows) {
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    Pms pms;
    platform::ManualClock clock;
    platform::ScopedClock scoped;
    testpms::Log log;
    testpms::FakeConfiguration config;
    CF8Monitoring storage;
};

TEST_F(SuiteEightTemplatesTest, InvoiceDiscovery) {
    auto& r = storage.requestCheckNumber.templates;
    // One row per due payment of the day's invoices (payment codes 9000 and 9004): 105 is Y, the
    // deposit 106 still counts, invoice 1002 is of the day before.
    EXPECT_EQ(Run(r[CRequestCheckNumber::InvoicesDue], {}),
              (Rows{"501|1001|3000|14.03.2026|1|300", "502|1001|500|14.03.2026|2|~",
                    "504|1003|700|14.03.2026|1|~"}));
    // The prepayment code's postings with their window.
    EXPECT_EQ(Run(r[CRequestCheckNumber::InvoicesDueByWindow], {}), (Rows{"504|1003|200|14.03.2026|1|2"}));
    // Invoices whose rows are marked to be sent again, whatever their date.
    EXPECT_EQ(Run(r[CRequestCheckNumber::InvoicesToSendAgain], {}), (Rows{"503|1002|100|13.03.2026|1|~"}));
    EXPECT_EQ(Run(r[CRequestCheckNumber::PosCheckHeader], {Arg::Number("1")}),
              (Rows{"1|1230042|0|03/14/26 12:30:05|0|0"}));
    // Czech: only new or failed rows, with the invoice's time and the database's time zone.
    Rows czech = Run(CRequestCheckNumber::NewOrFailedOnly(
                         CRequestCheckNumber::WithInvoiceTime(r[CRequestCheckNumber::InvoicesDue])),
                     {});
    // Ordered by that text (the alias is the name ORDER BY finds first).
    ASSERT_EQ(czech.size(), 2u);
    EXPECT_EQ(czech[0].substr(0, 32), "504|1003|700|2026-03-14T09:05:00");
    EXPECT_EQ(czech[1].substr(0, 33), "501|1001|3000|2026-03-14T10:15:00");
    EXPECT_EQ(czech[1].size(), std::string("501|1001|3000|2026-03-14T10:15:00+01:00|1|300").size()) << czech[1];
}

TEST_F(SuiteEightTemplatesTest, PostingsOfTheDay) {
    auto& f = storage.folio.templates;
    // Payments, deposits and AR postings of the day that are not Y or D, not pro forma; with the
    // folio text in language 2, the facility's name, the status row and the cashier's title and
    // tax number (of the user who posted, 70).
    EXPECT_EQ(
        Sorted(Detail(f[Folio::DayPostings], {Arg::Number("2")},
                      {Folio::PosId, Folio::Department, Folio::PostDate, Folio::Translation,
                       Folio::FiscStatus, Folio::Facility, Folio::ManualSplit, Folio::Currency,
                       Folio::StatusBillNo, Folio::CashierTitle, Folio::CashierTaxId, Folio::StatusMachine})),
        (Rows{"104|9000|14.03.2026|Nalichnye|N|~|~|RUB|1001|Front desk manager|7701000070|WS1",
              "108|9000|14.03.2026|Nalichnye|~|~|~|RUB|~|Front desk manager|7701000070|~",
              "110|9000|14.03.2026|Nalichnye|S|Conference hall|~|RUB|~|Front desk manager|7701000070|~",
              "111|9004|14.03.2026|~|~|~|~|RUB|~|Front desk manager|7701000070|~",
              "114|9000|14.03.2026|Nalichnye|~|~|~|USD|~|Front desk manager|7701000070|~",
              "115|9004|14.03.2026|~|~|~|77|RUB|~|Front desk manager|7701000070|~",
              "116|9100|14.03.2026|~|~|~|~|RUB|~|Front desk manager|7701000070|~"}));
    // Another language has its own text; an unknown one none.
    EXPECT_EQ(Detail(f[Folio::DayPostings], {Arg::Number("1")}, {Folio::PosId, Folio::Translation})[0],
              "104|Cash money");
    EXPECT_EQ(Detail(f[Folio::DayPostings], {Arg::NumberOrNull("")}, {Folio::PosId, Folio::Translation})[0],
              "104|~");
    // Open deposits (ledger 1 and 2) and ledger-3 postings; their dates without separators.
    EXPECT_EQ(Sorted(Detail(f[Folio::OpenPostings], {},
                            {Folio::PosId, Folio::PostDate, Folio::LedgerStatus, Folio::Translation})),
              (Rows{"110|14032026|1|Hall deposit", "114|14032026|2|Dollars"}));
    EXPECT_EQ(Sorted(Detail(f[Folio::LedgerPostings], {},
                            {Folio::PosId, Folio::LedgerStatus, Folio::CashierTitle})),
              (Rows{"111|3|~", "116|3|~"}));
    // The account of the posting in the workstation column: the reservation's main account, the
    // facility's source account, or nothing.
    EXPECT_EQ(Sorted(Detail(CFidelio8Folio::WithAccount(f[Folio::DayPostings], f[Folio::AccountFragment]),
                            {Arg::Number("2")}, {Folio::PosId, Folio::Workstation, Folio::Currency})),
              (Rows{"104|950|RUB", "108|~|RUB", "110|900|RUB", "111|~|RUB", "114|~|USD", "115|950|RUB",
                    "116|~|RUB"}));
}

TEST_F(SuiteEightTemplatesTest, PostingsOfAnInvoice) {
    auto& f = storage.folio.templates;
    const std::vector<size_t> columns = {Folio::PosId,      Folio::Department,  Folio::Kind,
                                         Folio::TaxLink,    Folio::Translation, Folio::FiscStatus,
                                         Folio::PosCheckId, Folio::ArticleCode, Folio::ArticleDescription,
                                         Folio::PrinterId,  Folio::StatusTitle, Folio::Window};
    Rows byNumber = Detail(f[Folio::InvoicePostingsByNumber],
                           {Arg::Number("1001"), Arg::Int(1), Arg::Number("2")}, columns);
    EXPECT_EQ(byNumber, (Rows{"101|1000|0|103|Prozhivanie|~|~|~|~|~|~|1", "102|2000|0|~|~|~|1|501|Cola|~|~|1",
                              "103|1|2|103|~|~|~|~|~|~|~|1", "104|9000|5|~|Nalichnye|N|~|~|~|~|~|1",
                              "105|9004|5|~|~|Y|~|~|~|P1|ST_1_105|1"}));
    // The other series of the same number holds only its own posting; an invoice of the day
    // before is not found by number.
    EXPECT_EQ(Detail(f[Folio::InvoicePostingsByNumber], {Arg::Number("1001"), Arg::Int(2), Arg::Number("2")},
                     {Folio::PosId}),
              (Rows{"106"}));
    EXPECT_TRUE(
        Detail(f[Folio::InvoicePostingsByNumber], {Arg::Number("1002"), Arg::Int(1), Arg::Number("2")}, {1})
            .empty());
    // By id: the same rows, whatever the date, without the cashier columns.
    EXPECT_EQ(Detail(f[Folio::InvoicePostingsById], {Arg::Number("501"), Arg::Number("2")}, columns),
              byNumber);
    EXPECT_EQ(Detail(f[Folio::InvoicePostingsById], {Arg::Number("501"), Arg::Number("2")},
                     {Folio::CashierTitle, Folio::StatusMachine})[3],
              "~|~");
    EXPECT_EQ(Detail(f[Folio::InvoicePostingsById], {Arg::Number("503"), Arg::Number("2")}, {Folio::PosId}),
              (Rows{"107"}));
    // One posting with its department as article, no status columns.
    EXPECT_EQ(Detail(f[Folio::SinglePosting], {Arg::Int(101)},
                     {Folio::PosId, Folio::Translation, Folio::FiscStatus, Folio::ArticleCode,
                      Folio::ArticleDescription, Folio::CashierTitle, Folio::StatusMachine}),
              (Rows{"101|Room 101|~|1000|Accommodation|Front desk manager|~"}));
}

TEST_F(SuiteEightTemplatesTest, RoomRateAndGuestOfAPosting) {
    auto& t = storage.roomRequest.templates;
    auto twice = [](int id) { return std::vector<Arg>{Arg::Int(id), Arg::Int(id)}; };
    // Room of the reservation's current day, or the facility's name.
    EXPECT_EQ(Run(t[CRoomRequest::RoomOfPosting], twice(101)), (Rows{"300|101|~"}));
    EXPECT_EQ(Run(t[CRoomRequest::RoomOfPosting], twice(110)), (Rows{"1|Conference hall|~"}));
    EXPECT_TRUE(Run(t[CRoomRequest::RoomOfPosting], twice(108)).empty());
    // Category id of the room type, or of the facility group.
    EXPECT_EQ(Run(t[CRoomRequest::AccountCategory], {Arg::Int(101)}), (Rows{"101|45|~"}));
    EXPECT_EQ(Run(t[CRoomRequest::AccountCategory], {Arg::Int(110)}), (Rows{"110|55|~"}));
    // Rate and room category of the posting's day and of the current day.
    EXPECT_EQ(Run(t[CRoomRequest::RateOfPosting], twice(101)), (Rows{"101|BAR|~", "101|CORP|~"}));
    EXPECT_EQ(Run(t[CRoomRequest::RoomCategory], twice(101)), (Rows{"101|DBL|~", "101|SGL|~"}));
    // Adults and extra beds of the posting's day; the child does not count.
    EXPECT_EQ(Run(t[CRoomRequest::GuestCount], {Arg::Text("EB"), Arg::Int(101)}), (Rows{"2|1|~"}));
    EXPECT_EQ(Run(t[CRoomRequest::GuestCount], {Arg::Text("CH"), Arg::Int(101)}), (Rows{"2|2|~"}));
    // The category of the reservation's room, or the facility group (the mended second half).
    EXPECT_EQ(Run(t[CRoomRequest::RoomCategoryOfReservation], twice(101)), (Rows{"300|DBL|~"}));
    EXPECT_EQ(Run(t[CRoomRequest::RoomCategoryOfReservation], twice(110)), (Rows{"1|HALLS|~"}));
    // The invoice that an AR payment settles: its allocation leads to posting 104 of invoice 501.
    EXPECT_EQ(Run(t[CRoomRequest::InvoiceOfArPayment], {Arg::Int(111)}), (Rows{"501|1001|~"}));
    // The customer's primary value of a communication type.
    EXPECT_EQ(Run(t[CRoomRequest::CustomerAttributes], {Arg::Number("900"), Arg::Number("1")}),
              (Rows{"900|E-Mail|accounts@globex.example"}));
    EXPECT_EQ(Run(t[CRoomRequest::CustomerAttributes], {Arg::Number("900"), Arg::Number("2")}),
              (Rows{"900|Phone|+7 900 000"}));
}

TEST_F(SuiteEightTemplatesTest, RatesBalancesBlockingAndCashiers) {
    EXPECT_EQ(Run(storage.exchangeRate.templates[CSelectExchangeRate::ExchangeRateSuite8], {}),
              (Rows{"92.5"}));
    // Window 1: charges 4500 + 1200 + 750, payments 22950 (the pro-forma one does not count).
    EXPECT_EQ(Run(storage.exchangeRate.templates[CSelectExchangeRate::WindowBalanceSuite8], {Arg::Int(101)}),
              (Rows{"-16500"}));
    // Window 2: the prepayment posting 200 against the payment 700.
    EXPECT_EQ(Run(storage.exchangeRate.templates[CSelectExchangeRate::WindowBalanceSuite8], {Arg::Int(108)}),
              (Rows{"-500"}));
    // Blocking touches the payment and deposit departments only.
    ASSERT_TRUE(storage.ExecuteTemplate(storage.blockPayments.templates[CQBlockPayments::BlockDepartments],
                                        {Arg::Number("1"), Arg::Number("1")}))
        << storage.GetLastError();
    EXPECT_EQ(
        pms.Rows("select zdco_numericdesc, zdco_disabled_prearr, zdco_disabled_billing from FIDELIO.zdco "
                 "where zdco_disabled_billing=1 order by 1"),
        (Rows{"9000|1|1", "9004|1|1", "9100|1|1"}));
    // The invoice's creator (user 70, not the user 71 who made posting 501): number, name,
    // title, tax number, workstation; the buyer's name and tax number.
    auto& g = storage.guestInfo.templates;
    EXPECT_EQ(Run(g[CSelectGuestInfo::InvoiceCashier], {Arg::Int(501)}),
              (Rows{"7|Anna|Front desk manager|7701000070|FO-PC1|Globex LLC |7709123456"}));
    // An invoice of a person: no buyer's tax number; no creator entry: the default title.
    EXPECT_EQ(Run(g[CSelectGuestInfo::InvoiceCashier], {Arg::Int(502)}), (Rows{"~|~|Cashier|~|~|~|~"}));
    // The terminal of the creator's last log-in.
    EXPECT_EQ(Run(g[CSelectGuestInfo::InvoiceStation], {Arg::Int(501)}), (Rows{"501|~|~|~|TERM-B|~|~"}));
}

}  // namespace
