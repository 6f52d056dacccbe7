// FiscoraService with printer type 10 against the generated demo hotel and the Czech
// sales-registration simulator: every due bill is one sale registered exactly once, its codes
// land in the status table, a bill marked for registering again goes out as a repeated sending
// once no bill of the day is due, and an answer that does not come (or carries only the offline
// codes) never makes a second registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "CheckRecord.h"
#include "ServiceRun.h"
#include "platform/Text.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "storage/db/OracleFormats.h"

namespace {

using Registration = CzechRegistrationSim::Registration;

// The code and BKP an earlier registration left on the bill to register again.
const std::string kEarlierFik = "0a1b2c3d-0000-4000-8000-000000000001-aa";
const std::string kEarlierBkp = "01234567-89abcdef-01234567-89abcdef-01234567";

// The zone offset the stand-in gives as the database's: that of the local time now.
std::string DatabaseZone() {
    std::string offset, error;
    db::oracle::FormatDate(db::oracle::ToDayNumber(platform::Clock::Current().Now()), "TZH:TZM", offset, error);
    return offset;
}

class CzechRegistrationTest : public ::testing::Test {
protected:
    // A fresh run of the service (the one before ends) on the open day, the bill to register
    // again (demo day) carrying the codes of an earlier registration, and the simulator starting
    // with the fault.
    bool Start(pmsgen::OpenDay day, const std::string& fault = "") { return MakePms(day) && Launch(fault); }
    bool MakePms(pmsgen::OpenDay day) {
        current.reset();
        current = std::make_unique<ServiceRun>("demo/czech/VuvovaZododAVU.xml");
        if (!Run().MakePms(day)) {
            return false;
        }
        Run().Rows(text::Format("update qel_financial_transactions set title='%s', shift_number='%s' where "
                                "bill_no=%d",
                                kEarlierFik.c_str(), kEarlierBkp.c_str(), Run().Pms().againBill));
        return true;
    }
    bool Launch(const std::string& fault) {
        std::string error;
        bool started = Run().StartCzechSimulator(error, fault) && Run().Configure() && Run().StartService();
        EXPECT_TRUE(started) << error << Run().Diagnostics();
        return started;
    }
    ServiceRun& Run() const { return *current; }
    // The demo day's bill paid in parts without its postings; nullptr when there is none.
    const pmsgen::Bill* ReinstatedBill() const {
        for (const pmsgen::Bill& bill : Pms().bills) {
            if (bill.number == Pms().reinstatedBill) {
                return &bill;
            }
        }
        return nullptr;
    }
    const pmsgen::Summary& Pms() const { return Run().Pms(); }

    // The bills of the day that are registered: all but the house account's (an ignored room).
    std::vector<pmsgen::Bill> DueBills() const {
        std::vector<pmsgen::Bill> due;
        for (const pmsgen::Bill& bill : Pms().bills) {
            if (bill.number != Pms().houseBill) {
                due.push_back(bill);
            }
        }
        return due;
    }
    std::vector<int> AllPayments() const {
        std::vector<int> all;
        for (const pmsgen::Bill& bill : Pms().bills) {
            all.insert(all.end(), bill.payments.begin(), bill.payments.end());
        }
        return all;
    }
    std::vector<int> PaymentsOf(int bill) {
        std::vector<int> payments;
        for (const auto& row :
             Run().Rows(text::Format("select trx_no from qel_financial_transactions where bill_no=%d", bill))) {
            payments.push_back(text::ToInt(row[0]));
        }
        return payments;
    }
    // The registrations of a bill at the service, by its receipt number (confirmation/bill).
    std::vector<Registration> RegistrationsOf(const pmsgen::Bill& bill) const {
        std::string receipt = bill.confirmation + "/" + std::to_string(bill.number);
        std::vector<Registration> found;
        for (const Registration& r : Run().CzechSimulator().Registrations()) {
            if (r.receiptNumber == receipt) {
                found.push_back(r);
            }
        }
        return found;
    }
    // Exactly once at the service: one registration (online or offline) per sale and, after an
    // unanswered sending, repeats of it; never a second first sending of a sale.
    void ExpectEachSaleRegisteredOnce() const {
        std::map<std::string, int> firsts;
        for (const Registration& r : Run().CzechSimulator().Registrations()) {
            EXPECT_NE(r.outcome, "duplicate") << r.receiptNumber;
            if (r.outcome != "repeat") {
                ++firsts[r.receiptNumber + " " + r.totalAmount];
            }
        }
        for (const auto& [sale, count] : firsts) {
            EXPECT_EQ(count, 1) << sale;
        }
        for (const pmsgen::Bill& bill : DueBills()) {
            EXPECT_FALSE(RegistrationsOf(bill).empty()) << bill.number;
        }
        for (const pmsgen::Bill& bill : Pms().bills) {
            EXPECT_TRUE(bill.number != Pms().houseBill || RegistrationsOf(bill).empty());
        }
        // And the status rows against every sale the service holds.
        Reconciliation::Expected expected;
        for (const pmsgen::Bill& bill : DueBills()) {
            expected.due.insert(expected.due.end(), bill.payments.begin(), bill.payments.end());
        }
        expected.closed = IgnoredPayments(Run());
        ExpectReconciled(Run(), expected);
    }
    std::map<std::string, std::string> Row(int trxNo) {
        auto rows = Run().Rows(text::Format(
            "select qel_fisc_status, title, shift_number, check_number, printer_id, printer_info, site_id, flag1, "
            "flag2, attempt, business_date from qel_financial_transactions where trx_no=%d",
            trxNo));
        std::map<std::string, std::string> row;
        const char* names[] = {"status", "title",    "bkp",  "fiscalNumber", "taxpayer",    "appTaxpayer",
                               "site",   "verified", "sale", "printer",      "businessDate"};
        for (size_t i = 0; rows.size() == 1 && i < rows[0].size(); ++i) {
            row[names[i]] = rows[0][i];
        }
        return row;
    }

    std::unique_ptr<ServiceRun> current;
};

TEST_F(CzechRegistrationTest, TheDemoHotelsBillsAreRegisteredWithTheirCodesAndABillSentAgainIsARepeat) {
    ASSERT_TRUE(Start(pmsgen::OpenDay::Demo));
    std::vector<int> again = PaymentsOf(Pms().againBill);
    ASSERT_FALSE(again.empty());
    std::vector<int> waitFor = AllPayments();
    waitFor.insert(waitFor.end(), again.begin(), again.end());
    ASSERT_TRUE(Run().WaitForStatus(waitFor, "Y", 120000)) << Run().Diagnostics();
    EXPECT_EQ(Run().StopService(), 0) << Run().Diagnostics();
    ExpectEachSaleRegisteredOnce();
    EXPECT_EQ(Run().CzechSimulator().Rejections(), std::vector<std::string>{});
    // Each sale settled under the key it was sent with, not left in doubt under it once its FIK
    // named it anew.
    ExpectNothingPending(Run());

    for (const pmsgen::Bill& bill : DueBills()) {
        SCOPED_TRACE(bill.number);
        std::vector<Registration> done = RegistrationsOf(bill);
        ASSERT_FALSE(done.empty());
        // The sale time is the bill's creation with the zone of the database (the stand-in's
        // dates are day numbers).
        double created =
            text::ToDouble(Run().Query(text::Format("select insert_date from folio$_tax where bill_no=%d", bill.number)));
        std::string createdText, error;
        ASSERT_TRUE(db::oracle::FormatDate(created, "YYYY-MM-DD\"T\"HH24:MI:SS", createdText, error)) << error;
        EXPECT_EQ(done[0].saleDateTime.substr(0, 19), createdText);
        EXPECT_EQ(done[0].saleDateTime.substr(19), DatabaseZone());
        // The sale's VAT: the PMS's prices hold it (net amounts beside them, no tax lines), and
        // the bases, the VAT and the amount without VAT make up the total.
        auto member = [&](const char* name) { return text::ToDouble(RecordText(done[0].json, name)); };
        double vat = member("TotalVAT1") + member("TotalVAT2") + member("TotalVAT3");
        double parts = member("TotalBaseVAT1") + member("TotalBaseVAT2") + member("TotalBaseVAT3") + vat +
                       member("TotalAmountNonVAT");
        EXPECT_NEAR(parts, member("TotalAmount"), 0.015) << done[0].json;
        // (A reinstated bill is its payments alone: they carry no goods, and no VAT.)
        EXPECT_TRUE(vat > 0 || bill.number == Pms().reinstatedBill) << done[0].json;
        if (bill.number == Pms().threePaymentBill) {
            double gross = text::ToDouble(Run().Query(text::Format(
                "select sum(trx_amount - net_amount) from financial_transactions where bill_no=%d and "
                "tax_inclusive_yn='Y' and recpt_no is null",
                bill.number)));
            EXPECT_NEAR(member("TotalVAT1"), gross, 0.005) << done[0].json;
        }
        for (int trxNo : bill.payments) {
            std::map<std::string, std::string> row = Row(trxNo);
            EXPECT_EQ(row["status"], "Y");
            // Its FIK is the bill's code, its BKP in the shift number.
            bool ofThisSale = std::any_of(done.begin(), done.end(), [&](const Registration& r) {
                return r.fik == row["title"] && r.bkp == row["bkp"];
            });
            EXPECT_TRUE(ofThisSale) << row["title"];
            EXPECT_EQ(row["fiscalNumber"], "");
            // What SaveFiscalResult keeps of the registration.
            EXPECT_EQ(row["taxpayer"], "CZ1212121218");
            EXPECT_EQ(row["appTaxpayer"], "");
            EXPECT_EQ(row["site"], "273");
            EXPECT_EQ(row["verified"], "0");
            EXPECT_EQ(row["sale"], "0");
            EXPECT_TRUE(row["printer"] == "1" || row["printer"] == "2") << row["printer"];
            // The business date column holds the sale's date and time as a date.
            EXPECT_NEAR(text::ToDouble(row["businessDate"]), created, 1.0 / 86400) << row["businessDate"];
        }
    }
    // The bill to register again goes last, once no bill of the day is due, as a repeated
    // sending: it keeps its earlier code and gets the new FIK as its fiscal number.
    std::vector<Registration> all = Run().CzechSimulator().Registrations();
    ASSERT_FALSE(all.empty());
    EXPECT_TRUE(text::EndsWith(all.back().receiptNumber, "/" + std::to_string(Pms().againBill)));
    EXPECT_FALSE(all.back().firstSending);
    for (int trxNo : again) {
        std::map<std::string, std::string> row = Row(trxNo);
        EXPECT_EQ(row["status"], "Y");
        EXPECT_EQ(row["title"], kEarlierFik);
        EXPECT_EQ(row["fiscalNumber"], all.back().fik);
        EXPECT_EQ(row["bkp"], all.back().bkp);
    }
    // Only the day's bills and the bill marked S are taken up: the failed one of the day before
    // stays as it was.
    for (int trxNo : PaymentsOf(Pms().yesterdayBill)) {
        EXPECT_EQ(Row(trxNo)["status"], "N");
    }
}

// While a bill of the day is due (here: refused at every sending) the bill to register again is
// not taken up; once the day is done it goes out as a repeated sending, and a refusal of that
// sending leaves it F with the codes of its earlier registration, for the operator to mark again.
TEST_F(CzechRegistrationTest, ABillToRegisterAgainWaitsForTheDayAndARefusedRepeatKeepsItsCodes) {
    ASSERT_TRUE(Start(pmsgen::OpenDay::Demo, "error code=4 text=Busy"));
    std::vector<pmsgen::Bill> due = DueBills();
    ASSERT_FALSE(due.empty());
    // The outgoing frames of a bill in the log: its receipt number comes right before the sale time.
    auto sendings = [&](int bill) { return Run().LogCount(text::Format("/%d\",\"SaleDateTime\"", bill)); };
    int newest = std::max_element(due.begin(), due.end(), [](const pmsgen::Bill& a, const pmsgen::Bill& b) {
                     return a.number < b.number;
                 })->number;
    // Bills are taken newest first, each on both printers: the third sending of the newest opens
    // the second cycle, so the first one has found and sent all it would.
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return sendings(newest) >= 3; }, 60000)) << Run().Diagnostics();
    EXPECT_EQ(sendings(Pms().againBill), 0u);

    FaultSetting repeatsRefused;
    std::string error;
    ASSERT_TRUE(repeatsRefused.Parse("error code=9 kind=Repeat text=Not now", error)) << error;
    Run().CzechSimulator().SetFault(repeatsRefused);
    std::vector<int> again = PaymentsOf(Pms().againBill);
    ASSERT_FALSE(again.empty());
    ASSERT_TRUE(Run().WaitForStatus(AllPayments(), "Y", 120000)) << Run().Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return Run().LogCount("9 Not now") > 0; }, 30000))
        << Run().Diagnostics();
    // Some more polling cycles: an F bill is not taken up again.
    ServiceRun::WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(Run().StopService(), 0) << Run().Diagnostics();
    ExpectEachSaleRegisteredOnce();

    // Sent as a repeated sending on each printer once, and not again.
    std::vector<std::string> frames;
    for (const std::string& line : text::Split(Run().Log(), '\n')) {
        if (line.find(text::Format("/%d\",\"SaleDateTime\"", Pms().againBill)) != std::string::npos) {
            frames.push_back(line);
        }
    }
    EXPECT_GE(frames.size(), 1u);
    EXPECT_LE(frames.size(), 2u);
    for (const std::string& frame : frames) {
        EXPECT_NE(frame.find("\"FirstSending\":\"false\""), std::string::npos) << frame;
    }
    for (int trxNo : again) {
        std::map<std::string, std::string> row = Row(trxNo);
        EXPECT_EQ(row["status"], "F");
        EXPECT_EQ(row["title"], kEarlierFik);
        EXPECT_EQ(row["bkp"], kEarlierBkp);
    }
}

// The first sale meets the fault; every bill still ends registered exactly once.
TEST_F(CzechRegistrationTest, FaultsOfTheRegistrationServiceNeverRegisterASaleTwice) {
    struct Case {
        const char* name;
        const char* fault;
        const char* firstLetter;  // the status of the bill that met the fault, in the end
        size_t repeats;           // repeated sendings the service saw
    } cases[] = {
        // An error that carries the offline codes: registered offline (F), not sent again.
        {"offline", "offline code=-1 count=1 text=Service unavailable", "F", 0},
        // Registered, but answered after the answer time-out: the next sending is a repeat.
        {"late", "delay ms=4500 count=1", "Y", 1},
        // Registered, the answer cut: likewise.
        {"cut", "cut bytes=20 count=1", "Y", 1},
        // Refused without codes: sent again as the first sending it still is.
        {"refused", "error code=4 count=1 text=Bad signature", "Y", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Start(pmsgen::OpenDay::Small, c.fault));
        // Bills are taken newest first: the highest number meets the fault.
        std::vector<pmsgen::Bill> due = DueBills();
        ASSERT_FALSE(due.empty());
        pmsgen::Bill first = *std::max_element(
            due.begin(), due.end(), [](const pmsgen::Bill& a, const pmsgen::Bill& b) { return a.number < b.number; });
        std::vector<int> others;
        for (const pmsgen::Bill& bill : Pms().bills) {
            if (bill.number != first.number) {
                others.insert(others.end(), bill.payments.begin(), bill.payments.end());
            }
        }
        ASSERT_TRUE(Run().WaitForStatus(others, "Y", 60000)) << Run().Diagnostics();
        ASSERT_TRUE(Run().WaitForStatus(first.payments, c.firstLetter, 30000)) << Run().Diagnostics();
        // Some more polling cycles: an F bill is not taken up again.
        ServiceRun::WaitUntil([] { return false; }, 1000);
        EXPECT_EQ(Run().StopService(), 0) << Run().Diagnostics();
        ExpectEachSaleRegisteredOnce();
        std::vector<Registration> all = Run().CzechSimulator().Registrations();
        EXPECT_EQ(all.size(), due.size() + c.repeats);
        std::vector<Registration> done = RegistrationsOf(first);
        ASSERT_FALSE(done.empty());
        for (int trxNo : first.payments) {
            std::map<std::string, std::string> row = Row(trxNo);
            if (std::string(c.firstLetter) == "F") {
                // Registered offline: its PKP is the bill's code, its BKP in the shift number.
                EXPECT_EQ(done[0].outcome, "offline");
                EXPECT_EQ(row["title"], done[0].pkp);
                EXPECT_EQ(row["bkp"], done[0].bkp);
            } else {
                EXPECT_EQ(row["title"], done[0].fik);
            }
        }
    }
}

// A bill paid in parts without its postings (a reinstated one: its postings went back to the
// reservation) is registered as one sale per payment, all under the bill's receipt number: the
// part whose answer came too late is sent again as a repeated sending, and the other part, sent
// while it was in doubt, still as a first sending.
TEST_F(CzechRegistrationTest, OnePartOfABillInDoubtLeavesTheOtherPartAFirstSending) {
    ASSERT_TRUE(MakePms(pmsgen::OpenDay::Demo));
    const pmsgen::Bill* bill = ReinstatedBill();
    ASSERT_TRUE(bill && bill->payments.size() == 2u);
    // The first sending of the bill's receipt is answered after the answer time-out.
    ASSERT_TRUE(Launch(text::Format("delay ms=4500 count=1 kind=receipt:%s/%d", bill->confirmation.c_str(),
                                    bill->number)));
    ASSERT_TRUE(Run().WaitForStatus(AllPayments(), "Y", 120000)) << Run().Diagnostics();
    EXPECT_EQ(Run().StopService(), 0) << Run().Diagnostics();
    ExpectEachSaleRegisteredOnce();

    std::vector<std::string> outcomes;
    for (const Registration& r : RegistrationsOf(*bill)) {
        outcomes.push_back(r.totalAmount + (r.firstSending ? " first " : " again ") + r.outcome);
    }
    ASSERT_EQ(outcomes.size(), 3u) << text::Join(outcomes, "; ");
    std::string late = outcomes[0].substr(0, outcomes[0].find(' '));
    std::string other = outcomes[1].substr(0, outcomes[1].find(' '));
    EXPECT_NE(late, other);
    EXPECT_EQ(outcomes, (std::vector<std::string>{late + " first registered", other + " first registered",
                                                  late + " again repeat"}));
}

// A bill paid in parts whose first part was registered before the service stopped: the second
// part is a sale of its own, sent as a first sending, and its row holds its own code, not the
// first part's.
TEST_F(CzechRegistrationTest, APartOfABillPaidInPartsCarriesOnlyItsOwnCode) {
    ASSERT_TRUE(MakePms(pmsgen::OpenDay::Demo));
    const pmsgen::Bill* bill = ReinstatedBill();
    ASSERT_TRUE(bill && bill->payments.size() == 2u);
    Run().Rows(
        text::Format("insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no, title, "
                     "shift_number, attempt) values (%d, 'Y', %d, '%s', '%s', 1)",
                     bill->payments[0], bill->number, kEarlierFik.c_str(), kEarlierBkp.c_str()));
    ASSERT_TRUE(Launch(""));
    ASSERT_TRUE(Run().WaitForStatus(AllPayments(), "Y", 120000)) << Run().Diagnostics();
    EXPECT_EQ(Run().StopService(), 0) << Run().Diagnostics();
    std::vector<Registration> sales = RegistrationsOf(*bill);
    ASSERT_EQ(sales.size(), 1u);
    EXPECT_TRUE(sales[0].firstSending);
    EXPECT_EQ(sales[0].outcome, "registered");
    std::map<std::string, std::string> second = Row(bill->payments[1]);
    EXPECT_EQ(second["title"], sales[0].fik);
    EXPECT_EQ(second["bkp"], sales[0].bkp);
    EXPECT_EQ(second["fiscalNumber"], "");
    EXPECT_EQ(Row(bill->payments[0])["title"], kEarlierFik);
}

// A sale whose answer did not come before the service stopped is sent again after the restart
// as a repeated sending: the list of unanswered sales is kept on disk.
TEST_F(CzechRegistrationTest, ASaleLeftUnansweredAtAStopIsARepeatAfterTheRestart) {
    ASSERT_TRUE(Start(pmsgen::OpenDay::Small, "delay ms=60000 count=1"));
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return Run().LogCount("Waiting time is up.") > 0; }, 30000))
        << Run().Diagnostics();
    EXPECT_EQ(Run().StopService(), 0) << Run().Diagnostics();
    ASSERT_EQ(Run().CzechSimulator().Registrations().size(), 1u);
    Registration first = Run().CzechSimulator().Registrations()[0];
    EXPECT_TRUE(platform::FileExists(Run().Path("czech_unanswered.txt")));

    ASSERT_TRUE(Run().StartService());
    ASSERT_TRUE(Run().WaitForStatus(AllPayments(), "Y", 60000)) << Run().Diagnostics();
    EXPECT_EQ(Run().StopService(), 0) << Run().Diagnostics();
    ExpectEachSaleRegisteredOnce();
    std::vector<Registration> again;
    for (const Registration& r : Run().CzechSimulator().Registrations()) {
        if (r.receiptNumber == first.receiptNumber) {
            again.push_back(r);
        }
    }
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1].outcome, "repeat");
    EXPECT_EQ(again[1].fik, first.fik);
}

}  // namespace
