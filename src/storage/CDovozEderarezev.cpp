#include "storage/CDovozEderarezev.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "config/CFiscalINI.h"

#include "log/CLogFile.h"
#include "platform/CodePage.h"
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
    if (rows.IsEOF() && czech) {
        // Nothing of the day is due: bills marked for registering again.
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
            NoteBusinessDate(date.substr(0, 10));
        }
        if (!LoadBill(check, bill, 0)) {
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
    });
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
            ReadOriginalCheck(check);
            check.SetStatusCode(14);
        }
    }
    if (settings.proformaDeposit) {
        if (check.postings.empty()) {
            if (CheckProFormaFolioForRefund(check)) {
                checks.push_back(check);
            }
            return;
        }
        bool fiscalised = false;
        for (const struct_posting& payment : check.payments) {
            if (payment.fisc_status == "Y") {
                LogCheckLines(check);
                WriteLog("Payment fiscalized");
                fiscalised = true;
            }
        }
        if (fiscalised) {
            SetCheckStatus(check, "Y");
        }
    }
    checks.push_back(check);
}

void CDovozEderarezev::EmitReinstated(const CFiscalCheck& bill, std::vector<CFiscalCheck>& checks) {
    // A reinstated bill holds only its payments: each one not yet fiscalised is a check of its own.
    for (const struct_posting& payment : bill.payments) {
        WriteLog("REINSTATE");
        if (payment.fisc_status == "Y") {
            continue;
        }
        CFiscalCheck check = bill;
        check.postings = {payment};
        check.payments = {payment};
        check.removedLines.clear();
        check.SetStatusCode(2);
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
                    SetTransactionStatus(posting, "Y", check);
                }
            }
        }
    });
}

void CDovozEderarezev::FindProFormaDeposits(std::vector<CFiscalCheck>& checks) {
    db::Recordset rows;
    if (!OpenTemplate(requestCheckNumber.templates[Request::DepositsOfTheDay], {}, rows)) {
        return;
    }
    ForEachGroup(rows, nullptr, [&](const std::string& reservation) {
        CFiscalCheck check = NewCheck();
        check.SetField(4, reservation);
        if (LoadReservationDeposits(check, reservation)) {
            checks.push_back(check);
        }
    });
}

bool CDovozEderarezev::LoadReservationDeposits(CFiscalCheck& check, const std::string& reservation) {
    db::Recordset rows;
    if (!OpenTemplate(recPayment.templates[Detail::DepositsOfReservation],
                      {Arg::Text(settings.languageCode), Arg::Number(reservation)}, rows) ||
        rows.IsEOF()) {
        return false;
    }
    check.SetStatusCode(18);
    for (; !rows.IsEOF(); rows.MoveNext()) {
        recPayment.Read(rows);
        LoadRow(check);
    }
    return true;
}

// --- payments ---

std::string CDovozEderarezev::PaymentsOfTheDay() const {
    std::string statement = recPayment.templates[Detail::PaymentsOfTheDay];
    return settings.udfName.empty() ? statement : CRecPayment::WithUserField(statement, settings.udfName);
}

void CDovozEderarezev::FindPayments(const std::string& statement, const std::vector<Arg>& args,
                                    int statusCode, std::vector<CFiscalCheck>& checks, bool noteDate,
                                    const RowFilter& filter) {
    db::Recordset rows;
    if (!OpenTemplate(statement, args, rows)) {
        return;
    }
    // A transaction that a finder before this one put into a check of the cycle (a cash loan on
    // the pay-master room, a pay-master payment of a bill) is registered with that check only.
    std::set<int32_t> inCycle;
    for (const CFiscalCheck& check : checks) {
        for (const std::vector<struct_posting>* lines : {&check.postings, &check.payments}) {
            for (const struct_posting& line : *lines) {
                if (line.trx_no != 0) {
                    inCycle.insert(line.trx_no);
                }
            }
        }
    }
    int emitted = 0;
    for (; !rows.IsEOF() && emitted < kPaymentChecksPerCycle; rows.MoveNext()) {
        recPayment.Read(rows);
        if (filter && !filter()) {
            continue;
        }
        const int32_t trxNo = recPayment.IsPresent(Detail::TrxNo) ? recPayment.Integer(Detail::TrxNo) : 0;
        if (trxNo != 0 && inCycle.count(trxNo)) {
            WriteLog(text::Format("Transaction %d is in a check of this cycle already", trxNo));
            continue;
        }
        int code = text::ToInt(recPayment.Text(Detail::TrxCode));
        std::string date =
            recPayment.IsPresent(Detail::BusinessDate) ? recPayment.Text(Detail::BusinessDate) : "";
        CFiscalCheck check = NewCheck();
        check.SetStatusCode(statusCode);
        if (!LoadRow(check)) {
            continue;
        }
        if (noteDate && IsPaymentCode(code) && !date.empty()) {
            NoteBusinessDate(date);
        }
        if (trxNo != 0) {
            inCycle.insert(trxNo);
        }
        checks.push_back(check);
        ++emitted;
    }
}

void CDovozEderarezev::FindPaymentChecks(std::vector<CFiscalCheck>& checks) {
    FindPayments(PaymentsOfTheDay(), {Arg::Text(settings.languageCode)}, 2, checks, true);
}

void CDovozEderarezev::FindSecondListPayments(std::vector<CFiscalCheck>& checks) {
    // The template holds the payment codes too when the pay-master flag or AR mode is on; only
    // the second list's own payments are cash loans and drops.
    FindPayments(PaymentsOfTheDay(), {Arg::Text(settings.languageCode)}, 6, checks, false, [this] {
        int code = text::ToInt(recPayment.Text(Detail::TrxCode));
        return std::find(secondPaymentCodes.begin(), secondPaymentCodes.end(), code) !=
               secondPaymentCodes.end();
    });
}

void CDovozEderarezev::FindPayMasterPayments(std::vector<CFiscalCheck>& checks) {
    FindPayments(CRecPayment::ForRoom(PaymentsOfTheDay()),
                 {Arg::Text(settings.languageCode), Arg::Text(settings.payMasterRoom)}, 15, checks, false);
}

void CDovozEderarezev::FindArPayments(std::vector<CFiscalCheck>& checks) {
    FindPayments(recPayment.templates[Detail::ArPaymentsOfTheDay], {}, 21, checks, false);
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

// --- refunds ---

bool CDovozEderarezev::ConfirmRefund(CFiscalCheck& check, int referencedCheck, double amount) {
    lastError.clear();
    db::Recordset rows;
    if (!OpenTemplate(recPayment.templates[Detail::PaymentByConfirmationAndReceipt],
                      {Arg::Text(check.folioNumber), Arg::Int(referencedCheck)}, rows)) {
        ReportError(platform::Cp1251("Ошибка запроса оригинального платежа"));
        return false;
    }
    for (; !rows.IsEOF(); rows.MoveNext()) {
        recPayment.Read(rows);
        double sale = recPayment.Double(Detail::TrxAmount);
        if (sale < 0) {
            // An earlier refund of the same receipt.
            continue;
        }
        if (std::fabs(amount) > sale) {
            ReportError(platform::Cp1251("Сумма возврата ") + text::Format("%.2f", amount) +
                        platform::Cp1251(" больше суммы оригинального платежа ") +
                        text::Format("%.2f", sale));
            return false;
        }
        std::string saleDate = recPayment.Text(Detail::BusinessDate);
        if (saleDate != CurrentBusinessDate()) {
            WriteLog("Refund business date " + CurrentBusinessDate() + " not equal Payment business date " +
                     saleDate);
            WriteLog("Turn fiscal check to PickUp");
            check.SetStatusCode(7);
        }
        return true;
    }
    ReportError(platform::Cp1251("Не удалось найти оригинальный платеж по номеру ") +
                text::Format("%d", referencedCheck) +
                platform::Cp1251(". Отредактируйте номер в поле референса"));
    return false;
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

// --- deposits, refunds and splits: nothing found yet ---

void CDovozEderarezev::FindDeposits(std::vector<CFiscalCheck>&) {}

void CDovozEderarezev::FindUnbilledDeposits(std::vector<CFiscalCheck>&) {}

void CDovozEderarezev::FindDepositTransfers() {}

void CDovozEderarezev::FindDepositOriginalPayment(CFiscalCheck& check, std::vector<CFiscalCheck>& checks) {
    checks.push_back(check);
}

bool CDovozEderarezev::CheckProFormaFolioForRefund(CFiscalCheck& check) {
    WriteLog("Pro-Forma Folio settlement is not part of this build: bill " + check.checkNumber + " waits");
    return false;
}

bool CDovozEderarezev::ReadOriginalCheck(CFiscalCheck&) {
    return true;
}
