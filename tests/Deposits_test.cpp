// FiscoraService against the demo hotel's deposit stories and the printer-manager simulator, over
// three business dates: deposits are registered once (D) and the bills that consume them later
// make them Y without registering them again; a transfer is registered nowhere; refunds are
// confirmed against their sale or refused; a pro-forma folio's deposits are settled by its bill.
#include <gtest/gtest.h>

#include <algorithm>

#include "ServiceRun.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const ServiceRun::Changes kFullChecks = {{"<only_payments>1</only_payments>", "<only_payments>0</only_payments>"}};

pmsgen::Options Stories(bool testBills = false) {
    pmsgen::Options options;
    options.openDay = pmsgen::OpenDay::Small;
    options.depositStories = true;
    options.testBills = testBills;
    return options;
}

// The documents registered for one of the PMS's bills.
std::vector<ServiceRun::Registered> RecordsOfBill(const ServiceRun& run, int bill) {
    std::vector<ServiceRun::Registered> found;
    for (const ServiceRun::Registered& r : run.AllRecords()) {
        if (r.documentNumber == std::to_string(bill)) {
            found.push_back(r);
        }
    }
    return found;
}

TEST(DepositsTest, DepositsAreRegisteredOnceAndTheBillsThatConsumeThemMakeThemY) {
    ServiceRun run;
    ASSERT_TRUE(run.Start(Stories()));
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> due = run.DuePayments();
    std::vector<int> deposits = run.DueDeposits();
    ASSERT_EQ(deposits.size(), 4u);
    ASSERT_TRUE(run.WaitForStatus(deposits, "D", 60000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    // The parts Opera split a registered payment into are closed without registration.
    ASSERT_TRUE(run.WaitForStatus(pms.splitParts, "Y", 10000)) << run.Diagnostics();
    // The advance moved to the colleague's stay counts as registered there.
    ASSERT_TRUE(run.WaitForStatus({pms.depositTransfer}, "D", 10000)) << run.Diagnostics();
    EXPECT_EQ(run.Query(text::Format("select reference from qel_financial_transactions where trx_no=%d",
                                     pms.depositTransfer)),
              std::to_string(pms.transferTarget));
    // A refund larger than the sale it names is refused, and waits.
    ASSERT_TRUE(ServiceRun::WaitUntil(
        [&] {
            return run.LogCount(platform::Cp1251("Сумма возврата -2500.00 больше суммы оригинального платежа 2000.00")) >=
                   2;
        },
        10000))
        << run.Diagnostics();
    EXPECT_EQ(run.StatusRows()[pms.tooLargeRefund].status, "N");
    EXPECT_EQ(run.StatusRows()[pms.tooLargeRefund].checkNumber, "");
    // The refund of yesterday's sale is a cash pick-up.
    EXPECT_TRUE(Has(run.Log(), "Turn fiscal check to PickUp"));
    std::vector<ServiceRun::Registered> records = run.AllRecords();
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const ServiceRun::Registered& r) { return r.command == "Cash Pickup"; }),
              1);
    for (int part : pms.splitParts) {
        EXPECT_EQ(run.StatusRows()[part].checkNumber, "") << part;
    }
    std::map<int, std::string> closed = {
        {pms.depositTransfer, "the advance moved to another stay, registered at its source"}};
    for (int part : pms.splitParts) {
        closed[part] = "Split check passed!";
    }
    ExpectRegisteredOnce(run, due, deposits, closed);
    const std::map<int, ServiceRun::StatusRow> firstDay = run.StatusRows();

    // The next day, in full checks: the bills that consume the deposits.
    ASSERT_TRUE(run.NightAudit());
    size_t before = run.AllRecords().size();
    ASSERT_TRUE(run.Restart(kFullChecks));
    ASSERT_TRUE(run.WaitForStatus({pms.rdrDeposit, pms.payMasterDeposit}, "Y", 30000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.AllRecords().size() >= before + 2; }, 10000));
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    EXPECT_EQ(run.AllRecords().size(), before + 2);
    // Kate's deposit (registered the day before under her bill's number) and her bill: the
    // deposit is paid with the deposit's device type, not registered as a card payment again.
    std::vector<ServiceRun::Registered> bill = RecordsOfBill(run, pms.depositBill);
    ASSERT_EQ(bill.size(), 2u);
    EXPECT_EQ(bill[0].total, "5000.00");
    EXPECT_EQ(bill[1].total, "6000.00");
    EXPECT_TRUE(Has(bill[1].json, "\"payments\":[{\"code\":\"2\",\"description\":\"\",\"reference\":\"\","
                                  "\"amount\":\"1000.00\"},{\"code\":\"1\",\"description\":\"\",\"reference\":\"\","
                                  "\"amount\":\"5000.00\"}]"))
        << bill[1].json;
    EXPECT_EQ(run.StatusRows()[pms.rdrDeposit].status, "Y");
    // The group member's bill: the agency's deposit came over with the pay-master code.
    ASSERT_EQ(RecordsOfBill(run, pms.payMasterDepositBill).size(), 1u);
    EXPECT_EQ(run.StatusRows()[pms.groupDeposit].status, "D");
    EXPECT_TRUE(Has(run.Log(), "*** Find deposit original payment ***"));
    ExpectReconciled(run, {{pms.rdrDeposit, pms.payMasterDeposit}, closed, {firstDay}});
}

TEST(DepositsTest, RefundProcessingConfirmsARefundAndRefusesOneWithoutReference) {
    ServiceRun run;
    pmsgen::Options options = Stories(true);
    ASSERT_TRUE(run.MakePms(options));
    // The cash refund on the test bill names no sale.
    ASSERT_TRUE(run.Execute(text::Format("update financial_transactions set reference=NULL where trx_no=%d",
                                         run.Pms().refundPayment)));
    ASSERT_TRUE(run.StartSimulators() && run.Configure());
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    const pmsgen::Summary& pms = run.Pms();
    ASSERT_TRUE(run.WaitForStatus({pms.refundSale, pms.sameDayRefund}, "Y", 60000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.LogCount("Reference is empty") >= 2; }, 20000))
        << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    EXPECT_TRUE(Has(run.Log(), "Refund processing!"));
    EXPECT_TRUE(Has(run.Log(), "Check reference  for confirmation "));
    std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
    EXPECT_EQ(rows[pms.refundPayment].status, "N");
    EXPECT_EQ(rows[pms.refundPayment].checkNumber, "");
    EXPECT_NE(rows[pms.sameDayRefund].checkNumber, "");
    // The confirmed refund was registered for its amount.
    bool registered = false;
    for (const ServiceRun::Registered& r : run.AllRecords()) {
        registered = registered || (r.fiscalNumber == rows[pms.sameDayRefund].checkNumber &&
                                    r.printer == rows[pms.sameDayRefund].attempt && r.total == "-400.00");
    }
    EXPECT_TRUE(registered);
    std::map<int, std::string> closed = IgnoredPayments(run);
    closed[pms.depositTransfer] = "the advance moved to another stay, registered at its source";
    for (int part : pms.splitParts) {
        closed[part] = "Split check passed!";
    }
    ExpectReconciled(run, {{pms.refundSale, pms.sameDayRefund}, closed});
}

ServiceRun::Changes ProForma() {
    ServiceRun::Changes changes = kFullChecks;
    changes.push_back({"<proforma_folio_deposit>0<", "<proforma_folio_deposit>1<"});
    changes.push_back({"<code>9100</code>", ""});
    return changes;
}

// The documents registered for a transaction's status row, by its fiscal number and amount.
size_t RegistrationsOf(const ServiceRun& run, const ServiceRun::StatusRow& row) {
    std::vector<ServiceRun::Registered> records = run.AllRecords();
    return static_cast<size_t>(std::count_if(records.begin(), records.end(), [&](const ServiceRun::Registered& r) {
        return r.fiscalNumber == row.checkNumber && r.total == text::Format("%.2f", row.amount);
    }));
}

// A pro-forma folio: the deposit for a later stay is registered as an advance (4 000.00), and
// the cancellation bill that gives it back in cash registers the refund as an advance of its own
// (-4 000.00) and settles the deposit.
TEST(DepositsTest, AProFormaFolioRegistersItsDepositsAndItsBillSettlesThem) {
    ServiceRun run;
    ASSERT_TRUE(run.MakePms(Stories()));
    ASSERT_TRUE(run.NightAudit() && run.NightAudit());
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure(ProForma()));
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    const pmsgen::Summary& pms = run.Pms();
    const std::string reservation = run.Query(text::Format(
        "select resv_name_id from deposit_financial_transactions where trx_no=%d", pms.proFormaDeposit));
    ASSERT_FALSE(reservation.empty());
    ASSERT_TRUE(run.WaitForStatus({pms.proFormaDeposit, pms.proFormaRefund}, "Y", 30000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil(
        [&] { return run.Query("select count(*) from deposit_financial_transactions where resv_name_id=" + reservation) == "0"; },
        10000))
        << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    std::string log = run.Log();
    EXPECT_TRUE(Has(log, "Check Pro-Forma Folio for refund"));
    EXPECT_TRUE(Has(log, "Pro-Forma Folio " + reservation + " settled by bill " + std::to_string(pms.proFormaBill)));
    EXPECT_FALSE(Has(log, "Null check. Skipping.")) << run.Diagnostics();
    EXPECT_FALSE(Has(log, "already has fiscalized")) << run.Diagnostics();
    std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
    // Each row names its registration, of its amount, and the device received an advance each.
    for (int trxNo : {pms.proFormaDeposit, pms.proFormaRefund}) {
        SCOPED_TRACE(trxNo);
        EXPECT_FALSE(rows[trxNo].checkNumber.empty());
        EXPECT_EQ(RegistrationsOf(run, rows[trxNo]), 1u);
    }
    auto documentOf = [&](int trxNo) {
        for (const ServiceRun::Registered& r : run.AllRecords()) {
            if (ServiceRun::IsRegistrationOf(r, rows[trxNo])) {
                return r;
            }
        }
        ADD_FAILURE() << "nothing registered for " << trxNo;
        return ServiceRun::Registered{};
    };
    ServiceRun::Registered deposit = documentOf(pms.proFormaDeposit);
    ServiceRun::Registered refund = documentOf(pms.proFormaRefund);
    EXPECT_EQ(deposit.total, "4000.00");
    EXPECT_EQ(refund.total, "-4000.00");
    for (const ServiceRun::Registered& record : {deposit, refund}) {
        ASSERT_EQ(record.items.size(), 1u) << record.json;
        EXPECT_EQ(record.items[0].subCode, "3;10;") << record.json;
        EXPECT_EQ(record.items[0].amount, record.total) << record.json;
    }
    ExpectReconciled(run, {{pms.proFormaDeposit, pms.proFormaRefund}});
}

// In pro-forma mode from the arriving guest's day on: her card deposit (kept in the deposits
// table) is registered as an advance of 5 000.00 the day it is paid, and her bill of 6 000.00 the
// next day is registered whole, paid 5 000.00 by the advance (the deposit's device type) and
// 1 000.00 by card, which settles the deposit.
TEST(DepositsTest, APaidProFormaDepositPaysTheFinalBillItIsRegisteredIn) {
    ServiceRun run;
    ASSERT_TRUE(run.MakePms(Stories()));
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure(ProForma()));
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    const pmsgen::Summary& pms = run.Pms();
    ASSERT_TRUE(run.WaitForStatus({pms.rdrDeposit}, "D", 60000)) << run.Diagnostics();
    const std::map<int, ServiceRun::StatusRow> firstDay = run.StatusRows();
    const ServiceRun::StatusRow advance = firstDay.at(pms.rdrDeposit);
    EXPECT_EQ(RegistrationsOf(run, advance), 1u);
    const std::string reservation = run.Query(text::Format(
        "select resv_name_id from deposit_financial_transactions where trx_no=%d", pms.rdrDeposit));
    ASSERT_FALSE(reservation.empty());

    ASSERT_TRUE(run.NightAudit());
    ASSERT_TRUE(run.Restart(ProForma()));
    ASSERT_TRUE(run.WaitForStatus({pms.rdrDeposit}, "Y", 60000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil(
        [&] { return run.Query("select count(*) from deposit_financial_transactions where resv_name_id=" + reservation) == "0"; },
        10000))
        << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    std::vector<ServiceRun::Registered> bill = RecordsOfBill(run, pms.depositBill);
    ASSERT_EQ(bill.size(), 1u);
    EXPECT_EQ(bill[0].total, "6000.00");
    EXPECT_NEAR(SumOfAmounts(bill[0].items), 6000.00, 0.001);
    EXPECT_TRUE(Has(bill[0].json, "\"payments\":[{\"code\":\"2\",\"description\":\"\",\"reference\":\"\","
                                  "\"amount\":\"1000.00\"},{\"code\":\"1\",\"description\":\"\",\"reference\":\"\","
                                  "\"amount\":\"5000.00\"}]"))
        << bill[0].json;
    // The deposit's row now names the bill's registration; the advance stays registered once.
    EXPECT_EQ(run.StatusRows()[pms.rdrDeposit].checkNumber, bill[0].fiscalNumber);
    std::vector<ServiceRun::Registered> records = run.AllRecords();
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [&](const ServiceRun::Registered& r) {
                                return r.fiscalNumber == advance.checkNumber && r.total == "5000.00";
                            }),
              1);
    EXPECT_FALSE(Has(run.Log(), "already has fiscalized")) << run.Diagnostics();
    ExpectReconciled(run, {{pms.rdrDeposit}, {}, {firstDay}});
}

}  // namespace
