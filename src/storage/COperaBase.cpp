#include "storage/COperaBase.h"

#include <algorithm>
#include <cctype>

#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "storage/db/ConnectionString.h"
#include "storage/db/CreateConnection.h"
#include "storage/CPosExpansion.h"

using sqlformat::Arg;

namespace {

// Finds the first "xxxx" in any letter case.
size_t FindListMarker(const std::string& s) {
    return text::ToLower(s).find("xxxx");
}

}  // namespace

COperaBase::COperaBase(CQELFiscal::Pms pms) : qelFiscal(*this, pms), serviceLease(*this) {}

COperaBase::~COperaBase() {
    Close();
}

void COperaBase::WriteLog(const std::string& line) const {
    if (log) {
        log->WriteText(line);
    }
}

void COperaBase::ReportError(const std::string& textLine) {
    lastError = textLine;
    WriteLog(textLine);
}

StatementRunner::StatusTableSettings COperaBase::StatusSettings() const {
    StatusTableSettings mode;
    mode.czech = settings.printerType == 10;
    mode.fullCheck = FullCheckMode();
    mode.payMaster = settings.payMaster;
    mode.proformaDeposit = settings.proformaDeposit;
    return mode;
}

void COperaBase::Trace(const std::string& textLine) {
    if (settings.trace) {
        WriteLog(textLine);
    }
}

// --- connection ---

bool COperaBase::Connect() {
    Close();
    connection = db::CreateConnection(settings.connectionString);
    connection->SetPmsSchema(settings.schema);
    if (readOnly) {
        connection->SetReadOnly();
    }
    connectFailed = !connection->Open(settings.connectionString);
    if (connectFailed) {
        lastError.clear();
        CollectErrors();
        // The stand-in is no Oracle database: its failure says what it is.
        lastError = (db::Connection::IsSqlite(settings.connectionString) ? "SQLite stand-in connect problem."
                                                                          : "Oracle connect problem.") +
                    lastError;
        connection.reset();
        return false;
    }
    connection->SetCommandTimeout(kStatementWaitSeconds);
    if (!connection->Errors().empty()) {
        // Information from the provider (a password about to expire) is logged, not fatal.
        CollectErrors();
    }
    return true;
}

bool COperaBase::IsConnected() const {
    return connection && connection->IsOpen();
}

bool COperaBase::Close() {
    if (connection) {
        connection->Close();
        connection.reset();
    }
    return true;
}

bool COperaBase::CollectErrors() {
    bool ok = true;
    if (connection) {
        for (const db::ProviderError& e : connection->Errors()) {
            if (e.number != 0) {
                ok = false;
            }
            lastError += lastError.empty() ? e.description : " " + e.description;
        }
    }
    if (!lastError.empty()) {
        WriteFault(lastError);
    }
    return ok;
}

void COperaBase::WriteFault(const std::string& line) const {
    if (log) {
        log->WriteRepeating(line);
    }
}

void COperaBase::NoteAnswer(bool answered, int64_t startedMs) {
    if (answered) {
        silentSinceMs = -1;
        silentSince.clear();
        return;
    }
    if (silentSinceMs >= 0) {
        return;
    }
    // Silent since the statement that found no answer began.
    platform::Clock& clock = platform::Clock::Current();
    silentSinceMs = startedMs;
    int64_t waitedSeconds = (clock.MonotonicMs() - startedMs) / 1000;
    platform::LocalTime began =
        platform::LocalTime::FromEpoch(clock.Now().ToEpoch() - static_cast<std::time_t>(waitedSeconds));
    silentSince = text::Format("%02d.%02d.%04d %02d:%02d:%02d", began.day, began.month, began.year,
                               began.hour, began.minute, began.second);
}

int64_t COperaBase::DatabaseSilentMs() const {
    return silentSinceMs < 0 ? 0 : platform::Clock::Current().MonotonicMs() - silentSinceMs;
}

void COperaBase::Fail(const char* what, const std::string& sql) {
    CollectErrors();
    WriteFault(what);
    if (!settings.trace) {
        // The failing statement always reaches the log.
        WriteFault(sql);
    }
    Close();
    Trace("* complete transaction *");
}

bool COperaBase::Execute(const std::string& sql) {
    if (sql.empty()) {
        return true;
    }
    // The last error tells of the last statement only, so it cannot grow without end.
    lastError.clear();
    int64_t started = platform::Clock::Current().MonotonicMs();
    if (!IsConnected() && !Connect()) {
        NoteAnswer(false, started);
        return false;
    }
    Trace("* start transaction *");
    Trace(sql);
    if (!connection->Execute(sql)) {
        NoteAnswer(!connection->NotAnswered(), started);
        Fail("Executing failure", sql);
        return false;
    }
    NoteAnswer(true, started);
    Trace("* complete transaction *");
    return true;
}

bool COperaBase::OpenRecordset(const std::string& sql, db::Recordset& recordset) {
    recordset.Close();
    lastError.clear();
    int64_t started = platform::Clock::Current().MonotonicMs();
    if (!IsConnected() && !Connect()) {
        NoteAnswer(false, started);
        return false;
    }
    Trace("* start transaction *");
    Trace(sql);
    if (!connection->OpenRecordset(sql, recordset)) {
        NoteAnswer(!connection->NotAnswered(), started);
        Fail("Reading failure", sql);
        return false;
    }
    NoteAnswer(true, started);
    Trace("* complete transaction *");
    return true;
}

bool COperaBase::ExecuteTemplate(const std::string& statementTemplate, const std::vector<Arg>& args) {
    std::string sql;
    std::string error;
    if (!sqlformat::Format(statementTemplate, args, sql, error)) {
        lastError = error;
        WriteFault("Executing failure");
        WriteFault(error);
        return false;
    }
    return Execute(sql);
}

bool COperaBase::OpenTemplate(const std::string& statementTemplate, const std::vector<Arg>& args,
                              db::Recordset& recordset) {
    std::string sql;
    std::string error;
    if (!sqlformat::Format(statementTemplate, args, sql, error)) {
        recordset.Close();
        lastError = error;
        WriteFault("Reading failure");
        WriteFault(error);
        return false;
    }
    return OpenRecordset(sql, recordset);
}

// --- settings ---

std::vector<int> COperaBase::ReadCodes(CFiscalINI& configuration, const std::vector<std::string>& patterns) {
    std::vector<int> codes;
    for (const std::string& pattern : patterns) {
        CXMLParser::IntMap map;
        configuration.ReadIntMap(map, pattern, "code");
        for (const auto& entry : map) {
            if (std::find(codes.begin(), codes.end(), entry.first) == codes.end()) {
                codes.push_back(entry.first);
            }
        }
    }
    return codes;
}

void COperaBase::MakePaymentCodes(CFiscalINI& configuration) {
    paymentCodes = ReadCodes(configuration,
                             {"//pay_mode/pay[@code='xxxx']/print", "//pay_mode/paid[@code='xxxx']/print"});
    if (paymentCodes.empty()) {
        paymentCodes = ReadCodes(configuration, {"//fidelio_ini/print_list[@code='xxxx']"});
    }
}

bool COperaBase::LoadStorageSettings(CFiscalINI& config) {
    Settings s;
    s.printerType = config.printerType;
    if (s.printerType == 9) {
        s.refundReprint = true;
        WriteLog("Mongolia fiscal. Refund check reprinting");
    }
    s.connectionString = config.ReadParameter("//fidelio_ini/base_access");
    if (s.connectionString.empty()) {
        ReportError("Can't read parameter Base Access");
        WriteLog("DATABASE CONNECT UNDEFINED");
        return false;
    }
    WriteLog("Base access:" + db::ConnectionString::WithoutPasswords(s.connectionString));
    s.trace = config.ReadFlag("//fiscal_trans_ini/trace");
    s.version = config.ReadVersion();
    s.schema = text::Trim(config.ReadParameter("//fidelio_ini/fidelio_schema"));
    WriteLog("Schema: " + s.schema);
    if (!s.schema.empty() && !sqlformat::IsName(s.schema)) {
        // The schema goes into every statement as a name; anything else could change them.
        ReportError("Schema name is not a database name: " + s.schema);
        return false;
    }
    s.historyDays = config.ReadInteger("//history");
    if (s.historyDays == 0) {
        s.historyDays = kDefaultHistoryDays;
    }
    WriteLog(text::Format("History: %d days", s.historyDays));
    s.earlierDays = text::Trim(config.ReadParameter(kEarlierDaysPath)).empty()
                        ? s.historyDays
                        : std::max(0, config.ReadInteger(kEarlierDaysPath));
    s.convertCurrency = config.ReadParameter("//fidelio_ini/convert_currency");
    s.baseCurrency = config.ReadParameter("//fidelio_ini/base_currency");
    s.paymentCurrency = config.ReadParameter("//fidelio_ini/payment_currency");
    WriteLog(text::Format("Convert Currency: %s", s.convertCurrency.c_str()));
    WriteLog(text::Format("Base Currency: %s", s.baseCurrency.c_str()));
    WriteLog(text::Format("Payment Currency: %s", s.paymentCurrency.c_str()));
    s.currencyConversion = !s.convertCurrency.empty();
    s.languageCode = config.ReadParameter("//fidelio_ini/language_code");
    WriteLog("Language code: " + s.languageCode);
    s.discountCode = config.ReadInteger("//micros_ini/discount_code");
    if (s.discountCode == 0) {
        s.discountCode = 1;
    }
    std::string roomRates = config.ReadParameter("//fidelio_ini/room_rate_include");
    for (const std::string& part : text::Split(roomRates, ',')) {
        if (!text::Trim(part).empty()) {
            s.roomRateCodes.push_back(text::ToInt(part));
        }
    }
    if (!s.roomRateCodes.empty()) {
        std::string line = "Include room rate to posting: ";
        for (int code : s.roomRateCodes) {
            line += text::Format("%d ", code);
        }
        WriteLog(line);
    }
    includeRoomRate = !s.roomRateCodes.empty();
    s.extraBedCode = config.ReadParameter("//fidelio_ini/extra_bed_code");
    if (!s.extraBedCode.empty()) {
        WriteLog(text::Format("Extra bed code %s", s.extraBedCode.c_str()));
    }
    s.payMasterRoom = config.ReadParameter("//fidelio_ini/pm_payments/room");
    s.payMasterDescription = config.ReadParameter("//fidelio_ini/pm_payments/description");
    if (!s.payMasterRoom.empty()) {
        WriteLog(text::Format("Print payments from PM %s (%s)", s.payMasterRoom.c_str(),
                              s.payMasterDescription.c_str()));
    }
    s.depositDescription = config.ReadParameter("//fidelio_ini/deposit/description");
    s.governmentCode = config.ReadFlag("//fidelio_ini/government_code");
    if (s.governmentCode) {
        WriteLog("Government code mode");
    }
    s.arPayments = config.ReadFlag("//fidelio_ini/ar_payments");
    if (s.arPayments) {
        WriteLog("AR payments mode");
    }
    s.sendCustomerInfo = config.ReadFlag("//fidelio_ini/send_customer_info");
    if (s.sendCustomerInfo) {
        WriteLog("Send customer email and phone number");
    }
    std::string expand = config.ReadParameter("//micros_check_expand");
    s.posExpandMode = expand == "1" ? 1 : expand == "2" ? 2 : 0;
    if (s.posExpandMode != 0) {
        WriteLog("Interface check expanded");
        s.codeConversion = config.ReadFlag("//code_convertion");
    }
    s.ignoreViewBalance = config.ReadFlag("//fidelio_ini/ignore_view_balance");
    if (s.ignoreViewBalance) {
        WriteLog("Ignore zero windows balance");
    }
    s.companyRouting = config.ReadParameter("//fidelio_ini/company_routing");
    if (!s.companyRouting.empty()) {
        WriteLog("Support company routing. INN field " + s.companyRouting);
        // The routing goes on; the payer's tax number is then read from the usual column.
        s.companyRouting = ColumnName(s.companyRouting, "//fidelio_ini/company_routing");
        if (s.companyRouting.empty()) {
            s.companyRouting = "tax1_no";
        }
    }
    // The two deposit flags of the status table.
    s.payMasterCode = config.ReadInteger("//fidelio_ini/deposit/code");
    s.payMaster = s.payMasterCode != 0;
    s.proformaDeposit = config.ReadFlag("//fidelio_ini/proforma_folio_deposit");
    settings = s;

    templateCheck = CFiscalCheck();
    templateCheck.log = log;
    config.FillCheckTemplate(templateCheck);
    MakePaymentCodes(config);
    secondPaymentCodes = ReadCodes(
        config, {"//pay_mode/put[@code='xxxx']/print", "//general_cashier/cash_shift_loan[@code='xxxx']",
                 "//general_cashier/cash_shift_drop[@code='xxxx']"});
    std::string folder = sideFileFolder.empty() ? platform::ProgramFolder() : sideFileFolder;
    postConverter.Load(folder + "post_converter.txt", log);
    return true;
}

std::string COperaBase::ColumnName(const std::string& field, const char* setting) const {
    if (field.empty() || sqlformat::IsName(field)) {
        return field;
    }
    // The name goes into the statements as it is; anything but a name could change them.
    WriteLog(text::Format("%s is not a column name and is not used: ", setting) + field);
    return "";
}

bool COperaBase::Open(CFiscalINI& config) {
    if (!LoadStorageSettings(config)) {
        return false;
    }
    MakePaymentCodes(config);
    if (settings.payMaster) {
        depositCodes = ReadCodes(config, {"//additional/pay[@code='xxxx']/print"});
        onlineDepositCodes = ReadCodes(config, {"//fidelio_ini/deposit/online_payment[@code='xxxx']"});
        codeMapCodes = ReadCodes(config, {"//prepayment/payment[@code='xxxx']/posting"});
    }
    settings.resort = config.ReadParameter("//fidelio_ini/property_code");
    WriteLog("Resort: " + settings.resort);
    settings.udfName = ColumnName(config.ReadParameter("//UDF_name"), "//UDF_name");
    PrepareTemplates();
    if (settings.posExpandMode != 0 && !LoadClientLibrary()) {
        // Start-up ends here, with the library's reason as the last error.
        return false;
    }
    if (settings.printerType == 9) {
        settings.taxUdfName =
            ColumnName(config.ReadParameter("//printer_ini/tax_udf_name"), "//printer_ini/tax_udf_name");
    }
    settings.adjustmentRefund = config.ReadFlag("//fidelio_ini/adjustment_refund");
    if (settings.adjustmentRefund && !LoadAdjustmentCodes(config)) {
        WriteLog("Adjustment refund code list empty");
    }
    WriteLog(EarlierDatesRule());
    settings.dateOffset = config.ReadInteger("//date_offset");
    if (settings.dateOffset != 0) {
        WriteLog(text::Format("TEST MODE DATE OFFSET -%d", settings.dateOffset));
    }
    configuration = &config;
    return true;
}

bool COperaBase::LoadClientLibrary() {
    clientLibrary.SetLog(log);
    if (!clientLibrary.Load()) {
        ReportError(clientLibrary.GetLastError());
        return false;
    }
    return true;
}

bool COperaBase::FetchPosCheck(const std::string& cknum, const std::string& openTime, const std::string& rvc,
                               std::vector<struct_posting>& lines) {
    clientLibrary.SetLog(log);
    return clientLibrary.FetchPosCheck(cknum, openTime, rvc, lines);
}

void COperaBase::ConvertPosCodes(CFiscalCheck& check) {
    static const CRuleLists kNoRules;
    CPosExpansion::ConvertCodes(check, configuration ? configuration->rules : kNoRules,
                                [this](int pmsCode, const std::string& description) {
                                    return GetPrinterCode(pmsCode, description);
                                });
    if (log) {
        log->WriteList(check.BuildText(4, ""));
    }
}

bool COperaBase::LoadAdjustmentCodes(CFiscalINI& config) {
    adjustmentCodes.clear();
    db::Recordset rows;
    if (OpenTemplate(guestInfo.templates[CSelectGuestInfo::AdjustmentCodes], {}, rows)) {
        for (; !rows.IsEOF(); rows.MoveNext()) {
            guestInfo.Read(rows);
            if (guestInfo.IsPresent(2) && guestInfo.IsPresent(3)) {
                adjustmentCodes.emplace_back(text::ToInt(guestInfo.Text(2)), text::ToInt(guestInfo.Text(3)));
            }
        }
    }
    WriteLog(text::Format("Adjustment refund code list: %d", static_cast<int>(adjustmentCodes.size())));
    // The posting rules register a negative adjustment under the code it adjusts.
    config.SetAdjustmentCodes(adjustmentCodes);
    return !adjustmentCodes.empty();
}

bool COperaBase::IsPaymentCode(int code) const {
    return std::find(paymentCodes.begin(), paymentCodes.end(), code) != paymentCodes.end();
}

bool COperaBase::IsCodeMapCode(int code) const {
    return std::find(codeMapCodes.begin(), codeMapCodes.end(), code) != codeMapCodes.end();
}

CFiscalCheck COperaBase::NewCheck() const {
    CFiscalCheck check = templateCheck;
    check.log = log;
    return check;
}

void COperaBase::LogCheckLines(CFiscalCheck& check) {
    if (log) {
        log->WriteList(check.BuildText(4, ""));
    }
}

void COperaBase::MovePrepaymentsToPayments(CFiscalCheck& check) const {
    std::vector<struct_posting> kept;
    for (struct_posting& posting : check.postings) {
        if (IsCodeMapCode(posting.trx_code)) {
            posting.trx_amount = -posting.trx_amount;
            check.payments.push_back(posting);
        } else {
            kept.push_back(posting);
        }
    }
    check.postings = kept;
}

bool COperaBase::PrepaymentWindowSettled(const CFiscalCheck& check) const {
    for (const struct_posting& payment : check.payments) {
        if (!IsCodeMapCode(payment.trx_code) &&
            (!IsPaymentCode(payment.trx_code) || payment.HasLetter(CheckStatusLetter::Registered))) {
            return true;
        }
    }
    return false;
}

// --- templates ---

std::vector<std::string*> COperaBase::AllTemplates() {
    std::vector<std::string*> all;
    for (CRecordBinding* binding :
         std::initializer_list<CRecordBinding*>{&qelFiscal, &codeConvertion, &requestCheckNumber, &recPayment,
                                                &roomRequest, &exchangeRate, &blockPayments, &guestInfo}) {
        for (std::string& t : binding->templates) {
            all.push_back(&t);
        }
    }
    return all;
}

void COperaBase::AddToCodeList(std::string& statementTemplate, const std::string& code) {
    size_t at = FindListMarker(statementTemplate);
    if (at == std::string::npos) {
        return;
    }
    bool first = at > 0 && statementTemplate[at - 1] == '(';
    statementTemplate.insert(at, (first ? "" : ",") + code);
}

void COperaBase::CloseCodeList(std::string& statementTemplate) {
    for (size_t at = FindListMarker(statementTemplate); at != std::string::npos;
         at = FindListMarker(statementTemplate)) {
        statementTemplate.erase(at, 4);
    }
}

void COperaBase::ReplacePadded(std::string& statementTemplate, const std::string& oldText,
                               const std::string& newText) {
    size_t pad = newText.size() > oldText.size() ? newText.size() - oldText.size() : 1;
    statementTemplate.append(pad, ' ');
    statementTemplate = text::ReplaceAll(statementTemplate, oldText, newText);
}

void COperaBase::PrepareTemplates() {
    using Request = CRequestCheckNumber;
    using Detail = CRecPayment;
    std::vector<std::string*> bills = {&requestCheckNumber.templates[Request::BillsOfTheDay],
                                       &requestCheckNumber.templates[Request::BillsOfEarlierDates],
                                       &requestCheckNumber.templates[Request::DepositsOfTheDay]};
    std::vector<std::string*> payments = {&recPayment.templates[Detail::PaymentsOfTheDay],
                                          &recPayment.templates[Detail::PaymentsOfEarlierDates],
                                          &recPayment.templates[Detail::DepositPaymentsOfTheDay],
                                          &recPayment.templates[Detail::PaymentByConfirmationAndReceipt],
                                          &recPayment.templates[Detail::ArPaymentsOfTheDay]};
    auto add = [](const std::vector<std::string*>& targets, int code) {
        for (std::string* t : targets) {
            AddToCodeList(*t, text::Format("'%d'", code));
        }
    };
    bool full = FullCheckMode();
    std::vector<std::string*> blocking;
    for (std::string& t : blockPayments.templates) {
        blocking.push_back(&t);
    }
    for (int code : paymentCodes) {
        if (full) {
            add(bills, code);
        }
        if (!full || settings.payMaster || settings.arPayments) {
            add(payments, code);
        }
        add(blocking, code);
    }
    for (int code : secondPaymentCodes) {
        add(payments, code);
    }
    if (settings.payMaster) {
        for (int code : depositCodes) {
            add({&recPayment.templates[Detail::PaymentsWithReceiptType]}, code);
        }
        for (int code : onlineDepositCodes) {
            add(bills, code);
        }
        add(bills, settings.payMasterCode);
        for (int code : codeMapCodes) {
            add({&requestCheckNumber.templates[Request::BillsWithFolioWindow]}, code);
        }
    }
    if (settings.currencyConversion) {
        std::string& rate = exchangeRate.templates[CSelectExchangeRate::ExchangeRate];
        rate = text::ReplaceAll(rate, "xxxx",
                                sqlformat::EscapePercent(sqlformat::Quote(settings.convertCurrency)));
    }
    // Configuration values become part of the templates: quoted, and with "%" kept from formatting.
    std::string resort = sqlformat::EscapePercent(sqlformat::Quote(settings.resort));
    for (std::string* t : AllTemplates()) {
        *t = text::ReplaceAll(*t, "ssss", resort);
        *t = settings.schema.empty() ? text::ReplaceAll(*t, "zzzz.", "")
                                     : text::ReplaceAll(*t, "zzzz", settings.schema);
    }
    if (settings.version == 1) {
        // Opera 4 has no postit numbers and keeps the change due in the quantity.
        for (std::string& t : requestCheckNumber.templates) {
            ReplacePadded(t, "fin.postit_no", "0");
            ReplacePadded(t, "dep.postit_no", "0");
        }
        for (std::string& t : recPayment.templates) {
            ReplacePadded(t, "fin.CHANGE_DUE", "fin.quantity");
        }
    }
    for (std::string* t : AllTemplates()) {
        CloseCodeList(*t);
    }
}

// --- status table ---

bool COperaBase::SetCheckStatus(CFiscalCheck& check, CheckStatusLetter status) {
    return qelFiscal.SetCheckStatus(check, status);
}

bool COperaBase::SetCheckRemark(CFiscalCheck& check, const std::string& remark) {
    return qelFiscal.SetCheckRemark(check, remark);
}

bool COperaBase::SaveFiscalData(CFiscalCheck& check) {
    return qelFiscal.SaveFiscalData(check);
}

bool COperaBase::SaveCheckFileName(CFiscalCheck& check) {
    return qelFiscal.SaveCheckFileName(check);
}

CFiscalStorage::Lease COperaBase::HoldLease(const std::string& holder, int seconds, const LeaseRow* expired,
                                            LeaseRow& row) {
    Lease state = serviceLease.Hold(LeaseProperty(), holder, seconds, expired, row);
    if (state == Lease::Held) {
        fenceHolder = holder;
        fenceValue = row.fence;
    }
    return state;
}

std::string COperaBase::LeaseProperty() const {
    return settings.resort.empty() ? "*" : settings.resort;
}

bool COperaBase::ExecuteFenced(const std::string& statementTemplate, const std::vector<Arg>& args) {
    if (fenceHolder.empty()) {
        return ExecuteTemplate(statementTemplate, args);
    }
    std::vector<Arg> fenced = args;
    fenced.insert(fenced.end(), {Arg::Text(LeaseProperty()), Arg::Text(fenceHolder),
                                 Arg::Int(static_cast<int>(fenceValue))});
    if (!ExecuteTemplate(statementTemplate +
                             " and exists (select 1 from qel_service_lease where resort='%s' and holder='%s' "
                             "and nvl(fence,0)=%d)",
                         fenced)) {
        return false;
    }
    if (!connection || connection->ChangedRows() != 0) {
        return true;
    }
    // Nothing changed: rows that are final already, or a lease that has passed to another service.
    LeaseRow row;
    if (!serviceLease.ReadRow(LeaseProperty(), row)) {
        return false;
    }
    if (row.holder == fenceHolder && row.fence == fenceValue) {
        return true;
    }
    ReportError("The lease of the property has passed to " + (row.holder.empty() ? "nobody" : row.holder) +
                ": this service writes no status");
    return false;
}

void COperaBase::ReleaseLease(const std::string& holder) {
    serviceLease.Give(LeaseProperty(), holder);
}

bool COperaBase::SaveFiscalResult(CFiscalCheck& check) {
    return qelFiscal.SaveFiscalResult(check);
}

bool COperaBase::SaveCheckNumber(int transactionNumber, const std::string& checkNumber) {
    return qelFiscal.SaveCheckNumber(transactionNumber, checkNumber);
}

void COperaBase::NoteBusinessDate(const std::string& text) {
    // The Czech queries give the sale's time ("2026-03-14T14:00:00+01:00") where the others give
    // "14.03.2026": one form for both, or every cycle that finds both kinds would take the
    // difference for a change of business date.
    std::string date = text.substr(0, 10);
    if (date.size() == 10 && date[4] == '-' && date[7] == '-') {
        date = date.substr(8, 2) + "." + date.substr(5, 2) + "." + date.substr(0, 4);
    }
    currentBusinessDate = date;
    if (previousBusinessDate.empty()) {
        previousBusinessDate = date;
    }
}

std::string COperaBase::EarlierDatesRule() const {
    if (settings.printerType == 10) {
        return "Earlier business dates: the Czech registration sends a sale of a closed day only when "
               "its rows are marked S; one left N needs the operator";
    }
    if (settings.earlierDays <= 0) {
        return "Earlier business dates: not taken up (earlier_days 0); a check left N or S on a closed "
               "day needs the operator";
    }
    return text::Format(
        "Earlier business dates: checks left N or S within %d days before the open business date are "
        "registered after the open date's checks, oldest first, each with its own business date",
        settings.earlierDays);
}

bool COperaBase::ReadOpenBusinessDate(std::string& date) {
    db::Recordset rows;
    if (!OpenTemplate(requestCheckNumber.templates[CRequestCheckNumber::OpenBusinessDate], {}, rows)) {
        return false;
    }
    if (rows.IsEOF()) {
        date.clear();
        return true;
    }
    requestCheckNumber.Read(rows);
    date = requestCheckNumber.Text(4);
    return true;
}

void COperaBase::CheckBusinessDate() {
    if (currentBusinessDate.empty() || previousBusinessDate.empty() ||
        currentBusinessDate == previousBusinessDate) {
        return;
    }
    WriteLog("Business date was changed. Clear old transactions.");
    if (qelFiscal.ClearHistory(settings.historyDays)) {
        WriteLog("Completed");
    }
    previousBusinessDate.clear();
    closedToday = {};
    Close();
    platform::Clock::Current().Sleep(kBusinessDatePauseMs);
}

int COperaBase::GetPrinterCode(int pmsCode, const std::string& description) {
    using Codes = CMicrosCodeConvertion;
    db::Recordset rows;
    if (!OpenTemplate(codeConvertion.templates[Codes::SelectCode], {Arg::Int(pmsCode)}, rows)) {
        return 0;
    }
    if (!rows.IsEOF()) {
        codeConvertion.Read(rows);
        if (codeConvertion.IsPresent(1)) {
            return codeConvertion.Integer(1);
        }
    }
    if (!OpenTemplate(codeConvertion.templates[Codes::SelectMaxCode], {}, rows)) {
        return 0;
    }
    int highest = 1;
    if (!rows.IsEOF()) {
        codeConvertion.Read(rows);
        if (codeConvertion.IsPresent(1) && codeConvertion.Integer(1) != 0) {
            highest = codeConvertion.Integer(1);
        }
    }
    int code = highest + 1;
    if (!ExecuteTemplate(codeConvertion.templates[Codes::InsertCode],
                         {Arg::Int(pmsCode), Arg::Int(code), Arg::Text(description)})) {
        return 0;
    }
    return code;
}

bool COperaBase::NoteReturnedSale(CFiscalCheck& check, size_t salePayments, CQELFiscal::Template returnsOfSale) {
    check.returnedSaleTotal = 0;
    for (size_t i = salePayments; i < check.payments.size(); ++i) {
        check.returnedSaleTotal += check.payments[i].quantity * check.payments[i].BaseAmount();
    }
    check.earlierReturn.clear();
    db::Recordset rows;
    std::string bill = check.checkNumber.empty() ? "0" : check.checkNumber;
    if (!OpenTemplate(qelFiscal.templates[returnsOfSale], {Arg::Field(check.groupName), Arg::Number(bill)}, rows)) {
        WriteLog("Request error. Returns of sale " + check.groupName + " not read.");
        return false;
    }
    if (!rows.IsEOF()) {
        qelFiscal.Read(rows);
        check.earlierReturn = qelFiscal.Text(1);
        WriteLog(text::Format("Sale %s was returned by bill %s (fiscal number %s)", check.groupName.c_str(),
                              check.earlierReturn.c_str(), qelFiscal.Text(2).c_str()));
    }
    return true;
}

