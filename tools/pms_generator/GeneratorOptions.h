#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the generator is asked to write (Options) and what it wrote (Summary), for the Opera and
// the Suite8 hotel alike.
namespace pmsgen {

// What the open business date holds: the demo hotel's day, or (Small, for the end-to-end tests,
// where every registered check costs a second) only the three-payment bill, the bill paid in
// US dollars and the airport transfer.
enum class OpenDay { Demo, Small };

// The PMS of the hotel: Opera (resort DEMO, schema OPERA) or Suite8 (schema FIDELIO, a check per
// invoice; see Suite8Hotel.h for its open date).
enum class PmsKind { Opera, Suite8 };

struct Options {
    // The database file; an existing file is replaced.
    std::string file;
    // The open business date, "dd.mm.yyyy"; empty is today.
    std::string businessDate;
    // Financial transactions of the history before the open date (0: none).
    int historyTransactions = 0;
    // The history holds deposits as a hotel's does: one stay in four paid one before it came
    // (registered as a deposit: status D), and one in eight of those was moved to another
    // reservation by a '9901I' transfer (status D too).
    bool depositsHistory = false;
    // Bills of the open date that are registered already (status Y), as after a busy day; they
    // come after the day's other rows, which keep their numbers.
    int registeredBills = 0;
    uint32_t seed = 20260314;
    OpenDay openDay = OpenDay::Demo;
    // Adds to the open date, for the tests: a bill with a cash refund, a bill of the ignored
    // supervisor (cashier 1) and a bill paid partly by cheque (code 9010).
    bool testBills = false;
    // Adds the deposit, refund and split stories: deposits of the open date (an arriving guest's
    // and an online one as with OpenDay::Demo, and more), a transfer of one, refunds that name
    // their sale, a split of a registered payment, and the bills of the next two business dates
    // that consume and settle deposits.
    bool depositStories = false;
    // Adds to a Small open date the dinner paid at the restaurant (a Demo date always has it).
    bool restaurantPayment = false;
    // Where the POS checks of the POS postings are written, as a JSON array for the
    // check-database server stand-in; empty writes none.
    std::string posChecksFile;
    PmsKind pms = PmsKind::Opera;
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
    // The dinner paid at the restaurant: its payment, the POS check reference that it and its
    // revenue posting carry, and the POS checks (JSON objects) the server holds.
    int restaurantPayment = 0;
    std::string posReference;
    std::vector<std::string> posChecks;
    // Before the open date.
    int yesterdayBill = 0;  // the day before: its registration failed (status N)
    int againBill = 0;      // two days before: marked to be registered again (status S)
    // Their payments (yesterday's first): registered after the open date's checks where the
    // configuration takes up checks of closed business dates.
    std::vector<int> earlierPayments;

    // Deposits of arriving guests (OpenDay::Demo or depositStories).
    int rdrDeposit = 0;         // Kate Winter's card deposit, receipt type RDR (kind 1)
    int onlineDeposit = 0;      // Marco Bianchi's online deposit (code 9050), kept for his pro-forma folio
    // Every payment of the open date that is registered as a deposit (status D): with
    // OpenDay::Demo also the advances of staying guests and the pay master's payment, which have
    // no bill on open folio windows.
    std::vector<int> depositsOfTheDay;
    // The deposit stories (depositStories).
    int otherTypeDeposit = 0;   // a bank transfer deposit (code 9060, receipt type DEP: kind 20)
    int openWindowDeposit = 0;  // an advance without bill on an open folio window (kind 1)
    int settledWindowPayment = 0;  // without bill, its window's lines cancel to the cent: a payment
    int groupDeposit = 0;          // a group's deposit without bill, later brought over to a bill
    int depositTransfer = 0;       // '9901I': the open window's advance moved to another reservation
    int transferSource = 0;        // the reservations of the transfer
    int transferTarget = 0;
    int refundSale = 0;       // a cash sale and a refund of part of it naming its receipt
    int sameDayRefund = 0;
    int laterDayRefund = 0;   // refund of a sale of the day before: a cash pick-up
    int tooLargeRefund = 0;   // larger than the sale it names: refused, left N
    int splitOrigin = 0;      // a registered card payment Opera deleted when it split it
    std::vector<int> splitParts;
    // The next two business dates, which the demo opens by a night audit.
    std::string nextBusinessDate;     // "dd.mm.yyyy", the open date + 1
    int depositBill = 0;              // Kate's check-out: her deposit and a card payment
    int payMasterDepositBill = 0;     // the group deposit brought over with code 9100 (pay master)
    int payMasterDeposit = 0;         // that 9100 payment
    // The open date + 2: a deposit for a later stay (kept in deposit_financial_transactions) and the
    // bill of its cancellation, without postings, that refunds it.
    int proFormaDeposit = 0;
    int proFormaBill = 0;
    int proFormaRefund = 0;

    // Suite8: how many documents the due payments and deposits make (an invoice holds several
    // payments); 0 when every due payment and deposit is a document of its own.
    size_t registrations = 0;
    // Suite8: the invoice number used in two series (two invoices, two documents), the invoices
    // that hold the two parts of a manual split, the posting with a POS check.
    int twoSeriesInvoice = 0;
    std::vector<int> splitInvoices;
    int posCheckPosting = 0;
};

}  // namespace pmsgen
