// FiscoraService against the generated Suite8 demo hotel and the printer-manager simulator: every
// due invoice, deposit and accounts-receivable payment is registered exactly once, a second run
// registers nothing new, and while the printer manager is down the payment departments are
// switched off in the PMS.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "ServiceRun.h"
#include "platform/Text.h"
#include "storage/db/OracleFormats.h"

namespace {

constexpr const char* kConfiguration = "demo/suite8/VuvovaZododAVU.xml";

// zdco_disabled_prearr and zdco_disabled_billing of a department, as "prearr/billing".
std::string PaymentEntry(ServiceRun& run, int department) {
    return run.Query(text::Format(
        "select zdco_disabled_prearr || '/' || zdco_disabled_billing from zdco where zdco_numericdesc=%d",
        department));
}

// The document the simulator registered for the status row of a posting.
const ServiceRun::Registered* RecordOf(const std::vector<ServiceRun::Registered>& records,
                                       const ServiceRun::StatusRow& row) {
    for (const ServiceRun::Registered& record : records) {
        if (ServiceFolder::IsRegistrationOf(record, row)) {
            return &record;
        }
    }
    return nullptr;
}

// The reconciliation of the day: the due payments and deposits registered, the ignored ones
// closed by the ignore list.
void ExpectTheDayReconciled(ServiceRun& run) {
    std::vector<int> due = run.DuePayments();
    std::vector<int> deposits = run.DueDeposits();
    due.insert(due.end(), deposits.begin(), deposits.end());
    ExpectReconciled(run, {due, IgnoredPayments(run)});
}

TEST(Suite8RegistrationTest, EveryDueInvoiceDepositAndSettlementIsRegisteredOnceAndASecondRunAddsNothing) {
    ServiceRun run(kConfiguration);
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Demo, false, pmsgen::PmsKind::Suite8));
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure());
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> due = run.DuePayments();
    std::vector<int> deposits = run.DueDeposits();
    ASSERT_EQ(due.size(), 14u);
    ASSERT_EQ(deposits.size(), 4u);
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 120000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(deposits, "D", 10000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(pms.ignoredPayments, "Y", 10000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    std::vector<ServiceRun::Registered> records = run.AllRecords();
    std::vector<std::string> problems = run.RegistrationProblems(records, run.DueRegistrations());
    EXPECT_TRUE(problems.empty()) << text::Join(problems, "\n");
    ExpectTheDayReconciled(run);
    std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
    // Each invoice is one document for what its payments sum to, named by the invoice number;
    // the number used in two series makes two documents.
    std::set<const ServiceRun::Registered*> used;
    for (const pmsgen::Bill& invoice : pms.bills) {
        if (invoice.number == pms.houseBill) {
            continue;
        }
        SCOPED_TRACE(invoice.number);
        const ServiceRun::Registered* record = RecordOf(records, rows[invoice.payments.front()]);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->documentNumber, std::to_string(invoice.number));
        EXPECT_EQ(record->total, text::Format("%.2f", invoice.total));
        for (int payment : invoice.payments) {
            EXPECT_EQ(rows[payment].status, "Y") << payment;
            EXPECT_EQ(RecordOf(records, rows[payment]), record) << payment;
        }
        EXPECT_TRUE(used.insert(record).second) << "one document for two invoices";
    }
    // The company's settlement of its city ledger, and the deposits, each a document of its own.
    const ServiceRun::Registered* settlement = RecordOf(records, rows[pms.arPayment]);
    ASSERT_NE(settlement, nullptr);
    EXPECT_EQ(settlement->total, "2400.00");
    EXPECT_TRUE(used.insert(settlement).second);
    for (int deposit : deposits) {
        const ServiceRun::Registered* record = RecordOf(records, rows[deposit]);
        ASSERT_NE(record, nullptr) << deposit;
        EXPECT_TRUE(used.insert(record).second) << deposit;
    }
    EXPECT_EQ(used.size(), records.size());
    // The supervisor's invoice is closed without a document.
    EXPECT_EQ(rows[pms.ignoredPayments.front()].checkNumber, "");
    EXPECT_EQ(run.LogCount("Payment included in ignore list."), 1u);
    EXPECT_EQ(run.LogCount("Unsuccessful"), 0u) << run.Diagnostics();
    EXPECT_GE(run.LogCount("Invoice: " + std::to_string(pms.twoSeriesInvoice)), 1u);

    // A second run over the same PMS finds nothing left to register.
    ASSERT_TRUE(run.StartService());
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.LogCount("Start service") == 2; }, 20000))
        << run.Diagnostics();
    ServiceRun::WaitUntil([] { return false; }, 2000);
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    EXPECT_EQ(run.AllRecords().size(), records.size());
    std::map<int, ServiceRun::StatusRow> after = run.StatusRows();
    ASSERT_EQ(after.size(), rows.size());
    for (const auto& [trxNo, row] : rows) {
        EXPECT_EQ(after[trxNo].status, row.status) << trxNo;
        EXPECT_EQ(after[trxNo].checkNumber, row.checkNumber) << trxNo;
    }
}

TEST(Suite8RegistrationTest, PaymentDepartmentsAreSwitchedOffWhileThePrinterManagerIsDown) {
    ServiceRun run(kConfiguration);
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small, false, pmsgen::PmsKind::Suite8));
    ASSERT_TRUE(run.StartSimulators());
    run.SetFault("refuse");
    ASSERT_TRUE(run.Configure());
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    std::vector<int> due = run.DuePayments();
    std::vector<int> deposits = run.DueDeposits();
    ASSERT_EQ(due.size(), 4u);
    ASSERT_EQ(deposits.size(), 1u);

    // The deposit was tried on both printers and is still due; payment entry is off for the
    // payment and deposit departments only.
    ASSERT_TRUE(run.WaitForStatus(deposits, "N", 60000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return PaymentEntry(run, 9000) == "1/1"; }, 10000))
        << run.Diagnostics();
    for (int department : {9004, 9005, 9020}) {
        EXPECT_EQ(PaymentEntry(run, department), "1/1") << department;
    }
    for (int department : {1000, 2000, 4, 9100}) {
        EXPECT_EQ(PaymentEntry(run, department), "0/0") << department;
    }
    EXPECT_TRUE(run.AllRecords().empty());
    EXPECT_EQ(run.LogCount("Block payments"), 1u);

    // Back again: everything is registered and payments are taken again.
    run.SetFault("none");
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(deposits, "D", 10000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return PaymentEntry(run, 9000) == "0/0"; }, 10000))
        << run.Diagnostics();
    for (int department : {9004, 9005, 9020}) {
        EXPECT_EQ(PaymentEntry(run, department), "0/0") << department;
    }
    std::string log = run.Log();
    EXPECT_LT(log.rfind("Block payments"), log.rfind("Unblock payments"));

    // Stopping blocks payments again: nothing registers them while the service is away.
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    EXPECT_EQ(PaymentEntry(run, 9000), "1/1");
    std::vector<ServiceRun::Registered> records = run.AllRecords();
    EXPECT_TRUE(run.RegistrationProblems(records, run.DueRegistrations()).empty());
    EXPECT_EQ(records.size(), 3u);
    ExpectReconciled(run, {{}, IgnoredPayments(run)});
}


TEST(Suite8RegistrationTest, AnInvoiceWhoseStatusTheDatabaseRefusedIsWrittenFromTheDiskAfterACrashNotRegisteredAgain) {
    ServiceRun run(kConfiguration);
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small, false, pmsgen::PmsKind::Suite8));
    // The first invoice, of three payments, is registered and cannot be written.
    ASSERT_TRUE(run.RefuseStatusY());
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure());
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> due = run.DuePayments();
    std::vector<int> deposits = run.DueDeposits();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.LogCount("until the database takes it") > 0; }, 30000))
        << run.Diagnostics();
    ServiceRun::WaitUntil([] { return false; }, 1500);
    size_t before = run.AllRecords().size();
    run.KillService();
    ASSERT_TRUE(run.AllowStatusY());
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 90000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(deposits, "D", 10000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    EXPECT_EQ(run.LogCount("written from "), 1u) << run.Diagnostics();
    // The invoice is not taken up again, not even to be passed to the operator for a part of it.
    EXPECT_EQ(run.LogCount("is fiscalised already"), 0u) << run.Diagnostics();
    EXPECT_EQ(run.LogCount("Repeate file"), 0u) << run.Diagnostics();
    std::vector<ServiceRun::Registered> records = run.AllRecords();
    EXPECT_LE(before, 2u);
    std::vector<std::string> problems = run.RegistrationProblems(records, run.DueRegistrations());
    EXPECT_TRUE(problems.empty()) << text::Join(problems, "\n");
    ExpectTheDayReconciled(run);
    // Every payment of the invoice names the one document, written from the disk.
    std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
    const pmsgen::Bill* invoice = nullptr;
    for (const pmsgen::Bill& bill : pms.bills) {
        if (bill.number == pms.threePaymentBill) {
            invoice = &bill;
        }
    }
    ASSERT_NE(invoice, nullptr);
    ASSERT_EQ(invoice->payments.size(), 3u);
    const ServiceRun::Registered* record = RecordOf(records, rows[invoice->payments.front()]);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->total, text::Format("%.2f", invoice->total));
    for (int payment : invoice->payments) {
        EXPECT_EQ(rows[payment].status, "Y") << payment;
        EXPECT_EQ(RecordOf(records, rows[payment]), record) << payment;
        EXPECT_EQ(rows[payment].title, rows[invoice->payments.front()].title) << payment;
    }
}


TEST(Suite8RegistrationTest, WithTheCzechServiceEveryInvoiceIsOneSaleAtItsOwnTimeAndAnInvoiceMarkedSGoesLast) {
    ServiceRun run(kConfiguration);
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Demo, false, pmsgen::PmsKind::Suite8));
    const pmsgen::Summary& pms = run.Pms();
    // The transfer's invoice was registered before and is to be sent again, with its earlier code.
    int again = 0;
    for (const pmsgen::Bill& invoice : pms.bills) {
        if (invoice.number == pms.transferBill) {
            again = invoice.payments.front();
        }
    }
    ASSERT_NE(again, 0);
    ASSERT_TRUE(run.Execute(text::Format(
        "insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no, title, trx_amount) values (%d, "
        "'S', %d, 'fik-of-before', (select zpos_unitprice * zpos_quantity from zpos where zpos_id=%d))",
        again, pms.transferBill, again)));
    // The guest's invoice of the number used in two series was registered before, under the
    // hotel's former premises; the company's invoice of the same number is still due.
    auto earlier = std::find_if(pms.bills.begin(), pms.bills.end(),
                                [&](const pmsgen::Bill& b) { return b.number == pms.twoSeriesInvoice; });
    ASSERT_NE(earlier, pms.bills.end());
    for (int payment : earlier->payments) {
        ASSERT_TRUE(run.Execute(text::Format(
            "insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no, title, printer_id, "
            "site_id) values (%d, 'Y', %d, 'fik-earlier', 'CZ0000000001', '9')",
            payment, earlier->number)));
    }
    auto registeredBefore = [&](const pmsgen::Bill& b) { return &b == &*earlier || b.number == pms.houseBill; };
    std::string error;
    ASSERT_TRUE(run.StartCzechSimulator(error)) << error;
    // Invoices only: no advance payments or settlements, which have no invoice.
    ASSERT_TRUE(run.Configure({{"<printer>PM</printer>",
                                "<printer>CZECH</printer><taxpayer_id>CZ1212121218</taxpayer_id>"
                                "<site_id>273</site_id>"},
                               {"<deposit>1</deposit>", "<deposit>0</deposit>"},
                               {"<code>9100</code>", "<code>0</code>"},
                               {"<ar_payments>1</ar_payments>", "<ar_payments>0</ar_payments>"}}));
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    std::vector<int> payments;
    for (const pmsgen::Bill& invoice : pms.bills) {
        if (!registeredBefore(invoice)) {
            payments.insert(payments.end(), invoice.payments.begin(), invoice.payments.end());
        }
    }
    ASSERT_TRUE(run.WaitForStatus(payments, "Y", 120000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    std::vector<CzechRegistrationSim::Registration> sales = run.CzechSimulator().Registrations();
    ASSERT_EQ(sales.size(), pms.bills.size() - 2);
    std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
    // The earlier invoice keeps its own registration: the other series' sale is not written into
    // its rows.
    for (int payment : earlier->payments) {
        EXPECT_EQ(run.Query(text::Format(
                      "select qel_fisc_status || '|' || printer_id || '|' || site_id || '|' || title from "
                      "qel_financial_transactions where trx_no=%d",
                      payment)),
                  "Y|CZ0000000001|9|fik-earlier")
            << payment;
    }
    std::set<std::string> codes;
    for (const pmsgen::Bill& invoice : pms.bills) {
        if (registeredBefore(invoice)) {
            continue;
        }
        SCOPED_TRACE(invoice.number);
        // The sale of the invoice: its number, its amount, the time the invoice was made with the
        // database's zone.
        std::string made;
        ASSERT_TRUE(db::oracle::FormatDate(
            text::ToDouble(run.Query(text::Format("select zinv_pcdate from zinv where zinv_id=%d", invoice.reservation))),
            "YYYY-MM-DD\"T\"HH24:MI:SS", made, error))
            << error;
        auto sale = std::find_if(sales.begin(), sales.end(), [&](const CzechRegistrationSim::Registration& r) {
            return text::EndsWith(r.receiptNumber, "/" + std::to_string(invoice.number)) &&
                   r.saleDateTime.substr(0, 19) == made;
        });
        ASSERT_NE(sale, sales.end());
        EXPECT_EQ(sale->outcome, "registered");
        EXPECT_EQ(sale->totalAmount, text::Format("%.2f", invoice.total));
        EXPECT_EQ(sale->firstSending, invoice.number != pms.transferBill);
        // Every payment of the invoice names that sale's code and the hotel's registration.
        for (int payment : invoice.payments) {
            const ServiceRun::StatusRow& row = rows[payment];
            EXPECT_EQ(row.status, "Y") << payment;
            EXPECT_EQ(row.printerId, "CZ1212121218") << payment;
            if (invoice.number == pms.transferBill) {
                EXPECT_EQ(row.title, "fik-of-before");
                EXPECT_EQ(row.checkNumber, sale->fik);
            } else {
                EXPECT_EQ(row.title, sale->fik) << payment;
            }
        }
        EXPECT_TRUE(codes.insert(sale->fik).second) << "one code for two invoices";
    }
    // The invoice marked S goes once no invoice of the day is due.
    EXPECT_TRUE(text::EndsWith(sales.back().receiptNumber, "/" + std::to_string(pms.transferBill)));
    EXPECT_EQ(run.LogCount("Unsuccessful"), 0u) << run.Diagnostics();
    std::map<int, std::string> closed = IgnoredPayments(run);
    for (int payment : earlier->payments) {
        closed[payment] = "registered before this run, under the former premises";
    }
    ExpectReconciled(run, {payments, closed});
}


TEST(Suite8RegistrationTest, AnInvoiceWhoseAnswerWasCutIsSentAgainUnderItsFileNameToItsPrinterOnly) {
    ServiceRun run(kConfiguration);
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small, false, pmsgen::PmsKind::Suite8));
    ASSERT_TRUE(run.StartSimulators({"MAIN", "RESERVE"}));
    run.Simulator(0).SetRecogniseRepeats(true);
    // The first check the main printer gets is registered, and its answer cut after 3 bytes.
    run.SetFault("cut bytes=3 kind=Check count=1", 0);
    ASSERT_TRUE(run.Configure());
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    std::vector<int> due = run.DuePayments();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 90000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(run.DueDeposits(), "D", 10000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    EXPECT_EQ(run.LogCount("Fiscal printer connect cut off."), 1u) << run.Diagnostics();
    EXPECT_EQ(run.Simulator(0).Repeats(), 1u);
    EXPECT_EQ(run.LogCount("Send to reserve printer"), 0u) << run.Diagnostics();
    std::vector<ServiceRun::Registered> records = run.AllRecords();
    std::vector<std::string> problems = run.RegistrationProblems(records, run.DueRegistrations());
    EXPECT_TRUE(problems.empty()) << text::Join(problems, "\n");
    ExpectTheDayReconciled(run);
    // Each invoice's payments name one document and one check file.
    std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
    for (const pmsgen::Bill& invoice : run.Pms().bills) {
        const ServiceRun::StatusRow& first = rows[invoice.payments.front()];
        for (int payment : invoice.payments) {
            EXPECT_EQ(rows[payment].checkNumber, first.checkNumber) << payment;
            EXPECT_EQ(rows[payment].title, first.title) << payment;
        }
    }
}

}  // namespace
