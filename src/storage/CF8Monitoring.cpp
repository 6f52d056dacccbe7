#include "storage/CF8Monitoring.h"

#include <set>
#include <utility>

#include "config/CFiscalINI.h"
#include "config/CPrintLists.h"
#include "log/CLogFile.h"
#include "platform/Text.h"
#include "pos/CMicrosCheck.h"
#include "storage/CPosExpansion.h"

using sqlformat::Arg;
using Request = CRequestCheckNumber;
using Row = CFidelio8Folio;

// --- opening ---

bool CF8Monitoring::Open(CFiscalINI& config) {
    if (!LoadStorageSettings(config)) {
        return false;
    }
    MakePaymentCodes(config);
    if (settings.payMaster) {
        depositCodes = ReadCodes(config, {"//additional/pay[@code='xxxx']/print"});
        codeMapCodes = ReadCodes(config, {"//prepayment/payment[@code='xxxx']/posting"});
    }
    configuration = &config;
    PrepareTemplates();
    if (settings.governmentCode) {
        ReadGovernmentCodes();
    }
    const int32_t listMode = config.ReadListMode();
    accountAsStation = listMode == CPrintLists::UserField;
    categoryFromAccount = listMode == CPrintLists::PosCode;
    categoryFromRoom = listMode == CPrintLists::Room;
    membershipCode = config.ReadParameter("//printer_ini/membership_code");
    if (settings.sendCustomerInfo) {
        customerEmailType = config.ReadParameter("//fidelio_ini/customer_email");
        customerNumberType = config.ReadParameter("//fidelio_ini/customer_number");
    }
    if (settings.posExpandMode != 0) {
        if (!LoadClientLibrary()) {
            return false;
        }
        CXMLParser::IntMap map;
        config.ReadIntMap(map, "//rvc[@code='xxxx']", "code");
        rvcMap = map;
        if (log) {
            log->WriteText(CXMLParser::IntMapToText("Rvc code", map, true));
        }
    }
    return true;
}

void CF8Monitoring::PrepareTemplates() {
    auto add = [](std::initializer_list<std::string*> targets, const std::string& code) {
        for (std::string* t : targets) {
            AddToCodeList(*t, code);
        }
    };
    std::string& invoices = requestCheckNumber.templates[Request::InvoicesDue];
    std::string& earlierInvoices = requestCheckNumber.templates[Request::InvoicesOfEarlierDates];
    std::string& windowInvoices = requestCheckNumber.templates[Request::InvoicesDueByWindow];
    std::string& day = folio.templates[Row::DayPostings];
    std::string& earlier = folio.templates[Row::DayPostingsOfEarlierDates];
    std::string& open = folio.templates[Row::OpenPostings];
    std::string& ledger = folio.templates[Row::LedgerPostings];
    std::string& block = blockPayments.templates[CQBlockPayments::BlockDepartments];
    for (int code : paymentCodes) {
        add({&invoices, &earlierInvoices, &day, &earlier, &open, &ledger, &block}, text::Format("%d", code));
    }
    for (int code : secondPaymentCodes) {
        add({&day, &earlier, &open, &ledger}, text::Format("%d", code));
    }
    if (settings.payMaster) {
        for (int code : depositCodes) {
            add({&day, &earlier, &open, &ledger, &block}, text::Format("'%d'", code));
        }
        for (int code : codeMapCodes) {
            add({&windowInvoices}, text::Format("'%d'", code));
        }
    }
    if (settings.currencyConversion) {
        std::string& rate = exchangeRate.templates[CSelectExchangeRate::ExchangeRateSuite8];
        rate = text::ReplaceAll(rate, "xxxx",
                                sqlformat::EscapePercent(sqlformat::Quote(settings.convertCurrency)));
    }
    for (std::string* t : AllTemplates()) {
        *t = settings.schema.empty() ? text::ReplaceAll(*t, "zzzz.", "")
                                     : text::ReplaceAll(*t, "zzzz", settings.schema);
        CloseCodeList(*t);
    }
}

// --- one polling cycle ---

void CF8Monitoring::GetChecks(std::vector<CFiscalCheck>& checks) {
    checks.clear();
    if (settings.payMaster) {
        if (settings.printerType == 8) {
            FindOpenDeposits(checks);
        } else {
            FindDayDeposits(checks);
        }
    }
    if (checks.empty()) {
        if (FullCheckMode()) {
            FindInvoices(checks);
        } else {
            FindPostingPayments(checks);
        }
    }
    if (checks.empty() && !codeMapCodes.empty()) {
        FindWindowInvoices(checks);
    }
    if (checks.empty() && settings.arPayments) {
        FindArPostings(checks);
    }
    if (TakesEarlierDates()) {
        if (FullCheckMode()) {
            FindEarlierInvoices(checks);
        } else {
            FindEarlierPostings(checks);
        }
    }
}

void CF8Monitoring::ForEachPosting(const std::string& statement, const std::vector<Arg>& args,
                                   const std::function<bool(struct_posting&, CFiscalCheck&)>& take) {
    db::Recordset rows;
    if (OpenTemplate(statement, args, rows)) {
        ForEachPosting(rows, take);
    }
}

void CF8Monitoring::ForEachPosting(db::Recordset& rows,
                                   const std::function<bool(struct_posting&, CFiscalCheck&)>& take) {
    int emitted = 0;
    for (; !rows.IsEOF() && emitted < kPostingsPerCycle; rows.MoveNext()) {
        folio.Read(rows);
        struct_posting line;
        ConvertRow(line);
        CFiscalCheck check = NewCheck();
        if (take(line, check)) {
            ++emitted;
        }
    }
}

void CF8Monitoring::FindPostingPayments(std::vector<CFiscalCheck>& checks) {
    FindPostingPayments(DetailTemplate(Row::DayPostings), {Arg::NumberOrNull(settings.languageCode)}, false,
                        checks);
}

void CF8Monitoring::FindEarlierPostings(std::vector<CFiscalCheck>& checks) {
    FindPostingPayments(DetailTemplate(Row::DayPostingsOfEarlierDates),
                        {Arg::Int(settings.earlierDays), Arg::NumberOrNull(settings.languageCode)}, true, checks);
}

void CF8Monitoring::FindPostingPayments(const std::string& statement, const std::vector<Arg>& args, bool closed,
                                        std::vector<CFiscalCheck>& checks) {
    size_t first = checks.size();
    std::set<int> inCycle;
    for (const CFiscalCheck& check : checks) {
        for (const struct_posting& payment : check.payments) {
            inCycle.insert(payment.trx_no);
        }
    }
    ForEachPosting(
        statement, args,
        [&](struct_posting& line, CFiscalCheck& check) {
            std::string date = folio.IsPresent(Row::PostDate) ? folio.Text(Row::PostDate) : "";
            if (closed) {
                // A posting an earlier finder of the cycle took is not taken twice.
                if (inCycle.count(line.trx_no)) {
                    return false;
                }
                check.closedBusinessDate = date;
                WriteLog(text::Format("Posting %d of the closed business date %s taken up", line.trx_no,
                                      date.c_str()));
            } else if (!date.empty()) {
                NoteBusinessDate(date);
            }
            check.SetStatusCode(kPaymentCheck);
            check.postings.push_back(line);
            check.payments.push_back(line);
            // The header first: a split part closed here gets a complete status row.
            ReadHeaderFields(check);
            if (folio.IsPresent(Row::ManualSplit) && CheckSplit(check, folio.Integer(Row::ManualSplit))) {
                return false;
            }
            checks.push_back(check);
            return true;
        });
    std::vector<CFiscalCheck> found(checks.begin() + static_cast<long>(first), checks.end());
    if (found.empty()) {
        return;
    }
    ReadRoomAndFolio(found);
    ReadCustomerData(found);
    if (categoryFromAccount) {
        ReadAccountCategory(found);
    }
    if (categoryFromRoom) {
        ReadRoomCategory(found);
    }
    std::move(found.begin(), found.end(), checks.begin() + static_cast<long>(first));
}

void CF8Monitoring::FindOpenDeposits(std::vector<CFiscalCheck>& checks) {
    db::Recordset rows;
    if (!OpenTemplate(folio.templates[Row::OpenPostings], {}, rows)) {
        return;
    }
    if (rows.IsEOF() && templateCheck.depositTemplateSet &&
        !OpenTemplate(folio.templates[Row::DayPostings], {Arg::NumberOrNull(settings.languageCode)}, rows)) {
        return;
    }
    ForEachPosting(rows, [&](struct_posting& line, CFiscalCheck& check) {
        check.SetStatusCode(line.deposit_flag == 1 ? kDepositCheck : kOtherDeposit);
        if (!check.depositTemplate.description.empty()) {
            line.description = check.depositTemplate.description;
        }
        check.postings.push_back(line);
        check.payments.push_back(line);
        check.SetFieldInt(1, line.trx_no);
        check.SetFieldInt(2, line.trx_no);
        SetIntegerFieldFrom(check, 9, Row::CashierNumber);
        SetFieldFrom(check, 10, Row::CashierName);
        if (folio.IsPresent(Row::ManualSplit) && CheckSplit(check, folio.Integer(Row::ManualSplit))) {
            return false;
        }
        LogCheckLines(check);
        checks.push_back(check);
        return true;
    });
}

void CF8Monitoring::FindDayDeposits(std::vector<CFiscalCheck>& checks) {
    size_t first = checks.size();
    ForEachPosting(
        DetailTemplate(Row::DayPostings), {Arg::NumberOrNull(settings.languageCode)},
        [&](struct_posting& line, CFiscalCheck& check) {
            // A payment in a settled window pays a bill; only an open balance is a deposit.
            if (!settings.ignoreViewBalance && !WindowBalance(line.trx_no)) {
                return false;
            }
            check.SetStatusCode(kDepositCheck);
            check.postings.push_back(line);
            check.payments.push_back(line);
            check.SetFieldInt(2, line.trx_no);
            ReadHeaderFields(check);
            if (folio.IsPresent(Row::ManualSplit) && CheckSplit(check, folio.Integer(Row::ManualSplit))) {
                return false;
            }
            checks.push_back(check);
            return true;
        });
    std::vector<CFiscalCheck> found(checks.begin() + static_cast<long>(first), checks.end());
    ReadCustomerData(found);
    std::move(found.begin(), found.end(), checks.begin() + static_cast<long>(first));
}

void CF8Monitoring::FindArPostings(std::vector<CFiscalCheck>& checks) {
    size_t first = checks.size();
    ForEachPosting(folio.templates[Row::LedgerPostings], {}, [&](struct_posting& line, CFiscalCheck& check) {
        check.SetStatusCode(kReceivablePayment);
        check.postings.push_back(line);
        check.payments.push_back(line);
        check.SetFieldInt(1, line.trx_no);
        check.SetFieldInt(2, line.trx_no);
        SetIntegerFieldFrom(check, 9, Row::CashierNumber);
        SetFieldFrom(check, 10, Row::CashierName);
        checks.push_back(check);
        return true;
    });
    std::vector<CFiscalCheck> found(checks.begin() + static_cast<long>(first), checks.end());
    if (!found.empty()) {
        ReadArInvoice(found);
    }
    std::move(found.begin(), found.end(), checks.begin() + static_cast<long>(first));
}

// --- invoices ---

void CF8Monitoring::ForEachInvoice(db::Recordset& rows, bool bySeries, const std::function<void()>& take) {
    // Rows repeat an invoice once per payment; an invoice seen before is never taken twice, or
    // its check would be printed twice.
    std::set<std::pair<std::string, int>> taken;
    int invoices = 0;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        requestCheckNumber.Read(rows);
        if (!requestCheckNumber.IsPresent(2) || requestCheckNumber.Text(2).empty()) {
            continue;
        }
        std::pair<std::string, int> key{requestCheckNumber.Text(2),
                                        bySeries ? requestCheckNumber.Integer(5) : 0};
        if (!taken.insert(key).second) {
            continue;
        }
        take();
        if (++invoices >= kInvoicesPerCycle || !IsConnected()) {
            // The rest waits for the next cycle; a lost connection is opened again then.
            break;
        }
    }
}

void CF8Monitoring::TakePaymentStation(CFiscalCheck& check) {
    for (const struct_posting& payment : check.payments) {
        if (!payment.machine.empty() &&
            (payment.HasLetter(CheckStatusLetter::NotRegistered) ||
             (payment.HasLetter(CheckStatusLetter::Deposit) && payment.bill_no != 0))) {
            WriteLog("Change station to " + payment.machine);
            check.SetField(13, payment.machine);
            return;
        }
    }
}

void CF8Monitoring::FindInvoices(std::vector<CFiscalCheck>& checks) {
    bool czech = settings.printerType == 10;
    std::string statement = requestCheckNumber.templates[Request::InvoicesDue];
    if (czech) {
        statement = Request::NewOrFailedOnly(Request::WithInvoiceTime(statement));
    }
    db::Recordset rows;
    if (!OpenTemplate(statement, {}, rows)) {
        return;
    }
    bool again = false;
    if (rows.IsEOF() && czech) {
        // Nothing of the day is due: invoices marked for sending again. They may be of any date,
        // which the postings by number do not find: they are loaded by invoice id.
        again = true;
        if (!OpenTemplate(
                Request::WithInvoiceTime(requestCheckNumber.templates[Request::InvoicesToSendAgain]), {},
                rows)) {
            return;
        }
    }
    bool stop = false;
    ForEachInvoice(rows, true, [&] {
        if (stop) {
            return;
        }
        CFiscalCheck check = InvoiceCheck();
        // The sale time of an invoice sent again is no change of the business date: noted, it
        // would clear the history and pause the service for nothing.
        if (requestCheckNumber.IsPresent(4) && !again) {
            NoteBusinessDate(requestCheckNumber.Text(4).substr(0, 10));
        }
        stop = !TakeInvoice(check, again, checks);
    });
}

void CF8Monitoring::FindEarlierInvoices(std::vector<CFiscalCheck>& checks) {
    db::Recordset rows;
    if (!OpenTemplate(requestCheckNumber.templates[Request::InvoicesOfEarlierDates], {Arg::Int(settings.earlierDays)},
                      rows)) {
        return;
    }
    // An invoice an earlier finder of the cycle took is not taken twice.
    std::set<std::string> inCycle;
    for (const CFiscalCheck& check : checks) {
        inCycle.insert(check.checkNumber + "/" + check.receiptNumber);
    }
    bool stop = false;
    ForEachInvoice(rows, true, [&] {
        CFiscalCheck check = InvoiceCheck();
        if (stop || inCycle.count(check.checkNumber + "/" + check.receiptNumber)) {
            return;
        }
        check.closedBusinessDate = check.billDate;
        WriteLog("Invoice " + check.checkNumber + " of the closed business date " + check.billDate + " taken up");
        // The postings by number are those of the open date's invoices: this one is read by id.
        stop = !TakeInvoice(check, true, checks);
    });
}

CFiscalCheck CF8Monitoring::InvoiceCheck() const {
    const CRequestCheckNumber& r = requestCheckNumber;
    CFiscalCheck check = NewCheck();
    check.SetStatusCode(kBillCheck);
    if (r.IsPresent(6)) {
        check.SetFieldInt(3, r.Integer(6));
    }
    check.SetField(1, r.Text(2));
    if (r.IsPresent(1)) {
        check.SetFieldInt(2, r.Integer(1));
    }
    if (r.IsPresent(4)) {
        check.SetField(14, r.Text(4));
    }
    return check;
}

bool CF8Monitoring::TakeInvoice(CFiscalCheck& check, bool byId, std::vector<CFiscalCheck>& checks) {
    const CRequestCheckNumber& r = requestCheckNumber;
    int invoiceId = r.Integer(1);
    std::string number = check.checkNumber;
    std::optional<int> series = r.IsPresent(5) ? std::optional<int>(r.Integer(5)) : std::nullopt;
    bool loaded =
        byId ? LoadInvoice(check, text::Format("%d", invoiceId), std::nullopt, settings.payMaster)
             : LoadInvoice(check, number, series, settings.payMaster);
    if (!loaded) {
        return false;
    }
    DropRegisteredPayments(check);
    if (check.payments.empty()) {
        WriteLog("Invoice " + number + " has no payment to register");
        return true;
    }
    if (settings.printerType == 7) {
        ReadInvoiceCashier(invoiceId, check);
        TakePaymentStation(check);
    }
    if (settings.refundReprint) {
        ReadGuestInfo(check);
        double sum = 0;
        for (const struct_posting& payment : check.payments) {
            sum += payment.quantity * payment.trx_amount;
        }
        if (sum < 0) {
            if (!ReadOriginalCheck(check)) {
                // Without the sale the return could not name it: the invoice waits for the
                // next cycle instead of going out as something else.
                WriteLog("Refund invoice " + number + " waits for its sale");
                return true;
            }
            check.SetStatusCode(kBillRefund);
            // The sale's payments, read with it to name it, are registered and belong to its bill: they
            // leave the refund, so no row write of the return (nor a re-billing) can reach them.
            std::erase_if(check.payments,
                          [](const struct_posting& p) { return p.HasLetter(CheckStatusLetter::Registered); });
        }
    }
    checks.push_back(check);
    return true;
}

void CF8Monitoring::FindWindowInvoices(std::vector<CFiscalCheck>& checks) {
    db::Recordset rows;
    if (!OpenTemplate(requestCheckNumber.templates[Request::InvoicesDueByWindow], {}, rows)) {
        return;
    }
    int prepaymentView = configuration ? configuration->prepaymentView : 0;
    ForEachInvoice(rows, false, [&] {
        const CRequestCheckNumber& r = requestCheckNumber;
        if (!r.IsPresent(6)) {
            return;
        }
        int window = r.Integer(6);
        int invoiceId = r.Integer(1);
        std::string number = r.Text(2);
        std::optional<int> series = r.IsPresent(5) ? std::optional<int>(r.Integer(5)) : std::nullopt;
        CFiscalCheck check = NewCheck();
        check.SetStatusCode(kBillCheck);
        check.SetField(1, number);
        if (!LoadInvoice(check, number, series, false)) {
            return;
        }
        ReadInvoiceCashier(invoiceId, check);
        TakePaymentStation(check);
        if (window != prepaymentView) {
            DropRegisteredPayments(check);
            MovePrepaymentsToPayments(check);
            checks.push_back(check);
            return;
        }
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

// --- status table ---

bool CF8Monitoring::RegisterPostingRows(CFiscalCheck& check) {
    bool czech = settings.printerType == 10;
    if ((settings.payMaster || settings.proformaDeposit) && !qelFiscal.ReBillRows(check)) {
        return false;
    }
    for (struct_posting& payment : check.payments) {
        if (!payment.fisc_status.empty()) {
            continue;
        }
        CQELFiscal::RowValues v;
        v.trxNo = payment.trx_no;
        v.trxCode = payment.trx_code;
        v.description = payment.description;
        v.amount = payment.trx_amount;
        v.room = check.room.substr(0, 15);
        v.receipt = check.receiptNumber;
        v.folio = check.folioNumber;
        v.bill = check.checkNumber;
        v.machine = check.station;
        v.cashier = payment.cashier_id;
        v.businessDate =
            czech ? text::ReplaceAll(check.billDate.substr(0, 19), "T", " ") : payment.business_date;
        v.attempt = check.printerName.empty() ? "0" : check.printerName;
        if (!qelFiscal.InsertRow(v, czech)) {
            return false;
        }
        payment.SetLetter(CheckStatusLetter::NotRegistered);
        payment.bill_no = text::ToInt(check.checkNumber);
    }
    return true;
}

bool CF8Monitoring::SetInvoiceStatus(CFiscalCheck& check, CheckStatusLetter requested) {
    CheckStatusLetter status = qelFiscal.BillLetter(check, requested);
    // An invoice number is unique only within its series: a statement by number would also write
    // the rows of the other series' invoice, so the invoice's own rows are written one by one.
    // Its deposit rows stay, as a statement by number leaves them, unless it has no payment.
    bool keepDeposits = !check.payments.empty();
    return CQELFiscal::ForEachRow(check, [&](const struct_posting& line) {
        return (keepDeposits && line.HasLetter(CheckStatusLetter::Deposit)) ||
               ExecuteFenced(qelFiscal.templates[CQELFiscal::TransactionStatus],
                             {Arg::Text(LetterText(status)), Arg::Int(line.trx_no)});
    });
}

bool CF8Monitoring::SaveFiscalData(CFiscalCheck& check) {
    if (!IsInvoiceCheck(check)) {
        return COperaBase::SaveFiscalData(check);
    }
    // Row by row, for the reason SetInvoiceStatus gives.
    std::string attempt = check.printerName.empty() ? "0" : check.printerName;
    return CQELFiscal::ForEachRow(check, [&](const struct_posting& line) {
        return ExecuteFenced(
            qelFiscal.templates[CQELFiscal::PrintResultByTransaction],
            {Arg::Text(check.printerId), Arg::Text(check.shiftNumber), Arg::Text(check.fiscalNumber),
             Arg::Text(check.printedFileName), Arg::NumberOrNull(attempt), Arg::Int(line.trx_no)});
    });
}

bool CF8Monitoring::SaveCheckFileName(CFiscalCheck& check) {
    if (!IsInvoiceCheck(check)) {
        return COperaBase::SaveCheckFileName(check);
    }
    // Row by row, for the reason SetInvoiceStatus gives: the other series' invoice keeps its own
    // name for its retries.
    return CQELFiscal::ForEachRow(check, [&](const struct_posting& line) {
        return ExecuteFenced(qelFiscal.templates[CQELFiscal::CheckFileByTransaction],
                             {Arg::Text(check.printedFileName), Arg::Int(line.trx_no)});
    });
}

bool CF8Monitoring::SaveFiscalResult(CFiscalCheck& check) {
    if (!IsInvoiceCheck(check)) {
        return COperaBase::SaveFiscalResult(check);
    }
    // Row by row, for the reason SetInvoiceStatus gives.
    return CQELFiscal::ForEachRow(check, [&](const struct_posting& line) {
        return qelFiscal.SaveFiscalResultOfRow(check, line.trx_no);
    });
}

bool CF8Monitoring::IsInvoiceCheck(const CFiscalCheck& check) const {
    return !qelFiscal.WritesFirstRow(check);
}

bool CF8Monitoring::SetCheckStatus(CFiscalCheck& check, CheckStatusLetter status) {
    if (!RegisterPostingRows(check)) {
        return false;
    }
    if (qelFiscal.WritesFirstRow(check)) {
        return qelFiscal.SetFirstTransactionStatus(check, qelFiscal.LetterFor(check, status));
    }
    if (settings.payMaster) {
        // Deposit rows of the invoice follow it, but never fall back to N.
        CheckStatusLetter deposit =
            status == CheckStatusLetter::NotRegistered ? CheckStatusLetter::Deposit : status;
        for (std::vector<struct_posting>* list : {&check.payments, &check.removedLines}) {
            for (struct_posting& line : *list) {
                if (line.HasLetter(CheckStatusLetter::Deposit)) {
                    SetTransactionStatus(line, deposit, check);
                }
            }
        }
    }
    return SetInvoiceStatus(check, status);
}

bool CF8Monitoring::SetCheckRemark(CFiscalCheck&, const std::string&) {
    return true;
}

bool CF8Monitoring::SaveCheckNumber(int, const std::string&) {
    return true;
}

bool CF8Monitoring::ConfirmRefund(CFiscalCheck&, int, double) {
    return true;
}

bool CF8Monitoring::ReadOpenBusinessDate(std::string& date) {
    db::Recordset rows;
    if (!OpenTemplate(requestCheckNumber.templates[Request::OpenBusinessDateSuite8], {}, rows)) {
        return false;
    }
    date = rows.IsEOF() ? "" : (requestCheckNumber.Read(rows), requestCheckNumber.Text(4));
    return true;
}

void CF8Monitoring::CheckBusinessDate() {
    if (previousBusinessDate.empty() || previousBusinessDate == currentBusinessDate) {
        return;
    }
    WriteLog("Business date was changed. Clear old transactions.");
    if (qelFiscal.ClearHistory(settings.historyDays)) {
        WriteLog("Completed");
    }
    // The next finder takes the current date as the previous one again.
    previousBusinessDate.clear();
    closedToday = {};
}

bool CF8Monitoring::BlockPayments(bool block, const std::string&) {
    std::string value = block ? "1" : "0";
    return ExecuteTemplate(blockPayments.templates[CQBlockPayments::BlockDepartments],
                           {Arg::Number(value), Arg::Number(value)});
}

// --- government codes ---

void CF8Monitoring::ReadGovernmentCodes() {
    WriteLog("Read government codes");
    governmentCodes.clear();
    db::Recordset rows;
    if (OpenTemplate(qelFiscal.templates[CQELFiscal::GovernmentCodesSuite8], {}, rows)) {
        for (; !rows.IsEOF(); rows.MoveNext()) {
            qelFiscal.Read(rows);
            const std::string& codes = qelFiscal.Text(1);
            const std::string& department = qelFiscal.Text(2);
            if (codes.empty() || department.empty()) {
                continue;
            }
            std::string list;
            for (const std::string& code : text::Split(codes, ',')) {
                list += "*" + text::Trim(code) + "*";
            }
            governmentCodes[department] = list;
        }
    }
    WriteLog(
        text::Format("Government codes list includes %d items", static_cast<int>(governmentCodes.size())));
}

bool CF8Monitoring::ValidateCheck(CFiscalCheck& check, const std::string& printerName) {
    if (!settings.governmentCode) {
        return true;
    }
    std::string pattern = "*" + printerName + "*";
    for (const struct_posting& posting : check.postings) {
        if (posting.line_type == 5) {
            continue;
        }
        std::string key = text::Format("%d", posting.trx_code);
        auto found = governmentCodes.find(key);
        if (found == governmentCodes.end()) {
            ReadGovernmentCodes();
            found = governmentCodes.find(key);
        }
        if (found == governmentCodes.end()) {
            ReportError("No government list for code " + key + ". Check passed");
            return false;
        }
        if (found->second.find(pattern) == std::string::npos) {
            ReportError("Not found station " + printerName + " for code " + key +
                        " in government code list " + found->second + ". Check passed");
            return false;
        }
        WriteLog(key + " : " + found->second);
    }
    return true;
}

// --- POS checks ---

bool CF8Monitoring::IsPosRevenueCenter(int code) {
    WriteLog(text::Format("Check SI code %d in RVC list", code));
    bool known = rvcMap.count(code) != 0;
    WriteLog(known ? "Yes" : "No");
    return known;
}

CF8Monitoring::PosCheckKey CF8Monitoring::IdentifyPosCheck(const std::string& reference, bool posFlag,
                                                           int posSystem) {
    PosCheckKey key;
    key.number = reference;
    db::Recordset rows;
    if (posFlag && sqlformat::IsNumber(reference) &&
        OpenTemplate(requestCheckNumber.templates[Request::PosCheckHeader], {Arg::Number(reference)}, rows) &&
        !rows.IsEOF()) {
        // The POS check's own number and opening time, already in the form GetCheck takes.
        requestCheckNumber.Read(rows);
        key.number = requestCheckNumber.Text(2);
        key.openTime = requestCheckNumber.Text(4);
    }
    if (!rvcMap.empty() && posSystem != 0) {
        WriteLog(text::Format("Find SI code %d in RVC list", posSystem));
        auto found = rvcMap.find(posSystem);
        if (found != rvcMap.end()) {
            key.revenueCentre = found->second;
            WriteLog("Yes " + key.revenueCentre);
            return key;
        }
    }
    // The number carries the revenue centre in its first three and the check in its last four
    // characters.
    std::string number = key.number;
    key.revenueCentre = number.substr(0, 3);
    key.number = number.size() > 4 ? number.substr(number.size() - 4) : number;
    return key;
}

bool CF8Monitoring::ReadInterfaceCheck(const std::string& reference, bool posFlag, int posSystem,
                                       CMicrosCheck& posCheck) {
    PosCheckKey key = IdentifyPosCheck(reference, posFlag, posSystem);
    WriteLog("Read Interface Check Details " + key.number + " Pos " + key.revenueCentre + " Date " +
             key.openTime);
    if (!FetchPosCheck(key.number, key.openTime, key.revenueCentre, posCheck.postings)) {
        return false;
    }
    if (log) {
        log->WriteList(posCheck.DumpText("Interface check:"));
    }
    if (!posCheck.PrepareCheck()) {
        WriteLog(posCheck.errorText);
        return false;
    }
    return true;
}

void CF8Monitoring::ExpandPosCheck(const std::string& reference, int posSystem, bool posFlag,
                                   CFiscalCheck& check) {
    CMicrosCheck posCheck;
    posCheck.log = log;
    // The discount is spread in the units the check is printed in.
    posCheck.moneyDecimals = check.moneyDecimals;
    if (!ReadInterfaceCheck(reference, posFlag, posSystem, posCheck)) {
        // The postings stay as the PMS booked them.
        WriteLog("Interface check " + reference + " not expanded");
        return;
    }
    const double pmsSum = CPosExpansion::ReferenceSum(check, reference);
    const double posSum = CPosExpansion::Sum(posCheck.postings);
    if (!CPosExpansion::SumsAgree(pmsSum, posSum)) {
        WriteLog(text::Format("Fidelio check sum %.2f, Interface check sum %.2f", pmsSum, posSum));
        return;
    }
    WriteLog(text::Format("%.2f %d %s", posSum, posSystem, reference.c_str()));
    CPosExpansion::InsertLines(check, reference, posCheck.postings);
    LogCheckLines(check);
    if (settings.codeConversion) {
        ConvertPosCodes(check);
    }
}
