#include "PmsGenerator.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <random>

#include "PmsSchema.h"
#include "SqlScript.h"
#include "Suite8Hotel.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "storage/db/OracleFormats.h"

namespace pmsgen {

namespace {

constexpr const char* kResort = "DEMO";

// Numbers of the open date's rows, apart from those of the history (which count from 1 and step
// over kTodayNumbers of each, SqlScript.h), so that they are the same at every scale.
constexpr int kTodayTrx = 50000001;
constexpr int kTodayBill = 800001;
constexpr int kTodayReceipt = 700001;
constexpr int kTodayReservation = 600001;
constexpr int kTodayName = 500001;
constexpr int kHistoryBill = 100001;

// History: about this many transactions per business date, for at most three years.
constexpr int kHistoryPerDay = 300;
constexpr int kHistoryMaxDays = 1095;

// Cashiers (cashiers$) and workstations (fin$_tran_action).
constexpr int kSupervisor = 1;
constexpr int kAnna = 2;
constexpr int kBoris = 3;
constexpr int kInterface = 99;  // the POS interface's postings
constexpr int kFo1 = 1;
constexpr int kFo2 = 2;

// Room categories of room_category_template.
constexpr int kStandard = 1;
constexpr int kDeluxe = 2;
constexpr int kSuite = 3;

constexpr double kUsdRate = 92.5;

// One row of financial_transactions; unset optionals are NULL.
struct Txn {
    double date = 0;
    std::string code;
    std::optional<std::string> room;
    double amount = 0;
    std::optional<double> posted;  // the amount when unset
    std::optional<double> net;     // the amount when unset
    double guestAccountDebit = 0;
    double quantity = 1;
    std::string currency = "RUB";
    double rate = 1;
    std::optional<int> receipt;
    std::optional<int> bill;
    std::optional<int> ar;
    int view = 1;
    std::optional<int> addedBy;
    std::optional<int> packageLink;
    int action = kFo1;
    std::string taxInclusive = "Y";
    std::string subtype = "C";
    int cashier = kAnna;
    std::optional<int> reservation;
    std::optional<int> nameId;
    std::optional<int> article;
    std::optional<std::string> reference;
    std::optional<std::string> receiptType;
    // The header transaction (trx_no_header); the transaction itself when unset.
    std::optional<int> header;
    // A deposit transfer's source reservation.
    std::optional<int> fromReservation;
    std::optional<std::string> chequeNumber;  // the POS check reference of a POS posting
};

// A bill being written: the stay it belongs to and what it holds so far.
struct Folio {
    Bill bill;
    int nameId = 0;
    int payee = 0;
    int view = 1;
    int action = kFo1;
    // Closed with every payment registered (status Y), as the history's bills are.
    bool registered = false;
};

class Generator {
public:
    Generator(sqlite3* db, const Options& options, Summary& summary)
        : db(db),
          options(options),
          summary(summary),
          random(options.seed),
          insertTrx(
              db,
              "insert into financial_transactions (trx_no, resort, business_date, trx_code, room, "
              "trx_amount, "
              "posted_amount, net_amount, guest_account_debit, price_per_unit, quantity, change_due, "
              "currency, "
              "exchange_rate, recpt_no, recpt_type, bill_no, ar_number, folio_view, postit_no, "
              "trx_no_added_by, "
              "trx_no_header, trx_no_against_package, tran_action_id, tax_inclusive_yn, ft_subtype, name_id, "
              "cashier_id, resv_name_id, article_id, product, reference, cheque_number, from_resv_id) values "
              "(?,?,?,?,?,?,?,?,?,?,?,0,?,?,?,?,?,?,?,NULL,?,?,?,?,?,?,?,?,?,?,NULL,?,?,?)"),
          insertStatus(
              db,
              "insert into qel_financial_transactions (trx_no, trx_code, description, trx_amount, room, "
              "recpt_no, folio_no, bill_no, machine, cashier_id, qel_fisc_status, business_date, attempt, "
              "reference, printer_id, shift_number, check_number, title) values "
              "(?,?,?,?,?,?,?,?,?,?,?,?,1,?,?,?,?,?)"),
          insertFolio(
              db,
              "insert into folio$_tax (resort, bill_no, bill_generation_date, insert_date, resv_name_id, "
              "folio_view, name_id, payee_name_id, cashier_id, terminal) values (?,?,?,?,?,?,?,?,?,?)"),
          insertName(
              db,
              "insert into name (name_id, first, last, company, xcompany_name, tax1_no, udfc20, udfc21) "
              "values (?,?,?,?,?,?,?,?)"),
          insertReservation(db,
                            "insert into reservation_name (resv_name_id, resort, name_id, confirmation_no, "
                            "reinstate_date) values (?,?,?,?,?)"),
          insertDay(db,
                    "insert into reservation_daily_element_name (resort, resv_name_id, reservation_date, "
                    "resv_daily_el_seq, rate_code) values (?,?,?,?,?)"),
          insertElement(
              db,
              "insert into reservation_daily_elements (resv_daily_el_seq, resort, room_category) values "
              "(?,?,?)"),
          insertWebPage(db, "insert into name_view (name_id, web_page) values (?,?)"),
          insertRouting(
              db,
              "insert into trx_routing_instructions (resv_name_id, folio_view, bill_to_name_id) values "
              "(?,?,?)"),
          insertJournal(
              db,
              "insert into financial_transactions_jrnl (trx_no, trx_no_header, resort, business_date, "
              "trx_code, trx_amount, recpt_no, u_d_flag) values (?,?,?,?,?,?,?,?)"),
          insertDeposit(
              db,
              "insert into deposit_financial_transactions (trx_no, resort, trx_code, room, trx_amount, "
              "posted_amount, net_amount, currency, exchange_rate, recpt_no, cashier_id, price_per_unit, "
              "ft_subtype, reference, business_date, trx_no_header, guest_account_debit, resv_name_id, "
              "folio_view, change_due, quantity, tran_action_id) "
              "select trx_no, resort, trx_code, room, trx_amount, posted_amount, net_amount, currency, "
              "exchange_rate, recpt_no, cashier_id, price_per_unit, ft_subtype, reference, business_date, "
              "trx_no_header, guest_account_debit, resv_name_id, folio_view, change_due, quantity, "
              "tran_action_id from financial_transactions where trx_no=?") {}

    bool Run(std::string& error) {
        if (!insertTrx.Ok() || !insertStatus.Ok() || !insertFolio.Ok() || !insertName.Ok() ||
            !insertReservation.Ok() || !insertDay.Ok() || !insertElement.Ok() || !insertWebPage.Ok() ||
            !insertRouting.Ok() || !insertJournal.Ok() || !insertDeposit.Ok()) {
            error = std::string("cannot prepare the inserts: ") + sqlite3_errmsg(db);
            return false;
        }
        platform::LocalTime date;
        if (options.businessDate.empty()) {
            date = platform::Clock::Current().Now();
            date.hour = date.minute = date.second = date.millisecond = 0;
        } else if (!ParseDate(options.businessDate, date)) {
            error = "not a business date (dd.mm.yyyy): " + options.businessDate;
            return false;
        }
        today = db::oracle::ToDayNumber(date);
        summary = Summary();
        summary.businessDate = DateText(today);
        bool deposits = options.openDay == OpenDay::Demo || options.depositStories;
        // The restaurant's rows come last, so that the numbers of the others stay as they were.
        return WriteReference(error) && WriteHistory(error) && WriteToday(error) &&
               (!deposits || WriteDeposits(error)) &&
               (!options.depositStories || WriteDepositStories(error)) &&
               ((options.openDay != OpenDay::Demo && !options.restaurantPayment) ||
                WriteRestaurantPayment(error)) &&
               WriteRegisteredDay(error);
    }

private:
    // Reference data: business dates, codes, translations, stations, cashiers, articles, room
    // categories, exchange rates.
    bool WriteReference(std::string& error) {
        std::string sql = text::Format(
            "insert into businessdate values ('%s', %.1f, 'CLOSED');"
            "insert into businessdate values ('%s', %.1f, 'OPEN');"
            "insert into businessdate values ('OTHER', %.1f, 'OPEN');",
            kResort, today - 1, kResort, today, today - 5);
        struct Code {
            const char* code;
            const char* description;
            const char* group;
            const char* type;
            const char* adjustment;
            const char* russian;
        };
        const Code codes[] = {
            {"1000", "Accommodation", "RM", "C", nullptr, "Проживание"},
            {"1010", "Extra bed", "RM", "C", nullptr, "Дополнительная кровать"},
            {"1050", "Bed and breakfast", "PKG", "PK", nullptr, "Проживание с завтраком"},
            {"2000", "Restaurant", "FB", "C", nullptr, "Ресторан"},
            {"2010", "Breakfast", "FB", "PK", nullptr, "Завтрак"},
            {"2100", "Lobby bar", "FB", "C", nullptr, "Лобби-бар"},
            {"5000", "Minibar", "MB", "C", "5001", "Мини-бар"},
            {"5001", "Minibar adjustment", "MB", "C", nullptr, nullptr},
            {"5010", "Airport transfer", "TR", "C", nullptr, "Трансфер"},
            {"1", "VAT 20%", "TAX", "C", nullptr, nullptr},
            {"2", "VAT 10%", "TAX", "C", nullptr, nullptr},
            {"3", "VAT 0%", "TAX", "C", nullptr, nullptr},
            {"4", "City tax", "TAX", "C", nullptr, "Курортный сбор"},
            {"9000", "Cash", "PAY", "FC", nullptr, "Наличные"},
            {"9004", "Visa", "PAY", "FC", nullptr, nullptr},
            {"9005", "MasterCard", "PAY", "FC", nullptr, nullptr},
            {"9010", "Cheque", "PAY", "FC", nullptr, nullptr},
            {"9020", "City ledger", "PAY", "FC", nullptr, "Безналичный расчет"},
            {"9050", "Online deposit", "DEP", "FC", nullptr, nullptr},
            {"9060", "Bank transfer deposit", "DEP", "FC", nullptr, nullptr},
            {"9100", "Deposit", "DEP", "FC", nullptr, nullptr},
            {"9900", "Cash loan", "GC", "FC", nullptr, nullptr},
            {"9910", "General cashier drop", "GC", "FC", nullptr, nullptr},
            {"9901I", "Deposit transfer", "DEP", "FC", nullptr, nullptr},
        };
        descriptions["9901"] = "Deposit transfer";  // the code of a transfer's status row
        for (const Code& c : codes) {
            descriptions[c.code] = c.description;
            sql += text::Format("insert into trx$_codes values ('%s','%s','%s','%s','%s',%s,'Y','Y');",
                                kResort, c.code, c.description, c.group, c.type,
                                c.adjustment ? (std::string("'") + c.adjustment + "'").c_str() : "NULL");
            if (c.russian) {
                sql += text::Format("insert into fin_trx_translation values ('%s','%s','RU','%s');", kResort,
                                    c.code, platform::Cp1251(c.russian).c_str());
            }
        }
        sql +=
            "insert into fin$_tran_action values (1, 'FO1');"
            "insert into fin$_tran_action values (2, 'FO2');"
            "insert into cashiers$ values (1, 'SUPERVISOR');"
            "insert into cashiers$ values (2, 'ANNA');"
            "insert into cashiers$ values (3, 'BORIS');"
            "insert into cashiers$ values (99, 'INTERFACE');"
            "insert into employee values (1, 2, 'Front desk agent', 'Anna Ivanova', '770123456789');"
            "insert into employee values (2, 3, 'Night auditor', 'Boris Smirnov', '770987654321');"
            "insert into article$_codes values (1, 'DEMO', '501', 'Mineral water 0.5');"
            "insert into article$_codes values (2, 'DEMO', '502', 'Cashew nuts');"
            "insert into article$_codes values (3, 'DEMO', '503', 'Chocolate bar');"
            "insert into room_category_template values (1, 'STD');"
            "insert into room_category_template values (2, 'DLX');"
            "insert into room_category_template values (3, 'STE');";
        sql += text::Format(
            "insert into currency_exchange_rates values ('%s','USD',%.1f,90.1);"
            "insert into currency_exchange_rates values ('%s','USD',%.1f,%.4f);"
            "insert into currency_exchange_rates values ('%s','EUR',%.1f,99.8);",
            kResort, today - 30, kResort, today - 1, kUsdRate, kResort, today - 1);
        return Exec(db, sql, error);
    }

    // --- rows ---

    // A statement of its own, failing like the prepared ones.
    void Execute(const std::string& sql) {
        if (!failed && !Exec(db, sql, firstError)) {
            failed = true;
        }
    }

    // Keeps the first failure; later writes are skipped.
    void Ran(Statement& statement) {
        if (failed) {
            return;
        }
        if (!statement.Run(firstError)) {
            failed = true;
        }
    }

    static std::optional<std::string> Optional(const std::string& s) {
        return s.empty() ? std::optional<std::string>() : s;
    }

    int NewName(const std::string& first, const std::string& last, const std::string& company = "",
                const std::string& taxNumber = "", const std::string& email = "") {
        int id = writingHistory ? TakeHistoryNumbers(nextName, kTodayName) : nextName++;
        insertName.Int(id)
            .Text(Optional(first))
            .Text(Optional(last))
            .Text(Optional(company))
            .Text(Optional(company.empty() ? "" : company + " (billing)"))
            .Text(Optional(taxNumber))
            .Text(Optional(taxNumber))
            .Text(Optional(company.empty() ? "" : "KPP 770101001"));
        Ran(insertName);
        if (!email.empty()) {
            insertWebPage.Int(id).Text(email);
            Ran(insertWebPage);
        }
        return id;
    }

    // A stay from its arrival for some nights; with a rate code, one daily element per night
    // (the rate and room category of each night).
    int NewStay(int nameId, double arrival, int nights, int category, const std::string& rate,
                std::optional<double> reinstated = std::nullopt) {
        int id = writingHistory ? TakeHistoryNumbers(nextReservation, kTodayReservation) : nextReservation++;
        insertReservation.Int(id).Text(std::string(kResort)).Int(nameId).Text(Confirmation(id));
        if (reinstated) {
            insertReservation.Real(*reinstated);
        } else {
            insertReservation.Null();
        }
        Ran(insertReservation);
        for (int n = 0; !rate.empty() && n < nights; ++n) {
            int sequence = nextElement++;
            insertElement.Int(sequence).Text(std::string(kResort)).Int(category);
            Ran(insertElement);
            insertDay.Text(std::string(kResort)).Int(id).Real(arrival + n).Int(sequence).Text(rate);
            Ran(insertDay);
        }
        return id;
    }

    std::string Confirmation(int reservation) const { return text::Format("%d", 3000000 + reservation); }

    int Post(const Txn& t, std::optional<int> fixedNumber = std::nullopt) {
        int trxNo = fixedNumber      ? *fixedNumber
                    : writingHistory ? TakeHistoryNumbers(nextTrx, kTodayTrx)
                                     : nextTrx;
        nextTrx = std::max(nextTrx, trxNo + 1);
        double posted = t.posted ? *t.posted : t.amount;
        double net = t.net ? *t.net : t.amount;
        insertTrx.Int(trxNo)
            .Text(std::string(kResort))
            .Real(t.date)
            .Text(t.code)
            .Text(t.room)
            .Real(t.amount)
            .Real(posted)
            .Real(net)
            .Real(t.guestAccountDebit)
            .Real(RoundCents(t.amount / t.quantity))
            .Real(t.quantity)
            .Text(t.currency)
            .Real(t.rate)
            .Int(t.receipt)
            .Text(t.receiptType)
            .Int(t.bill)
            .Int(t.ar)
            .Int(t.view)
            .Int(t.addedBy)
            .Int(t.header ? *t.header : trxNo)
            .Int(t.packageLink)
            .Int(t.action)
            .Text(t.taxInclusive)
            .Text(t.subtype)
            .Int(t.nameId)
            .Int(t.cashier)
            .Int(t.reservation)
            .Int(t.article)
            .Text(t.reference)
            .Text(t.chequeNumber)
            .Int(t.fromReservation);
        Ran(insertTrx);
        ++summary.transactions;
        if (t.date == today && IsPaymentListCode(t.code)) {
            summary.paymentsOfTheDay.push_back(trxNo);
        }
        return trxNo;
    }

    // --- bills ---

    Folio NewFolio(int nameId, int reservation, const std::string& room, int cashier, int action,
                   bool registered) {
        Folio f;
        f.nameId = nameId;
        f.payee = nameId;
        f.bill.number = writingHistory ? TakeHistoryNumbers(nextHistoryBill, kTodayBill) : nextTodayBill++;
        f.bill.reservation = reservation;
        f.bill.confirmation = Confirmation(reservation);
        f.bill.room = room;
        f.bill.cashier = cashier;
        f.bill.station = action == kFo1 ? "FO1" : "FO2";
        f.action = action;
        f.registered = registered;
        return f;
    }

    Txn LineOf(const Folio& f, const std::string& code, double amount, double day) const {
        Txn t;
        t.date = day;
        t.code = code;
        t.room = f.bill.room;
        t.amount = amount;
        t.bill = f.bill.number;
        t.view = f.view;
        t.action = f.action;
        t.cashier = f.bill.cashier;
        t.reservation = f.bill.reservation;
        t.nameId = f.nameId;
        return t;
    }

    // A charge on the bill, VAT included (20%).
    int Charge(Folio& f, const std::string& code, double amount, double day) {
        Txn t = LineOf(f, code, amount, day);
        t.net = RoundCents(amount / 1.2);
        int trxNo = Post(t);
        f.bill.postings.push_back(trxNo);
        return trxNo;
    }

    // A room night and the city tax generated for it.
    void Night(Folio& f, double amount, double day) {
        int room = Charge(f, "1000", amount, day);
        Txn tax = LineOf(f, "4", 100, day);
        tax.taxInclusive = "N";
        tax.addedBy = room;
        f.bill.postings.push_back(Post(tax));
    }

    int Pay(Folio& f, const std::string& code, double amount, double day, const std::string& currency = "RUB",
            double posted = 0, double rate = 1) {
        Txn t = LineOf(f, code, amount, day);
        t.subtype = "FC";
        t.taxInclusive = "N";
        t.receipt = NextReceipt();
        t.currency = currency;
        if (currency != "RUB") {
            t.posted = posted;
            t.rate = rate;
        }
        int trxNo = Post(t);
        f.bill.payments.push_back(trxNo);
        f.bill.total += amount;
        paymentCodes[trxNo] = {code, t};
        if (!writingHistory) {
            receipts[trxNo] = *t.receipt;
        }
        return trxNo;
    }

    // A cash refund on the bill that names the receipt of the sale it reverses.
    int Refund(Folio& f, int sale, double amount, double day) {
        Txn t = LineOf(f, "9000", -amount, day);
        t.subtype = "FC";
        t.taxInclusive = "N";
        t.receipt = NextReceipt();
        t.reference = text::Format("%d", receipts[sale]);
        int trxNo = Post(t);
        f.bill.payments.push_back(trxNo);
        f.bill.total -= amount;
        return trxNo;
    }

    // Writes the bill (made at the given minute of the day) and, for the history, the status rows
    // of its fiscalised payments.
    void CloseFolio(Folio& f, double day, int minute) {
        insertFolio.Text(std::string(kResort))
            .Int(f.bill.number)
            .Real(day)
            .Real(day + minute / 1440.0)
            .Int(f.bill.reservation)
            .Int(f.view)
            .Int(f.nameId)
            .Int(f.payee)
            .Int(f.bill.cashier)
            .Text(f.bill.station);
        Ran(insertFolio);
        if (f.registered) {
            for (int trxNo : f.bill.payments) {
                Status(trxNo, f, "Y", day);
            }
        } else if (day == today) {
            summary.bills.push_back(f.bill);
        }
    }

    void Status(int trxNo, const Folio& f, const std::string& status, double day) {
        const auto& [code, t] = paymentCodes[trxNo];
        bool fiscalised = status == "Y" || status == "D";
        insertStatus.Int(trxNo)
            .Int(text::ToInt(code))
            .Text(descriptions[code])
            .Real(t.amount)
            .Text(f.bill.room)
            .Text(text::Format("%d", t.receipt.value_or(0)))
            .Text(f.bill.confirmation)
            .Int(f.bill.number)
            .Text(f.bill.station)
            .Int(f.bill.cashier)
            .Text(status)
            .Real(day)
            .Text(text::Format("%d", f.bill.reservation))
            .Text(Optional(fiscalised ? "SIM1" : ""))
            .Text(Optional(fiscalised ? "1" : ""))
            .Text(Optional(fiscalised ? text::Format("%d", trxNo % 100000) : ""))
            .Text(Optional(fiscalised ? text::Format("ST_1/%d.txt", trxNo) : ""));
        Ran(insertStatus);
        ++summary.statusRows;
        paymentCodes.erase(trxNo);
    }

    // --- the open business date ---

    bool WriteToday(std::string& error) {
        nextTrx = kTodayTrx;
        nextName = kTodayName;
        nextReservation = kTodayReservation;
        const double d = today;
        const bool demo = options.openDay == OpenDay::Demo;

        {  // Three payments on one bill.
            Folio f = Departure("Ivan", "Petrov", "101", kAnna, d, 2, kStandard, "BAR");
            Night(f, 4500, d - 2);
            Night(f, 4500, d - 1);
            Charge(f, "2000", 1850, d - 1);
            Charge(f, "2100", 620, d - 1);
            Pay(f, "9000", 5000, d);
            Pay(f, "9004", 4000, d);
            Pay(f, "9005", 2670, d);
            summary.threePaymentBill = f.bill.number;
            CloseFolio(f, d, 9 * 60 + 5);
        }
        if (demo) {
            {  // A bed-and-breakfast package: the package line carries what the guest pays; the room
               // and the breakfast are its parts. Minibar articles besides.
                Folio f = Departure("Sean", "O'Brien", "205", kBoris, d, 1, kDeluxe, "BB");
                int package = nextTrx;
                Txn header = LineOf(f, "1050", 6500, d - 1);
                header.subtype = "PK";
                header.guestAccountDebit = 6500;
                header.packageLink = package;
                header.net = RoundCents(6500 / 1.2);
                f.bill.postings.push_back(Post(header));
                Txn room = LineOf(f, "1000", 5800, d - 1);
                room.packageLink = package;
                room.net = RoundCents(5800 / 1.2);
                f.bill.postings.push_back(Post(room));
                Txn breakfast = LineOf(f, "2010", 700, d - 1);
                breakfast.subtype = "PK";
                breakfast.packageLink = package;
                breakfast.net = RoundCents(700 / 1.2);
                f.bill.postings.push_back(Post(breakfast));
                Txn water = LineOf(f, "5000", 250, d - 1);
                water.article = 1;
                water.reference = "Guest's minibar";
                f.bill.postings.push_back(Post(water));
                Txn chocolate = LineOf(f, "5000", 380, d - 1);
                chocolate.article = 3;
                f.bill.postings.push_back(Post(chocolate));
                Pay(f, "9004", 7130, d);
                summary.packageBill = f.bill.number;
                CloseFolio(f, d, 9 * 60 + 40);
            }
            {  // A company's guest, billed to the company in window 2 and paid on its city ledger.
                int guest = NewName("Olga", "Sidorova", "", "", "olga.sidorova@globex.example");
                int company = NewName("", "", "Globex LLC", "7709123456", "accounts@globex.example");
                int stay = NewStay(guest, d - 1, 1, kSuite, "CORP");
                Folio f = NewFolio(guest, stay, "310", kAnna, kFo1, false);
                f.payee = company;
                f.view = 2;
                f.bill.guestFirstName = "Olga";
                f.bill.guestLastName = "Sidorova";
                f.bill.company = "Globex LLC";
                insertRouting.Int(stay).Int(2).Int(company);
                Ran(insertRouting);
                Night(f, 9800, d - 1);
                Pay(f, "9020", 9900, d);
                summary.companyBill = f.bill.number;
                CloseFolio(f, d, 10 * 60 + 12);
            }
        }
        {  // Paid in US dollars: 100 USD at 92.50.
            Folio f = Departure("John", "Smith", "112", kBoris, d, 1, kStandard, "BAR");
            Night(f, 8000, d - 1);
            Charge(f, "2000", 1150, d - 1);
            summary.currencyPayment = Pay(f, "9000", 9250, d, "USD", 100, kUsdRate);
            summary.currencyBill = f.bill.number;
            CloseFolio(f, d, 10 * 60 + 31);
        }
        {  // An airport transfer on a bill of its own.
            Folio f = Departure("Anna", "Kowalska", "214", kAnna, d, 3, kDeluxe, "BAR");
            Charge(f, "5010", 2500, d);
            Pay(f, "9000", 2500, d);
            summary.transferBill = f.bill.number;
            CloseFolio(f, d, 11 * 60);
        }
        if (demo) {
            {  // A reinstated bill: its postings went back to the reservation, its payments stayed.
                Folio f = Departure("Peter", "Novak", "121", kBoris, d, 2, kStandard, "BAR", d);
                Pay(f, "9000", 3000, d);
                Pay(f, "9004", 2000, d);
                summary.reinstatedBill = f.bill.number;
                CloseFolio(f, d, 11 * 60 + 20);
            }
            // Ordinary departures, one payment each.
            const char* const firsts[] = {"Elena", "Dmitry", "Maria", "Sergey", "Laura", "Oleg", "Nina"};
            const char* const lasts[] = {"Volkova", "Orlov", "Garcia", "Kuznetsov",
                                         "Meyer",   "Popov", "Rossi"};
            const char* const pays[] = {"9000", "9004", "9005"};
            for (int i = 0; i < 7; ++i) {
                int nights = 1 + i % 2;
                bool deluxe = i % 3 == 2;
                Folio f = Departure(firsts[i], lasts[i], text::Format("%d", 102 + i), i % 2 ? kBoris : kAnna,
                                    d, nights, deluxe ? kDeluxe : kStandard, "BAR");
                double rate = deluxe ? 6200 : 4500;
                double total = 0;
                for (int n = nights; n >= 1; --n) {
                    Night(f, rate, d - n);
                    total += rate + 100;
                }
                if (i % 3 == 0) {
                    Charge(f, "2000", 980 + 10 * i, d - 1);
                    total += 980 + 10 * i;
                }
                Pay(f, pays[i % 3], total, d);
                CloseFolio(f, d, 12 * 60 + 10 * i);
            }
            {  // The house account: staff meals, never registered (an ignored room).
                int house = NewName("", "", "House account");
                int stay = NewStay(house, d - 30, 31, kStandard, "");
                Folio f = NewFolio(house, stay, "9998", kAnna, kFo1, false);
                Charge(f, "2000", 1200, d);
                summary.ignoredPayments.push_back(Pay(f, "9000", 1200, d));
                summary.houseBill = f.bill.number;
                CloseFolio(f, d, 14 * 60);
            }
            // Staying guests paying in advance: payments without a bill.
            const char* const rooms[] = {"130", "131", "132", "133"};
            const char* const advance[] = {"9000", "9004", "9005", "9000"};
            const double amounts[] = {3000, 5000, 4000, 2000};
            const char* const guests[] = {"Igor", "Svetlana", "Hans", "Chen"};
            for (int i = 0; i < 4; ++i) {
                int guest = NewName(guests[i], "Guest", "", "", "");
                int stay = NewStay(guest, d - 1, 3, kStandard, "BAR");
                Folio f = NewFolio(guest, stay, rooms[i], i % 2 ? kBoris : kAnna, i % 2 ? kFo2 : kFo1, false);
                --nextTodayBill;
                Txn night = LineOf(f, "1000", 4500, d - 1);
                night.bill.reset();
                Post(night);
                Txn pay = LineOf(f, advance[i], amounts[i], d);
                pay.bill.reset();
                pay.subtype = "FC";
                pay.taxInclusive = "N";
                pay.receipt = nextTodayReceipt++;
                summary.inHousePayments.push_back(Post(pay));
            }
            {  // A group's payment on the pay master's room.
                int group = NewName("", "", "Sputnik Tours", "7701999888");
                int stay = NewStay(group, d - 2, 4, kStandard, "");
                Txn pay;
                pay.date = d;
                pay.code = "9004";
                pay.room = "9999";
                pay.amount = 15000;
                pay.subtype = "FC";
                pay.taxInclusive = "N";
                pay.receipt = nextTodayReceipt++;
                pay.reservation = stay;
                pay.nameId = group;
                pay.action = kFo1;
                pay.cashier = kAnna;
                summary.payMasterPayment = Post(pay);
            }
            {  // A company settling its accounts-receivable account by card.
                Txn pay;
                pay.date = d;
                pay.code = "9004";
                pay.amount = 25000;
                pay.subtype = "FC";
                pay.taxInclusive = "N";
                pay.receipt = nextTodayReceipt++;
                pay.ar = 4001;
                pay.action = kFo2;
                pay.cashier = kBoris;
                pay.reference = "AR 4001 invoice 77";
                summary.arPayment = Post(pay);
            }
        }
        if (options.testBills) {
            WriteTestBills(d);
        }
        if (demo) {
            // Yesterday's bill whose registration failed, and an older one that someone marked
            // to be registered again.
            summary.yesterdayBill = EarlierBill("Lena", "Kraus", "109", kAnna, d - 1, "9004", "N");
            summary.againBill = EarlierBill("Tom", "Berg", "110", kBoris, d - 2, "9000", "S");
        }
        return Finish(error);
    }

    // A dinner of a staying guest, paid at the restaurant: the POS interface posts the check's
    // total and its payment to the guest's folio window, both with the POS check's reference (revenue
    // centre 1, check 42, opened at 19:30), and the check-database server holds the POS check.
    bool WriteRestaurantPayment(std::string& error) {
        const double d = today;
        const std::string date = DateText(d);  // dd.mm.yyyy
        const std::string stamp = date.substr(6, 4) + date.substr(3, 2) + date.substr(0, 2);
        const std::string reference = "0010042" + stamp + "193000";
        const double total = 2484.90;
        int guest = NewName("Irina", "Belova", "", "", "irina.belova@example.com");
        int stay = NewStay(guest, d - 1, 3, kStandard, "BAR");
        Folio f = NewFolio(guest, stay, "118", kInterface, kFo1, false);
        --nextTodayBill;  // no bill yet: the guest stays on
        for (const char* code : {"2000", "9005"}) {
            Txn line = LineOf(f, code, total, d);
            line.bill.reset();
            line.chequeNumber = reference;
            if (std::string(code) == "9005") {
                line.subtype = "FC";
                line.taxInclusive = "N";
                line.receipt = nextTodayReceipt++;
                summary.restaurantPayment = Post(line);
            } else {
                // The interface posts the gross amount: the guest's window is settled, so the
                // payment pays for the dinner and is no advance.
                Post(line);
            }
        }
        summary.posReference = reference;
        const std::string day = date.substr(6, 4) + "-" + date.substr(3, 2) + "-" + date.substr(0, 2);
        summary.posChecks.push_back(
            "{\"uws\":3,\"rvc\":1,\"cknum\":42,\"open_time\":\"" + day + "T19:30:00\",\"close_time\":\"" + day +
            "T21:05:00\",\"total\":\"2484.90\",\"tremp\":7,\"waiter\":\"Alla\",\"tbl\":12,\"gst\":2," +
            "\"trans_void\":false,\"adj_check\":false,\"dtl\":[" +
            platform::Cp1251(
                R"({"type":"M","objnum":1101,"name":"Борщ","qty":2,"ttl":"900.00","tax":128},)"
                R"({"type":"M","objnum":1205,"name":"Бефстроганов","qty":1,"ttl":"1250.00","tax":128},)"
                R"({"type":"M","objnum":2301,"name":"Морс клюквенный","qty":2,"ttl":"360.00","tax":128,"taxps":1},)"
                R"({"type":"D","objnum":9001,"name":"Скидка 10%","qty":1,"ttl":"-251.00","tax":128},)"
                R"({"type":"S","objnum":9500,"name":"Обслуживание 10%","qty":1,"ttl":"225.90","tax":128},)"
                R"({"type":"T","objnum":9005,"name":"MasterCard","ttl":"2484.90"}],)"
                R"("tax":[{"type":"A","taxnum":1,"name":"НДС 20%","rate":20,"ttl":"414.15","txbl":"2070.75"}]})"));
        return Finish(error);
    }

    // Bills that only the tests ask for: a cash refund, the ignored supervisor's bill and a bill
    // paid partly by cheque, a code outside the demo configuration's payment list.
    void WriteTestBills(double d) {
        {  // The guest paid too much in advance and got the rest back in cash.
            Folio f = Departure("Karl", "Braun", "115", kAnna, d, 1, kStandard, "BAR");
            Night(f, 4500, d - 1);
            int sale = Pay(f, "9000", 5000, d);
            summary.refundPayment = Refund(f, sale, 400, d);
            summary.refundBill = f.bill.number;
            CloseFolio(f, d, 15 * 60);
        }
        {  // Checked out by the supervisor, whose checks are never registered.
            Folio f = Departure("Test", "Stay", "116", kSupervisor, d, 1, kStandard, "BAR");
            Night(f, 4500, d - 1);
            summary.ignoredPayments.push_back(Pay(f, "9000", 4600, d));
            summary.supervisorBill = f.bill.number;
            CloseFolio(f, d, 15 * 60 + 10);
        }
        {  // Paid partly by cheque.
            Folio f = Departure("Greta", "Lind", "117", kBoris, d, 1, kStandard, "BAR");
            Night(f, 4500, d - 1);
            Pay(f, "9000", 2600, d);
            summary.chequePayment = Pay(f, "9010", 2000, d);
            summary.chequeBill = f.bill.number;
            CloseFolio(f, d, 15 * 60 + 20);
        }
    }

    // The bill of a guest leaving on the given day after some nights, with the station of the
    // cashier (Anna at FO1, Boris and the supervisor at FO2).
    Folio Departure(const std::string& first, const std::string& last, const std::string& room, int cashier,
                    double day, int nights, int category, const std::string& rate,
                    std::optional<double> reinstated = std::nullopt) {
        int guest = NewName(first, last, "", "", text::ToLower(first + "." + last) + "@example.com");
        int stay = NewStay(guest, day - nights, nights, category, rate, reinstated);
        Folio f = NewFolio(guest, stay, room, cashier, cashier == kAnna ? kFo1 : kFo2, false);
        f.bill.guestFirstName = first;
        f.bill.guestLastName = last;
        return f;
    }

    // A one-night bill of an earlier business date whose payment has the given status.
    int EarlierBill(const char* first, const char* last, const char* room, int cashier, double day,
                    const char* code, const char* status) {
        Folio f = Departure(first, last, room, cashier, day, 1, kStandard, "BAR");
        Night(f, 4500, day - 1);
        int payment = Pay(f, code, 4600, day);
        CloseFolio(f, day, 18 * 60);
        Status(payment, f, status, day);
        summary.earlierPayments.push_back(payment);
        return f.bill.number;
    }

    // The pay list of the demo configuration (cash, Visa, MasterCard, city ledger).
    static bool IsPaymentListCode(const std::string& code) {
        return code == "9000" || code == "9004" || code == "9005" || code == "9020";
    }

    // --- deposits of arriving guests, as the PMS mirrors them into the service's own table ---

    bool WriteDeposits(std::string& error) {
        struct Arrival {
            const char* first;
            const char* last;
            const char* code;
            double amount;
        };
        // Kate stays one night and leaves the next day; Marco arrives tomorrow.
        const Arrival arrivals[] = {{"Kate", "Winter", "9004", 5000}, {"Marco", "Bianchi", "9050", 3000}};
        for (const Arrival& a : arrivals) {
            bool kate = a.code == std::string("9004");
            int guest = NewName(a.first, a.last, "", "", "");
            int stay = kate ? NewStay(guest, today, 1, kStandard, "BAR")
                            : NewStay(guest, today + 1, 2, kStandard, "BAR");
            Txn deposit;
            deposit.date = today;
            deposit.code = a.code;
            deposit.amount = a.amount;
            deposit.subtype = "FC";
            deposit.taxInclusive = "N";
            deposit.receipt = nextTodayReceipt++;
            deposit.receiptType = "RDR";
            deposit.reservation = stay;
            deposit.nameId = guest;
            deposit.action = kFo1;
            deposit.cashier = kAnna;
            int trxNo = Post(deposit);
            insertDeposit.Int(trxNo);
            Ran(insertDeposit);
            receipts[trxNo] = *deposit.receipt;
            (kate ? summary.rdrDeposit : summary.onlineDeposit) = trxNo;
            if (kate) {
                kateStay = {guest, stay};
            }
        }
        summary.depositsOfTheDay = {summary.rdrDeposit};
        if (options.openDay == OpenDay::Demo) {
            // The staying guests' advances and the pay master's payment have no bill either: they
            // are deposits too, their folio windows being open.
            summary.depositsOfTheDay.insert(summary.depositsOfTheDay.end(), summary.inHousePayments.begin(),
                                            summary.inHousePayments.end());
            summary.depositsOfTheDay.push_back(summary.payMasterPayment);
        }
        return Finish(error);
    }

    // --- deposit, refund and split stories: the open date and the two business dates after it ---

    bool WriteDepositStories(std::string& error) {
        const double d = today;
        summary.nextBusinessDate = DateText(d + 1);
        WriteDepositsWithoutBill(d);
        WriteRefunds(d);
        WriteSplit(d);
        WriteCheckOuts(d);
        return Finish(error);
    }

    // A stay without a bill yet: its lines carry no bill number.
    Folio Staying(const std::string& first, const std::string& last, const std::string& company,
                  const std::string& room, double arrival, int nights) {
        int guest = NewName(first, last, company, "", "");
        int stay = NewStay(guest, arrival, nights, kStandard, "BAR");
        Folio f = NewFolio(guest, stay, room, kAnna, kFo1, false);
        --nextTodayBill;
        f.bill.number = 0;
        return f;
    }
    Txn Unbilled(const Folio& f, const std::string& code, double amount, double day) const {
        Txn t = LineOf(f, code, amount, day);
        t.bill.reset();
        return t;
    }
    Txn UnbilledPayment(const Folio& f, const std::string& code, double amount, double day) {
        Txn t = Unbilled(f, code, amount, day);
        t.subtype = "FC";
        t.taxInclusive = "N";
        t.receipt = nextTodayReceipt++;
        return t;
    }

    void WriteDepositsWithoutBill(double d) {
        {  // A deposit by bank transfer: an additional deposit code, receipt type DEP.
            Folio f = Staying("Lucia", "Ferri", "", "", d + 5, 3);
            Txn t = UnbilledPayment(f, "9060", 4000, d);
            t.room.reset();
            t.receiptType = "DEP";
            t.action = kFo2;
            t.cashier = kBoris;
            summary.otherTypeDeposit = Post(t);
            summary.depositsOfTheDay.push_back(summary.otherTypeDeposit);
        }
        {  // An advance on an open window, which a colleague's reservation then takes over.
            Folio f = Staying("Hugo", "Brandt", "", "136", d - 1, 3);
            Post(Unbilled(f, "1000", 4500, d - 1));
            summary.openWindowDeposit = Post(UnbilledPayment(f, "9000", 2500, d));
            summary.depositsOfTheDay.push_back(summary.openWindowDeposit);
            summary.transferSource = f.bill.reservation;
            Folio colleague = Staying("Nadia", "Brandt", "", "137", d, 2);
            Txn transfer = Unbilled(colleague, "9901I", 2500, d);
            transfer.subtype = "FC";
            transfer.taxInclusive = "N";
            transfer.fromReservation = f.bill.reservation;
            summary.depositTransfer = Post(transfer);
            summary.transferTarget = colleague.bill.reservation;
        }
        {  // Bar and minibar paid in advance to the cent: the window is settled.
            Folio f = Staying("Paolo", "Conti", "", "134", d - 1, 2);
            Post(Unbilled(f, "2100", 100.10, d - 1));
            Post(Unbilled(f, "5000", 200.20, d));
            summary.settledWindowPayment = Post(UnbilledPayment(f, "9000", 300.30, d));
        }
        {  // A travel agency's deposit for its group, on the group's master folio.
            Folio f = Staying("", "", "Alpina Travel", "9990", d - 2, 4);
            summary.groupDeposit = Post(UnbilledPayment(f, "9004", 15000, d));
            summary.depositsOfTheDay.push_back(summary.groupDeposit);
        }
    }

    // Refunds in cash that name the receipt of their sale.
    void WriteRefunds(double d) {
        {  // Part of the day's payment back.
            Folio f = Departure("Ulrich", "Hahn", "138", kAnna, d, 1, kStandard, "BAR");
            Night(f, 4500, d - 1);
            summary.refundSale = Pay(f, "9000", 5000, d);
            summary.sameDayRefund = Refund(f, summary.refundSale, 400, d);
            CloseFolio(f, d, 16 * 60);
        }
        {  // Part of yesterday's advance back, which was registered yesterday.
            Folio f = Departure("Mikhail", "Belov", "139", kBoris, d, 2, kStandard, "BAR");
            Night(f, 4500, d - 2);
            Night(f, 4500, d - 1);
            int advance = Pay(f, "9000", 10000, d - 1);
            Status(advance, f, "Y", d - 1);
            summary.laterDayRefund = Refund(f, advance, 800, d);
            CloseFolio(f, d, 16 * 60 + 10);
        }
        {  // More back than the cash payment it names.
            Folio f = Departure("Fiona", "Gray", "140", kAnna, d, 1, kStandard, "BAR");
            Night(f, 4500, d - 1);
            int sale = Pay(f, "9000", 2000, d);
            Pay(f, "9004", 2600, d);
            summary.tooLargeRefund = Refund(f, sale, 2500, d);
            CloseFolio(f, d, 16 * 60 + 20);
        }
    }

    // A card payment registered in the morning that Opera then split into two parts: the
    // payment is deleted (journal flag D) and the parts carry its receipt number.
    void WriteSplit(double d) {
        Folio f = Departure("Emma", "Larsen", "141", kAnna, d, 1, kStandard, "BAR");
        Night(f, 4500, d - 1);
        Charge(f, "2000", 1400, d - 1);
        int origin = Pay(f, "9004", 6000, d);
        int receipt = receipts[origin];
        Status(origin, f, "Y", d);
        insertJournal.Int(origin).Int(origin).Text(std::string(kResort)).Real(d).Text(std::string("9004"));
        insertJournal.Real(6000).Int(receipt).Text(std::string("D"));
        Ran(insertJournal);
        Execute(text::Format("delete from financial_transactions where trx_no=%d", origin));
        --summary.transactions;
        f.bill.payments.pop_back();
        f.bill.total -= 6000;
        summary.paymentsOfTheDay.pop_back();
        summary.splitOrigin = origin;
        const double parts[] = {4000, 2000};
        for (int i = 0; i < 2; ++i) {
            Txn t = LineOf(f, "9004", parts[i], d);
            t.subtype = "FC";
            t.taxInclusive = "N";
            t.receipt = receipt;
            t.reference = text::Format("Split %d/2 of 6000.00", i + 1);
            int part = Post(t);
            f.bill.payments.push_back(part);
            f.bill.total += parts[i];
            summary.splitParts.push_back(part);
        }
        CloseFolio(f, d, 16 * 60 + 30);
    }

    // The bills of the next two business dates.
    void WriteCheckOuts(double d) {
        {  // Kate leaves: her deposit pays most of the bill.
            Folio f = NewFolio(kateStay.first, kateStay.second, "118", kAnna, kFo1, false);
            Night(f, 4500, d);
            Charge(f, "2000", 1400, d + 1);
            Execute(text::Format("update financial_transactions set bill_no=%d, room='118' where trx_no=%d",
                                 f.bill.number, summary.rdrDeposit));
            f.bill.payments.push_back(summary.rdrDeposit);
            Pay(f, "9004", 1000, d + 1);
            summary.depositBill = f.bill.number;
            CloseFolio(f, d + 1, 10 * 60);
        }
        {  // A member of the agency's group: the group deposit is brought over to his bill.
            Folio f = Departure("Viktor", "Lebedev", "221", kBoris, d + 1, 3, kStandard, "BAR");
            for (int n = 2; n >= 0; --n) {
                Night(f, 4900, d - n);
            }
            Txn t = LineOf(f, "9100", 15000, d + 1);
            t.subtype = "FC";
            t.taxInclusive = "N";
            t.receipt = nextTodayReceipt++;
            t.header = summary.groupDeposit;
            summary.payMasterDeposit = Post(t);
            f.bill.payments.push_back(summary.payMasterDeposit);
            summary.payMasterDepositBill = f.bill.number;
            CloseFolio(f, d + 1, 10 * 60 + 30);
        }
        {  // Sofia pays a deposit for a later stay and cancels it the same day: the PMS keeps the
           // deposit in the service's table for her pro-forma folio, and her bill has no postings.
            int guest = NewName("Sofia", "Romano", "", "", "");
            int stay = NewStay(guest, d + 30, 2, kStandard, "BAR");
            Folio f = NewFolio(guest, stay, "", kAnna, kFo1, false);
            Txn deposit = LineOf(f, "9005", 4000, d + 2);
            deposit.room.reset();
            deposit.subtype = "FC";
            deposit.taxInclusive = "N";
            deposit.receipt = nextTodayReceipt++;
            deposit.receiptType = "RDR";
            summary.proFormaDeposit = Post(deposit);
            insertDeposit.Int(summary.proFormaDeposit);
            Ran(insertDeposit);
            receipts[summary.proFormaDeposit] = *deposit.receipt;
            f.bill.payments.push_back(summary.proFormaDeposit);
            summary.proFormaRefund = Refund(f, summary.proFormaDeposit, 4000, d + 2);
            summary.proFormaBill = f.bill.number;
            CloseFolio(f, d + 2, 17 * 60);
        }
    }

    // --- history: business dates before the open one, every payment fiscalised ---

    bool WriteHistory(std::string& error) {
        int total = options.historyTransactions;
        if (total <= 0) {
            return true;
        }
        int days = std::clamp(total / kHistoryPerDay, 1, kHistoryMaxDays);
        summary.historyDays = days;
        writingHistory = true;
        for (int k = days; k >= 1 && !failed; --k) {
            double day = today - k;
            int budget = total / days + (k == 1 ? total % days : 0);
            int written = 0;
            int minute = 7 * 60;
            while (written < budget && !failed) {
                int before = summary.transactions;
                WriteRegisteredBill(day, minute, options.depositsHistory);
                written += summary.transactions - before;
            }
        }
        writingHistory = false;
        return Finish(error);
    }

    // Bills of the open date that were registered already, as on a busy day that has been worked
    // off: they come after every other row of the open date, whose numbers stay as they were.
    bool WriteRegisteredDay(std::string& error) {
        int minute = 7 * 60;
        for (int i = 0; i < options.registeredBills && !failed; ++i) {
            WriteRegisteredBill(today, minute, false);
        }
        return Finish(error);
    }

    int Pick(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }

    // A guest's bill of the day with its room nights, perhaps a meal and the minibar, paid once or
    // twice, every payment registered, made some minutes after the one before. With deposits, one
    // stay in four paid a deposit before it came (registered as a deposit, status D), and one
    // deposit in eight of them was then moved to another reservation by a '9901I' transfer (its row
    // D, naming the new reservation).
    void WriteRegisteredBill(double day, int& minute, bool deposits) {
        const char* const firsts[] = {"Alexey", "Irina", "Pavel", "Olga",  "Mark",   "Sofia",
                                      "Yuri",   "Emma",  "Artem", "Daria", "Viktor", "Julia",
                                      "Leon",   "Vera",  "Roman", "Alice"};
        const char* const lasts[] = {"Ivanov",   "Smirnova", "Lebedev", "Novikova", "Fischer",
                                     "Morozova", "Sokolov",  "Martin",  "Egorov",   "Pavlova",
                                     "Weber",    "Kozlova",  "Durand",  "Vasilieva"};
        const char* const pays[] = {"9000", "9004", "9005", "9004", "9000", "9020"};
        int nights = 1 + Pick(3);
        int category = 1 + Pick(3);
        double rate = category == kStandard ? 4500 : category == kDeluxe ? 6200 : 9800;
        int guest = NewName(firsts[Pick(16)], lasts[Pick(14)]);
        int stay = NewStay(guest, day - nights, nights, category, "");
        std::string room = text::Format("%d", 100 * (1 + Pick(4)) + 1 + Pick(40));
        bool anna = Pick(2) == 0;
        Folio f = NewFolio(guest, stay, room, anna ? kAnna : kBoris, anna ? kFo1 : kFo2, true);
        double amount = 0;
        for (int n = nights; n >= 1; --n) {
            Night(f, rate, day - n);
            amount += rate + 100;
        }
        if (Pick(2) == 0) {
            double meal = 400 + 10 * Pick(250);
            Charge(f, Pick(2) ? "2000" : "2100", meal, day - 1);
            amount += meal;
        }
        if (Pick(4) == 0) {
            Txn minibar = LineOf(f, "5000", 250, day - 1);
            minibar.article = 1 + Pick(3);
            f.bill.postings.push_back(Post(minibar));
            amount += 250;
        }
        if (deposits && Pick(4) == 0) {
            amount -= Deposit(f, day - nights - Pick(10), amount);
        }
        if (Pick(5) == 0) {
            double first = RoundCents(amount / 2);
            Pay(f, pays[Pick(6)], first, day);
            Pay(f, pays[Pick(6)], amount - first, day);
        } else {
            Pay(f, pays[Pick(6)], amount, day);
        }
        minute = std::min(minute + 1 + Pick(10), 23 * 60 + 59);
        CloseFolio(f, day, minute);
    }

    // A deposit paid on the given day for the stay of the bill: a part of what the stay costs,
    // the way a booking asks for it (a share from 20 % to 100 %, to ten roubles), registered as a
    // deposit. Returns what it pays of the bill: all of it, or nothing when it was moved on.
    double Deposit(Folio& f, double day, double stayCost) {
        double amount = std::round(stayCost * (20 + Pick(81)) / 1000.0) * 10;
        bool moved = Pick(8) == 0;
        Txn t = LineOf(f, Pick(3) ? "9004" : "9000", amount, day);
        t.room.reset();
        if (moved) {
            t.bill.reset();
        }
        t.subtype = "FC";
        t.taxInclusive = "N";
        t.receipt = NextReceipt();
        t.receiptType = "RDR";
        int trxNo = Post(t);
        paymentCodes[trxNo] = {t.code, t};
        Status(trxNo, f, "D", day);
        if (!moved) {
            return amount;
        }
        // Moved to another guest's reservation the next day: the transfer's own row is D too.
        int other = NewStay(NewName("Transfer", "Guest"), day + 5, 1, kStandard, "");
        Txn transfer = LineOf(f, "9901I", amount, day + 1);
        transfer.room.reset();
        transfer.bill.reset();
        transfer.subtype = "FC";
        transfer.taxInclusive = "N";
        transfer.reservation = other;
        transfer.fromReservation = f.bill.reservation;
        int transferNo = Post(transfer);
        // The row as the service writes it: no room, receipt, folio, bill or workstation.
        Folio target;
        target.bill.reservation = other;
        paymentCodes[transferNo] = {"9901", transfer};
        Status(transferNo, target, "D", day + 1);
        return 0;
    }

    int NextReceipt() {
        return writingHistory ? TakeHistoryNumbers(nextHistoryReceipt, kTodayReceipt) : nextTodayReceipt++;
    }

    bool Finish(std::string& error) {
        if (failed) {
            error = firstError;
        }
        return !failed;
    }

    sqlite3* db;
    const Options& options;
    Summary& summary;
    std::mt19937 random;
    Statement insertTrx;
    Statement insertStatus;
    Statement insertFolio;
    Statement insertName;
    Statement insertReservation;
    Statement insertDay;
    Statement insertElement;
    Statement insertWebPage;
    Statement insertRouting;
    Statement insertJournal;
    Statement insertDeposit;
    double today = 0;
    // Rows of the history take the history's numbers.
    bool writingHistory = false;
    int nextTrx = 1;
    int nextName = 1;
    int nextReservation = 1;
    int nextElement = 1;
    int nextHistoryBill = kHistoryBill;
    int nextTodayBill = kTodayBill;
    int nextHistoryReceipt = 1;
    int nextTodayReceipt = kTodayReceipt;
    bool failed = false;
    std::string firstError;
    std::map<std::string, std::string> descriptions;
    // Payments written but without a status row yet: their code and row.
    std::map<int, std::pair<std::string, Txn>> paymentCodes;
    // The receipt number of every payment, by trx_no.
    std::map<int, int> receipts;
    // Name and reservation of the arriving guest with a deposit.
    std::pair<int, int> kateStay;
};

}  // namespace

bool Generate(const Options& options, Summary& summary, std::string& error) {
    std::error_code ignored;
    // A write-ahead log left by a program that used the old file (a service that was killed)
    // would be read into the new one.
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::filesystem::remove(options.file + suffix, ignored);
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(options.file.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        error = "cannot create " + options.file + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return false;
    }
    // The tables first and their indexes after the rows: much faster at benchmark scale.
    std::vector<std::string> tables;
    std::vector<std::string> indexes;
    bool suite8 = options.pms == PmsKind::Suite8;
    for (const char* script : {kOwnTablesSql, suite8 ? kSuite8SchemaSql : kOperaSchemaSql}) {
        for (const std::string& statement : Statements(script)) {
            (IsIndex(statement) ? indexes : tables).push_back(statement);
        }
    }
    bool ok = Exec(db, "PRAGMA page_size=16384; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", error);
    for (size_t i = 0; ok && i < tables.size(); ++i) {
        ok = Exec(db, tables[i], error);
    }
    ok = ok && Exec(db, "BEGIN", error);
    if (ok && suite8) {
        ok = WriteSuite8Hotel(db, options, summary, error);
    } else if (ok) {
        Generator generator(db, options, summary);
        ok = generator.Run(error);
    }
    ok = ok && Exec(db, "COMMIT", error);
    // The indexes sort in memory. The statistics come from whole indexes: those of a sample
    // (analysis_limit) tell the planner that a bill has 2,000 transactions, and it reads them all.
    ok = ok && Exec(db, "PRAGMA cache_size=-262144; PRAGMA temp_store=MEMORY;", error);
    for (size_t i = 0; ok && i < indexes.size(); ++i) {
        ok = Exec(db, indexes[i], error);
    }
    ok = ok && Exec(db, "ANALYZE", error);
    sqlite3_close(db);
    if (ok && !options.posChecksFile.empty() &&
        !platform::WriteFile(options.posChecksFile, "[\n" + text::Join(summary.posChecks, ",\n") + "\n]\n")) {
        error = "cannot write " + options.posChecksFile;
        ok = false;
    }
    if (!ok) {
        std::filesystem::remove(options.file, ignored);
    }
    return ok;
}

}  // namespace pmsgen
