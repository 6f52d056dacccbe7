// Every statement template of the Opera back-end, resolved by PrepareTemplates and filled with
// sample values, run on the SQLite stand-in against one seeded hotel: the rows are those Oracle
// returns for the same data.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "tests/support/platform/ManualClock.h"
#include "tests/support/storage/TestPms.h"

namespace {

using sqlformat::Arg;
using testpms::Pms;
using Rows = std::vector<std::string>;

// The open business date is 14.03.2026 for resort HOTEL.
const char* const kSeed[] = {
    "insert into OPERA.businessdate values ('HOTEL', to_date('13.03.2026','dd.mm.yyyy'), 'CLOSED')",
    "insert into OPERA.businessdate values ('HOTEL', to_date('14.03.2026','dd.mm.yyyy'), 'OPEN')",
    "insert into OPERA.businessdate values ('OTHER', to_date('01.01.2026','dd.mm.yyyy'), 'OPEN')",
    "insert into OPERA.trx$_codes values ('HOTEL','1000','Accommodation','RM','C',NULL,'Y','Y')",
    "insert into OPERA.trx$_codes values ('HOTEL','5000','Minibar','MB','C','5001','Y','Y')",
    "insert into OPERA.trx$_codes values ('HOTEL','9000','Cash','PAY','FC',NULL,'Y','Y')",
    "insert into OPERA.trx$_codes values ('HOTEL','9004','Visa','PAY','FC',NULL,'Y','Y')",
    "insert into OPERA.trx$_codes values ('HOTEL','9901I','Deposit transfer','DEP','FC',NULL,'Y','Y')",
    "insert into OPERA.trx$_codes values ('OTHER','9000','Cash elsewhere','PAY','FC',NULL,'Y','Y')",
    "insert into OPERA.fin_trx_translation values ('HOTEL','9000','R','Nalichnye')",
    "insert into OPERA.fin_trx_translation values ('HOTEL','9000','E','Cash money')",
    "insert into OPERA.cashiers$ values (7, 'Anna')",
    "insert into OPERA.employee values (1, 7, 'Manager', 'Anna K.', '7701')",
    "insert into OPERA.fin$_tran_action values (501, 'FRONT1')",
    "insert into OPERA.article$_codes values (1, 'HOTEL', '12', 'Cola')",
    "insert into OPERA.name values (10, 'Ivan', 'Petrov', NULL, NULL, NULL, NULL, NULL)",
    "insert into OPERA.name values (20, NULL, NULL, 'ACME', NULL, '7701234567', 'INN7701', 'extra')",
    "insert into OPERA.name values (30, 'Olga', 'Sidorova', 'Globex', 'Globex Ltd', '7709', NULL, NULL)",
    "insert into OPERA.name_view values (10, 'ivan@example.com')",
    "insert into OPERA.reservation_name values (300, 'HOTEL', 10, '123456', NULL)",
    "insert into OPERA.reservation_name values (301, 'HOTEL', 10, '123457', NULL)",
    "insert into OPERA.folio$_tax values ('HOTEL', 5001, to_date('14.03.2026','dd.mm.yyyy'), "
    "to_date('14.03.2026 10:15:00','dd.mm.yyyy hh24:mi:ss'), 300, 1, 10, 20, 7, 'FRONT1')",
    "insert into OPERA.folio$_tax values ('HOTEL', 5002, to_date('13.03.2026','dd.mm.yyyy'), NULL, 300, 1, "
    "10, 10, 7, "
    "'FRONT2')",
    "insert into OPERA.trx_routing_instructions values (300, 2, 30)",
    "insert into OPERA.reservation_daily_element_name values ('HOTEL', 300, "
    "to_date('14.03.2026','dd.mm.yyyy'), 1, "
    "'BAR')",
    "insert into OPERA.reservation_daily_elements values (1, 'HOTEL', 11)",
    "insert into OPERA.room_category_template values (11, 'DBL')",
    "insert into OPERA.currency_exchange_rates values ('HOTEL', 'USD', to_date('01.03.2026','dd.mm.yyyy'), "
    "90)",
    "insert into OPERA.currency_exchange_rates values ('HOTEL', 'USD', to_date('10.03.2026','dd.mm.yyyy'), "
    "92.5)",
    "insert into OPERA.currency_exchange_rates values ('HOTEL', 'EUR', to_date('12.03.2026','dd.mm.yyyy'), "
    "99)",
};

// trx_no, code, amount, bill, receipt, date, subtype, folio window, extra columns.
struct Transaction {
    int trxNo;
    const char* code;
    double amount;
    const char* bill;
    const char* receipt;
    const char* date;
    const char* subtype;
    int view;
    const char* more;  // recpt_type, ar_number, from_resv_id, resv_name_id, article_id, trx_no_header
};

const Transaction kTransactions[] = {
    {1001, "1000", 100, "5001", "NULL", "14.03.2026", "C", 1, "NULL, NULL, NULL, 300, 1, 1001"},
    {1002, "9000", -60, "5001", "7001", "14.03.2026", "FC", 1, "NULL, NULL, NULL, 300, NULL, 1002"},
    {1003, "9004", -40, "5001", "7002", "14.03.2026", "FC", 1, "NULL, NULL, NULL, 300, NULL, 1003"},
    {1004, "9000", -25, "NULL", "7003", "14.03.2026", "FC", 1, "'RDR', NULL, NULL, 300, NULL, 1004"},
    {1005, "9000", -15, "4001", "7001", "10.03.2026", "FC", 1, "NULL, NULL, NULL, 300, NULL, 1005"},
    {1006, "9901I", 50, "NULL", "NULL", "14.03.2026", "FC", 1, "NULL, NULL, 300, 301, NULL, 1006"},
    {1007, "9000", -70, "NULL", "7004", "14.03.2026", "FC", 1, "NULL, 8001, NULL, 300, NULL, 1007"},
    {1009, "9000", -30, "5002", "7005", "13.03.2026", "FC", 1, "NULL, NULL, NULL, 300, NULL, 1009"},
    {1010, "9000", -5, "NULL", "7006", "14.03.2026", "FC", 1, "NULL, NULL, NULL, 300, NULL, 1010"},
    {1011, "9004", 10, "NULL", "NULL", "14.03.2026", "FC", 1, "NULL, NULL, NULL, 300, NULL, 1011"},
    {1012, "9000", -1, "NULL", "NULL", "14.03.2026", "FC", 1, "NULL, NULL, NULL, 300, NULL, 1012"},
};

class TemplatesTest : public ::testing::Test {
protected:
    TemplatesTest() : clock(0), scoped(clock), log(pms.folder) {
        testpms::SetLocalTime(clock, 2026, 3, 14, 12);
    }

    void SetUp() override {
        for (const char* statement : kSeed) {
            pms.Run(statement);
        }
        for (const Transaction& t : kTransactions) {
            pms.Run(
                text::Format("insert into OPERA.financial_transactions (trx_no, resort, business_date, "
                             "trx_code, room, trx_amount, "
                             "posted_amount, net_amount, guest_account_debit, price_per_unit, quantity, "
                             "change_due, currency, "
                             "exchange_rate, bill_no, recpt_no, ft_subtype, folio_view, tran_action_id, "
                             "cashier_id, tax_inclusive_yn, "
                             "product, cheque_number, reference, postit_no, recpt_type, ar_number, "
                             "from_resv_id, resv_name_id, "
                             "article_id, trx_no_header) values (%d, 'HOTEL', to_date('%s','dd.mm.yyyy'), "
                             "'%s', '101', %.2f, %.2f, "
                             "%.2f, 0, %.2f, 2, 0.5, 'RUB', 1, %s, %s, '%s', %d, 501, 7, 'Y', 'PRD', "
                             "'CHQ%d', 'ref %d', NULL, %s)",
                             t.trxNo, t.date, t.code, t.amount, t.amount, t.amount, t.amount / 2, t.bill,
                             t.receipt, t.subtype, t.view, t.trxNo, t.trxNo, t.more));
        }
        // Fiscal states: the visa payment is done, 1010 is a deposit, 1009 is to be registered again;
        // 900 is the deposit of reservation 300 that 1006 transfers; 1008 a deleted (split) payment.
        pms.Run(
            "insert into qel_financial_transactions (trx_no, qel_fisc_status, folio_no, check_number, "
            "bill_no, title, "
            "reference, trx_amount, business_date) values (1003, 'Y', '123456', 'F100', 5001, 'ST_1_file', "
            "'300', -40, "
            "to_date('14.03.2026','dd.mm.yyyy'))");
        pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (1010, 'D')");
        pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (1009, 'S')");
        pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (1012, 'N')");
        pms.Run(
            "insert into qel_financial_transactions (trx_no, qel_fisc_status, reference, trx_amount) values "
            "(900, 'D', "
            "'300', 50.000000)");
        pms.Run(
            "insert into qel_financial_transactions (trx_no, qel_fisc_status, folio_no, check_number, "
            "bill_no, title) "
            "values (1008, 'Y', '123456', 'F100', 4999, 'ST_1_older')");
        pms.Run(
            "insert into OPERA.financial_transactions_jrnl values (1008, 1002, 'HOTEL', "
            "to_date('14.03.2026','dd.mm.yyyy'), "
            "'9000', -60, 7001, 'D')");
        pms.Run(
            "insert into deposit_financial_transactions (trx_no, resort, trx_code, trx_amount, "
            "posted_amount, "
            "business_date, resv_name_id, tran_action_id, cashier_id, folio_view, quantity) values (2001, "
            "'HOTEL', "
            "'9000', 50, 50, to_date('14.03.2026','dd.mm.yyyy'), 301, 501, 7, 1, 1)");

        config.values = {{"//fidelio_ini/base_access", pms.ConnectionString()},
                         {"//fidelio_ini/fidelio_schema", "OPERA"},
                         {"//fidelio_ini/property_code", "HOTEL"},
                         {"//fidelio_ini/language_code", "R"},
                         {"//fidelio_ini/convert_currency", "USD"},
                         {"//fidelio_ini/ar_payments", "1"},
                         {"//fidelio_ini/deposit/code", "9100"}};
        config.lists["//pay_mode/pay[@code='xxxx']/print"] = {{9000, "1"}, {9004, "2"}};
        config.lists["//additional/pay[@code='xxxx']/print"] = {{9000, "1"}};
        config.lists["//prepayment/payment[@code='xxxx']/posting"] = {{1000, "P"}};
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
    // The same for a query without ORDER BY, whose rows come in no fixed order.
    Rows Sorted(Rows rows) {
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    // The given bound columns of every row of a detail query, joined by "|".
    Rows Detail(const std::string& statementTemplate, const std::vector<Arg>& args,
                std::vector<size_t> columns) {
        db::Recordset rows;
        EXPECT_TRUE(storage.OpenTemplate(statementTemplate, args, rows)) << storage.GetLastError();
        return testpms::BoundRows(storage.recPayment, rows, columns);
    }

    Pms pms;
    platform::ManualClock clock;
    platform::ScopedClock scoped;
    testpms::Log log;
    testpms::FakeConfiguration config;
    testpms::Storage storage;
};

TEST_F(TemplatesTest, DiscoveryQueries) {
    auto& t = storage.requestCheckNumber.templates;
    // Bills of the open business date with a listed payment that is not fiscalised: the visa
    // payment is Y, the room charge is no payment.
    EXPECT_EQ(Run(t[CRequestCheckNumber::BillsOfTheDay], {}), (Rows{"1002|5001|-60|14.03.2026|~|~"}));
    // The code-map list (the room code) and its folio window.
    EXPECT_EQ(Run(t[CRequestCheckNumber::BillsWithFolioWindow], {}), (Rows{"1001|5001|100|14.03.2026|~|1"}));
    EXPECT_EQ(Run(t[CRequestCheckNumber::BillsToRegisterAgain], {}), (Rows{"1009|5002|-30|13.03.2026|~|~"}));
    EXPECT_EQ(Run(t[CRequestCheckNumber::DepositsOfTheDay], {}), (Rows{"2001|301|50|14.03.2026|~|~"}));
    // The transfer pairs with deposit 900 (status D, same amount, reference = source reservation).
    EXPECT_EQ(Run(t[CRequestCheckNumber::DepositTransfers], {}),
              (Rows{"1006|Deposit transfer|50|14.03.2026|300|301"}));
    pms.Run("update qel_financial_transactions set qel_fisc_status='N' where trx_no=900");
    EXPECT_TRUE(Run(t[CRequestCheckNumber::DepositTransfers], {}).empty());
}

TEST_F(TemplatesTest, DiscoveryVariants) {
    std::string bills = storage.requestCheckNumber.templates[CRequestCheckNumber::BillsOfTheDay];
    // The Czech form: the bill's creation time with the database's zone, new or failed bills only.
    std::string czech = text::ReplaceAll(bills, "to_char(fol.BILL_GENERATION_DATE,'dd.mm.yyyy')",
                                         "to_char(fol.insert_date,'YYYY-MM-DD\"T\"HH24:MI:SS')||(SELECT "
                                         "TO_CHAR(SYSTIMESTAMP,'TZH:TZM') FROM DUAL) as "
                                         "BILL_GENERATION_DATE");
    czech = text::ReplaceAll(czech, "(qel.qel_fisc_status!='Y')", "(qel.qel_fisc_status='N')");
    Rows rows = Run(czech, {});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(text::StartsWith(rows[0], "1002|5001|-60|2026-03-14T10:15:00+") ||
                text::StartsWith(rows[0], "1002|5001|-60|2026-03-14T10:15:00-"))
        << rows[0];
    // The test date offset looks one business date back: bill 5002 of 13.03 (its payment is S).
    std::string offset = text::ReplaceAll(bills, "SELECT BUSINESS_DATE FROM", "SELECT BUSINESS_DATE-%d FROM");
    EXPECT_EQ(Run(offset, {Arg::Int(1)}), (Rows{"1009|5002|-30|13.03.2026|~|~"}));
}

TEST_F(TemplatesTest, DetailQueries) {
    auto& t = storage.recPayment.templates;
    // Columns: trx_no, code, description, machine, translated description, cashier title, status,
    // business date, article code and name, position, tax id, name.
    std::vector<size_t> cols = {1, 3, 4, 8, 16, 22, 23, 24, 34, 35, 42, 43, 44};
    EXPECT_EQ(Detail(t[CRecPayment::TransactionsOfBill], {Arg::Text("R"), Arg::Number("5001")}, cols),
              (Rows{"1001|1000|Accommodation|FRONT1|~|Anna|~|14.03.2026|12|Cola|Manager|7701|Anna K.",
                    "1002|9000|Cash|FRONT1|Nalichnye|Anna|~|14.03.2026|~|~|Manager|7701|Anna K.",
                    "1003|9004|Visa|FRONT1|~|Anna|Y|14.03.2026|~|~|Manager|7701|Anna K."}));
    // Today's payments with no status or one other than Y and D: not 1003 (Y), 1010 (D), 1005
    // (another day), 1006 (not a payment code).
    EXPECT_EQ(Sorted(Detail(t[CRecPayment::PaymentsOfTheDay], {Arg::Text("E")}, {1, 16, 23, 13})),
              (Rows{"1002|Cash money|~|5001", "1004|Cash money|~|~", "1007|Cash money|~|~", "1011|~|~|~",
                    "1012|Cash money|N|~"}));
    EXPECT_EQ(Detail(t[CRecPayment::OneTransaction], {Arg::Int(1003)}, {1, 3, 23}), (Rows{"1003|9004|Y"}));
    EXPECT_EQ(Detail(t[CRecPayment::TransactionByJournal], {Arg::Int(1008)}, {1, 3}), (Rows{"1002|9000"}));
    EXPECT_EQ(Detail(t[CRecPayment::DepositPaymentsOfTheDay], {}, {1, 35}), (Rows{"1004|RDR"}));
    EXPECT_EQ(Sorted(Detail(t[CRecPayment::PaymentsWithReceiptType], {}, {1, 35})),
              (Rows{"1002|~", "1004|RDR", "1007|~", "1012|~"}));
    // Any date, newest first.
    EXPECT_EQ(Detail(t[CRecPayment::PaymentByConfirmationAndReceipt], {Arg::Text("123456"), Arg::Int(7001)},
                     {1, 24}),
              (Rows{"1002|14.03.2026", "1005|10.03.2026"}));
    EXPECT_EQ(Detail(t[CRecPayment::DepositsOfReservation], {Arg::Text("R"), Arg::Number("301")},
                     {1, 3, 5, 16, 30}),
              (Rows{"2001|9000|50|Nalichnye|301"}));
    EXPECT_EQ(Detail(t[CRecPayment::ArPaymentsOfTheDay], {}, {1, 13}), (Rows{"1007|8001"}));
}

TEST_F(TemplatesTest, DetailVariantsOfTheFinders) {
    auto& t = storage.recPayment.templates;
    std::string unbilled = t[CRecPayment::PaymentsOfTheDay];
    unbilled.insert(unbilled.find("and ((qel.qel_fisc_status is NULL)"), "and fin.bill_no is NULL ");
    EXPECT_EQ(Sorted(Detail(unbilled, {Arg::Text("R")}, {1})), (Rows{"1004", "1007", "1011", "1012"}));
    std::string payMaster = t[CRecPayment::PaymentsOfTheDay];
    payMaster.insert(payMaster.find("and (fin.trx_code=trx.trx_code)"), "and fin.room='%s' ");
    EXPECT_EQ(Detail(payMaster, {Arg::Text("R"), Arg::Text("101")}, {1}).size(), 5u);
    EXPECT_TRUE(Detail(payMaster, {Arg::Text("R"), Arg::Text("999")}, {1}).empty());
    std::string postit = t[CRecPayment::TransactionsOfBill];
    postit.insert(postit.find("order by"), "and fin.postit_no=%d ");
    EXPECT_TRUE(Detail(postit, {Arg::Text("R"), Arg::Number("5001"), Arg::Int(3)}, {1}).empty());
    std::string udf =
        text::ReplaceAll(t[CRecPayment::TransactionsOfBill], "fin.cheque_number", "res.confirmation_no");
    EXPECT_EQ(Detail(udf, {Arg::Text("R"), Arg::Number("5001")}, {32}), (Rows{"123456", "123456", "123456"}));
}

TEST_F(TemplatesTest, SideQueries) {
    auto& room = storage.roomRequest.templates;
    EXPECT_EQ(Run(room[CRoomRequest::RateOfReservationDay], {Arg::Int(300), Arg::Text("14.03.2026")}),
              (Rows{"300|BAR"}));
    EXPECT_EQ(Run(room[CRoomRequest::RoomCategoryOfReservationDay], {Arg::Int(300), Arg::Text("14.03.2026")}),
              (Rows{"11|DBL|~"}));
    EXPECT_TRUE(
        Run(room[CRoomRequest::RateOfReservationDay], {Arg::Int(300), Arg::Text("15.03.2026")}).empty());
    EXPECT_EQ(Run(room[CRoomRequest::GuestWebPage], {Arg::Number("300")}),
              (Rows{"10|ivan@example.com|ivan@example.com"}));

    auto& guest = storage.guestInfo.templates;
    std::string customer =
        text::ReplaceAll(guest[CSelectGuestInfo::CustomerOfBill], "nam.UDFC20", "nam.tax1_no");
    EXPECT_EQ(Run(customer, {Arg::Number("5001")}), (Rows{"ACME|Ivan|Petrov|7701234567|extra|~|~"}));
    EXPECT_EQ(Run(guest[CSelectGuestInfo::CompanyRouting], {Arg::Number("300"), Arg::Int(2)}),
              (Rows{"Globex Ltd|Olga|Sidorova|~|~|~|~"}));
    EXPECT_EQ(Run(guest[CSelectGuestInfo::CashierOfBill], {Arg::Number("5001")}),
              (Rows{"7|Anna K.|Manager|7701|FRONT1|~|~"}));
    EXPECT_EQ(Run(guest[CSelectGuestInfo::AdjustmentCodes], {}), (Rows{"HOTEL|5000|5001|Minibar|MB|~|~"}));

    auto& rate = storage.exchangeRate.templates;
    EXPECT_EQ(Run(rate[CSelectExchangeRate::ExchangeRate], {Arg::Text("HOTEL")}), (Rows{"92.5", "90"}));
    // Window 1 of reservation 300: the net amount of its one charge (100) and the FC payments with
    // their sign turned (60 + 40 + 25 + 15 + 70 + 30 + 5 - 10 + 1).
    EXPECT_EQ(Run(rate[CSelectExchangeRate::WindowBalance], {Arg::Int(1002)}), (Rows{"336"}));
}

TEST_F(TemplatesTest, BlockingStatementsChangeThePaymentCodesOnly) {
    auto& t = storage.blockPayments.templates;
    EXPECT_EQ(Run(t[CQBlockPayments::PaymentEntryState], {}), (Rows{"9000|Y", "9004|Y"}));
    ASSERT_TRUE(storage.ExecuteTemplate(t[CQBlockPayments::BlockBilling], {Arg::Text("N")}));
    ASSERT_TRUE(storage.ExecuteTemplate(t[CQBlockPayments::BlockDeposits], {Arg::Text("N")}));
    // What the status command reads: the payment codes of this resort only, now switched off.
    EXPECT_EQ(Run(t[CQBlockPayments::PaymentEntryState], {}), (Rows{"9000|N", "9004|N"}));
    EXPECT_EQ(
        pms.Rows("select resort, trx_code, ind_billing, ind_deposit_yn from OPERA.trx$_codes order by 1, 2"),
        (Rows{"HOTEL|1000|Y|Y", "HOTEL|5000|Y|Y", "HOTEL|9000|N|N", "HOTEL|9004|N|N", "HOTEL|9901I|Y|Y",
              "OTHER|9000|Y|Y"}));
    pms.Run(
        "create table OPERA.zdco (zdco_id number, zdco_numericdesc number, zdco_govcode varchar2(20), "
        "zdco_disabled_prearr number, zdco_disabled_billing number)");
    pms.Run("insert into OPERA.zdco values (1, 9000, 'G1', 0, 0)");
    pms.Run("insert into OPERA.zdco values (2, 1000, 'G2', 0, 0)");
    ASSERT_TRUE(
        storage.ExecuteTemplate(t[CQBlockPayments::BlockDepartments], {Arg::Number("1"), Arg::Number("1")}));
    EXPECT_EQ(
        pms.Rows("select zdco_id, zdco_disabled_prearr, zdco_disabled_billing from OPERA.zdco order by 1"),
        (Rows{"1|1|1", "2|0|0"}));
}

TEST_F(TemplatesTest, StatusTableQueries) {
    auto& t = storage.qelFiscal.templates;
    // Rows of a fiscal check: by bill, then transaction.
    EXPECT_EQ(Run(t[CQELFiscal::RowsOfFiscalCheck], {Arg::Text("123456"), Arg::Text("F100")}),
              (Rows{"4999|ST_1_older|1008", "5001|ST_1_file|1003"}));
    // The deleted journal row of the receipt that has a status row.
    EXPECT_EQ(Run(t[CQELFiscal::SplitOriginOpera], {Arg::Int(7001)}), (Rows{"14.03.2026|Y|1008"}));
    EXPECT_TRUE(Run(t[CQELFiscal::SplitOriginOpera], {Arg::Int(7002)}).empty());
}

TEST_F(TemplatesTest, SuiteEightStatusQueries) {
    for (const char* ddl :
         {"create table OPERA.zpos (zpos_id number, zpos_postdate date, zpos_manualsplit_id number)",
          "create table OPERA.v8_rep_invoiceno (zinv_number number, invoicename varchar2(50))",
          "create table OPERA.zinv (zinv_id number, zinv_number number, zinv_xcms_id number)",
          "create table OPERA.xccd (xccd_id number, xccd_division varchar2(20))",
          "create table OPERA.xmnr (xmnr_xcms_id number, xmnr_xmty_id number, xmnr_value varchar2(20))",
          "create table OPERA.zdco (zdco_id number, zdco_numericdesc number, zdco_govcode varchar2(20))",
          "insert into OPERA.zpos values (1003, to_date('12.03.2026','dd.mm.yyyy'), 77)",
          "insert into OPERA.zpos values (3001, to_date('13.03.2026','dd.mm.yyyy'), 77)",
          "insert into OPERA.v8_rep_invoiceno values (42, 'INV-42')",
          "insert into OPERA.zinv values (1, 42, 5)", "insert into OPERA.xccd values (5, 'North')",
          "insert into OPERA.xmnr values (5, 3, 'attr3')", "insert into OPERA.xmnr values (5, 4, 'attr4')",
          "insert into OPERA.zdco values (1, 9000, '*A*')"}) {
        pms.Run(ddl);
    }
    auto& t = storage.qelFiscal.templates;
    EXPECT_EQ(Run(t[CQELFiscal::SplitOriginSuite8], {Arg::Int(77)}), (Rows{"12.03.2026|Y|1003"}));
    // The parts of the split, with or without a status row, those without last.
    EXPECT_EQ(Run(t[CQELFiscal::SplitPartsSuite8], {Arg::Int(77)}),
              (Rows{"12.03.2026|Y|1003", "13.03.2026|~|3001"}));
    EXPECT_EQ(Run(t[CQELFiscal::InvoiceNameSuite8], {Arg::Number("42")}), (Rows{"INV-42|N|0"}));
    EXPECT_EQ(Run(t[CQELFiscal::InvoiceDivisionSuite8], {Arg::Number("42")}), (Rows{"North|N|0"}));
    EXPECT_EQ(Run(t[CQELFiscal::InvoiceAttributeSuite8], {Arg::Raw("4"), Arg::Number("42")}),
              (Rows{"attr4|N|0"}));
    EXPECT_EQ(Run(t[CQELFiscal::GovernmentCodesSuite8], {}), (Rows{"*A*|9000|0"}));
}

}  // namespace
