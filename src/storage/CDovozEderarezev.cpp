#include "storage/CDovozEderarezev.h"

#include <algorithm>
#include <set>

#include "check/CCurrency.h"
#include "config/CFiscalINI.h"

#include "log/CLogFile.h"
#include "platform/Text.h"
#include "pos/CMicrosCheck.h"
#include "storage/CPosExpansion.h"

using sqlformat::Arg;
using Detail = CRecPayment;
using Request = CRequestCheckNumber;

// --- one polling cycle ---

void CDovozEderarezev::GetChecks(std::vector<CFiscalCheck>& checks) {
    checks.clear();
    if (settings.payMaster) {
        FindDeposits(checks);
        if (settings.printerType == 7) {
            if (checks.empty()) {
                FindUnbilledDeposits(checks);
            }
            if (checks.empty()) {
                FindDepositTransfers();
            }
        }
    }
    if (checks.empty()) {
        bool full = FullCheckMode();
        if (!full) {
            FindPaymentChecks(checks);
        } else {
            if (settings.proformaDeposit) {
                FindProFormaDeposits(checks);
            }
            if (checks.empty()) {
                FindBills(checks);
            }
            if (checks.empty() && !secondPaymentCodes.empty()) {
                FindSecondListPayments(checks);
            }
        }
        if (full && !settings.payMasterRoom.empty()) {
            FindPayMasterPayments(checks);
        }
        if (checks.empty() && !codeMapCodes.empty()) {
            FindFolioWindowBills(checks);
        }
    }
    if (settings.sendCustomerInfo && !checks.empty()) {
        ReadCustomerData(checks);
    }
    if (checks.empty() && settings.arPayments) {
        FindArPayments(checks);
    }
    if (TakesEarlierDates()) {
        FindEarlierChecks(checks);
    }
}

// --- bills ---

void CDovozEderarezev::FindBills(std::vector<CFiscalCheck>& checks) {
    bool czech = settings.printerType == 10;
    std::string statement = requestCheckNumber.templates[Request::BillsOfTheDay];
    if (czech) {
        statement = Request::NewOrFailedOnly(Request::WithCreationTime(statement));
    }
    if (settings.dateOffset != 0) {
        statement = Request::WithDateOffset(statement, settings.dateOffset);
    }
    db::Recordset rows;
    if (!OpenTemplate(statement, {}, rows)) {
        return;
    }
    bool ofTheDay = true;
    if (rows.IsEOF() && czech) {
        // Nothing of the day is due: bills marked for registering again.
        ofTheDay = false;
        if (!OpenTemplate(
                Request::WithCreationTime(requestCheckNumber.templates[Request::BillsToRegisterAgain]), {},
                rows)) {
            return;
        }
    }
    ForEachGroup(rows, nullptr, [&](const std::string& bill) {
        CFiscalCheck check = NewCheck();
        check.SetField(1, bill);
        if (requestCheckNumber.IsPresent(4)) {
            std::string date = requestCheckNumber.Text(4);
            check.SetField(14, date);
            // The sale time of an earlier day's bill is no change of the business date: noted,
            // it would clear the history and pause the service for nothing.
            if (ofTheDay) {
                NoteBusinessDate(date.substr(0, 10));
            }
        }
        TakeBill(check, checks);
    });
}

void CDovozEderarezev::TakeBill(CFiscalCheck& check, std::vector<CFiscalCheck>& checks) {
    if (!LoadBill(check, check.checkNumber, 0)) {
        return;
    }
    if (settings.payMaster) {
        if (settings.printerType == 7) {
            ReadCashier(check);
        }
        FindDepositOriginalPayment(check, checks);
    } else {
        EmitBill(check, checks);
    }
}

// --- checks of closed business dates ---

void CDovozEderarezev::FindEarlierChecks(std::vector<CFiscalCheck>& checks) {
    if (FullCheckMode()) {
        FindEarlierBills(checks);
    } else {
        FindEarlierPayments(checks);
    }
}

void CDovozEderarezev::FindEarlierBills(std::vector<CFiscalCheck>& checks) {
    std::string statement = requestCheckNumber.templates[Request::BillsOfEarlierDates];
    if (settings.dateOffset != 0) {
        statement = Request::WithDateOffset(statement, settings.dateOffset);
    }
    db::Recordset rows;
    if (!OpenTemplate(statement, {Arg::Int(settings.earlierDays)}, rows)) {
        return;
    }
    // A bill an earlier finder of the cycle took is not taken twice.
    std::set<std::string> inCycle;
    for (const CFiscalCheck& check : checks) {
        inCycle.insert(check.checkNumber);
    }
    auto notInCycle = [&] { return !inCycle.count(requestCheckNumber.Text(2)); };
    ForEachGroup(rows, notInCycle, [&](const std::string& bill) {
        CFiscalCheck check = NewCheck();
        check.SetField(1, bill);
        std::string date = requestCheckNumber.Text(4);
        check.SetField(14, date);
        check.closedBusinessDate = date;
        WriteLog("Bill " + bill + " of the closed business date " + date + " taken up");
        closedDateInWork = date;
        TakeBill(check, checks);
        closedDateInWork.clear();
    });
}

void CDovozEderarezev::FindEarlierPayments(std::vector<CFiscalCheck>& checks) {
    PaymentSearch search;
    search.noteDate = DateNote::Closed;
    if (settings.payMaster) {
        // With deposits configured, a payment without a bill of a closed day may have been a
        // deposit that a bill has consumed since: that is for the operator to judge.
        search.filter = [this] { return recPayment.IsPresent(Detail::BillNo) && recPayment.Integer(Detail::BillNo) != 0; };
    }
    std::string statement = recPayment.templates[Detail::PaymentsOfEarlierDates];
    if (!settings.udfName.empty()) {
        statement = CRecPayment::WithUserField(statement, settings.udfName);
    }
    FindPayments(statement, {Arg::Int(settings.earlierDays), Arg::Text(settings.languageCode)}, search, checks);
}

void CDovozEderarezev::ForEachGroup(db::Recordset& rows, const RowFilter& filter,
                                    const std::function<void(const std::string&)>& take) {
    // Rows repeat the bill number once per payment, and not every discovery query is ordered by
    // it: a number seen before is never taken twice, or its check would be printed twice.
    std::set<std::string> taken;
    int groups = 0;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        requestCheckNumber.Read(rows);
        std::string key = requestCheckNumber.Text(2);
        if (!requestCheckNumber.IsPresent(2) || key.empty() || taken.count(key) || (filter && !filter())) {
            continue;
        }
        taken.insert(key);
        ++groups;
        take(key);
        if (groups >= kBillsPerCycle || !IsConnected()) {
            // The rest waits for the next cycle; a lost connection is opened again then.
            break;
        }
    }
}

void CDovozEderarezev::EmitBill(CFiscalCheck& check, std::vector<CFiscalCheck>& checks) {
    if (check.postings.empty() && !check.reinstateDate.empty() && !settings.refundReprint) {
        EmitReinstated(check, checks);
        return;
    }
    if (settings.refundReprint) {
        double sum = 0;
        for (const struct_posting& payment : check.payments) {
            sum += payment.trx_amount;
        }
        if (sum < 0) {
            if (!ReadOriginalCheck(check)) {
                // Without the sale the return could not name it: the bill waits for the next
                // cycle instead of going out as something else.
                WriteLog("Refund bill " + check.checkNumber + " waits for its sale");
                return;
            }
            check.SetStatusCode(kBillRefund);
            // The sale's payments, read with it to name it, are registered and belong to its bill: they
            // leave the refund, so no row write of the return (nor a re-billing) can reach them.
            std::erase_if(check.payments,
                          [](const struct_posting& p) { return p.HasLetter(CheckStatusLetter::Registered); });
        }
    }
    if (settings.proformaDeposit) {
        if (check.postings.empty()) {
            if (CheckProFormaFolioForRefund(check)) {
                checks.push_back(check);
            }
            return;
        }
        // Registered deposits (D) pay the bill with the deposit's device type and are settled
        // when it is registered; a Y payment is one registered otherwise before.
        bool fiscalised = false;
        for (const struct_posting& payment : check.payments) {
            if (payment.HasLetter(CheckStatusLetter::Registered)) {
                LogCheckLines(check);
                WriteLog("Payment fiscalized");
                fiscalised = true;
            }
        }
        if (fiscalised) {
            SetCheckStatus(check, CheckStatusLetter::Registered);
        }
    }
    checks.push_back(check);
}

void CDovozEderarezev::EmitReinstated(const CFiscalCheck& bill, std::vector<CFiscalCheck>& checks) {
    // A reinstated bill holds only its payments: each one not yet fiscalised is a check of its own.
    for (const struct_posting& payment : bill.payments) {
        WriteLog("REINSTATE");
        if (payment.HasLetter(CheckStatusLetter::Registered)) {
            continue;
        }
        CFiscalCheck check = bill;
        check.postings = {payment};
        check.payments = {payment};
        check.removedLines.clear();
        check.SetStatusCode(kPaymentCheck);
        // The bill's codes are those of whichever payment was registered: each payment's check
        // carries only its own, so a part never goes as a repeat of another part's sale.
        check.SetPrintedFileName(payment.status_title);
        check.SetField(6, payment.status_printer);
        check.SetField(7, payment.status_shift);
        checks.push_back(check);
    }
}

void CDovozEderarezev::FindFolioWindowBills(std::vector<CFiscalCheck>& checks) {
    db::Recordset rows;
    if (!OpenTemplate(requestCheckNumber.templates[Request::BillsWithFolioWindow], {}, rows)) {
        return;
    }
    int prepaymentView = configuration ? configuration->prepaymentView : 0;
    auto hasWindow = [this] { return requestCheckNumber.IsPresent(6) && requestCheckNumber.Integer(6) != 0; };
    ForEachGroup(rows, hasWindow, [&](const std::string& bill) {
        int window = requestCheckNumber.Integer(6);
        CFiscalCheck check = NewCheck();
        check.SetField(1, bill);
        if (!LoadBill(check, bill, requestCheckNumber.Integer(5))) {
            return;
        }
        if (window != prepaymentView) {
            MovePrepaymentsToPayments(check);
            checks.push_back(check);
            return;
        }
        // The prepayment window itself is not registered; once it is settled otherwise its
        // prepayment postings are done.
        if (PrepaymentWindowSettled(check)) {
            LogCheckLines(check);
            for (struct_posting& posting : check.postings) {
                if (IsCodeMapCode(posting.trx_code)) {
                    SetTransactionStatus(posting, CheckStatusLetter::Registered, check);
                }
            }
        }
    });
}

void CDovozEderarezev::FindProFormaDeposits(std::vector<CFiscalCheck>& checks) {
    db::Recordset rows;
    if (!OpenTemplate(Request::NotRegisteredOnly(requestCheckNumber.templates[Request::DepositsOfTheDay]), {},
                      rows)) {
        return;
    }
    ForEachGroup(rows, nullptr, [&](const std::string& reservation) {
        CFiscalCheck deposits = NewCheck();
        deposits.SetField(4, reservation);
        if (!LoadReservationDeposits(deposits, reservation)) {
            return;
        }
        // Each deposit is registered as an advance, as a deposit of the day is: a check of its own
        // that leaves it D until the reservation's bill settles it.
        for (const struct_posting& payment : deposits.payments) {
            if (payment.fisc_status.empty() || payment.HasLetter(CheckStatusLetter::NotRegistered)) {
                checks.push_back(AdvanceCheck(deposits, payment));
            }
        }
    });
}

CFiscalCheck CDovozEderarezev::AdvanceCheck(const CFiscalCheck& deposits, const struct_posting& payment) {
    CFiscalCheck check = deposits;
    check.SetStatusCode(kDepositCheck);
    check.payments = {payment};
    struct_posting line = payment;
    line.description = settings.depositDescription;
    check.postings = {line};
    WriteLog(text::Format("*** Deposit %d ***", payment.trx_no));
    LogCheckLines(check);
    return check;
}

// --- payments ---

std::string CDovozEderarezev::PaymentsOfTheDay() const {
    std::string statement = recPayment.templates[Detail::PaymentsOfTheDay];
    return settings.udfName.empty() ? statement : CRecPayment::WithUserField(statement, settings.udfName);
}

int CDovozEderarezev::FindPayments(const std::string& statement, const std::vector<Arg>& args,
                                   const PaymentSearch& search, std::vector<CFiscalCheck>& checks) {
    db::Recordset rows;
    if (!OpenTemplate(statement, args, rows)) {
        return -1;
    }
    // A transaction that a finder before this one put into a check of the cycle (a cash loan on
    // the pay-master room, a pay-master payment of a bill, the deposit such a payment was tied
    // to) is registered with that check only.
    std::set<int32_t> inCycle;
    for (const CFiscalCheck& check : checks) {
        for (const std::vector<struct_posting>* lines : {&check.postings, &check.payments}) {
            for (const struct_posting& line : *lines) {
                if (line.trx_no != 0) {
                    inCycle.insert(line.trx_no);
                }
                if (line.deposit_no != 0 && line.deposit_flag != 0) {
                    inCycle.insert(line.deposit_flag);
                }
            }
        }
    }
    int emitted = 0;
    for (; !rows.IsEOF() && emitted < kPaymentChecksPerCycle; rows.MoveNext()) {
        recPayment.Read(rows);
        if (search.filter && !search.filter()) {
            continue;
        }
        const int32_t trxNo = recPayment.IsPresent(Detail::TrxNo) ? recPayment.Integer(Detail::TrxNo) : 0;
        if (trxNo != 0 && inCycle.count(trxNo)) {
            WriteLog(text::Format("Transaction %d is in a check of this cycle already", trxNo));
            continue;
        }
        // The date comes first: the split test of the row compares with it.
        int code = text::ToInt(recPayment.Text(Detail::TrxCode));
        std::string date =
            recPayment.IsPresent(Detail::BusinessDate) ? recPayment.Text(Detail::BusinessDate) : "";
        if (!date.empty() && (search.noteDate == DateNote::Always ||
                              (search.noteDate == DateNote::PaymentCodes && IsPaymentCode(code)))) {
            NoteBusinessDate(date);
        }
        CFiscalCheck check = NewCheck();
        check.SetStatusCode(search.kindOfRow ? search.kindOfRow() : search.statusCode);
        if (search.noteDate == DateNote::Closed) {
            check.closedBusinessDate = date;
            closedDateInWork = date;
        }
        bool loaded = LoadRow(check);
        closedDateInWork.clear();
        if (!loaded || (search.take && !search.take(check))) {
            continue;
        }
        if (search.noteDate == DateNote::Closed) {
            WriteLog(text::Format("Payment %d of the closed business date %s taken up", trxNo, date.c_str()));
        }
        if (trxNo != 0) {
            inCycle.insert(trxNo);
        }
        checks.push_back(check);
        ++emitted;
    }
    return static_cast<int>(rows.RowCount());
}

void CDovozEderarezev::FindPaymentChecks(std::vector<CFiscalCheck>& checks) {
    PaymentSearch search;
    search.noteDate = DateNote::PaymentCodes;
    FindPayments(PaymentsOfTheDay(), {Arg::Text(settings.languageCode)}, search, checks);
}

void CDovozEderarezev::FindSecondListPayments(std::vector<CFiscalCheck>& checks) {
    PaymentSearch search;
    search.statusCode = kCashLoan;
    // The template holds the payment codes too when the pay-master flag or AR mode is on; only
    // the second list's own payments are cash loans and drops.
    search.filter = [this] {
        int code = text::ToInt(recPayment.Text(Detail::TrxCode));
        return std::find(secondPaymentCodes.begin(), secondPaymentCodes.end(), code) !=
               secondPaymentCodes.end();
    };
    FindPayments(PaymentsOfTheDay(), {Arg::Text(settings.languageCode)}, search, checks);
}

void CDovozEderarezev::FindPayMasterPayments(std::vector<CFiscalCheck>& checks) {
    PaymentSearch search;
    search.statusCode = kPayMasterCheck;
    FindPayments(CRecPayment::ForRoom(PaymentsOfTheDay()),
                 {Arg::Text(settings.languageCode), Arg::Text(settings.payMasterRoom)}, search, checks);
}

void CDovozEderarezev::FindArPayments(std::vector<CFiscalCheck>& checks) {
    PaymentSearch search;
    search.statusCode = kReceivablePayment;
    FindPayments(recPayment.templates[Detail::ArPaymentsOfTheDay], {}, search, checks);
}

// --- deposits ---

bool CDovozEderarezev::TakeDeposit(CFiscalCheck& check) {
    WriteLog(text::Format("*** Deposit %d ***", check.payments.empty() ? 0 : check.payments[0].trx_no));
    LogCheckLines(check);
    return true;
}

void CDovozEderarezev::FindDeposits(std::vector<CFiscalCheck>& checks) {
    PaymentSearch search;
    search.noteDate = DateNote::Always;
    // Column 35 holds the receipt type.
    search.kindOfRow = [this] { return recPayment.Text(Detail::ArticleDescription) == "RDR" ? kDepositCheck : kOtherDeposit; };
    search.take = [this](CFiscalCheck& check) { return TakeDeposit(check); };
    int rows = FindPayments(recPayment.templates[Detail::DepositPaymentsOfTheDay], {}, search, checks);
    if (rows == 0 && !depositCodes.empty()) {
        FindPayments(recPayment.templates[Detail::PaymentsWithReceiptType], {}, search, checks);
    }
}

void CDovozEderarezev::FindUnbilledDeposits(std::vector<CFiscalCheck>& checks) {
    PaymentSearch search;
    search.statusCode = kDepositCheck;
    search.noteDate = DateNote::Always;
    search.take = [this](CFiscalCheck& check) {
        int trxNo = check.payments.empty() ? 0 : check.payments[0].trx_no;
        if (!settings.ignoreViewBalance) {
            double balance = 0;
            if (!WindowBalance(trxNo, balance)) {
                WriteLog(text::Format("Window balance for trx_no %d cannot be read", trxNo));
                return false;
            }
            // A settled window: its lines cancel to the cent, however their sum came out in
            // binary floating point (and the log shows the cents, never "-0.00").
            const CCurrency exact = CCurrency::Of(balance);
            WriteLog(text::Format("Window balance for trx_no %d = %.2f", trxNo, static_cast<double>(exact.AsDouble())));
            if (exact.Value() == 0) {
                return false;
            }
        }
        return TakeDeposit(check);
    };
    FindPayments(CRecPayment::WithoutBill(PaymentsOfTheDay()), {Arg::Text(settings.languageCode)}, search,
                 checks);
}

void CDovozEderarezev::FindDepositTransfers() {
    db::Recordset rows;
    if (!OpenTemplate(requestCheckNumber.templates[Request::DepositTransfers], {}, rows)) {
        return;
    }
    // A transfer pairs with every D row of its source of the same amount; it gets one row.
    std::set<int32_t> registered;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        requestCheckNumber.Read(rows);
        int32_t trxNo = requestCheckNumber.Integer(1);
        if (!requestCheckNumber.IsPresent(1) || !registered.insert(trxNo).second) {
            continue;
        }
        CQELFiscal::RowValues row;
        row.trxNo = trxNo;
        row.trxCode = kTransferCode;
        row.description = requestCheckNumber.Text(2);
        row.amount = requestCheckNumber.Double(3);
        row.cashier = "0";
        row.status = CheckStatusLetter::Deposit;
        row.businessDate = requestCheckNumber.Text(4);
        row.attempt = "0";
        row.reference = text::Format("%d", requestCheckNumber.Integer(6));
        if (qelFiscal.InsertRow(row, false)) {
            WriteLog(text::Format("Insert transfer deposit from %d to %s with status 'D'",
                                  requestCheckNumber.Integer(5), row.reference.c_str()));
        }
    }
}

// --- payment blocking ---

bool CDovozEderarezev::BlockPayments(bool block, const std::string&) {
    // ind_billing and ind_deposit_yn of the payment codes: "N" takes them off the PMS's payment
    // screens, "Y" brings them back.
    std::string value = block ? "N" : "Y";
    if (!ExecuteTemplate(blockPayments.templates[CQBlockPayments::BlockBilling], {Arg::Text(value)})) {
        return false;
    }
    return ExecuteTemplate(blockPayments.templates[CQBlockPayments::BlockDeposits], {Arg::Text(value)});
}

// --- POS check expansion ---

bool CDovozEderarezev::ReadInterfaceCheck(const std::string& reference, CMicrosCheck& posCheck) {
    WriteLog("Interface check " + reference);
    if (reference.size() < kReferenceLength) {
        WriteLog("Incorrect interface check number " + reference);
        return false;
    }
    const std::string openTime = CClientLibrary::OpeningTime(reference.substr(7, 14));
    if (!FetchPosCheck(reference.substr(3, 4), openTime, reference.substr(0, 3), posCheck.postings)) {
        return false;
    }
    if (log) {
        log->WriteList(posCheck.DumpText("Interface check:"));
        posCheck.PrepareCheck();
        log->WriteList(posCheck.DumpText("Interface check:"));
    } else {
        posCheck.PrepareCheck();
    }
    return true;
}

void CDovozEderarezev::ExpandPosCheck(const std::string& reference, int, bool, CFiscalCheck& check) {
    CMicrosCheck posCheck;
    posCheck.log = log;
    // The discount is spread in the units the check is printed in.
    posCheck.moneyDecimals = check.moneyDecimals;
    const double pmsSum = CPosExpansion::ReferenceSum(check, reference);
    if (!ReadInterfaceCheck(reference, posCheck)) {
        WriteLog(text::Format("Micros posting %s not expanded", reference.c_str()));
        // Fiscalised as booked; the worker does not try the reference again for this check.
        CPosExpansion::ClearReference(check, reference);
        return;
    }
    const double posSum = CPosExpansion::Sum(posCheck.postings);
    if (!CPosExpansion::SumsAgree(pmsSum, posSum)) {
        WriteLog(text::Format("Fidelio check sum %.2f, Interface check sum %.2f", pmsSum, posSum));
        return;
    }
    CPosExpansion::InsertLines(check, reference, posCheck.postings);
    LogCheckLines(check);
    if (settings.codeConversion) {
        ConvertPosCodes(check);
    }
}

// --- slots without work on Opera ---

bool CDovozEderarezev::ValidateCheck(CFiscalCheck&, const std::string&) {
    return true;
}

bool CDovozEderarezev::IsPosRevenueCenter(int) {
    return false;
}
