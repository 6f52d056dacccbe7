// Check discovery of the Opera back-end on the demo hotel's generated PMS, under the demo
// configuration and variants of it: which bills and payments one polling cycle finds, in which
// shape, and what waits for the next cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "platform/CodePage.h"
#include "tests/support/storage/DemoHotel.h"

namespace {

using namespace demohotel;

class DiscoveryTest : public DemoHotelTest {
protected:
    // The bill numbers of the bill checks among the checks.
    static std::vector<int> Bills(const std::vector<CFiscalCheck>& checks) {
        std::vector<int> bills;
        for (const CFiscalCheck& check : checks) {
            if (check.statusCode == kBillCheck) {
                bills.push_back(text::ToInt(check.checkNumber));
            }
        }
        return bills;
    }
    std::vector<int> BillsFrom(size_t first, size_t count) const {
        std::vector<int> bills;
        for (size_t i = first; i < first + count; ++i) {
            bills.push_back(generated.bills[i].number);
        }
        return bills;
    }
};

TEST_F(DiscoveryTest, ABillWithThreePaymentsIsOneCheck) {
    Open(FullChecks());
    std::vector<CFiscalCheck> checks = CycleAfterDeposits();
    Registered(checks);
    checks = Cycle();
    const pmsgen::Bill& bill = BillOf(generated.threePaymentBill);
    int found = static_cast<int>(std::count_if(checks.begin(), checks.end(), [&](const CFiscalCheck& c) {
        return c.checkNumber == std::to_string(bill.number);
    }));
    ASSERT_EQ(found, 1);
    const CFiscalCheck& check = *Find(checks, std::to_string(bill.number));
    EXPECT_EQ(check.statusCode, kBillCheck);
    std::vector<int> payments;
    for (const struct_posting& p : check.payments) {
        payments.push_back(p.trx_no);
    }
    EXPECT_EQ(payments, bill.payments);
    std::vector<int> postings;
    for (const struct_posting& p : check.postings) {
        postings.push_back(p.trx_no);
    }
    EXPECT_EQ(postings, bill.postings);
    EXPECT_EQ(check.billDate, kBusinessDate);
    EXPECT_EQ(storage.CurrentBusinessDate(), kBusinessDate);
}

TEST_F(DiscoveryTest, ElevenBillsPerCycleTheTwelfthWaits) {
    Open(FullChecks());
    ASSERT_EQ(generated.bills.size(), 14u);
    std::vector<CFiscalCheck> checks = CycleAfterDeposits();
    // Newest bills first. The pay master's payment of the day was a deposit before them.
    std::vector<int> expected = BillsFrom(3, 11);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(Bills(checks), expected);
    EXPECT_EQ(FindPayment(checks, generated.payMasterPayment), nullptr);
    EXPECT_EQ(checks.size(), 11u);
    // Nothing was registered: the same bills again.
    EXPECT_EQ(Bills(Cycle()), expected);
    Registered(checks);
    checks = Cycle();
    expected = BillsFrom(0, 3);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(Bills(checks), expected);
    EXPECT_EQ(checks.size(), 3u);
    Registered(checks);
    // Then the accounts-receivable payment, found only when nothing else is due.
    checks = Cycle();
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].statusCode, kReceivablePayment);
    EXPECT_EQ(checks[0].payments[0].trx_no, generated.arPayment);
    EXPECT_EQ(checks[0].checkNumber, "4001");
    Registered(checks);
    EXPECT_TRUE(Cycle().empty());
}

TEST_F(DiscoveryTest, PaymentsOnlyModeMakesOneCheckPerPaymentSixteenPerCycle) {
    Open();
    ASSERT_EQ(generated.paymentsOfTheDay.size(), 25u);
    // The deposits come first: the arriving guest's, then those without a bill.
    ASSERT_EQ(generated.depositsOfTheDay.size(), 6u);
    std::vector<CFiscalCheck> deposits = Cycle();
    ASSERT_EQ(deposits.size(), 1u);
    EXPECT_EQ(deposits[0].payments.at(0).trx_no, generated.rdrDeposit);
    Registered(deposits);
    deposits = Cycle();
    EXPECT_EQ(deposits.size(), 5u);
    Registered(deposits);
    std::set<int> seen;
    std::vector<size_t> perCycle;
    for (int cycle = 0; cycle < 3; ++cycle) {
        std::vector<CFiscalCheck> checks = Cycle();
        perCycle.push_back(checks.size());
        for (const CFiscalCheck& check : checks) {
            EXPECT_EQ(check.statusCode, kPaymentCheck);
            ASSERT_EQ(check.payments.size(), 1u);
            ASSERT_EQ(check.postings.size(), 1u);
            EXPECT_EQ(check.postings[0].trx_no, check.payments[0].trx_no);
            EXPECT_TRUE(seen.insert(check.payments[0].trx_no).second) << check.payments[0].trx_no;
        }
        Registered(checks);
    }
    EXPECT_EQ(perCycle, (std::vector<size_t>{16, 3, 0}));
    std::set<int> payments(generated.paymentsOfTheDay.begin(), generated.paymentsOfTheDay.end());
    for (int deposit : generated.depositsOfTheDay) {
        payments.erase(deposit);
    }
    EXPECT_EQ(seen, payments);
    EXPECT_EQ(storage.CurrentBusinessDate(), kBusinessDate);
    // Each registered payment's own row is Y, and only that one; the deposits' rows are D.
    EXPECT_EQ(Rows("select qel_fisc_status, count(*) from qel_financial_transactions group by qel_fisc_status"),
              (std::vector<std::string>{"D|6", "N|1", "S|1", "Y|19"}));
}

TEST_F(DiscoveryTest, DateOffsetLooksAtThePreviousBusinessDate) {
    Open(FullChecks() + Changes{{"<date_offset>0</date_offset>", "<date_offset>1</date_offset>"}});
    EXPECT_TRUE(Logged("TEST MODE DATE OFFSET -1"));
    std::vector<CFiscalCheck> checks = CycleAfterDeposits();
    EXPECT_EQ(Bills(checks), (std::vector<int>{generated.yesterdayBill}));
    const CFiscalCheck* bill = Find(checks, std::to_string(generated.yesterdayBill));
    ASSERT_NE(bill, nullptr);
    EXPECT_EQ(bill->billDate, "13.03.2026");
    EXPECT_EQ(bill->payments.at(0).fisc_status, "N");
}

TEST_F(DiscoveryTest, CzechModeFindsBillsToRegisterAgainOnlyWhenNothingIsDueAndNeverFailedOnes) {
    Open(Changes{{"<printer>PM</printer>", "<printer>CZECH</printer>"}});
    EXPECT_EQ(storage.settings.printerType, 10);
    std::vector<CFiscalCheck> checks = CycleAfterDeposits();
    std::vector<int> bills = Bills(checks);
    ASSERT_EQ(bills.size(), 11u);
    EXPECT_EQ(std::count(bills.begin(), bills.end(), generated.againBill), 0);
    // The bill's creation time with the zone of the database.
    EXPECT_TRUE(text::StartsWith(checks[0].billDate, "2026-03-14T14:00:00")) << checks[0].billDate;
    EXPECT_EQ(checks[0].billDate.size(), 25u) << checks[0].billDate;
    Registered(checks);
    // The company bill's description was saved to a journal file: Czech registration marks it F.
    const pmsgen::Bill& company = BillOf(generated.companyBill);
    for (int trxNo : company.payments) {
        Run(text::Format(
            "insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no) values (%d, 'F', %d)",
            trxNo, company.number));
    }
    checks = Cycle();
    EXPECT_EQ(Bills(checks), (std::vector<int>{generated.packageBill, generated.threePaymentBill}));
    Registered(checks);
    // The bill to register again was registered offline before: it comes with its whole PKP, so
    // that it is sent as a repeated sending and keeps that code.
    std::string pkp = std::string(340, 'A') + "b/c=";
    Run("update qel_financial_transactions set title='" + pkp + "', shift_number='" + std::string(44, 'B') +
        "' where qel_fisc_status='S'");
    checks = Cycle();
    EXPECT_EQ(Bills(checks), (std::vector<int>{generated.againBill}));
    // Its sale time is two days old, which changes no business date.
    EXPECT_EQ(storage.CurrentBusinessDate(), kBusinessDate);
    storage.CheckBusinessDate();
    EXPECT_FALSE(Logged("Business date was changed."));
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].printedFileName, pkp);
    EXPECT_EQ(checks[0].shiftNumber, std::string(44, 'B'));
    Registered(checks);
    EXPECT_TRUE(Bills(Cycle()).empty());
}

TEST_F(DiscoveryTest, ReinstatedBillBecomesOnePaymentCheckPerUnfiscalisedPayment) {
    Open(FullChecks() + WithoutPayMaster());
    const pmsgen::Bill& bill = BillOf(generated.reinstatedBill);
    ASSERT_EQ(bill.payments.size(), 2u);
    std::vector<CFiscalCheck> checks = Cycle();
    ASSERT_NE(FindPayment(checks, generated.payMasterPayment), nullptr);
    std::vector<const CFiscalCheck*> parts;
    for (const CFiscalCheck& check : checks) {
        if (check.checkNumber == std::to_string(bill.number)) {
            parts.push_back(&check);
        }
    }
    ASSERT_EQ(parts.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(parts[i]->statusCode, kPaymentCheck);
        ASSERT_EQ(parts[i]->payments.size(), 1u);
        ASSERT_EQ(parts[i]->postings.size(), 1u);
        EXPECT_EQ(parts[i]->payments[0].trx_no, bill.payments[i]);
        EXPECT_EQ(parts[i]->postings[0].trx_no, bill.payments[i]);
        EXPECT_FALSE(parts[i]->reinstateDate.empty());
    }
    std::string log = LogText();
    size_t first = log.find("REINSTATE");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(log.find("REINSTATE", first + 1), std::string::npos);
    // The first registered, the second failed: each keeps its own status.
    CFiscalCheck registered = *parts[0];
    CFiscalCheck failed = *parts[1];
    ASSERT_TRUE(storage.SetCheckStatus(registered, CheckStatusLetter::NotRegistered));
    ASSERT_TRUE(storage.SetCheckStatus(failed, CheckStatusLetter::NotRegistered));
    ASSERT_TRUE(storage.SetCheckStatus(registered, CheckStatusLetter::Registered));
    ASSERT_TRUE(storage.SetCheckStatus(failed, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(bill.payments[0]), "Y");
    EXPECT_EQ(Status(bill.payments[1]), "N");
    // Next cycle: only the one not fiscalised.
    checks = Cycle();
    parts.clear();
    for (const CFiscalCheck& check : checks) {
        if (check.checkNumber == std::to_string(bill.number)) {
            parts.push_back(&check);
        }
    }
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->payments[0].trx_no, bill.payments[1]);
}

TEST_F(DiscoveryTest, EachCzechPaymentOfAReinstatedBillCarriesOnlyItsOwnCodes) {
    Open(FullChecks() + WithoutPayMaster() + Changes{{"<printer>PM</printer>", "<printer>CZECH</printer>"}});
    const pmsgen::Bill& bill = BillOf(generated.reinstatedBill);
    ASSERT_EQ(bill.payments.size(), 2u);
    // The first part registered in an earlier run, the second marked to register again with a
    // code of its own: the third run finds the second only, with its own codes.
    Run(
        text::Format("insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no, title, "
                     "shift_number, printer_id) values (%d, 'Y', %d, 'FIK-FIRST', 'BKP-FIRST', '1')",
                     bill.payments[0], bill.number));
    auto part = [&](const std::vector<CFiscalCheck>& checks) -> const CFiscalCheck* {
        for (const CFiscalCheck& check : checks) {
            if (check.checkNumber == std::to_string(bill.number)) {
                return &check;
            }
        }
        return nullptr;
    };
    std::vector<CFiscalCheck> checks = CycleAfterDeposits();
    const CFiscalCheck* second = part(checks);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->payments.size(), 1u);
    EXPECT_EQ(second->payments[0].trx_no, bill.payments[1]);
    EXPECT_EQ(second->printedFileName, "");
    EXPECT_EQ(second->shiftNumber, "");
    EXPECT_EQ(second->printerId, "");
    Registered(checks);
    Run(
        text::Format("update qel_financial_transactions set qel_fisc_status='S', title='FIK-SECOND', "
                     "shift_number='BKP-SECOND', printer_id='2' where trx_no=%d",
                     bill.payments[1]));
    // A bill to register again waits until nothing else is due.
    second = nullptr;
    for (int cycle = 0; cycle < 4 && !second; ++cycle) {
        checks = Cycle();
        second = part(checks);
        Registered(checks);
    }
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->printedFileName, "FIK-SECOND");
    EXPECT_EQ(second->shiftNumber, "BKP-SECOND");
    EXPECT_EQ(second->printerId, "2");
}

TEST_F(DiscoveryTest, SecondListPaymentIsNegatedInBothListsAndOtherPaymentsStayOut) {
    Open(FullChecks());
    // A cash loan into the front desk's drawer, as the PMS books it.
    Run("insert into OPERA.financial_transactions (trx_no, resort, business_date, trx_code, trx_amount, "
        "posted_amount, net_amount, currency, exchange_rate, recpt_no, ft_subtype, tran_action_id, "
        "cashier_id, "
        "quantity) values (60000001, 'DEMO', to_date('14.03.2026','dd.mm.yyyy'), '9900', -10000, -10000, "
        "-10000, "
        "'RUB', 1, 790001, 'FC', 1, 2, 1)");
    std::vector<CFiscalCheck> checks;
    storage.FindSecondListPayments(checks);
    // The template holds the pay list too (pay-master flag, AR mode): only the loan is taken.
    ASSERT_EQ(checks.size(), 1u);
    const CFiscalCheck& loan = checks[0];
    EXPECT_EQ(loan.statusCode, kCashLoan);
    ASSERT_EQ(loan.postings.size(), 1u);
    ASSERT_EQ(loan.payments.size(), 1u);
    for (const struct_posting* line : {&loan.postings[0], &loan.payments[0]}) {
        EXPECT_EQ(line->trx_code, 9900);
        EXPECT_DOUBLE_EQ(line->trx_amount, 10000);
        EXPECT_DOUBLE_EQ(line->posted_amount, 10000);
        EXPECT_DOUBLE_EQ(line->net_amount, 10000);
    }
    EXPECT_EQ(loan.station, "FO1");
    // In a cycle the loan waits while bills are due.
    for (const CFiscalCheck& check : Cycle()) {
        EXPECT_NE(check.statusCode, kCashLoan);
    }
}

TEST_F(DiscoveryTest, PayMasterPaymentKeepsItsNameAndPrintsTheConfiguredOne) {
    Open(FullChecks());
    std::vector<CFiscalCheck> checks;
    storage.FindPayMasterPayments(checks);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].statusCode, kPayMasterCheck);
    EXPECT_EQ(checks[0].room, "9999");
    EXPECT_EQ(checks[0].payments.at(0).description, "Visa");
    EXPECT_EQ(checks[0].postings.at(0).description, "PM");
    EXPECT_EQ(checks[0].payments[0].trx_no, generated.payMasterPayment);
}

TEST_F(DiscoveryTest, ATransactionAnEarlierFinderTookIsNotFoundAgainInTheSameCycle) {
    Open(FullChecks());
    std::vector<CFiscalCheck> checks;
    storage.FindPayMasterPayments(checks);
    ASSERT_EQ(checks.size(), 1u);
    // Another finder of the cycle meets the same payment (a cash loan on the pay-master room, a
    // pay-master payment inside a bill): it stays with the check that has it.
    storage.FindPayMasterPayments(checks);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].payments.at(0).trx_no, generated.payMasterPayment);
    EXPECT_TRUE(Logged(
        text::Format("Transaction %d is in a check of this cycle already", generated.payMasterPayment)));
}

// Room nights posted as the prepayment (the code map) of a folio window.
Changes Prepayment(const char* view) {
    return {{"<ignore>",
             std::string("<prepayment><view>") + view +
                 "</view><payment code=\"1000\"><posting>*1000*</posting></payment></prepayment><ignore>"}};
}

TEST_F(DiscoveryTest, FolioWindowBillsTakeThePrepaymentPostingsAsPayments) {
    Open(FullChecks() + Prepayment("3"));
    std::vector<CFiscalCheck> checks;
    storage.FindFolioWindowBills(checks);
    // The eleven bills with nights; their nights, in other windows than the prepayment's, pay.
    ASSERT_EQ(checks.size(), 11u);
    const pmsgen::Bill& bill = BillOf(generated.threePaymentBill);
    const CFiscalCheck* check = Find(checks, std::to_string(bill.number));
    ASSERT_NE(check, nullptr);
    std::vector<double> nights;
    for (const struct_posting& p : check->payments) {
        if (p.trx_code == 1000) {
            nights.push_back(p.trx_amount);
        }
    }
    EXPECT_EQ(nights, (std::vector<double>{-4500, -4500}));
    EXPECT_EQ(check->payments.size(), 5u);
    for (const struct_posting& p : check->postings) {
        EXPECT_NE(p.trx_code, 1000);
    }
}

TEST_F(DiscoveryTest, FolioWindowOfThePrepaymentIsSettledNotRegistered) {
    Open(FullChecks() + Prepayment("1"));
    const pmsgen::Bill& bill = BillOf(generated.threePaymentBill);
    std::vector<CFiscalCheck> checks;
    storage.FindFolioWindowBills(checks);
    // Only the company's bill, in window 2.
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].checkNumber, std::to_string(generated.companyBill));
    EXPECT_EQ(Status(bill.postings[0]), "-");
    // Once one of its payments is fiscalised, its prepayment nights are done.
    Run(text::Format("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (%d, 'Y')",
                     bill.payments[0]));
    checks.clear();
    storage.FindFolioWindowBills(checks);
    EXPECT_EQ(checks.size(), 1u);
    EXPECT_EQ(Status(bill.postings[0]), "Y");
    EXPECT_EQ(Status(bill.postings[2]), "Y");
    EXPECT_EQ(Status(bill.postings[4]), "-");  // the dinner is no prepayment
}

// Each deposit of the day that is not registered yet is registered as an advance of its own (a
// deposit check, kind 1, the deposit as its payment and its line), read per reservation; once
// registered (D) it is not found again.
TEST_F(DiscoveryTest, ProFormaDepositsAreAdvancesOfTheirReservation) {
    Open(FullChecks() + Changes{{"<proforma_folio_deposit>0<", "<proforma_folio_deposit>1<"}});
    std::vector<CFiscalCheck> checks;
    storage.FindProFormaDeposits(checks);
    // The deposits of the day with a listed code: the card deposit (the online one's code 9050 is
    // in the list through the online deposits).
    ASSERT_EQ(checks.size(), 2u);
    std::multiset<double> amounts;
    for (const CFiscalCheck& check : checks) {
        EXPECT_EQ(check.statusCode, kDepositCheck);
        ASSERT_EQ(check.payments.size(), 1u);
        ASSERT_EQ(check.postings.size(), 1u);
        EXPECT_EQ(check.postings[0].trx_no, check.payments[0].trx_no);
        EXPECT_EQ(check.postings[0].description, "Deposit");
        EXPECT_FALSE(check.reservationId.empty());
        amounts.insert(check.payments[0].trx_amount);
        EXPECT_TRUE(Logged(text::Format("*** Deposit %d ***", check.payments[0].trx_no)));
    }
    EXPECT_EQ(amounts, (std::multiset<double>{3000, 5000}));

    // A second deposit for the first reservation, booked after the other reservation's: the
    // unordered rows come back first, other, first again; each deposit is one advance.
    const std::string cols =
        "resort, trx_code, room, currency, exchange_rate, recpt_no, cashier_id, ft_subtype, business_date, "
        "resv_name_id, folio_view, quantity, tran_action_id";
    Run("insert into OPERA.deposit_financial_transactions (trx_no, trx_amount, posted_amount, net_amount, " +
        cols + ") select 70000001, 700, 700, 700, " + cols +
        " from OPERA.deposit_financial_transactions where trx_code='9004'");
    ASSERT_EQ(
        Rows("select trx_no from OPERA.deposit_financial_transactions where trx_code in ('9004','9050')"),
        (std::vector<std::string>{"50000075", "50000076", "70000001"}));
    checks.clear();
    storage.FindProFormaDeposits(checks);
    ASSERT_EQ(checks.size(), 3u);
    std::map<std::string, size_t> deposits;
    for (const CFiscalCheck& check : checks) {
        deposits[check.reservationId] += check.payments.size();
    }
    EXPECT_EQ(deposits, (std::map<std::string, size_t>{{"600022", 2}, {"600023", 1}}));

    // Registered, a deposit is D and not taken up again; the one left is.
    std::erase_if(checks, [](const CFiscalCheck& check) { return check.payments[0].trx_no == 70000001; });
    for (CFiscalCheck& check : checks) {
        ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered));
        ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::Registered));
        EXPECT_EQ(Rows(text::Format("select qel_fisc_status from qel_financial_transactions where trx_no=%d",
                                    check.payments[0].trx_no)),
                  (std::vector<std::string>{"D"}));
    }
    checks.clear();
    storage.FindProFormaDeposits(checks);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].payments[0].trx_no, 70000001);
}

TEST_F(DiscoveryTest, BlockPaymentsSwitchesBothFlagsOfThePaymentCodesOnly) {
    Open();
    const std::string query =
        "select trx_code, ind_billing, ind_deposit_yn from OPERA.trx$_codes where resort='DEMO' and trx_code "
        "in "
        "('1000','9000','9004','9005','9020','9100','9900') order by trx_code";
    ASSERT_TRUE(storage.BlockPayments(true, ""));
    EXPECT_EQ(Rows(query), (std::vector<std::string>{"1000|Y|Y", "9000|N|N", "9004|N|N", "9005|N|N",
                                                     "9020|N|N", "9100|Y|Y", "9900|Y|Y"}));
    ASSERT_TRUE(storage.BlockPayments(false, ""));
    EXPECT_EQ(Rows("select count(*) from OPERA.trx$_codes where ind_billing<>'Y' or ind_deposit_yn<>'Y'"),
              (std::vector<std::string>{"0"}));
    // A lost database: nothing is switched, and the worker hears so.
    // (Both connections closed first: Windows removes no file that is open.)
    storage.Close();
    Pms().Close();
    std::filesystem::remove(folder.Path("demo_pms.db"));
    EXPECT_FALSE(storage.BlockPayments(true, ""));
}

TEST_F(DiscoveryTest, RefundIsConfirmedAgainstTheSaleItNames) {
    Open();
    const pmsgen::Bill& bill = BillOf(generated.threePaymentBill);
    int receipt =
        text::ToInt(Rows(text::Format("select recpt_no from OPERA.financial_transactions where trx_no=%d",
                                      bill.payments[0]))
                        .at(0));
    CFiscalCheck refund;
    refund.folioNumber = bill.confirmation;
    storage.NoteBusinessDate(kBusinessDate);
    EXPECT_TRUE(storage.ConfirmRefund(refund, receipt, -5000));
    EXPECT_NE(refund.statusCode, kCashPickup);
    EXPECT_FALSE(storage.ConfirmRefund(refund, receipt, -5000.01));
    EXPECT_EQ(storage.GetLastError(),
              platform::Cp1251("Сумма возврата -5000.01 больше суммы оригинального платежа 5000.00"));
    EXPECT_FALSE(storage.ConfirmRefund(refund, 1, -10));
    EXPECT_EQ(storage.GetLastError(), platform::Cp1251("Не удалось найти оригинальный платеж по номеру 1. "
                                                       "Отредактируйте номер в поле референса"));
    // A sale of another business date: the refund is a pick-up.
    storage.NoteBusinessDate("15.03.2026");
    EXPECT_TRUE(storage.ConfirmRefund(refund, receipt, -100));
    EXPECT_EQ(refund.statusCode, kCashPickup);
    EXPECT_TRUE(Logged("Refund business date 15.03.2026 not equal Payment business date 14.03.2026"));
}

TEST_F(DiscoveryTest, BusinessDateOfWhatIsFoundDrivesTheCleanUp) {
    Open();
    std::vector<CFiscalCheck> today = Cycle();
    Registered(today);
    EXPECT_EQ(storage.CurrentBusinessDate(), kBusinessDate);
    EXPECT_EQ(storage.PreviousBusinessDate(), kBusinessDate);
    // The night audit closes the day; the next day's first payment is found.
    Run("update OPERA.businessdate set state='CLOSED' where resort='DEMO'");
    Run("insert into OPERA.businessdate values ('DEMO', to_date('15.03.2026','dd.mm.yyyy'), 'OPEN')");
    Run("insert into OPERA.financial_transactions (trx_no, resort, business_date, trx_code, trx_amount, "
        "posted_amount, net_amount, currency, exchange_rate, recpt_no, ft_subtype, tran_action_id, "
        "cashier_id, "
        "quantity, room) values (60000002, 'DEMO', to_date('15.03.2026','dd.mm.yyyy'), '9000', 700, 700, "
        "700, "
        "'RUB', 1, 790002, 'FC', 2, 3, 1, '130')");
    std::vector<CFiscalCheck> checks = Cycle();
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].payments[0].business_date, "15.03.2026");
    EXPECT_EQ(storage.CurrentBusinessDate(), "15.03.2026");
    EXPECT_FALSE(Logged("Business date was changed."));
    storage.CheckBusinessDate();
    EXPECT_TRUE(Logged("Business date was changed. Clear old transactions."));
    EXPECT_TRUE(storage.PreviousBusinessDate().empty());
}

TEST_F(DiscoveryTest, PayMasterFlagReadsTheCashierOfTheBill) {
    Open(FullChecks());
    // The bill was made by Boris although Anna posted its lines.
    Run(text::Format("update OPERA.folio$_tax set cashier_id=3 where bill_no=%d", generated.transferBill));
    std::vector<CFiscalCheck> checks = CycleAfterDeposits();
    const CFiscalCheck* bill = Find(checks, std::to_string(generated.transferBill));
    ASSERT_NE(bill, nullptr);
    EXPECT_TRUE(Logged("Read cashier info"));
    EXPECT_EQ(bill->cashierId, "2");
    EXPECT_EQ(bill->cashierName, "Boris Smirnov");
    EXPECT_EQ(bill->cashierPosition, "Night auditor");
    EXPECT_EQ(bill->cashierTaxId, "770987654321");
}

TEST_F(DiscoveryTest, AdjustmentCodesReachThePostingRules) {
    Open(Changes{{"<adjustment_refund></adjustment_refund>", "<adjustment_refund>1</adjustment_refund>"}});
    EXPECT_TRUE(Logged("Adjustment refund code list: 1"));
    EXPECT_EQ(configuration.adjustmentCodes, (std::map<std::string, int32_t>{{"5001", 5000}}));
}

TEST_F(DiscoveryTest, WindowBalanceOfAStayingGuest) {
    Open();
    double balance = 0;
    // Room 130: a night of 4500 and an advance payment of 3000.
    ASSERT_TRUE(storage.WindowBalance(generated.inHousePayments[0], balance));
    EXPECT_DOUBLE_EQ(balance, 1500);
    EXPECT_FALSE(storage.WindowBalance(1, balance));
}

TEST(TemplateVariantsTest, EachVariantChangesItsPlaceOnly) {
    CRecPayment detail;
    CRequestCheckNumber request;
    const std::string& bill = detail.templates[CRecPayment::TransactionsOfBill];
    const std::string& payments = detail.templates[CRecPayment::PaymentsOfTheDay];
    EXPECT_NE(
        CRecPayment::ForPostit(bill, 7).find("(fin.bill_no=%s) and fin.trx_no=qel.trx_no(+) and "
                                             "fin.article_id=art.article_id(+) and fin.postit_no=7 order by"),
        std::string::npos);
    EXPECT_NE(
        CRecPayment::WithoutBill(payments).find("and fin.bill_no is NULL and ((qel.qel_fisc_status is NULL)"),
        std::string::npos);
    EXPECT_NE(CRecPayment::ForRoom(payments).find("and fin.room='%s' and (fin.trx_code=trx.trx_code)"),
              std::string::npos);
    std::string udf = CRecPayment::WithUserField(payments, "udfc03");
    EXPECT_EQ(udf.find("fin.cheque_number"), std::string::npos);
    EXPECT_NE(udf.find("res.udfc03, fin.folio_view"), std::string::npos);
    // A template without the place stays as it is.
    EXPECT_EQ(CRecPayment::ForPostit(payments, 7), payments);
    EXPECT_EQ(CRecPayment::ForRoom(bill), bill);

    const std::string& bills = request.templates[CRequestCheckNumber::BillsOfTheDay];
    EXPECT_NE(CRequestCheckNumber::WithDateOffset(bills, 1).find("(SELECT BUSINESS_DATE-1 FROM"),
              std::string::npos);
    // Looking ahead must not turn into an SQL comment.
    std::string ahead = CRequestCheckNumber::WithDateOffset(bills, -2);
    EXPECT_NE(ahead.find("(SELECT BUSINESS_DATE+2 FROM"), std::string::npos);
    EXPECT_EQ(ahead.find("--"), std::string::npos);
    std::string czech = CRequestCheckNumber::NewOrFailedOnly(CRequestCheckNumber::WithCreationTime(bills));
    EXPECT_NE(czech.find("(qel.qel_fisc_status='N')"), std::string::npos);
    EXPECT_EQ(czech.find("BILL_GENERATION_DATE,'dd.mm.yyyy'"), std::string::npos);
    EXPECT_NE(czech.find("to_char(fol.insert_date,'YYYY-MM-DD\"T\"HH24:MI:SS')"), std::string::npos);
}

// The checks of the demo hotel as the worker logs them (BuildText), and what the demo
// configuration's rules make of them.
class DemoHotelChecksTest : public DiscoveryTest {
protected:
    static std::vector<std::string> Text(CFiscalCheck check) {
        std::vector<std::string> lines;
        for (const std::string& line : check.BuildText(2, "")) {
            lines.push_back(platform::ToUtf8(line, "1251"));
        }
        return lines;
    }
    static std::vector<std::string> Head(const std::vector<std::string>& lines, size_t n) {
        return std::vector<std::string>(lines.begin(),
                                        lines.begin() + static_cast<long>(std::min(n, lines.size())));
    }
    static bool Has(const std::string& line, std::initializer_list<std::string> parts) {
        for (const std::string& part : parts) {
            if (line.find(part) == std::string::npos) {
                return false;
            }
        }
        return true;
    }
};

TEST_F(DemoHotelChecksTest, PaymentChecksShowPaymentCashierRoomAndStay) {
    Open();
    std::vector<CFiscalCheck> checks = Cycle();
    Registered(checks);
    // The advances of staying guests are deposits without a bill.
    std::vector<CFiscalCheck> deposits = Cycle();
    Registered(deposits);
    checks = Cycle();
    const pmsgen::Bill& bill = BillOf(generated.currencyBill);
    const CFiscalCheck* dollars = FindPayment(checks, generated.currencyPayment);
    ASSERT_NE(dollars, nullptr);
    std::vector<std::string> text = Text(*dollars);
    ASSERT_EQ(text.size(), 12u);
    EXPECT_EQ(Head(text, 8),
              (std::vector<std::string>{"Print check:", "Folio: " + bill.confirmation,
                                        "Check: " + std::to_string(bill.number), "Room: 112", "Station: FO2",
                                        "Cashier: 3 Boris Smirnov Night auditor 770987654321",
                                        "Reservation: " + std::to_string(bill.reservation), "Postings:"}));
    std::string rec = "REC: " + std::to_string(generated.currencyPayment);
    EXPECT_TRUE(
        Has(text[8], {"9000: Наличные 100.00*1.00", "NET: 9250.00", rec, "EXCH: 92.5000 PA: 9250.00"}))
        << text[8];
    EXPECT_EQ(text[9], "Payments:");
    EXPECT_TRUE(Has(text[10], {"9000: Наличные 100.00*1.00 Paid: ; PA: 9250.00 Rate: 92.5000; View: 1;",
                               "Rec id: " + std::to_string(generated.currencyPayment)}))
        << text[10];

    // An advance payment of a staying guest: no bill, the guest's room; printed as the deposit.
    const CFiscalCheck* advance = FindPayment(deposits, generated.inHousePayments[1]);
    ASSERT_NE(advance, nullptr);
    text = Text(*advance);
    EXPECT_EQ(text[1].substr(0, 7), "Folio: ");
    EXPECT_EQ(text[2], "Room: 131");
    EXPECT_EQ(text[3], "Station: FO2");
    EXPECT_TRUE(Has(text[7], {"9004: Deposit 5000.00*1.00"})) << text[7];
    EXPECT_TRUE(Has(text[9], {"9004: Visa 5000.00*1.00"})) << text[9];
}

TEST_F(DemoHotelChecksTest, BillCheckShowsPostingsPaymentsCashierRoomAndGuest) {
    Open(FullChecks() + Changes{{"<send_customer_info>0<", "<send_customer_info>1<"}});
    std::vector<CFiscalCheck> checks = CycleAfterDeposits();
    Registered(checks);
    checks = Cycle();
    const pmsgen::Bill& bill = BillOf(generated.threePaymentBill);
    const CFiscalCheck* check = Find(checks, std::to_string(bill.number));
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->guestFirstName, "Ivan");
    EXPECT_EQ(check->guestLastName, "Petrov");
    std::vector<std::string> text = Text(*check);
    ASSERT_EQ(text.size(), 20u);
    EXPECT_EQ(Head(text, 9),
              (std::vector<std::string>{"Print check:", "Folio: " + bill.confirmation,
                                        "Check: " + std::to_string(bill.number), "Room: 101", "Station: FO1",
                                        "Cashier: 2 Anna Ivanova Front desk agent 770123456789",
                                        "Reservation: " + std::to_string(bill.reservation),
                                        "Email: ivan.petrov@example.com", "Postings:"}));
    auto rec = [&](size_t i) { return "REC: " + std::to_string(bill.postings[i]); };
    EXPECT_TRUE(Has(text[9], {"1000: Проживание 4500.00*1.00 (0:) TX: 0 (Y) NET: 3750.00", rec(0)}))
        << text[9];
    EXPECT_TRUE(Has(text[10], {"4: Курортный сбор 100.00*1.00",
                               "TX: " + std::to_string(bill.postings[0]) + " (N)", rec(1)}))
        << text[10];
    EXPECT_TRUE(Has(text[11], {"1000: Проживание 4500.00", rec(2)})) << text[11];
    EXPECT_TRUE(Has(text[12], {"4: Курортный сбор 100.00", rec(3)})) << text[12];
    EXPECT_TRUE(Has(text[13], {"2000: Ресторан 1850.00*1.00", "NET: 1541.67", rec(4)})) << text[13];
    EXPECT_TRUE(Has(text[14], {"2100: Лобби-бар 620.00*1.00", rec(5)})) << text[14];
    EXPECT_EQ(text[15], "Payments:");
    EXPECT_TRUE(Has(text[16], {"9000: Наличные 5000.00*1.00 Paid: ; PA: 5000.00 Rate: 1.0000; View: 1;"}));
    EXPECT_TRUE(Has(text[17], {"9004: Visa 4000.00*1.00"}));
    EXPECT_TRUE(Has(text[18], {"9005: MasterCard 2670.00*1.00"}));
    EXPECT_EQ(text[19], "");
}

TEST_F(DemoHotelChecksTest, EveryDemoCheckPassesTheRulesButTheHouseAccounts) {
    Open();
    int accepted = 0;
    std::vector<int> ignored;
    for (int cycle = 0; cycle < 4; ++cycle) {
        std::vector<CFiscalCheck> checks = Cycle();
        for (const CFiscalCheck& check : checks) {
            CFiscalCheck copy = check;
            if (configuration.ApplyRules(copy)) {
                ++accepted;
                EXPECT_EQ(copy.documentKind, 7) << check.payments[0].trx_no;
            } else {
                EXPECT_EQ(copy.statusCode, kNotToRegister) << configuration.GetLastError();
                ignored.push_back(check.payments[0].trx_no);
            }
        }
        Registered(checks);
    }
    EXPECT_EQ(accepted, 24);
    EXPECT_EQ(ignored, generated.ignoredPayments);
}

TEST_F(DemoHotelChecksTest, EveryDemoBillComposesInFullCheckMode) {
    Open(FullChecks());
    for (int cycle = 0; cycle < 3; ++cycle) {
        std::vector<CFiscalCheck> checks = Cycle();
        for (const CFiscalCheck& check : checks) {
            CFiscalCheck copy = check;
            bool accepted = configuration.ApplyRules(copy);
            int bill = text::ToInt(check.checkNumber);
            if (bill == generated.houseBill) {
                EXPECT_EQ(copy.statusCode, kNotToRegister);
            } else if (bill == generated.reinstatedBill) {
                // Only payments on it: with the pay-master flag it stays a bill, a null check.
                EXPECT_FALSE(accepted);
                EXPECT_EQ(copy.documentKind, 2);
            } else {
                EXPECT_TRUE(accepted) << check.checkNumber << " " << configuration.GetLastError();
            }
        }
        Registered(checks);
    }
}


// Checks left N or S on closed business dates: taken up after the open date's, oldest first,
// each with its own date, within the window of //earlier_days.
class EarlierDatesTest : public DiscoveryTest {
protected:
    EarlierDatesTest() { earlierDates = true; }
    // The bills among the checks that belong to a closed business date, with that date.
    static std::vector<std::pair<int, std::string>> Closed(const std::vector<CFiscalCheck>& checks) {
        std::vector<std::pair<int, std::string>> closed;
        for (const CFiscalCheck& check : checks) {
            if (!check.closedBusinessDate.empty()) {
                closed.emplace_back(text::ToInt(check.checkNumber), check.closedBusinessDate);
            }
        }
        return closed;
    }
};

TEST_F(EarlierDatesTest, BillsOfClosedDatesFollowTheOpenDatesOldestFirstWithTheirOwnDate) {
    Open(FullChecks() + WithoutPayMaster());
    std::vector<CFiscalCheck> checks = Cycle();
    // After the day's checks: the bill marked S two days before, then the one left N the day
    // before.
    ASSERT_GT(checks.size(), 2u);
    EXPECT_TRUE(checks[checks.size() - 3].closedBusinessDate.empty());
    using Dated = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(Closed(checks), (Dated{{generated.againBill, "12.03.2026"}, {generated.yesterdayBill, "13.03.2026"}}));
    for (const CFiscalCheck& check : checks) {
        if (!check.closedBusinessDate.empty()) {
            EXPECT_EQ(check.billDate, check.closedBusinessDate);
            EXPECT_FALSE(check.payments.empty());
            EXPECT_TRUE(Logged("Bill " + check.checkNumber + " of the closed business date " +
                               check.closedBusinessDate + " taken up"));
        }
    }
    // Their dates are no change of the business date.
    EXPECT_EQ(storage.CurrentBusinessDate(), kBusinessDate);
    storage.CheckBusinessDate();
    EXPECT_FALSE(Logged("Business date was changed."));

    Registered(checks);
    checks = Cycle();
    EXPECT_TRUE(Closed(checks).empty());
    // The last three bills of the day are taken up and left N; the night audit closes the day.
    ASSERT_EQ(Bills(checks), (std::vector<int>{generated.bills[2].number, generated.bills[1].number,
                                               generated.bills[0].number}));
    for (CFiscalCheck& check : checks) {
        ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered));
    }
    OpenBusinessDate("15.03.2026");
    std::vector<CFiscalCheck> nextDay = Cycle();
    std::vector<std::pair<int, std::string>> left = Closed(nextDay);
    ASSERT_EQ(left.size(), 3u) << LogText();
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(left[i].first, generated.bills[i].number);
        EXPECT_EQ(left[i].second, kBusinessDate);
    }
    Registered(nextDay);
    EXPECT_TRUE(Closed(Cycle()).empty());
}

TEST_F(EarlierDatesTest, TheWindowTheCzechRegistrationAndPaymentsOnlyMode) {
    struct Case {
        const char* what;
        Changes changes;
        std::vector<int> bills;  // closed-date bills of the first cycle, in order
    } cases[] = {
        {"the demo's 30 days", FullChecks() + WithoutPayMaster(), {generated.againBill, generated.yesterdayBill}},
        {"one day", FullChecks() + WithoutPayMaster() + Changes{{"<earlier_days>30<", "<earlier_days>1<"}},
         {generated.yesterdayBill}},
        {"missing: the history's days",
         FullChecks() + WithoutPayMaster() + Changes{{"<earlier_days>30</earlier_days>", ""},
                                                     {"<history>1096<", "<history>1<"}},
         {generated.yesterdayBill}},
        {"never", FullChecks() + WithoutPayMaster() + Changes{{"<earlier_days>30<", "<earlier_days>0<"}}, {}},
        {"Czech: a sale of a closed day goes out only marked S",
         FullChecks() + WithoutPayMaster() + Changes{{"<printer>PM</printer>", "<printer>CZECH</printer>"}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CFiscalINI config;
        CDovozEderarezev backEnd;
        OpenWith(c.changes, config, backEnd);
        std::vector<CFiscalCheck> checks;
        backEnd.GetChecks(checks);
        std::vector<int> bills;
        for (const auto& [bill, date] : Closed(checks)) {
            bills.push_back(bill);
        }
        EXPECT_EQ(bills, c.bills);
    }
    EXPECT_TRUE(Logged("Earlier business dates: checks left N or S within 1 days before the open business date"));
    EXPECT_TRUE(Logged("Earlier business dates: the Czech registration sends a sale of a closed day only when"));

    // Payments only: each payment of a closed date is a payment check after the day's.
    Open(WithoutPayMaster());
    std::vector<CFiscalCheck> checks = Cycle();
    ASSERT_EQ(checks.size(), 18u);
    std::vector<std::pair<int, std::string>> closed;
    for (const CFiscalCheck& check : checks) {
        if (!check.closedBusinessDate.empty()) {
            EXPECT_EQ(check.statusCode, kPaymentCheck);
            ASSERT_EQ(check.payments.size(), 1u);
            closed.emplace_back(check.payments[0].bill_no, check.closedBusinessDate);
        }
    }
    EXPECT_EQ(closed, (std::vector<std::pair<int, std::string>>{{generated.againBill, "12.03.2026"},
                                                                 {generated.yesterdayBill, "13.03.2026"}}));
    EXPECT_EQ(storage.CurrentBusinessDate(), kBusinessDate);
}

}  // namespace
