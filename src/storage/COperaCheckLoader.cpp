#include "storage/COperaCheckLoader.h"

#include <algorithm>
#include <utility>

#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

using sqlformat::Arg;
using Row = CRecPayment;

namespace {

bool Contains(const std::vector<int>& codes, int code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// A wide text cut to the size of a line's wide description.
std::u16string LimitWide(std::u16string wide) {
    if (wide.size() > struct_posting::kWideDescriptionSize) {
        wide.resize(struct_posting::kWideDescriptionSize);
    }
    return wide;
}

}  // namespace

// --- helpers ---

bool COperaCheckLoader::IsBillPaymentCode(int code) const {
    return IsPaymentCode(code) || Contains(onlineDepositCodes, code) ||
           (settings.payMaster && code == settings.payMasterCode);
}

void COperaCheckLoader::SetFieldFrom(CFiscalCheck& check, int field, size_t column) {
    if (recPayment.IsPresent(column)) {
        check.SetField(field, recPayment.Text(column));
    }
}

void COperaCheckLoader::SetIntegerFieldFrom(CFiscalCheck& check, int field, size_t column) {
    if (recPayment.IsPresent(column)) {
        check.SetFieldInt(field, recPayment.Integer(column));
    }
}

// --- bills ---

bool COperaCheckLoader::LoadBill(CFiscalCheck& check, const std::string& bill, int postit) {
    std::string statement = recPayment.templates[Row::TransactionsOfBill];
    if (!settings.udfName.empty()) {
        statement = CRecPayment::WithUserField(statement, settings.udfName);
    }
    if (postit != 0) {
        statement = CRecPayment::ForPostit(statement, postit);
    }
    db::Recordset rows;
    if (!OpenTemplate(statement, {Arg::Text(settings.languageCode), Arg::Number(bill)}, rows)) {
        return false;
    }
    if (rows.IsEOF()) {
        WriteLog("Bill " + bill + " has no transactions");
        return false;
    }
    check.SetStatusCode(kBillCheck);
    ReadCustomer(check, bill);
    splitUnread = false;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        recPayment.Read(rows);
        LoadRow(check);
    }
    if (splitUnread) {
        // A split part whose origin could not be read might be registered already.
        WriteLog("Bill " + bill + " waits: the payment a split part came from cannot be read");
        return false;
    }
    // The routing is decided by the window of the bill's first payment, known only now.
    if (!settings.companyRouting.empty()) {
        ReadCompanyRouting(check);
    }
    return true;
}

void COperaCheckLoader::ReadCustomer(CFiscalCheck& check, const std::string& bill) {
    std::string field = "tax1_no";
    if (!settings.companyRouting.empty()) {
        field = settings.companyRouting;
    } else if (!settings.taxUdfName.empty()) {
        field = settings.taxUdfName;
    }
    std::string statement =
        text::ReplaceAll(guestInfo.templates[CSelectGuestInfo::CustomerOfBill], "nam.UDFC20", "nam." + field);
    db::Recordset rows;
    if (!OpenTemplate(statement, {Arg::Number(bill)}, rows) || rows.IsEOF()) {
        return;
    }
    ReadPayer(rows, check);
}

void COperaCheckLoader::ReadPayer(const db::Recordset& rows, CFiscalCheck& check) {
    // Company, first name, last name, company tax number, company's second field.
    guestInfo.Read(rows);
    const int fields[] = {21, 19, 20, 18, 17};
    for (size_t i = 0; i < 5; ++i) {
        if (guestInfo.IsPresent(i + 1)) {
            check.SetField(fields[i], guestInfo.Text(i + 1));
        }
    }
}

// --- rows ---

bool COperaCheckLoader::LoadRow(CFiscalCheck& check) {
    struct_posting line;
    ConvertRow(line);
    CheckStatusCode kind = check.statusCode;
    if (kind == kBillCheck || kind == kReservationDeposits || kind == kDepositSettlement) {
        TakeBillLine(check, line);
        ReadCommonFields(check);
        return true;
    }
    TakePaymentLine(check, line);
    // The header first: a split part's inherited status is written for this check.
    ReadCommonFields(check);
    if (recPayment.IsPresent(Row::ReceiptNo)) {
        std::string inherited;
        if (!CheckSplit(line.reference, recPayment.Integer(Row::ReceiptNo), inherited)) {
            if (inherited.empty()) {
                // A lost database: the part is looked at again in the next cycle.
                return false;
            }
            std::optional<CheckStatusLetter> letter = ParseLetter(inherited);
            if (!RegisteredLetter(letter)) {
                // The payment Opera split was never registered: its parts are what is left of it,
                // each registered as a payment of its own (inheriting N, it would wait for ever).
                WriteLog(text::Format("Split part %d of an unregistered payment (%s): registered as a payment",
                                      line.trx_no, inherited.c_str()));
                return true;
            }
            WriteLog("Split check passed!");
            closedToday.Add(ClosedChecks::Why::Split);
            if (letter == CheckStatusLetter::Deposit) {
                check.SetStatusCode(kDepositCheck);
            }
            SetCheckStatus(check, *letter);
            return false;
        }
    }
    return true;
}

void COperaCheckLoader::TakePaymentLine(CFiscalCheck& check, struct_posting& line) {
    switch (check.statusCode) {
        case kCashLoan:
            // The second list (cash loans, drops) carries the opposite sign.
            line.trx_amount = -line.trx_amount;
            line.posted_amount = -line.posted_amount;
            line.net_amount = -line.net_amount;
            check.postings.push_back(line);
            check.payments.push_back(line);
            break;
        case kPayMasterCheck:
        case kDepositCheck:
        case kOtherDeposit:
            // The payment keeps its name; the line printed for it is named by the configuration.
            check.payments.push_back(line);
            line.description =
                check.statusCode == kPayMasterCheck ? settings.payMasterDescription : settings.depositDescription;
            check.postings.push_back(line);
            break;
        default:
            check.postings.push_back(line);
            check.payments.push_back(line);
            break;
    }
    SetFieldFrom(check, 6, Row::PrinterId);
    SetFieldFrom(check, 7, Row::ShiftNumber);
    check.SetPrintedFileName(recPayment.IsPresent(Row::StatusTitle) ? recPayment.Text(Row::StatusTitle) : "");
}

void COperaCheckLoader::TakeBillLine(CFiscalCheck& check, struct_posting& line) {
    std::string subtype = recPayment.Text(Row::Subtype);
    if (subtype.find("PK") != std::string::npos) {
        // A package component: the package step of composition folds it.
        line.excluded = true;
    }
    bool credit = subtype.find("FC") != std::string::npos;
    if (!IsBillPaymentCode(line.trx_code) && !credit) {
        int prepaymentView = configuration ? configuration->prepaymentView : 0;
        if (IsCodeMapCode(line.trx_code) && line.folio_view != prepaymentView) {
            // A prepayment posted in another window is paid already: it counts as a payment.
            line.trx_amount = -line.trx_amount;
            check.payments.push_back(line);
        } else {
            check.postings.push_back(line);
        }
        return;
    }
    check.room = line.room;
    if (settings.printerType == 10 && !recPayment.Text(Row::StatusTitle).empty()) {
        // What a Czech registration left on the bill (FIK or PKP, and BKP): sent again, the bill
        // is a repeated sending and keeps them, also when that sending fails and its data are
        // written back.
        check.SetPrintedFileName(recPayment.Text(Row::StatusTitle));
        SetFieldFrom(check, 6, Row::PrinterId);
        SetFieldFrom(check, 7, Row::ShiftNumber);
        // A payment registered on its own (a reinstated bill's) has codes of its own.
        line.status_title = recPayment.Text(Row::StatusTitle);
        line.status_shift = recPayment.IsPresent(Row::ShiftNumber) ? recPayment.Text(Row::ShiftNumber) : "";
        line.status_printer = recPayment.IsPresent(Row::PrinterId) ? recPayment.Text(Row::PrinterId) : "";
    }
    if (line.fisc_status.empty() && recPayment.IsPresent(Row::ReceiptNo)) {
        std::string inherited;
        if (!CheckSplit(line.reference, recPayment.Integer(Row::ReceiptNo), inherited)) {
            // A split part of a registered payment stays in the bill as registered.
            if (std::optional<CheckStatusLetter> letter = ParseLetter(inherited); RegisteredLetter(letter)) {
                SetTransactionStatus(line, *letter, check);
                line.SetLetter(*letter);
            }
            splitUnread = splitUnread || inherited.empty();
        }
    }
    check.payments.push_back(line);
}

void COperaCheckLoader::ReadCommonFields(CFiscalCheck& check) {
    SetFieldFrom(check, 13, Row::Machine);
    SetIntegerFieldFrom(check, 9, Row::CashierId);
    SetFieldFrom(check, 10, Row::CashierTitle);
    SetFieldFrom(check, 11, Row::CashierPosition);
    SetFieldFrom(check, 12, Row::CashierTaxId);
    if (settings.printerType == 7 && !recPayment.Text(Row::CashierName).empty()) {
        check.SetField(10, recPayment.Text(Row::CashierName));
    }
    SetFieldFrom(check, 3, Row::ConfirmationNo);
    SetIntegerFieldFrom(check, 4, Row::ReservationId);
    SetFieldFrom(check, 5, Row::Room);
    SetIntegerFieldFrom(check, 1, Row::BillNo);
    SetIntegerFieldFrom(check, 2, Row::ReceiptNo);
    SetFieldFrom(check, 15, Row::ReinstateDate);
}

bool COperaCheckLoader::CheckSplit(const std::string& reference, int receipt, std::string& inherited) {
    inherited.clear();
    if (reference.find("Split") == std::string::npos && reference.find("SPLIT") == std::string::npos) {
        return true;
    }
    // The newest payment of the receipt that Opera deleted when it split it, with its status.
    db::Recordset rows;
    if (!OpenTemplate(qelFiscal.templates[CQELFiscal::SplitOriginOpera], {Arg::Int(receipt)}, rows)) {
        // Whether the payment it came from was registered is unknown: not now (no letter).
        return false;
    }
    if (rows.IsEOF()) {
        return true;
    }
    qelFiscal.Read(rows);
    if (!qelFiscal.IsPresent(1) || !qelFiscal.IsPresent(2) || qelFiscal.Text(2).empty()) {
        return true;
    }
    const std::string& status = qelFiscal.Text(2);
    if (qelFiscal.Text(1) == DateOfLoads() || RegisteredLetter(ParseLetter(status))) {
        inherited = status;
        return false;
    }
    return true;
}

// --- conversion of a row ---

void COperaCheckLoader::ConvertRow(struct_posting& line) {
    const CRecPayment& r = recPayment;
    auto present = [&r](size_t column) { return r.IsPresent(column); };
    if (present(Row::TrxNo))
        line.trx_no = r.Integer(Row::TrxNo);
    if (present(Row::Room))
        line.room = r.Text(Row::Room);
    if (present(Row::TrxCode))
        line.trx_code = text::ToInt(r.Text(Row::TrxCode));
    line.description =
        !r.Text(Row::LocalDescription).empty() ? r.Text(Row::LocalDescription) : r.Text(Row::CodeDescription);
    if (present(Row::TrxAmount))
        line.trx_amount = r.Double(Row::TrxAmount);
    if (present(Row::PostedAmount))
        line.posted_amount = r.Double(Row::PostedAmount);
    if (present(Row::NetAmount))
        line.net_amount = r.Double(Row::NetAmount);
    if (present(Row::ExchangeRate))
        line.exchange_rate = r.Double(Row::ExchangeRate);
    if (present(Row::ReceiptNo))
        line.recpt_no = text::Format("%d", r.Integer(Row::ReceiptNo));
    if (present(Row::AddedBy))
        line.added_by = r.Integer(Row::AddedBy);
    if (r.Text(Row::TaxInclusive) == "Y")
        line.tax_included = true;
    if (present(Row::CashierId))
        line.cashier_id = text::Format("%d", r.Integer(Row::CashierId));
    if (present(Row::PricePerUnit))
        line.price_per_unit = r.Double(Row::PricePerUnit);
    if (present(Row::PackageLink))
        line.package_link = r.Integer(Row::PackageLink);
    if (present(Row::Reference))
        line.reference = r.Text(Row::Reference);
    if (present(Row::FiscStatus))
        line.fisc_status = r.Text(Row::FiscStatus);
    if (present(Row::BusinessDate))
        line.business_date = r.Text(Row::BusinessDate);
    if (present(Row::HeaderTrxNo))
        line.deposit_flag = r.Integer(Row::HeaderTrxNo);
    if (present(Row::GuestAccountDebit))
        line.guest_account_debit = r.Double(Row::GuestAccountDebit);
    if (present(Row::Product))
        line.product = r.Text(Row::Product);
    if (present(Row::ChequeNumber))
        line.cheque_number = r.Text(Row::ChequeNumber);
    if (present(Row::FolioView))
        line.folio_view = r.Integer(Row::FolioView);
    if (present(Row::AdjustmentCode))
        line.adj_trx_code = text::ToInt(r.Text(Row::AdjustmentCode));
    line.bill_no = present(Row::StatusBillNo) ? r.Integer(Row::StatusBillNo) : 0;
    if (present(Row::TaxType))
        line.tax_type = r.Text(Row::TaxType);
    if (present(Row::ChangeDue))
        line.change_due = r.Double(Row::ChangeDue);
    if (present(Row::Quantity))
        line.quantity = r.Double(Row::Quantity);
    if (present(Row::StatusMachine))
        line.machine = r.Text(Row::StatusMachine);

    // Currency.
    std::string currency = present(Row::Currency) ? r.Text(Row::Currency) : "";
    if (settings.currencyConversion && !currency.empty()) {
        if (currency == settings.convertCurrency) {
            // Posted in the currency the checks are made in: the posted amount is the amount.
            std::swap(line.trx_amount, line.posted_amount);
            line.exchange_rate = 1.0;
        } else {
            double rate = 0;
            if (SelectExchangeRate(rate)) {
                line.exchange_rate = rate;
            }
        }
    } else if (!settings.currencyConversion && !settings.paymentCurrency.empty() && !currency.empty()) {
        line.currency = currency;
        // Only a currency named from the setting's second character keeps its amounts.
        if (settings.paymentCurrency.find(currency) != 1) {
            std::swap(line.trx_amount, line.posted_amount);
        }
    }

    // Article.
    if (present(Row::ArticleCode) && present(Row::ArticleDescription)) {
        line.article_code = r.Integer(Row::ArticleCode);
        line.article_description = r.Text(Row::ArticleDescription);
    }

    ConvertNames(line, present(Row::ReservationId) ? r.Integer(Row::ReservationId) : 0);
}

void COperaCheckLoader::ConvertNames(struct_posting& line, int reservation) {
    const auto& descriptions = postConverter.descriptions;
    const auto& categories = postConverter.categories;
    std::string key = text::Format("%d", line.trx_code);
    bool converted = false;
    if (!descriptions.empty() && includeRoomRate &&
        std::find(settings.roomRateCodes.begin(), settings.roomRateCodes.end(), line.trx_code) !=
            settings.roomRateCodes.end()) {
        std::string label;
        std::string rateCode;
        db::Recordset rows;
        std::vector<Arg> args = {Arg::Int(reservation), Arg::Text(line.business_date)};
        if (OpenTemplate(roomRequest.templates[CRoomRequest::RoomCategoryOfReservationDay], args, rows) &&
            !rows.IsEOF()) {
            roomRequest.Read(rows);
            label = roomRequest.Text(2);
        }
        if (OpenTemplate(roomRequest.templates[CRoomRequest::RateOfReservationDay], args, rows) &&
            !rows.IsEOF()) {
            roomRequest.Read(rows);
            rateCode = roomRequest.Text(2);
        }
        if (!label.empty()) {
            line.rate_code = label + rateCode;
            WriteLog("Description convert " + label);
            auto found = descriptions.find(label);
            if (found != descriptions.end()) {
                line.w_description = LimitWide(found->second + platform::CodePageToUtf16(rateCode, "1251"));
                converted = true;
            }
        }
    }
    if (!converted && !descriptions.empty()) {
        auto found = descriptions.find(key);
        if (found != descriptions.end()) {
            line.w_description = LimitWide(found->second);
        }
        WriteLog("Description convert " + key + (found != descriptions.end() ? " Y" : ""));
    }
    if (!categories.empty()) {
        auto found = categories.find(key);
        if (found != categories.end()) {
            line.category = found->second;
        }
        WriteLog("Category convert " + key + (found != categories.end() ? " Y" : ""));
    }
}

// --- side queries ---

void COperaCheckLoader::ReadCustomerData(std::vector<CFiscalCheck>& checks) {
    WriteLog("Read customer info");
    for (CFiscalCheck& check : checks) {
        std::string reservation = check.GetField(4);
        WriteLog("Reservation: " + reservation);
        if (!sqlformat::IsNumber(reservation)) {
            continue;
        }
        db::Recordset rows;
        if (!OpenTemplate(roomRequest.templates[CRoomRequest::GuestWebPage], {Arg::Number(reservation)},
                          rows) ||
            rows.IsEOF()) {
            continue;
        }
        roomRequest.Read(rows);
        if (roomRequest.IsPresent(2)) {
            check.SetField(24, roomRequest.Text(2));
            WriteLog("Phone / Email:" + roomRequest.Text(2));
        }
    }
}

void COperaCheckLoader::ReadCashier(CFiscalCheck& check) {
    WriteLog("Read cashier info");
    db::Recordset rows;
    if (!OpenTemplate(guestInfo.templates[CSelectGuestInfo::CashierOfBill], {Arg::Number(check.GetField(1))},
                      rows) ||
        rows.IsEOF()) {
        return;
    }
    guestInfo.Read(rows);
    for (int field = 10; field <= 12; ++field) {
        // Columns 2 to 4: name, position (the query's default "Cashier"), tax number.
        size_t column = static_cast<size_t>(field - 8);
        if (guestInfo.IsPresent(column)) {
            check.SetField(field, guestInfo.Text(column));
        }
    }
}

void COperaCheckLoader::ReadCompanyRouting(CFiscalCheck& check) {
    WriteLog("Check company routing");
    int window = check.payments.empty() ? 0 : check.payments[0].folio_view;
    if (window == 1) {
        WriteLog(check.companyName.empty() ? "Personal folio view 1" : "Company folio view 1");
        return;
    }
    WriteLog("Personal folio other view");
    if (!sqlformat::IsNumber(check.reservationId)) {
        return;
    }
    db::Recordset rows;
    if (!OpenTemplate(guestInfo.templates[CSelectGuestInfo::CompanyRouting],
                      {Arg::Number(check.reservationId), Arg::Int(window)}, rows) ||
        rows.IsEOF()) {
        return;
    }
    ReadPayer(rows, check);
}

bool COperaCheckLoader::SelectExchangeRate(double& rate) {
    db::Recordset rows;
    if (!OpenTemplate(exchangeRate.templates[CSelectExchangeRate::ExchangeRate], {Arg::Text(settings.resort)},
                      rows) ||
        rows.IsEOF()) {
        return false;
    }
    exchangeRate.Read(rows);
    if (!exchangeRate.IsPresent(1)) {
        return false;
    }
    rate = exchangeRate.Double(1);
    return true;
}

bool COperaCheckLoader::WindowBalance(int trxNo, double& balance) {
    db::Recordset rows;
    if (!OpenTemplate(exchangeRate.templates[CSelectExchangeRate::WindowBalance], {Arg::Int(trxNo)}, rows) ||
        rows.IsEOF()) {
        return false;
    }
    exchangeRate.Read(rows);
    balance = exchangeRate.IsPresent(1) ? exchangeRate.Double(1) : 0;
    return true;
}
