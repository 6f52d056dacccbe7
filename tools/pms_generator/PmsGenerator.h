#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The PMS database of the demo hotel (resort DEMO) on the embedded SQLite stand-in, as the demo
// configuration demo/VuvovaZododAVU.xml reads it: one file that holds the service's own tables
// and the Opera tables (the configured schema OPERA lives in the same file).
//
// The open business date holds a fixed set of bills and payments (the same whatever the scale,
// so that tests and the demo can count them); before it lies a history of business dates whose
// payments are all fiscalised, as big as asked for. Everything is drawn from a fixed seed: the
// same options give the same database.
namespace pmsgen {

// What the open business date holds: the demo hotel's day, or (Small, for the end-to-end tests,
// where every registered check costs a second) only the three-payment bill, the bill paid in
// US dollars and the airport transfer.
enum class OpenDay { Demo, Small };

struct Options {
    // The database file; an existing file is replaced.
    std::string file;
    // The open business date, "dd.mm.yyyy"; empty is today.
    std::string businessDate;
    // Financial transactions of the history before the open date (0: none).
    int historyTransactions = 0;
    uint32_t seed = 20260314;
    OpenDay openDay = OpenDay::Demo;
    // Adds to the open date, for the tests: a bill with a cash refund, a bill of the ignored
    // supervisor (cashier 1) and a bill paid partly by cheque (code 9010).
    bool testBills = false;
};

// One bill of the open business date.
struct Bill {
    int number = 0;
    int reservation = 0;
    std::string confirmation;
    std::string room;
    std::string guestFirstName;
    std::string guestLastName;
    std::string company;
    std::string station;
    int cashier = 0;
    std::vector<int> postings;  // trx_no, in order
    std::vector<int> payments;  // trx_no, in order
    double total = 0;           // what the guest pays
};

// What was written, for the tests and the demo to count.
struct Summary {
    std::string businessDate;  // "dd.mm.yyyy"
    int transactions = 0;      // rows of financial_transactions
    int statusRows = 0;        // rows of qel_financial_transactions
    int historyDays = 0;
    // The bills generated on the open date, by ascending number.
    std::vector<Bill> bills;
    // Every payment of the open date with a code of the payment list, by trx_no.
    std::vector<int> paymentsOfTheDay;
    // Those among them that the demo configuration ignores (the house account's room 9998; with
    // testBills also the supervisor's bill).
    std::vector<int> ignoredPayments;

    // The bills and payments of the open date that show one thing each.
    int threePaymentBill = 0;  // cash, Visa and MasterCard on one bill
    int packageBill = 0;       // bed-and-breakfast package and minibar articles
    int companyBill = 0;       // company payee, city ledger, routed to window 2
    int currencyBill = 0;      // paid in US dollars
    int transferBill = 0;      // only an airport transfer (its own print line)
    int reinstatedBill = 0;    // reinstated: only its two payments are left on it
    int houseBill = 0;         // house account (ignored room 9998)
    int currencyPayment = 0;
    int payMasterPayment = 0;          // on the pay master's room 9999, without a bill
    int arPayment = 0;                 // city-ledger settlement on an accounts-receivable account
    std::vector<int> inHousePayments;  // advance payments of staying guests, without a bill
    // With testBills.
    int refundBill = 0;
    int refundPayment = 0;  // -400.00 in cash
    int supervisorBill = 0;
    int chequeBill = 0;
    int chequePayment = 0;
    // Before the open date.
    int yesterdayBill = 0;  // the day before: its registration failed (status N)
    int againBill = 0;      // two days before: marked to be registered again (status S)
};

// Writes the database; false with the reason when it cannot.
bool Generate(const Options& options, Summary& summary, std::string& error);

}  // namespace pmsgen
