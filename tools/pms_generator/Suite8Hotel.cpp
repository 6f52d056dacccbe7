#include "Suite8Hotel.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <random>

#include "SqlScript.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Text.h"
#include "storage/db/OracleFormats.h"

namespace pmsgen {

namespace {

// Numbers of the open date's rows, apart from those of the history (which count from 1 and step
// over kTodayNumbers of each, SqlScript.h), so that they are the same at every scale.
constexpr int kTodayPosting = 60000001;
constexpr int kTodayInvoiceId = 900001;
constexpr int kTodayInvoice = 70001;
constexpr int kTodayWindow = 800001;
constexpr int kTodayCustomer = 500001;
constexpr int kTodayReservation = 600001;
constexpr int kHistoryInvoice = 10001;

constexpr int kHistoryPerDay = 300;
constexpr int kHistoryMaxDays = 1095;

// Departments (zdco_id) and the codes they carry.
enum Department {
    kRoom = 1,
    kRestaurant,
    kBar,
    kCityTax,
    kTransfer,
    kCash,
    kVisa,
    kMasterCard,
    kCityLedger,
    kArTransfer,
    kDeposit
};
struct DepartmentRow {
    int id;
    int code;
    const char* text;
    const char* russian;
    const char* governmentCodes;
};
const DepartmentRow kDepartments[] = {
    {kRoom, 1000, "Accommodation", "Проживание", "1,2"},
    {kRestaurant, 2000, "Restaurant", "Ресторан", "1,2"},
    {kBar, 2100, "Lobby bar", "Лобби-бар", "1,2"},
    {kCityTax, 4, "City tax", "Курортный сбор", "1,2"},
    {kTransfer, 5010, "Airport transfer", "Трансфер", "2"},
    {kCash, 9000, "Cash", "Наличные", "1,2"},
    {kVisa, 9004, "Visa", nullptr, "1,2"},
    {kMasterCard, 9005, "MasterCard", nullptr, "1,2"},
    {kCityLedger, 9020, "City ledger", "Безналичный расчет", "1,2"},
    {kArTransfer, 9021, "AR transfer", nullptr, nullptr},
    {kDeposit, 9100, "Deposit", nullptr, "1,2"},
};

// Cashiers (zcas) and the users (xced) who work as them, at their workstation (wpca).
constexpr int kSupervisor = 1;
constexpr int kAnna = 2;
constexpr int kBoris = 3;
int UserOf(int cashier) {
    return 10 + cashier;
}
std::string StationOf(int cashier) {
    return cashier == kAnna ? "FO1" : "FO2";
}

// Posting kinds (zpos_cdt).
constexpr int kCharge = 0;
constexpr int kTax = 2;
constexpr int kPayment = 5;

// Room categories and rates.
constexpr int kStandard = 1;
constexpr int kDeluxe = 2;
constexpr int kSuite = 3;

constexpr const char* kPostingInsert =
    "insert into zpos (zpos_id, zpos_zdco_id, zpos_descript, zpos_unitprice, zpos_quantity, "
    "zpos_exchangerate, "
    "zpos_cdt, zpos_zcas_id, zpos_postdate, zpos_comment, zpos_taxlink_id, zpos_ledgerstatus, "
    "zpos_foreignprice, "
    "zpos_grossforeignprice, zpos_sumupamount, zpos_zfac_id, zpos_zcur_id, zpos_zwin_id, "
    "zpos_manualsplit_id, "
    "zpos_zche_id, zpos_wpca_netbios, zpos_deposit, zpos_xcms_id, zpos_user_xcms_id, zpos_yres_id, "
    "zpos_originated_yres_id, zpos_paidout, zpos_noreprint) values "
    "(?,?,?,?,1,1,?,?,?,?,?,?,?,?,?,?,1,?,?,?,?,0,?,?,?,?,0,0)";

// One posting; unset optionals are NULL.
struct Posting {
    int department = kRoom;
    double amount = 0;
    int kind = kCharge;
    double date = 0;
    std::optional<std::string> comment;
    std::optional<int> taxLink;
    std::optional<int> ledger;
    std::optional<int> facility;
    std::optional<int> split;
    std::optional<int> posCheck;
};

// A folio window being written: its stay, guest, cashier and what it holds so far.
struct Window {
    int id = 0;
    int customer = 0;
    int reservation = 0;
    int cashier = kAnna;
    std::string room;
    std::vector<int> postings;
    std::vector<int> payments;
    // Advance payments registered as deposits (status D) when they were paid.
    std::vector<int> deposits;
    double balance = 0;
    double paid = 0;
};

class Writer {
public:
    Writer(sqlite3* db, const Options& options, Summary& summary)
        : db(db),
          options(options),
          summary(summary),
          random(options.seed),
          insertPosting(db, kPostingInsert),
          insertInvoice(db, "insert into zinv values (?,?,?,?,?,?)"),
          insertLink(db, "insert into zpil values (?,?,?)"),
          insertCreator(db, "insert into wmlg values (?,'ZINV',?,?)"),
          insertWindow(db, "insert into zwin values (?,?)"),
          insertCustomer(db, "insert into xcms values (?,?,?,?,?)"),
          insertStay(db, "insert into yres values (?,?)"),
          insertDay(db, "insert into ydet values (?,?,?,?,?,?,2)"),
          insertStatus(
              db,
              "insert into qel_financial_transactions (trx_no, trx_code, description, trx_amount, room, "
              "recpt_no, folio_no, bill_no, machine, cashier_id, qel_fisc_status, business_date, attempt, "
              "reference, printer_id, shift_number, check_number, title) values "
              "(?,?,?,?,?,?,?,?,?,?,?,?,1,NULL,'SIM1','1',?,?)") {}

    bool Run(std::string& error) {
        for (const Statement* s : {&insertPosting, &insertInvoice, &insertLink, &insertCreator, &insertWindow,
                                   &insertCustomer, &insertStay, &insertDay, &insertStatus}) {
            if (!s->Ok()) {
                error = std::string("cannot prepare the inserts: ") + sqlite3_errmsg(db);
                return false;
            }
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
        return WriteReference(error) && WriteHistory(error) && WriteToday(error) && WriteRegisteredDay(error);
    }

private:
    bool WriteReference(std::string& error) {
        std::string sql = text::Format("insert into wgbs values (1, %.1f);", today);
        for (const DepartmentRow& d : kDepartments) {
            sql += text::Format(
                "insert into zdco values (%d, %d, '%s', %s, 0, 0);", d.id, d.code, d.text,
                d.governmentCodes ? (std::string("'") + d.governmentCodes + "'").c_str() : "NULL");
            if (d.russian) {
                sql += text::Format("insert into wtrl values (%d, 'ZDCO', 'ZDCO_FOLIOTEXT', %d, 1, '%s');",
                                    d.id, d.id, platform::Cp1251(d.russian).c_str());
            }
        }
        sql +=
            "insert into zcas values (1, 1, 'SUPERVISOR');"
            "insert into zcas values (2, 2, 'ANNA');"
            "insert into zcas values (3, 3, 'BORIS');"
            "insert into xced values (11, 1, 'Supervisor');"
            "insert into xced values (12, 2, 'Front desk agent');"
            "insert into xced values (13, 3, 'Night auditor');"
            "insert into xect values (1, 'INN');"
            "insert into xcom values (1, 12, NULL, 1, 0, '770123456789');"
            "insert into xcom values (2, 13, NULL, 1, 0, '770987654321');"
            "insert into xcmt values (1, 1, 'E-Mail');"
            "insert into xmty values (1, 3);"
            "insert into wpca values (1, 'FO1');"
            "insert into wpca values (2, 'FO2');"
            "insert into wses values (1, 11, 2);"
            "insert into wses values (2, 12, 1);"
            "insert into wses values (3, 13, 2);"
            "insert into zcur values (1, 'RUB');"
            "insert into ycat values (1, 'STD', 101);"
            "insert into ycat values (2, 'DLX', 102);"
            "insert into ycat values (3, 'STE', 103);"
            "insert into yrch values (1, 'BAR');"
            "insert into yrch values (2, 'CORP');"
            "insert into zfan values (1, 'Globex LLC accounts receivable');"
            "insert into zfag values (1, 'AR', 200);"
            "insert into zfac values (1, 1, 1, NULL);";
        return Exec(db, sql, error);
    }

    // --- rows ---

    void Ran(Statement& statement) {
        if (!failed && !statement.Run(firstError)) {
            failed = true;
        }
    }

    int NewCustomer(int type, const std::string& name1, const std::string& name2 = "") {
        int id = nextCustomer++;
        insertCustomer.Int(id).Int(type).Text(name1);
        if (name2.empty()) {
            insertCustomer.Null();
        } else {
            insertCustomer.Text(name2);
        }
        insertCustomer.Null();
        Ran(insertCustomer);
        return id;
    }

    // A reservation staying some nights before the given day, in the room's category and rate.
    int NewStay(double departure, int nights, int category, int rate, const std::string& room) {
        int id = nextReservation++;
        int day = 0;
        for (int n = nights; n >= 1; --n) {
            day = nextDay++;
            insertDay.Int(day)
                .Int(id)
                .Real(departure - n)
                .Int(RoomId(room, category))
                .Int(category)
                .Int(rate);
            Ran(insertDay);
        }
        insertStay.Int(id).Int(day);
        Ran(insertStay);
        return id;
    }

    int RoomId(const std::string& room, int category) {
        auto known = rooms.find(room);
        if (known != rooms.end()) {
            return known->second;
        }
        int id = static_cast<int>(rooms.size()) + 1;
        rooms[room] = id;
        if (!failed &&
            !Exec(db, text::Format("insert into yrms values (%d, '%s', %d)", id, room.c_str(), category),
                  firstError)) {
            failed = true;
        }
        return id;
    }

    Window NewWindow(int customer, int reservation, int cashier, const std::string& room, int number = 1) {
        Window w;
        w.id = history ? TakeHistoryNumbers(nextWindow, kTodayWindow) : nextWindow++;
        w.customer = customer;
        w.reservation = reservation;
        w.cashier = cashier;
        w.room = room;
        insertWindow.Int(w.id).Int(number);
        Ran(insertWindow);
        return w;
    }

    int Post(Window& w, const Posting& p) {
        int id = history ? TakeHistoryNumbers(nextPosting, kTodayPosting) : nextPosting++;
        const DepartmentRow& d = kDepartments[p.department - 1];
        insertPosting.Int(id)
            .Int(p.department)
            .Text(p.department == kRoom ? "Room " + w.room : std::string(d.text))
            .Real(p.amount)
            .Int(p.kind)
            .Int(w.cashier)
            .Real(p.date)
            .Text(p.comment)
            .Int(p.taxLink)
            .Int(p.ledger)
            .Real(p.amount)
            .Real(p.amount)
            .Real(p.amount)
            .Int(p.facility)
            .Int(w.id)
            .Int(p.split)
            .Int(p.posCheck)
            .Text(StationOf(w.cashier))
            .Int(w.customer)
            .Int(UserOf(w.cashier));
        if (w.reservation != 0) {
            insertPosting.Int(w.reservation).Int(w.reservation);
        } else {
            insertPosting.Null().Null();
        }
        Ran(insertPosting);
        ++summary.transactions;
        if (p.kind == kPayment) {
            w.payments.push_back(id);
            w.balance -= p.amount;
            w.paid += p.amount;
            if (p.date == today && !registered) {
                summary.paymentsOfTheDay.push_back(id);
            }
        } else {
            w.postings.push_back(id);
            w.balance += p.amount;
        }
        return id;
    }

    void Charge(Window& w, int department, double amount, double day,
                std::optional<int> posCheck = std::nullopt) {
        Posting p;
        p.department = department;
        p.amount = amount;
        p.date = day;
        p.posCheck = posCheck;
        Post(w, p);
    }

    // A room night and the city tax line linked to it (both carry the tax line's number).
    void Night(Window& w, double amount, double day) {
        if (history) {
            // The two lines take consecutive numbers.
            nextPosting = TakeHistoryNumbers(nextPosting, kTodayPosting, 2);
        }
        int tax = nextPosting + 1;
        Posting room;
        room.amount = amount;
        room.date = day;
        room.taxLink = tax;
        Post(w, room);
        Posting cityTax;
        cityTax.department = kCityTax;
        cityTax.amount = 100;
        cityTax.kind = kTax;
        cityTax.date = day;
        cityTax.taxLink = tax;
        Post(w, cityTax);
    }

    int Pay(Window& w, int department, double amount, double day, std::optional<int> split = std::nullopt) {
        Posting p;
        p.department = department;
        p.amount = amount;
        p.kind = kPayment;
        p.date = day;
        p.split = split;
        return Post(w, p);
    }

    // The invoice of a window (its number in a series), made by its cashier at the given minute.
    Bill Invoice(const Window& w, int number, int series, double day, int minute) {
        int id = history ? TakeHistoryNumbers(nextInvoiceId, kTodayInvoiceId) : nextInvoiceId++;
        insertInvoice.Int(id).Int(number).Int(series).Real(day).Real(day + minute / 1440.0).Int(w.customer);
        Ran(insertInvoice);
        for (int posting : w.postings) {
            Link(id, posting);
        }
        for (int payment : w.payments) {
            Link(id, payment);
        }
        for (int deposit : w.deposits) {
            Link(id, deposit);
        }
        insertCreator.Int(nextCreator++).Int(id).Int(UserOf(w.cashier));
        Ran(insertCreator);
        Bill bill;
        bill.number = number;
        bill.reservation = id;
        bill.room = w.room;
        bill.cashier = w.cashier;
        bill.station = StationOf(w.cashier);
        bill.postings = w.postings;
        bill.payments = w.payments;
        bill.total = w.paid;
        if (registered) {
            for (int payment : w.payments) {
                Registered(payment, "Y", number, id, day);
            }
            for (int deposit : w.deposits) {
                Registered(deposit, "D", number, id, day);
            }
        }
        return bill;
    }

    void Link(int invoice, int posting) {
        insertLink.Int(nextLink++).Int(invoice).Int(posting);
        Ran(insertLink);
    }

    void Registered(int payment, const std::string& status, int number, int invoice, double day) {
        insertStatus.Int(payment)
            .Int(9000)
            .Text(std::string("Payment"))
            .Real(0)
            .Null()
            .Text(std::to_string(invoice))
            .Null()
            .Int(number)
            .Text(std::string("FO1"))
            .Int(kAnna)
            .Text(status)
            .Real(day)
            .Text(std::to_string(payment % 100000))
            .Text(text::Format("ST_1/%d.txt", payment));
        Ran(insertStatus);
        ++summary.statusRows;
    }

    // --- history: invoices before the open date, every payment registered ---

    bool WriteHistory(std::string& error) {
        int total = options.historyTransactions;
        if (total <= 0) {
            return true;
        }
        history = true;
        registered = true;
        int days = std::clamp(total / kHistoryPerDay, 1, kHistoryMaxDays);
        summary.historyDays = days;
        historyCustomer = NewCustomer(2, "History", "Guest");
        for (int k = days; k >= 1 && !failed; --k) {
            double day = today - k;
            int budget = total / days + (k == 1 ? total % days : 0);
            int written = 0;
            int minute = 7 * 60;
            while (written < budget && !failed) {
                int before = summary.transactions;
                int number = TakeHistoryNumbers(nextHistoryInvoice, kTodayInvoice);
                WriteRegisteredInvoice(number, day, minute, options.depositsHistory);
                written += summary.transactions - before;
            }
        }
        history = false;
        registered = false;
        return Finish(error);
    }

    // Invoices of the open date registered already, as after a busy day; written after the day's
    // other rows, which keep their numbers.
    bool WriteRegisteredDay(std::string& error) {
        if (options.registeredBills <= 0) {
            return true;
        }
        registered = true;
        if (historyCustomer == 0) {
            historyCustomer = NewCustomer(2, "History", "Guest");
        }
        int minute = 7 * 60;
        for (int i = 0; i < options.registeredBills && !failed; ++i) {
            WriteRegisteredInvoice(nextInvoice++, today, minute, false);
        }
        registered = false;
        return Finish(error);
    }

    int Pick(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }

    // An invoice of the day for a stay of some nights, perhaps a meal, paid once or twice, every
    // payment registered, made some minutes after the one before. With deposits, one stay in four
    // paid an advance before it came (a share of its cost, registered as a deposit: status D).
    void WriteRegisteredInvoice(int number, double day, int& minute, bool deposits) {
        const int pays[] = {kCash, kVisa, kMasterCard, kVisa, kCash, kCityLedger};
        int nights = 1 + Pick(3);
        int category = 1 + Pick(3);
        double rate = category == kStandard ? 4500 : category == kDeluxe ? 6200 : 9800;
        std::string room = text::Format("%d", 100 * (1 + Pick(4)) + 1 + Pick(40));
        Window w = NewWindow(historyCustomer, 0, Pick(2) ? kAnna : kBoris, room);
        for (int n = nights; n >= 1; --n) {
            Night(w, rate, day - n);
        }
        if (Pick(2) == 0) {
            Charge(w, Pick(2) ? kRestaurant : kBar, 400 + 10 * Pick(250), day - 1);
        }
        if (deposits && Pick(4) == 0) {
            Posting advance;
            advance.department = Pick(3) ? kVisa : kCash;
            advance.amount = std::round(w.balance * (20 + Pick(81)) / 1000.0) * 10;
            advance.kind = kPayment;
            advance.date = day - nights - Pick(10);
            advance.ledger = 1;
            int deposit = Post(w, advance);
            w.payments.pop_back();
            w.deposits.push_back(deposit);
        }
        double due = w.balance;
        if (Pick(5) == 0) {
            double first = RoundCents(due / 2);
            Pay(w, pays[Pick(6)], first, day);
            Pay(w, pays[Pick(6)], due - first, day);
        } else {
            Pay(w, pays[Pick(6)], due, day);
        }
        minute = std::min(minute + 1 + Pick(10), 23 * 60 + 59);
        Invoice(w, number, 1, day, minute);
    }

    // --- the open business date ---

    // A guest's stay ending today, its window and its room nights.
    Window Departure(const std::string& first, const std::string& last, const std::string& room, int cashier,
                     int nights, int category, double rate) {
        int guest = NewCustomer(2, first, last);
        int stay = NewStay(today, nights, category, 1, room);
        Window w = NewWindow(guest, stay, cashier, room);
        for (int n = nights; n >= 1; --n) {
            Night(w, rate, today - n);
        }
        return w;
    }

    void Issue(const Window& w, int series, int minute, int number = 0) {
        Bill bill = Invoice(w, number == 0 ? nextInvoice++ : number, series, today, minute);
        summary.bills.push_back(bill);
    }

    bool WriteToday(std::string& error) {
        nextPosting = kTodayPosting;
        nextInvoiceId = kTodayInvoiceId;
        nextWindow = kTodayWindow;
        nextCustomer = kTodayCustomer;
        nextReservation = kTodayReservation;
        const double d = today;
        const bool demo = options.openDay == OpenDay::Demo;
        size_t documents = 0;

        {  // Cash, Visa and MasterCard on one invoice; the dinner came from the POS as check 42.
            Window w = Departure("Ivan", "Petrov", "101", kAnna, 2, kStandard, 4500);
            Exec(
                db,
                text::Format("insert into zche values (1, '1230042', %.6f)", d - 1 + (20 * 60 + 15) / 1440.0),
                firstError);
            Charge(w, kRestaurant, 1850, d - 1, 1);
            summary.posCheckPosting = w.postings.back();
            Charge(w, kBar, 620, d - 1);
            Pay(w, kCash, 5000, d);
            Pay(w, kVisa, 4000, d);
            Pay(w, kMasterCard, 2670, d);
            summary.threePaymentBill = nextInvoice;
            Issue(w, 1, 9 * 60 + 5);
            ++documents;
        }
        if (demo) {  // One invoice number in two series: the guest's stay, and the company's dinner on its
                     // city ledger, which the company settles through accounts receivable the same day.
            int company = NewCustomer(1, "Globex", "LLC");
            Exec(db, text::Format("insert into xmnr values (1, %d, 1, '7709123456')", company), firstError);
            Window guest = Departure("Olga", "Sidorova", "310", kBoris, 1, kSuite, 9800);
            Pay(guest, kVisa, 9900, d);
            Window billed = NewWindow(company, guest.reservation, kBoris, "310", 2);
            Charge(billed, kRestaurant, 2400, d - 1);
            int cityLedger = Pay(billed, kCityLedger, 2400, d);
            int number = nextInvoice++;
            summary.twoSeriesInvoice = number;
            summary.companyBill = number;
            Issue(guest, 1, 10 * 60 + 12, number);
            Issue(billed, 2, 10 * 60 + 13, number);
            documents += 2;
            Window account = NewWindow(company, 0, kBoris, "AR");
            Posting debit;
            debit.department = kArTransfer;
            debit.amount = 2400;
            debit.date = d;
            debit.ledger = 3;
            debit.facility = 1;
            Post(account, debit);
            Posting settlement;
            settlement.department = kVisa;
            settlement.amount = 2400;
            settlement.kind = kPayment;
            settlement.date = d;
            settlement.ledger = 3;
            settlement.facility = 1;
            settlement.comment = "Globex settles invoice " + std::to_string(number);
            summary.arPayment = Post(account, settlement);
            Exec(db,
                 text::Format("insert into ainv values (1, %d); insert into ainv values (2, %d); "
                              "insert into aipl values (1, 1, 2);",
                              cityLedger, summary.arPayment),
                 firstError);
            ++documents;
        }
        if (demo) {  // A Visa payment of 6000 split by hand between two guests' invoices.
            Window sergey = Departure("Sergey", "Kuznetsov", "104", kAnna, 1, kStandard, 4500);
            Window maria = Departure("Maria", "Garcia", "105", kAnna, 0, kStandard, 0);
            Charge(maria, kRestaurant, 1400, d - 1);
            Pay(sergey, kVisa, 4600, d, 1);
            Pay(maria, kVisa, 1400, d, 1);
            summary.splitInvoices = {nextInvoice, nextInvoice + 1};
            Issue(sergey, 1, 11 * 60);
            Issue(maria, 1, 11 * 60 + 5);
            documents += 2;
        }
        {  // An airport transfer on an invoice of its own (its own print line).
            Window w = Departure("Anna", "Kowalska", "214", kAnna, 0, kDeluxe, 0);
            Charge(w, kTransfer, 2500, d);
            Pay(w, kCash, 2500, d);
            summary.transferBill = nextInvoice;
            Issue(w, 1, 11 * 60 + 40);
            ++documents;
        }
        if (demo) {  // The house account's staff meal, invoiced by the supervisor: never registered.
            int house = NewCustomer(2, "House account");
            Window w = NewWindow(house, 0, kSupervisor, "9998");
            Charge(w, kRestaurant, 1200, d);
            summary.ignoredPayments.push_back(Pay(w, kCash, 1200, d));
            summary.houseBill = nextInvoice;
            Issue(w, 1, 14 * 60);
        }
        // Ordinary departures, one payment each.
        const char* const firsts[] = {"Elena", "Dmitry", "Laura", "Oleg", "Nina"};
        const char* const lasts[] = {"Volkova", "Orlov", "Meyer", "Popov", "Rossi"};
        const int pays[] = {kCash, kVisa, kMasterCard};
        for (int i = 0; demo && i < 5; ++i) {
            bool deluxe = i % 3 == 2;
            Window w = Departure(firsts[i], lasts[i], text::Format("%d", 106 + i), i % 2 ? kBoris : kAnna,
                                 1 + i % 2, deluxe ? kDeluxe : kStandard, deluxe ? 6200 : 4500);
            if (i % 2 == 0) {
                Charge(w, kRestaurant, 980 + 10 * i, d - 1);
            }
            Pay(w, pays[i % 3], w.balance, d);
            Issue(w, 1, 12 * 60 + 10 * i);
            ++documents;
        }
        // Deposits: advances of staying guests (their windows still owe) and of a guest who
        // arrives tomorrow.
        const char* const guests[] = {"Igor", "Svetlana", "Hans", "Kate"};
        const double advances[] = {3000, 5000, 4000, 5000};
        const int advancePays[] = {kCash, kVisa, kMasterCard, kVisa};
        for (int i = demo ? 0 : 3; i < 4; ++i) {
            bool arriving = i == 3;
            int guest = NewCustomer(2, guests[i], "Guest");
            int stay = NewStay(arriving ? d + 3 : d + 2, arriving ? 2 : 3, kStandard, 1,
                               text::Format("%d", 130 + i));
            Window w = NewWindow(guest, stay, i % 2 ? kBoris : kAnna, text::Format("%d", 130 + i));
            if (!arriving) {
                Night(w, 4500, d - 1);
            }
            Posting advance;
            advance.department = advancePays[i];
            advance.amount = advances[i];
            advance.kind = kPayment;
            advance.date = d;
            advance.ledger = 1;
            summary.depositsOfTheDay.push_back(Post(w, advance));
            ++documents;
        }
        summary.registrations = documents;
        return Finish(error);
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
    Statement insertPosting;
    Statement insertInvoice;
    Statement insertLink;
    Statement insertCreator;
    Statement insertWindow;
    Statement insertCustomer;
    Statement insertStay;
    Statement insertDay;
    Statement insertStatus;
    std::map<std::string, int> rooms;
    double today = 0;
    // Rows of the history take the history's numbers; a registered invoice's payments get their
    // status rows.
    bool history = false;
    bool registered = false;
    int historyCustomer = 0;
    int nextHistoryInvoice = kHistoryInvoice;
    int nextPosting = 1;
    int nextInvoiceId = 1;
    int nextInvoice = kTodayInvoice;
    int nextWindow = 1;
    int nextCustomer = 1;
    int nextReservation = 1;
    int nextDay = 1;
    int nextLink = 1;
    int nextCreator = 1;
    bool failed = false;
    std::string firstError;
};

}  // namespace

bool WriteSuite8Hotel(sqlite3* db, const Options& options, Summary& summary, std::string& error) {
    Writer writer(db, options, summary);
    return writer.Run(error);
}

}  // namespace pmsgen
