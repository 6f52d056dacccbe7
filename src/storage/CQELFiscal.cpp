#include "storage/CQELFiscal.h"

#include <set>

#include "check/CFiscalCheck.h"
#include "check/CheckStatus.h"
#include "platform/Text.h"
#include "storage/SqlFormat.h"

using sqlformat::Arg;
using Letter = CheckStatusLetter;

// Deposits are registered as D: the bill that consumes them makes them Y. Suite8 writes a check of
// one posting to its row in full-check mode too, a refund of a payment excepted, and keeps a
// check registered like a deposit D while it is due.
// clang-format off
const CQELFiscal::KindStatus CQELFiscal::kKindStatus[] = {
    // kind                  first row: Opera, Suite8   for Y        for N: Opera,  Suite8
    {kDepositCheck,          true,  true,  Letter::Deposit,    Letter::NotRegistered, Letter::NotRegistered},
    {kOtherDeposit,          true,  true,  Letter::Deposit,    Letter::NotRegistered, Letter::NotRegistered},
    {kReceivablePayment,     true,  true,  Letter::Registered, Letter::NotRegistered, Letter::NotRegistered},
    {kPaymentCheck,          true,  true,  Letter::Registered, Letter::NotRegistered, Letter::NotRegistered},
    {kRefundCheck,           true,  false, Letter::Registered, Letter::NotRegistered, Letter::NotRegistered},
    {kDepositLikeCheck,      false, true,  Letter::Registered, Letter::NotRegistered, Letter::Deposit},
    {kLegacyPaymentKind5,    false, true,  Letter::Registered, Letter::NotRegistered, Letter::NotRegistered},
    {kCashLoan,              false, true,  Letter::Registered, Letter::NotRegistered, Letter::NotRegistered},
    {kCashPickup,            false, true,  Letter::Registered, Letter::NotRegistered, Letter::NotRegistered},
    {kPayMasterCheck,        false, true,  Letter::Registered, Letter::NotRegistered, Letter::NotRegistered},
};
// clang-format on

CQELFiscal::CQELFiscal(StatementRunner& owner, Pms pmsKind) : storage(owner), pms(pmsKind) {
    templates = {
        R"sql(insert into qel_financial_transactions (trx_no,trx_code, description,trx_amount, room, recpt_no, folio_no, bill_no, machine, cashier_id, qel_fisc_status,business_date,attempt, reference) values (%d, %d,'%s',%f,'%s', '%s','%s','%s','%s',%s,'%s',to_date('%s','dd.mm.yyyy'),%s,'%s'))sql",
        R"sql(update qel_financial_transactions set qel_fisc_status='%s' where trx_no=%d and qel_fisc_status!='Y')sql",
        R"sql(update qel_financial_transactions set qel_fisc_status='%s' where bill_no=%s and qel_fisc_status!='Y' and qel_fisc_status!='D')sql",
        // The folio number is a text: compared as one, its index serves and no row's text has to
        // read as a number.
        R"sql(update qel_financial_transactions set qel_fisc_status='%s' where folio_no='%s' and qel_fisc_status!='Y')sql",
        R"sql(update qel_financial_transactions set printer_id='%s', shift_number='%s', check_number='%s', title='%s', attempt=%s where bill_no=%s)sql",
        R"sql(update qel_financial_transactions set printer_id='%s', shift_number='%s', check_number='%s', title='%s', attempt=%s where trx_no=%d)sql",
        R"sql(update qel_financial_transactions set printer_id='%s', shift_number='%s', check_number='%s' where (trx_no=%d) and ((qel_fisc_status is NULL) or (qel_fisc_status!='Y')))sql",
        R"sql(update qel_financial_transactions set printer_id='%s', printer_info='%s', site_id='%s',flag1=%s, flag2=%s where bill_no=%s)sql",
        R"sql(update qel_financial_transactions set bill_no=%s where trx_no=%d)sql",
        R"sql(update qel_financial_transactions set machine='%s' where trx_no=%d)sql",
        R"sql(delete from qel_financial_transactions where TO_DATE(business_date,'dd.mm.rrrr','NLS_DATE_LANGUAGE = AMERICAN') < TO_DATE(SYSDATE-%d,'dd.mm.rrrr'))sql",
        R"sql(delete from deposit_financial_transactions where resv_name_id=%s)sql",
        R"sql(update zzzz.financial_transactions set cheque_number='%s' where trx_no=%d)sql",
        R"sql(update zzzz.financial_transactions set remark='%s' where trx_no=%d)sql",
        R"sql(select bill_no, title, trx_no from qel_financial_transactions where folio_no='%s' and check_number='%s' order by bill_no, trx_no)sql",
        R"sql(select to_char(jrn.business_date,'dd.mm.yyyy'), qel_fisc_status, qel.trx_no from qel_financial_transactions qel, zzzz.financial_transactions_jrnl jrn where jrn.trx_no=qel.trx_no and jrn.recpt_no=%d and U_D_FLAG='D' order by qel.trx_no desc)sql",
        R"sql(select to_char(zpos_postdate,'dd.mm.yyyy'), qel.qel_fisc_status, qel.trx_no from qel_financial_transactions qel, zzzz.zpos where qel.trx_no=zpos_id and zpos_manualsplit_id=%d order by qel.trx_no desc)sql",
        R"sql(select to_char(zpos_postdate,'dd.mm.yyyy'), qel.qel_fisc_status, zpos_id from qel_financial_transactions qel, zzzz.zpos where zpos_id=qel.trx_no(+) and zpos_manualsplit_id=%d order by qel.trx_no)sql",
        R"sql(select invoicename,'N',0 from zzzz.v8_rep_invoiceno where zinv_number=%s)sql",
        R"sql(select xccd_division,'N',0 from zzzz.xccd, zzzz.zinv where xccd_id=zinv_xcms_id and zinv_number=%s)sql",
        R"sql(select xmnr_value,'N',0 from zzzz.xmnr, zzzz.zinv where xmnr_xcms_id=zinv_xcms_id and xmnr_xmty_id in (%s) and zinv_number=%s)sql",
        R"sql(select ZDCO_GOVCODE,ZDCO_NUMERICDESC,0 from zzzz.zdco)sql",
        R"sql(update qel_financial_transactions set title='%s' where bill_no=%s)sql",
        R"sql(update qel_financial_transactions set title='%s' where trx_no=%d)sql",
        R"sql(select to_char(qel.bill_no), qel.check_number, qel.trx_no from qel_financial_transactions qel, zzzz.financial_transactions fin where fin.trx_no=qel.trx_no and fin.reference='%s' and qel.qel_fisc_status='Y' and qel.check_number is not null and qel.bill_no<>%s)sql",
        R"sql(select to_char(qel.bill_no), qel.check_number, qel.trx_no from qel_financial_transactions qel, zzzz.zpos where zpos_id=qel.trx_no and zpos_comment='%s' and qel.qel_fisc_status='Y' and qel.check_number is not null and qel.bill_no<>%s)sql",
        R"sql(select qel_fisc_status, title, trx_no from qel_financial_transactions where trx_no=%d)sql",
    };
}

const CRecordBinding::BindingTable& CQELFiscal::GetBindingTable() const {
    static const BindingTable table = Numbered({TextColumn(100), TextColumn(25), IntegerColumn()});
    return table;
}

bool CQELFiscal::IsCzech() const {
    return storage.StatusSettings().czech;
}

bool CQELFiscal::MovesDeposits() const {
    const StatementRunner::StatusTableSettings mode = storage.StatusSettings();
    return mode.payMaster || mode.proformaDeposit;
}

bool CQELFiscal::SaleTimeOf(const CFiscalCheck& check) const {
    return IsCzech() && !check.billDate.empty();
}

CQELFiscal::RowValues CQELFiscal::ValuesOf(const struct_posting& payment, const CFiscalCheck& check) const {
    RowValues v;
    v.trxNo = payment.trx_no;
    v.trxCode = payment.trx_code;
    v.description = payment.description;
    v.amount = payment.trx_amount;
    v.room = payment.room;
    v.receipt = check.receiptNumber;
    v.folio = check.statusCode == kReservationDeposits ? check.reservationId : check.folioNumber;
    v.bill = check.checkNumber.empty() ? check.receiptNumber : check.checkNumber;
    v.machine = check.station;
    v.cashier = payment.cashier_id;
    v.status = Letter::NotRegistered;
    v.businessDate = payment.business_date;
    if (SaleTimeOf(check)) {
        // The column receives the date and time of the sale.
        v.businessDate = text::ReplaceAll(check.billDate.substr(0, 19), "T", " ");
    }
    v.attempt = check.printerName.empty() ? "0" : check.printerName;
    v.reference = check.reservationId;
    return v;
}

bool CQELFiscal::InsertRow(const RowValues& v, bool saleTime) {
    std::string statement = templates[RegisterRow];
    if (saleTime) {
        // Written as a bare text, the date would depend on the session's date format (and the
        // stand-in would keep the text, which no date comparison matches).
        statement = text::ReplaceAll(statement, "to_date('%s','dd.mm.yyyy')", "to_date('%s','yyyy-mm-dd hh24:mi:ss')");
    }
    return storage.ExecuteTemplate(
        statement, {Arg::Int(v.trxNo), Arg::Int(v.trxCode), Arg::Raw(sqlformat::LineText(v.description)),
                    Arg::Real(v.amount), Arg::Raw(sqlformat::LineText(v.room)), Arg::Field(v.receipt),
                    Arg::Field(v.folio), Arg::Field(v.bill), Arg::Field(v.machine),
                    Arg::NumberOrNull(v.cashier), Arg::Text(LetterText(v.status)), Arg::Text(v.businessDate),
                    Arg::NumberOrNull(v.attempt), Arg::Field(v.reference)});
}

bool CQELFiscal::ReBillRows(CFiscalCheck& check) {
    // Rows taken up under another bill (deposits brought over) now belong to this one.
    auto rebill = [&](struct_posting& line, bool withStation) {
        if (line.fisc_status.empty() || check.checkNumber.empty() ||
            text::Format("%d", line.bill_no) == check.checkNumber) {
            return true;
        }
        if (!storage.ExecuteFenced(templates[ReBill],
                                   {Arg::Number(check.checkNumber), Arg::Int(line.trx_no)})) {
            return false;
        }
        line.bill_no = text::ToInt(check.checkNumber);
        if (withStation) {
            storage.ExecuteFenced(templates[RowStation], {Arg::Field(check.station), Arg::Int(line.trx_no)});
        }
        return true;
    };
    for (struct_posting& payment : check.payments) {
        if (!rebill(payment, false)) {
            return false;
        }
    }
    for (struct_posting& line : check.removedLines) {
        if (!rebill(line, true)) {
            return false;
        }
    }
    for (struct_posting& line : check.settledDeposits) {
        if (!rebill(line, false)) {
            return false;
        }
    }
    return true;
}

bool CQELFiscal::RegisterCheckRows(CFiscalCheck& check) {
    if (MovesDeposits() && !ReBillRows(check)) {
        return false;
    }
    for (struct_posting& payment : check.payments) {
        if (!payment.fisc_status.empty()) {
            continue;
        }
        if (!InsertRow(ValuesOf(payment, check), SaleTimeOf(check))) {
            return false;
        }
        payment.SetLetter(Letter::NotRegistered);
        payment.bill_no = text::ToInt(check.checkNumber);
    }
    return true;
}

bool CQELFiscal::SetTransactionStatus(struct_posting& transaction, Letter status, CFiscalCheck& check) {
    if (transaction.fisc_status.empty() && InsertRow(ValuesOf(transaction, check), SaleTimeOf(check))) {
        // A failed insert is no failure here: the row may exist already; the update decides.
        transaction.SetLetter(Letter::NotRegistered);
    }
    return storage.ExecuteFenced(templates[TransactionStatus],
                                 {Arg::Text(LetterText(status)), Arg::Int(transaction.trx_no)});
}

Letter CQELFiscal::BillLetter(const CFiscalCheck& check, Letter requested) const {
    if (IsCzech() && (check.statusCode == kOfflineRegistration ||
                      (requested == Letter::NotRegistered && !check.printedFileName.empty()))) {
        return Letter::DescriptionSaved;
    }
    return requested;
}

bool CQELFiscal::SetBillStatus(CFiscalCheck& check, Letter requested) {
    Letter status = BillLetter(check, requested);
    if (check.statusCode == kReservationDeposits) {
        return storage.ExecuteFenced(templates[FolioStatus],
                                     {Arg::Text(LetterText(status)), Arg::Field(check.reservationId)});
    }
    const std::string& key = check.checkNumber;
    if (key.empty()) {
        // Without a bill number the rows carry the receipt number as theirs, which a bill or
        // another payment of the receipt may carry too: the check's own rows are written one by
        // one, and its D rows stay, as the bill statement leaves them.
        if (check.payments.empty()) {
            storage.ReportError("Check has neither a bill number nor a transaction");
            return false;
        }
        bool ok = true;
        for (const struct_posting& payment : check.payments) {
            if (payment.HasLetter(Letter::Deposit)) {
                continue;
            }
            ok = storage.ExecuteFenced(templates[TransactionStatus],
                                       {Arg::Text(LetterText(status)), Arg::Int(payment.trx_no)}) &&
                 ok;
        }
        return ok;
    }
    std::string statement = templates[BillStatus];
    if (check.payments.empty()) {
        // Nothing of this check is a deposit row of its own: its D rows change too.
        statement = text::ReplaceAll(statement, "'D'", "'Y'");
    }
    return storage.ExecuteFenced(statement, {Arg::Text(LetterText(status)), Arg::Number(key)});
}

bool CQELFiscal::IsPaymentCheck(const CFiscalCheck& check) {
    // In full-check mode these are the payments of a reinstated bill, each a check of its own:
    // written per bill, the first success would make the others Y before they are registered.
    return check.statusCode == kPaymentCheck || check.statusCode == kRefundCheck;
}

std::string CQELFiscal::BillKey(const CFiscalCheck& check) {
    return check.checkNumber.empty() ? check.receiptNumber : check.checkNumber;
}

const CQELFiscal::KindStatus* CQELFiscal::KindStatusOf(CheckStatusCode kind) const {
    for (const KindStatus& row : kKindStatus) {
        if (row.kind == kind) {
            return &row;
        }
    }
    return nullptr;
}

Letter CQELFiscal::LetterFor(const CFiscalCheck& check, Letter asked) const {
    const KindStatus* row = KindStatusOf(check.statusCode);
    if (!row) {
        return asked;
    }
    if (asked == Letter::Registered) {
        return row->forRegistered;
    }
    if (asked == Letter::NotRegistered) {
        return pms == Pms::Suite8 ? row->forDueSuite8 : row->forDueOpera;
    }
    return asked;
}

bool CQELFiscal::WritesFirstRow(const CFiscalCheck& check) const {
    if (!storage.StatusSettings().fullCheck) {
        return true;
    }
    const KindStatus* row = KindStatusOf(check.statusCode);
    return row && (pms == Pms::Suite8 ? row->firstRowSuite8 : row->firstRowOpera);
}

bool CQELFiscal::ForEachRow(const CFiscalCheck& check,
                            const std::function<bool(const struct_posting&)>& write) {
    // Payments that composition folded into others are kept in removedLines with their rows.
    std::set<int32_t> written;
    bool ok = true;
    for (const std::vector<struct_posting>* list : {&check.payments, &check.removedLines}) {
        for (const struct_posting& line : *list) {
            if (line.trx_no != 0 && !line.fisc_status.empty() && written.insert(line.trx_no).second) {
                ok = write(line) && ok;
            }
        }
    }
    return ok;
}

bool CQELFiscal::SetFirstTransactionStatus(CFiscalCheck& check, Letter status) {
    if (check.payments.empty()) {
        // Suite8 calls its transactions postings.
        storage.ReportError("Check " + check.checkNumber + " has no " +
                            (pms == Pms::Suite8 ? "posting" : "transaction") + " to write the status of");
        return false;
    }
    return SetTransactionStatus(check.payments[0], status, check);
}

bool CQELFiscal::SetCheckStatus(CFiscalCheck& check, Letter status) {
    if (!RegisterCheckRows(check)) {
        return false;
    }
    const bool settles = SettlesProFormaDeposits(check, status);
    if (!WriteCheckStatus(check, status)) {
        return false;
    }
    return !settles || SettleProFormaDeposits(check);
}

bool CQELFiscal::SettlesProFormaDeposits(const CFiscalCheck& check, Letter status) const {
    if (status != Letter::Registered || !storage.StatusSettings().proformaDeposit ||
        !storage.StatusSettings().fullCheck || check.reservationId.empty() || check.checkNumber.empty()) {
        return false;
    }
    if (!check.settledDeposits.empty()) {
        return true;
    }
    for (const std::vector<struct_posting>* list : {&check.payments, &check.removedLines}) {
        for (const struct_posting& line : *list) {
            if (line.HasLetter(Letter::Deposit)) {
                return true;
            }
        }
    }
    return false;
}

bool CQELFiscal::SettleProFormaDeposits(CFiscalCheck& check) {
    // The bill consumed the deposits: their rows and the bill's own are final, and the
    // reservation's deposits are done with.
    bool ok = true;
    for (std::vector<struct_posting>* list : {&check.payments, &check.removedLines, &check.settledDeposits}) {
        for (struct_posting& line : *list) {
            if (!line.fisc_status.empty()) {
                ok = storage.ExecuteFenced(
                         templates[TransactionStatus],
                         {Arg::Text(LetterText(Letter::Registered)), Arg::Int(line.trx_no)}) &&
                     ok;
            }
        }
    }
    ok = ok && storage.ExecuteFenced(templates[SettleDeposits], {Arg::NumberOrNull(check.reservationId)});
    if (ok) {
        storage.WriteLog("Pro-Forma Folio " + check.reservationId + " settled by bill " + check.checkNumber);
    }
    return ok;
}

bool CQELFiscal::WriteCheckStatus(CFiscalCheck& check, Letter status) {
    if (WritesFirstRow(check)) {
        return SetFirstTransactionStatus(check, LetterFor(check, status));
    }
    if (MovesDeposits()) {
        // Deposit rows of the bill follow the bill, but never fall back to N.
        bool ok = true;
        Letter deposit = status == Letter::NotRegistered ? Letter::Deposit : status;
        for (std::vector<struct_posting>* list : {&check.payments, &check.removedLines}) {
            for (struct_posting& line : *list) {
                if (line.HasLetter(Letter::Deposit)) {
                    ok = SetTransactionStatus(line, deposit, check) && ok;
                }
            }
        }
        if (!ok) {
            return false;
        }
    }
    return SetBillStatus(check, status);
}

bool CQELFiscal::WritesByBill(const CFiscalCheck& check) const {
    CheckStatusCode code = check.statusCode;
    return storage.StatusSettings().fullCheck && code != kDepositCheck && code != kCashLoan &&
           code != kCashPickup && !IsPaymentCheck(check) && !check.checkNumber.empty();
}

bool CQELFiscal::SaveCheckFileName(CFiscalCheck& check) {
    if (WritesByBill(check)) {
        return storage.ExecuteFenced(templates[CheckFileByBill],
                                     {Arg::Text(check.printedFileName), Arg::Number(check.checkNumber)});
    }
    if (check.payments.empty()) {
        storage.ReportError("Check " + check.checkNumber +
                            " has no transaction to keep the check file name with");
        return false;
    }
    return storage.ExecuteFenced(templates[CheckFileByTransaction],
                                 {Arg::Text(check.printedFileName), Arg::Int(check.payments[0].trx_no)});
}

bool CQELFiscal::SaveFiscalData(CFiscalCheck& check) {
    std::string attempt = check.printerName.empty() ? "0" : check.printerName;
    CheckStatusCode code = check.statusCode;
    if (WritesByBill(check)) {
        return storage.ExecuteFenced(
            templates[PrintResultByBill],
            {Arg::Text(check.printerId), Arg::Text(check.shiftNumber), Arg::Text(check.fiscalNumber),
             Arg::Text(check.printedFileName), Arg::NumberOrNull(attempt), Arg::Number(check.checkNumber)});
    }
    if (check.payments.empty()) {
        storage.ReportError("Check " + check.checkNumber + " has no transaction to save the fiscal data for");
        return false;
    }
    int trxNo = check.payments[0].trx_no;
    if (code == kDepositCheck || code == kDepositLikeCheck) {
        return storage.ExecuteFenced(templates[PrintResultNotFiscalised],
                                     {Arg::Text(check.printerId), Arg::Text(check.shiftNumber),
                                      Arg::Text(check.fiscalNumber), Arg::Int(trxNo)});
    }
    return storage.ExecuteFenced(
        templates[PrintResultByTransaction],
        {Arg::Text(check.printerId), Arg::Text(check.shiftNumber), Arg::Text(check.fiscalNumber),
         Arg::Text(check.printedFileName), Arg::NumberOrNull(attempt), Arg::Int(trxNo)});
}

namespace {

// Taxpayer, appointing taxpayer, premises, verification and sale mode of a registration.
std::vector<Arg> DeviceInfoOf(const CFiscalCheck& check) {
    return {Arg::Field(check.GetField(18)), Arg::Field(check.GetField(17)), Arg::Field(check.GetField(21)),
            Arg::NumberOrNull(check.GetField(19)), Arg::NumberOrNull(check.GetField(20))};
}

}  // namespace

bool CQELFiscal::SaveFiscalResult(CFiscalCheck& check) {
    std::vector<Arg> args = DeviceInfoOf(check);
    args.push_back(Arg::Number(BillKey(check)));
    return storage.ExecuteFenced(templates[DeviceInfoByBill], args);
}

bool CQELFiscal::SaveFiscalResultOfRow(CFiscalCheck& check, int trxNo) {
    std::vector<Arg> args = DeviceInfoOf(check);
    args.push_back(Arg::Int(trxNo));
    return storage.ExecuteFenced(
        text::ReplaceAll(templates[DeviceInfoByBill], "where bill_no=%s", "where trx_no=%d"), args);
}

bool CQELFiscal::SaveCheckNumber(int transactionNumber, const std::string& checkNumber) {
    return storage.ExecuteFenced(templates[FiscalNumberToPms],
                                 {Arg::Text(checkNumber), Arg::Int(transactionNumber)});
}

bool CQELFiscal::SetCheckRemark(CFiscalCheck& check, const std::string& remark) {
    for (const struct_posting& payment : check.payments) {
        if (payment.line_type == 19) {
            storage.ExecuteFenced(templates[RemarkToPms], {Arg::Text(remark), Arg::Int(payment.trx_no)});
        }
    }
    return true;
}

bool CQELFiscal::ClearHistory(int days) {
    return storage.ExecuteTemplate(templates[HistoryCleanUp], {Arg::Int(days)});
}

bool CQELFiscal::ReadLetter(int trxNo, std::optional<Letter>& letter) {
    db::Recordset rows;
    letter.reset();
    if (!storage.OpenTemplate(templates[LetterOfTransaction], {Arg::Int(trxNo)}, rows)) {
        return false;
    }
    if (!rows.IsEOF()) {
        Read(rows);
        letter = IsPresent(1) ? LetterOf(Text(1), trxNo) : std::nullopt;
    }
    return true;
}

std::optional<Letter> CQELFiscal::LetterOf(const std::string& text, int trxNo) const {
    std::optional<Letter> letter = ParseLetter(text);
    if (!letter && !text.empty()) {
        storage.WriteLog(text::Format("Status '%s' of transaction %d is no status letter: left as it is",
                                      text.c_str(), trxNo));
    }
    return letter;
}
