#include "storage/COperaDeposits.h"

#include <algorithm>
#include <cstdlib>

#include "check/CCurrency.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

using sqlformat::Arg;
using Row = CRecPayment;

// --- pro-forma folio deposits ---

bool COperaDeposits::LoadReservationDeposits(CFiscalCheck& check, const std::string& reservation) {
    db::Recordset rows;
    if (!OpenTemplate(recPayment.templates[Row::DepositsOfReservation],
                      {Arg::Text(settings.languageCode), Arg::Number(reservation)}, rows) ||
        rows.IsEOF()) {
        return false;
    }
    check.SetStatusCode(kReservationDeposits);
    for (; !rows.IsEOF(); rows.MoveNext()) {
        recPayment.Read(rows);
        LoadRow(check);
    }
    return true;
}

bool COperaDeposits::CheckProFormaFolioForRefund(CFiscalCheck& check) {
    WriteLog("Check Pro-Forma Folio for refund");
    LogCheckLines(check);
    if (check.payments.empty()) {
        WriteLog("No payments for this check");
        return false;
    }
    auto registered = [](const struct_posting& p) { return p.HasRegisteredLetter(); };
    std::string reservation = check.reservationId;
    if (reservation.empty() || std::none_of(check.payments.begin(), check.payments.end(), registered)) {
        // Nothing of it was registered as a deposit: the bill goes as it is, and what composition
        // makes of it (registered, or closed by hand) is seen, rather than waiting for ever.
        WriteLog("No deposit payment in this check: the bill goes as it is");
        return true;
    }
    // The bill's own payments keep their rows under the bill, whose status the settlement writes.
    if (!RegisterCheckRows(check)) {
        return false;
    }
    WriteLog("Pro-Forma Folio " + reservation);
    // The deposits were registered as advances: they leave the payments (and settle with the
    // bill). What the bill pays besides them, a refund of the deposit above all, is registered
    // as an advance of its own, with its sign.
    std::vector<struct_posting> rest;
    for (const struct_posting& payment : check.payments) {
        (registered(payment) ? check.settledDeposits : rest).push_back(payment);
    }
    check.SetStatusCode(kDepositSettlement);
    if (rest.empty()) {
        WriteLog("Pro-Forma Folio " + reservation + " is paid by its deposits alone: settled without a check");
        if (!SetCheckStatus(check, CheckStatusLetter::Registered)) {
            WriteLog("Pro-Forma Folio " + reservation + " not settled: " + GetLastError());
        }
        return false;
    }
    check.SetStatusCode(kDepositCheck);
    check.payments = rest;
    check.postings.clear();
    for (struct_posting line : rest) {
        line.description = check.depositTemplate.description.empty() ? settings.depositDescription
                                                                      : check.depositTemplate.description;
        line.tax_group = check.depositTemplate.tax_group;
        check.postings.push_back(line);
    }
    LogCheckLines(check);
    return true;
}

// --- deposits brought over from the pay-master account ---

void COperaDeposits::FindDepositOriginalPayment(CFiscalCheck& check, std::vector<CFiscalCheck>& checks) {
    auto fromPayMaster = [this](const struct_posting& p) { return p.trx_code == settings.payMasterCode; };
    if (std::none_of(check.payments.begin(), check.payments.end(), fromPayMaster)) {
        checks.push_back(check);
        return;
    }
    // Each pay-master payment needs a row of its own before it takes over its source's status:
    // the status of the bill is written there. Without it the bill would be found again once
    // registered, so it waits for the next cycle.
    if (!RegisterCheckRows(check)) {
        WriteLog("Bill " + check.checkNumber + " waits: its status rows cannot be written");
        return;
    }
    WriteLog("*** Find deposit original payment ***");
    LogCheckLines(check);
    size_t i = 0;
    for (size_t remaining = check.payments.size(); remaining > 0; --remaining) {
        struct_posting& payment = check.payments[i];
        // A payment with a deposit number was tied already.
        if (!fromPayMaster(payment) || payment.deposit_no != 0 || !TieToSource(payment, check)) {
            ++i;
            continue;
        }
        struct_posting tied = payment;
        check.payments.erase(check.payments.begin() + static_cast<long>(i));
        check.payments.push_back(tied);
        LogCheckLines(check);
    }
    checks.push_back(check);
}

bool COperaDeposits::TieToSource(struct_posting& payment, CFiscalCheck& check) {
    db::Recordset rows;
    bool opened = false;
    if (payment.deposit_flag == 0) {
        WriteLog("Deposit original payment was transfered");
        opened = OpenTemplate(recPayment.templates[Row::TransactionByJournal], {Arg::Int(payment.trx_no)}, rows);
    } else {
        opened = OpenTemplate(recPayment.templates[Row::OneTransaction], {Arg::Int(payment.deposit_flag)}, rows);
    }
    if (!opened) {
        return false;
    }
    if (!rows.IsEOF()) {
        recPayment.Read(rows);
    }
    if (rows.IsEOF() || !recPayment.IsPresent(Row::TrxCode)) {
        WriteLog("Deposit original payment not found");
        return false;
    }
    struct_posting source;
    ConvertRow(source);
    payment.deposit_no = source.trx_code;
    // The source is the payment's header transaction, also when the journal named it.
    payment.deposit_flag = source.trx_no;
    payment.fisc_status = source.fisc_status;
    if (source.fisc_status.empty() || source.HasLetter(CheckStatusLetter::NotRegistered)) {
        // Not registered yet: the bill registers it, under the source's code. The source's row
        // follows the bill, so that the bill's status settles it and no finder registers the
        // source on its own as well.
        payment.SetLetter(CheckStatusLetter::NotRegistered);
        payment.trx_code = source.trx_code;
        if (source.fisc_status.empty()) {
            SetTransactionStatus(source, CheckStatusLetter::NotRegistered, check);
        } else {
            ExecuteTemplate(qelFiscal.templates[CQELFiscal::ReBill],
                            {Arg::Number(check.checkNumber), Arg::Int(source.trx_no)});
        }
    } else if (source.HasLetter(CheckStatusLetter::Registered)) {
        WriteLog("ERROR.Deposit already fiscalized.Check saved");
        LogCheckLines(check);
        SetTransactionStatus(payment, CheckStatusLetter::Registered, check);
        payment.line_type = 18;
    }
    return true;
}

// --- refunds ---

bool COperaDeposits::ReadOriginalCheck(CFiscalCheck& check) {
    WriteLog("Read original check for refund");
    if (check.payments.empty()) {
        WriteLog("No payments for this check");
        return false;
    }
    check.SetField(16, check.payments[0].reference);
    db::Recordset rows;
    if (!OpenTemplate(qelFiscal.templates[CQELFiscal::RowsOfFiscalCheck],
                      {Arg::Field(check.folioNumber), Arg::Field(check.groupName)}, rows)) {
        WriteLog("Request error. Not found original check for refund.");
        return false;
    }
    // Rows come by bill number: one bill per run of equal numbers.
    std::vector<std::string> bills;
    std::string title;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        qelFiscal.Read(rows);
        if (!qelFiscal.IsPresent(1) || (!bills.empty() && bills.back() == qelFiscal.Text(1))) {
            continue;
        }
        bills.push_back(qelFiscal.Text(1));
        if (qelFiscal.IsPresent(2)) {
            title = qelFiscal.Text(2);
        }
    }
    if (bills.empty()) {
        return true;
    }
    check.SetPrintedFileName(title);
    WriteLog(text::Format("Found %d checks, %s", static_cast<int>(bills.size()), title.c_str()));
    const size_t salePayments = check.payments.size();
    for (const std::string& bill : bills) {
        WriteLog("Read bill " + bill);
        CFiscalCheck original = NewCheck();
        if (!LoadBill(original, bill, 0)) {
            if (!IsConnected()) {
                // A lost database is no missing sale: the refund waits for the next cycle.
                return false;
            }
            continue;
        }
        check.postings.insert(check.postings.end(), original.postings.begin(), original.postings.end());
        check.payments.insert(check.payments.end(), original.payments.begin(), original.payments.end());
    }
    return NoteReturnedSale(check, salePayments, CQELFiscal::ReturnsOfSaleOpera);
}

bool COperaDeposits::ConfirmRefund(CFiscalCheck& check, int referencedCheck, double amount) {
    lastError.clear();
    db::Recordset rows;
    if (!OpenTemplate(recPayment.templates[Row::PaymentByConfirmationAndReceipt],
                      {Arg::Field(check.folioNumber), Arg::Int(referencedCheck)}, rows)) {
        ReportError(platform::Cp1251("Ошибка запроса оригинального платежа"));
        return false;
    }
    // Amounts compare in cents: a refund of exactly the sale is no larger than the sale.
    const int64_t refund = std::llabs(CCurrency::Of(amount).Value());
    for (; !rows.IsEOF(); rows.MoveNext()) {
        recPayment.Read(rows);
        double sale = recPayment.Double(Row::TrxAmount);
        if (CCurrency::Of(sale).Value() < 0) {
            // An earlier refund of the same receipt.
            continue;
        }
        if (refund > CCurrency::Of(sale).Value()) {
            ReportError(platform::Cp1251("Сумма возврата ") + text::Format("%.2f", amount) +
                        platform::Cp1251(" больше суммы оригинального платежа ") + text::Format("%.2f", sale));
            return false;
        }
        std::string saleDate = recPayment.Text(Row::BusinessDate);
        // A refund taken up after its day compares with its own business date.
        const std::string& refundDate =
            check.closedBusinessDate.empty() ? CurrentBusinessDate() : check.closedBusinessDate;
        if (saleDate != refundDate) {
            WriteLog("Refund business date " + refundDate + " not equal Payment business date " +
                     saleDate);
            WriteLog("Turn fiscal check to PickUp");
            check.SetStatusCode(kCashPickup);
        }
        return true;
    }
    ReportError(platform::Cp1251("Не удалось найти оригинальный платеж по номеру ") +
                text::Format("%d", referencedCheck) + platform::Cp1251(". Отредактируйте номер в поле референса"));
    return false;
}
