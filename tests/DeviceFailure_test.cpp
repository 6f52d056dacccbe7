// FiscoraService when the printer manager misbehaves: down at the start of a cycle (payments
// blocked in the PMS until it is back), a failing main printer (the reserve printer takes the
// sales, not the refund), and answers cut off or garbled (nothing lost, nothing twice).
#include <gtest/gtest.h>

#include <algorithm>

#include "ServiceRun.h"
#include "platform/Text.h"

namespace {

// ind_billing and ind_deposit_yn of a transaction code, as "billing/deposit".
std::string PaymentEntry(ServiceRun& run, const std::string& code) {
    return run.Query(
        "select ind_billing || '/' || ind_deposit_yn from trx$_codes where resort='DEMO' and trx_code='" +
        code + "'");
}

// Sets a fault once the simulator has registered that many documents, so that it meets the
// next check and not one in the middle of its registration.
bool InjectAfter(ServiceRun& run, size_t registered, const std::string& fault) {
    if (!ServiceRun::WaitUntil([&] { return run.Records().size() >= registered; }, 30000)) {
        return false;
    }
    run.SetFault(fault);
    return true;
}

std::vector<int> Without(std::vector<int> payments, int left) {
    payments.erase(std::remove(payments.begin(), payments.end(), left), payments.end());
    return payments;
}

TEST(DeviceFailureTest, PrinterManagerDownKeepsChecksDueAndBlocksPaymentsUntilItIsBack) {
    ServiceRun run;
    ASSERT_TRUE(run.StartWithFault(pmsgen::OpenDay::Small, "refuse"));
    std::vector<int> due = run.DuePayments();
    ASSERT_EQ(due.size(), 5u);

    // Every check was tried on both printers and is still due; payment entry is off.
    ASSERT_TRUE(run.WaitForStatus(due, "N", 60000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return PaymentEntry(run, "9000") == "N/N"; }, 10000))
        << run.Diagnostics();
    for (const char* code : {"9000", "9004", "9005", "9020"}) {
        EXPECT_EQ(PaymentEntry(run, code), "N/N") << code;
    }
    // Codes outside the payment list are left alone.
    EXPECT_EQ(PaymentEntry(run, "1000"), "Y/Y");
    EXPECT_EQ(PaymentEntry(run, "9010"), "Y/Y");
    EXPECT_TRUE(run.AllRecords().empty());
    EXPECT_GE(run.LogCount("Unsuccessful"), 2u);
    EXPECT_EQ(run.LogCount("Block payments"), 1u);

    // Back again: the next cycle registers everything and payments are taken again.
    run.SetFault("none");
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return PaymentEntry(run, "9000") == "Y/Y"; }, 10000))
        << run.Diagnostics();
    for (const char* code : {"9004", "9005", "9020"}) {
        EXPECT_EQ(PaymentEntry(run, code), "Y/Y") << code;
    }
    std::string log = run.Log();
    EXPECT_LT(log.rfind("Block payments"), log.rfind("Unblock payments"));

    // Stopping blocks payments again: nothing registers them while the service is away.
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    EXPECT_EQ(PaymentEntry(run, "9000"), "N/N");
    ExpectRegisteredOnce(run, due);
}

TEST(DeviceFailureTest, FailingMainPrinterSendsSalesToTheReservePrinterButNotARefund) {
    ServiceRun run;
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small, true));
    // Printer 1 (the main printer of station FO1) and printer 2 behind managers of their own.
    ASSERT_TRUE(run.StartSimulators({"MAIN", "RESERVE"}));
    run.SetFault("error code=3 kind=Check text=Paper out", 0);
    // Without room-rate codes the interfaces ask the managers for the printer's identity and
    // shift; without a cashier label the operator is the PMS cashier.
    ASSERT_TRUE(run.Configure(
        {{"<room_rate_include>1000</room_rate_include>", "<room_rate_include></room_rate_include>"},
         {"<cashier_name>Кассир:</cashier_name>", "<cashier_name></cashier_name>"}}));
    ASSERT_TRUE(run.StartService());
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> due = run.DuePayments();
    ASSERT_EQ(due.size(), 8u);
    std::vector<int> sales = Without(due, pms.refundPayment);

    ASSERT_TRUE(run.WaitForStatus(sales, "Y", 60000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus({pms.refundPayment}, "N", 10000)) << run.Diagnostics();
    EXPECT_TRUE(run.Records(0).empty());
    EXPECT_EQ(run.Records(1).size(), sales.size());
    std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
    for (int trxNo : sales) {
        EXPECT_EQ(rows[trxNo].printerId, "RESERVE2") << trxNo;
        EXPECT_EQ(rows[trxNo].attempt, "2") << trxNo;
        EXPECT_EQ(rows[trxNo].shift, "1") << trxNo;
    }
    // The four sales of station FO1 went to the reserve printer after the main one failed.
    EXPECT_EQ(run.LogCount("Send to reserve printer"), 5u) << run.Diagnostics();
    EXPECT_GE(run.LogCount("Paper out"), 6u);
    // An error answer, read whole without an end byte, is a failed attempt: the device's error
    // text, then the worker's "Unsuccessful".
    std::string log = run.Log();
    size_t refused = log.find("Paper out\n");
    ASSERT_NE(refused, std::string::npos) << run.Diagnostics();
    size_t next = refused + std::string("Paper out\n").size();
    EXPECT_TRUE(text::EndsWith(log.substr(next, log.find('\n', next) - next), " Unsuccessful"))
        << log.substr(refused, 200);
    // The printer answered: its connection is fine and payments are not blocked.
    EXPECT_EQ(PaymentEntry(run, "9000"), "Y/Y");
    EXPECT_EQ(rows[pms.refundPayment].checkNumber, "");

    // The main printer works again: the refund is registered there.
    run.SetFault("none", 0);
    ASSERT_TRUE(run.WaitForStatus({pms.refundPayment}, "Y", 30000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    ASSERT_EQ(run.Records(0).size(), 1u);
    EXPECT_EQ(run.Records(0)[0].total, "-400.00");
    EXPECT_EQ(run.Records(0)[0].operatorId, "2");
    EXPECT_EQ(run.Records(0)[0].operatorName, "Front desk agent Anna Ivanova");
    EXPECT_EQ(run.StatusRows()[pms.refundPayment].printerId, "MAIN1");
    ExpectRegisteredOnce(run, due, {}, IgnoredPayments(run));
}

TEST(DeviceFailureTest, CutAndGarbledAnswersLoseNothingAndRegisterNothingTwice) {
    ServiceRun run;
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small));
    ASSERT_TRUE(run.StartSimulators());
    // A manager that keeps its check files: the check in doubt is sent again under its name.
    run.Simulator().SetRecogniseRepeats(true);
    ASSERT_TRUE(run.Configure());
    ASSERT_TRUE(run.StartService());
    std::vector<int> due = run.DuePayments();

    // Registered, but the connection breaks after the fiscal number of the answer: in doubt, so
    // sent again to the same printer, which answers with the first registration.
    run.SetFault("cut bytes=12 kind=Check count=1");
    // Bytes that are no answer: not registered, tried again on the reserve printer.
    ASSERT_TRUE(InjectAfter(run, 2, "garbage bytes=40 kind=Check count=1")) << run.Diagnostics();
    // Cut before any answer: in doubt as well; the same printer registers it on the repeat.
    ASSERT_TRUE(InjectAfter(run, 3, "close kind=Check count=1")) << run.Diagnostics();
    // Garbage for the announcement of the check file: announced again, then the check goes.
    ASSERT_TRUE(InjectAfter(run, 4, "garbage bytes=25 kind=File count=1")) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    EXPECT_TRUE(run.ServiceRunning());
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    ExpectRegisteredOnce(run, due);
    EXPECT_EQ(run.Simulator().Repeats(), 1u);
    EXPECT_EQ(run.LogCount("Fiscal printer connect cut off."), 2u) << run.Diagnostics();
    EXPECT_EQ(run.LogCount("in doubt on printer 1 ("), 2u);
    EXPECT_EQ(run.LogCount("Unsuccessful"), 1u);
    EXPECT_EQ(run.LogCount("Send to reserve printer"), 1u);
    // The lost connection blocked payments until the next registration.
    std::string log = run.Log();
    EXPECT_LT(log.find("Block payments"), log.find("Unblock payments", log.find("Block payments")));
}

}  // namespace
