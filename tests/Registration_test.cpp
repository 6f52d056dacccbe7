// FiscoraService against the generated demo hotel and the printer-manager simulator: every due
// payment is registered exactly once, the status table holds what the printer manager handed
// out, a second run registers nothing new, and the payment and tax rules close what must not be
// registered.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ServiceRun.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Lines of the check journals of both printers.
std::vector<std::string> JournalLines(const ServiceRun& run) {
    std::vector<std::string> lines;
    for (const char* printer : {"ST_1/", "ST_2/"}) {
        for (const std::string& name : platform::ListFolder(run.Path(printer))) {
            std::string content;
            platform::ReadFile(run.Path(printer + name), content);
            for (const std::string& line : text::Split(content, '\n')) {
                if (Has(line, "(KPK ")) {
                    lines.push_back(std::string(printer) + line);
                }
            }
        }
    }
    return lines;
}

TEST(RegistrationTest, EveryDuePaymentOfTheDemoHotelIsRegisteredOnceAndASecondRunAddsNothing) {
    ServiceRun run;
    ASSERT_TRUE(run.Start(pmsgen::OpenDay::Demo));
    std::vector<int> due = run.DuePayments();
    std::vector<int> deposits = run.DueDeposits();
    // The restaurant payment among them is registered as booked: no check-database server runs.
    ASSERT_EQ(due.size(), 18u);
    // The arriving guest's deposit, and the payments without a bill on open folio windows.
    ASSERT_EQ(deposits.size(), 6u);
    // Then the bill left N the day before and the one marked S two days before, with their dates.
    const std::vector<int>& earlier = run.EarlierPayments();
    ASSERT_EQ(earlier.size(), 2u);
    due.insert(due.end(), earlier.begin(), earlier.end());
    ASSERT_TRUE(run.WaitForStatus(deposits, "D", 120000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 120000)) << run.Diagnostics();
    // The house account's payment is closed without a check.
    ASSERT_TRUE(run.WaitForStatus(run.Pms().ignoredPayments, "Y", 10000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    ExpectRegisteredOnce(run, due, deposits, IgnoredPayments(run));
    // Each keeps its own business date: the day before, and the day before that.
    for (size_t i = 0; i < earlier.size(); ++i) {
        EXPECT_TRUE(Has(run.Log(), text::Format("Payment %d of the closed business date ", earlier[i])));
        EXPECT_EQ(run.Query(text::Format("select count(*) from qel_financial_transactions q, businessdate b where "
                                         "b.state='OPEN' and q.trx_no=%d and q.business_date=b.business_date-%zu",
                                         earlier[i], i + 1)),
                  "1");
    }
    for (int ignored : run.Pms().ignoredPayments) {
        EXPECT_EQ(run.StatusRows()[ignored].checkNumber, "");
    }
    EXPECT_EQ(run.LogCount("Payment included in ignore list."), 1u);
    // One journal line per registered check, with its fiscal number.
    std::vector<std::string> journal = JournalLines(run);
    EXPECT_EQ(journal.size(), due.size() + deposits.size());
    for (const ServiceRun::Registered& r : run.AllRecords()) {
        size_t found = 0;
        for (const std::string& line : journal) {
            found +=
                text::StartsWith(line, "ST_" + r.printer + "/") && Has(line, "(KPK " + r.fiscalNumber + ")");
        }
        EXPECT_EQ(found, 1u) << r.printer << " " << r.fiscalNumber;
    }
    // The demo configuration names the operator by its cashier label.
    for (const ServiceRun::Registered& r : run.AllRecords()) {
        EXPECT_EQ(r.operatorId, "01");
        EXPECT_EQ(r.operatorName, "Кассир:");
    }
    std::string log = run.Log();
    EXPECT_TRUE(Has(log, "Start service"));
    EXPECT_TRUE(Has(log, "Stop service"));
    EXPECT_FALSE(Has(log, "Unsuccessful")) << run.Diagnostics();

    // A second run over the same PMS finds nothing left to register.
    ExpectASecondStartRegistersNothing(run, due.size() + deposits.size(), 20000);
}

// Full checks (one per bill) under rules that keep four of the six bills off the printer.
TEST(RegistrationTest, RulesCloseIgnoredRejectedAndUnregisteredPaymentsWithoutRegistration) {
    ServiceRun run;
    ASSERT_TRUE(
        run.Start(pmsgen::OpenDay::Small, true,
                  {
                      {"<only_payments>1</only_payments>", "<only_payments>0</only_payments>"},
                      // Without a base currency nothing is converted: the US dollars are the wrong currency.
                      {"<base_currency>RUB</base_currency>", "<base_currency></base_currency>"},
                      // Cash and Visa each change the taxes of the check, to different groups.
                      {"<pay code=\"9000\"><print>1</print></pay>",
                       "<pay code=\"9000\"><print>1</print><tax>2</tax></pay>"},
                      {"<pay code=\"9004\"><print>2</print></pay>",
                       "<pay code=\"9004\"><print>2</print><tax>1</tax></pay>"},
                  }));
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> all;
    for (const pmsgen::Bill& bill : pms.bills) {
        all.insert(all.end(), bill.payments.begin(), bill.payments.end());
    }
    ASSERT_EQ(all.size(), 10u);
    ASSERT_TRUE(run.WaitForStatus(all, "Y", 60000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    // Only the transfer and the refunded stay were registered.
    std::vector<ServiceRun::Registered> records = run.Records();
    std::set<std::string> registered;
    for (const ServiceRun::Registered& r : records) {
        registered.insert(r.documentNumber);
    }
    EXPECT_EQ(records.size(), 2u);
    EXPECT_EQ(registered,
              (std::set<std::string>{std::to_string(pms.transferBill), std::to_string(pms.refundBill)}));
    std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
    for (int bill : {pms.threePaymentBill, pms.currencyBill, pms.supervisorBill, pms.chequeBill}) {
        for (const pmsgen::Bill& b : pms.bills) {
            for (int trxNo : b.number == bill ? b.payments : std::vector<int>{}) {
                EXPECT_EQ(rows[trxNo].checkNumber, "") << trxNo;
            }
        }
    }
    std::string log = run.Log();
    // The supervisor is an ignored cashier.
    EXPECT_EQ(run.LogCount("Payment included in ignore list."), 1u);
    // Two payments whose codes change the taxes differently.
    EXPECT_TRUE(Has(log, "Change taxes to 1 accourding to payment code 9004"));
    EXPECT_TRUE(Has(log, "Not identical taxes in payment list."));
    // The cheque is no registered payment: reported, and the check is left for a manual close.
    EXPECT_TRUE(Has(log, text::Format("Check %d has unregistered payment 9010 Cheque.", pms.chequeBill)));
    std::vector<std::string> saved = platform::ListFolder(run.Path("ST_2"));
    EXPECT_EQ(std::count_if(saved.begin(), saved.end(),
                            [&](const std::string& name) {
                                return text::StartsWith(name, text::Format("2_%d_", pms.chequeBill));
                            }),
              1)
        << "the description of the check is saved for the manual close";
    // The payment in US dollars is marked in the PMS.
    EXPECT_TRUE(Has(log, "Payment in incorrect currency."));
    EXPECT_EQ(run.Query(text::Format("select remark from financial_transactions where trx_no=%d",
                                     pms.currencyPayment)),
              "Wrong payment");
    EXPECT_EQ(run.Query("select count(*) from financial_transactions where remark is not null"), "1");
}

}  // namespace
