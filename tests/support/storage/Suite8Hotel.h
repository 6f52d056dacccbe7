#pragma once

// Test support: a small Suite8 hotel on the stand-in (schema FIDELIO), seeded so that every
// Suite8 statement has rows to find and rows to pass over, and the Suite8 back-end opened on it
// with a configuration that answers from maps. Header only, so that it stays out of the core
// library.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "storage/CF8Monitoring.h"
#include "tests/support/platform/ManualClock.h"
#include "tests/support/storage/TestPms.h"

namespace suite8hotel {

using sqlformat::Arg;
using Rows = std::vector<std::string>;
using Folio = CFidelio8Folio;

// The open business date is 14.03.2026. Invoice 1001 exists in two series; invoice 1002 is of
// the day before; invoice 1003 is billed to window 2 and holds a prepayment posting (8000).
inline const char* const kSeed[] = {
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
    // Invoice 501 was made by user 70; a reservation with the same id 501 by user 71, whose log
    // row the stand-in meets first (its table name sorts before ZINV in the log's index).
    "insert into FIDELIO.wmlg values (1, 'YRES', 501, 71)",
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

inline const Posting kPostings[] = {
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

// The hotel, and the back-end opened on it by Open() with the settings of config (payment codes
// 9000 and 9004, deposit 9100, prepayment 8000, language 2, USD converted).
class Suite8HotelTest : public ::testing::Test {
protected:
    Suite8HotelTest()
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
    }

    void Open() {
        storage.SetLogFile(&log.log);
        storage.SetSideFileFolder(pms.folder.Path());
        ASSERT_TRUE(storage.Open(config)) << storage.GetLastError();
    }

    Rows Run(const std::string& statementTemplate, const std::vector<Arg>& args) {
        db::Recordset rows;
        EXPECT_TRUE(storage.OpenTemplate(statementTemplate, args, rows)) << storage.GetLastError() << "\n"
                                                                         << statementTemplate;
        return testpms::Pms::Texts(rows);
    }
    // The given bound columns of every row of a detail query, joined by "|" (absent as "~").
    Rows Detail(const std::string& statementTemplate, const std::vector<Arg>& args,
                std::vector<size_t> columns) {
        db::Recordset rows;
        EXPECT_TRUE(storage.OpenTemplate(statementTemplate, args, rows)) << storage.GetLastError();
        return testpms::BoundRows(storage.folio, rows, columns);
    }
    static Rows Sorted(Rows rows) {
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    testpms::Pms pms;
    platform::ManualClock clock;
    platform::ScopedClock scoped;
    testpms::Log log;
    testpms::FakeConfiguration config;
    CF8Monitoring storage;
};

}  // namespace suite8hotel
