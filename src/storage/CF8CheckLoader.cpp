#include "storage/CF8CheckLoader.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

using sqlformat::Arg;
using Row = CFidelio8Folio;

namespace {

// A tax line: its link becomes its number, and its posting is found through it.
constexpr int kTaxLine = 2;
constexpr int kTaxLineType = 5;

std::u16string LimitWide(std::u16string wide) {
    if (wide.size() > struct_posting::kWideDescriptionSize) {
        wide.resize(struct_posting::kWideDescriptionSize);
    }
    return wide;
}

}  // namespace

std::vector<std::string*> CF8CheckLoader::AllTemplates() {
    std::vector<std::string*> all = COperaBase::AllTemplates();
    for (std::string& t : folio.templates) {
        all.push_back(&t);
    }
    return all;
}

std::string CF8CheckLoader::DetailTemplate(CFidelio8Folio::Template which) const {
    const std::string& statement = folio.templates[which];
    return accountAsStation ? CFidelio8Folio::WithAccount(statement, folio.templates[Row::AccountFragment])
                            : statement;
}

void CF8CheckLoader::SetFieldFrom(CFiscalCheck& check, int field, size_t column) {
    if (folio.IsPresent(column)) {
        check.SetField(field, folio.Text(column));
    }
}

void CF8CheckLoader::SetIntegerFieldFrom(CFiscalCheck& check, int field, size_t column) {
    if (folio.IsPresent(column)) {
        check.SetFieldInt(field, folio.Integer(column));
    }
}

void CF8CheckLoader::ReadHeaderFields(CFiscalCheck& check) {
    SetFieldFrom(check, 5, Row::Facility);
    SetFieldFrom(check, 13, Row::Workstation);
    SetIntegerFieldFrom(check, 9, Row::CashierNumber);
    SetFieldFrom(check, 10, Row::CashierName);
    SetFieldFrom(check, 11, Row::CashierTitle);
    SetFieldFrom(check, 12, Row::CashierTaxId);
    SetFieldFrom(check, 6, Row::PrinterId);
    SetFieldFrom(check, 7, Row::ShiftNumber);
    if (folio.IsPresent(Row::StatusTitle)) {
        check.SetPrintedFileName(folio.Text(Row::StatusTitle));
    }
    SetIntegerFieldFrom(check, 23, Row::ProfileId);
}

// --- a row as a line ---

void CF8CheckLoader::ConvertRow(struct_posting& line) {
    line.Clear();
    const CFidelio8Folio& r = folio;
    auto present = [&r](size_t column) { return r.IsPresent(column); };
    if (present(Row::PosId))
        line.trx_no = r.Integer(Row::PosId);
    if (present(Row::Department))
        line.trx_code = r.Integer(Row::Department);
    line.description = present(Row::FolioText) ? r.Text(Row::FolioText) : r.Text(Row::Descript);
    if (!r.Text(Row::Translation).empty())
        line.description = r.Text(Row::Translation);
    if (present(Row::UnitPrice)) {
        line.trx_amount = r.Double(Row::UnitPrice);
        line.price_per_unit = line.trx_amount;
        line.net_amount = line.trx_amount;
    }
    if (present(Row::Quantity))
        line.quantity = r.Integer(Row::Quantity);
    if (present(Row::ExchangeRate) && settings.currencyConversion)
        line.exchange_rate = r.Double(Row::ExchangeRate);
    if (present(Row::CashierNumber))
        line.cashier_id = text::Format("%d", r.Integer(Row::CashierNumber));
    if (present(Row::PostDate))
        line.business_date = r.Text(Row::PostDate);
    if (present(Row::Comment))
        line.reference = r.Text(Row::Comment);
    if (present(Row::FiscStatus))
        line.fisc_status = r.Text(Row::FiscStatus);
    if (present(Row::TaxLink)) {
        if (r.Integer(Row::Kind) == kTaxLine && present(Row::Kind)) {
            line.trx_no = r.Integer(Row::TaxLink);
            line.line_type = kTaxLineType;
        } else {
            line.added_by = r.Integer(Row::TaxLink);
        }
    }
    if (present(Row::LedgerStatus))
        line.deposit_flag = r.Integer(Row::LedgerStatus);
    if (present(Row::ForeignPrice))
        line.posted_amount = r.Double(Row::ForeignPrice);
    if (present(Row::Facility)) {
        line.room = r.Text(Row::Facility);
        if (!FullCheckMode() && present(Row::GrossForeignPrice)) {
            line.trx_amount = r.Double(Row::GrossForeignPrice);
            line.net_amount = line.trx_amount;
        }
    }
    if (present(Row::Attempt))
        line.pos_number = r.Integer(Row::Attempt);
    if (present(Row::PosCheckId)) {
        line.cheque_number = text::Format("%d", r.Integer(Row::PosCheckId));
        line.pos_flag = true;
    } else if (present(Row::PosCheckNumber)) {
        line.cheque_number = r.Text(Row::PosCheckNumber);
    }
    if (present(Row::SumUpAmount))
        line.pos_amount = r.Double(Row::SumUpAmount);
    if (present(Row::ArticleCode) && present(Row::ArticleDescription)) {
        line.article_code = r.Integer(Row::ArticleCode);
        line.article_description = r.Text(Row::ArticleDescription);
    }
    if (present(Row::Window))
        line.folio_view = r.Integer(Row::Window);
    line.bill_no = present(Row::StatusBillNo) ? r.Integer(Row::StatusBillNo) : 0;

    // Currency: a posting in another currency than the base one is taken at its foreign price.
    if (!settings.baseCurrency.empty() && present(Row::Currency)) {
        line.currency = r.Text(Row::Currency);
        if (line.currency != settings.baseCurrency) {
            line.trx_amount = r.Double(Row::ForeignPrice);
            line.net_amount = line.trx_amount;
            line.posted_amount = r.Double(Row::UnitPrice);
        }
    }
    ConvertNames(line);
    if (present(Row::Deposit) && r.Integer(Row::Deposit) == 1)
        line.printed = true;
}

void CF8CheckLoader::ConvertNames(struct_posting& line) {
    const auto& descriptions = postConverter.descriptions;
    std::string key = text::Format("%d", line.trx_code);
    if (!descriptions.empty()) {
        auto found = descriptions.find(key);
        if (found != descriptions.end()) {
            line.w_description = LimitWide(found->second);
        }
        bool roomRate =
            includeRoomRate && std::find(settings.roomRateCodes.begin(), settings.roomRateCodes.end(),
                                         line.trx_code) != settings.roomRateCodes.end();
        if (roomRate) {
            // Read with the row's own number: a tax line's number is its link.
            std::string category, guests, rate;
            ReadRateTexts(folio.Integer(Row::PosId), category, guests, rate);
            if (!category.empty()) {
                line.rate_code = category;
                auto converted = descriptions.find(category);
                if (converted != descriptions.end()) {
                    line.w_description = LimitWide(line.w_description + u" " + converted->second);
                    line.rate_code.clear();
                }
            }
            line.rate_code += guests + rate;
        }
    }
    auto category = postConverter.categories.find(key);
    if (category != postConverter.categories.end()) {
        line.category = category->second;
    }
}

bool CF8CheckLoader::ReadRoomRow(CRoomRequest::Template which, const std::vector<Arg>& args) {
    db::Recordset rows;
    if (!OpenTemplate(roomRequest.templates[which], args, rows) || rows.IsEOF()) {
        return false;
    }
    roomRequest.Read(rows);
    return true;
}

void CF8CheckLoader::ReadRateTexts(int postingId, std::string& category, std::string& guests,
                                   std::string& rate) {
    if (ReadRoomRow(CRoomRequest::RoomCategory, {Arg::Int(postingId), Arg::Int(postingId)})) {
        category = roomRequest.Text(2);
    }
    if (ReadRoomRow(CRoomRequest::GuestCount, {Arg::Text(settings.extraBedCode), Arg::Int(postingId)})) {
        guests = text::Format(" %d", roomRequest.Integer(1));
        if (roomRequest.IsPresent(2)) {
            guests += " / " + roomRequest.Text(2);
        }
    }
    if (ReadRoomRow(CRoomRequest::RateOfPosting, {Arg::Int(postingId), Arg::Int(postingId)})) {
        rate = roomRequest.Text(2);
    }
}

// --- an invoice ---

bool CF8CheckLoader::LoadInvoice(CFiscalCheck& check, const std::string& invoice, std::optional<int> series,
                                 bool payMaster) {
    db::Recordset rows;
    bool opened =
        series
            ? OpenTemplate(
                  DetailTemplate(Row::InvoicePostingsByNumber),
                  {Arg::Number(invoice), Arg::Int(*series), Arg::NumberOrNull(settings.languageCode)}, rows)
            : OpenTemplate(DetailTemplate(Row::InvoicePostingsById),
                           {Arg::Number(invoice), Arg::NumberOrNull(settings.languageCode)}, rows);
    if (!opened) {
        return false;
    }
    int prepaymentView = configuration ? configuration->prepaymentView : 0;
    std::vector<struct_posting> postings;
    std::vector<struct_posting> payments;
    std::map<int32_t, int> splitOf;  // payment trx_no → its manual split
    std::set<int32_t> earlier;       // numbers of the postings read so far
    bool any = false;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        folio.Read(rows);
        if (!folio.IsPresent(Row::Kind)) {
            continue;
        }
        any = true;
        struct_posting line;
        ConvertRow(line);
        int kind = folio.Integer(Row::Kind);
        if (payMaster && (line.deposit_flag == 1 || line.deposit_flag == 2) && IsPaymentCode(line.trx_code) &&
            check.depositTemplate.trx_code != 0) {
            line.trx_code = check.depositTemplate.trx_code;
        }
        int32_t internalSplit = folio.Integer(Row::InternalSplit);
        if (folio.IsPresent(Row::InternalSplit) && internalSplit != line.trx_no && kind != kTaxLine &&
            kind != kTaxLineType && earlier.count(internalSplit)) {
            // A part of a package: the posting it was split from is on this invoice.
            line.package_link = internalSplit;
        }
        earlier.insert(line.trx_no);
        if (folio.IsPresent(Row::ManualSplit)) {
            splitOf[line.trx_no] = folio.Integer(Row::ManualSplit);
        }
        if (IsPaymentCode(line.trx_code)) {
            if (folio.IsPresent(Row::StatusMachine)) {
                line.machine = folio.Text(Row::StatusMachine);
                WriteLog("Saved station " + line.machine);
            }
            payments.push_back(line);
            SetFieldFrom(check, 13, Row::Workstation);
            SetIntegerFieldFrom(check, 9, Row::CashierNumber);
            SetFieldFrom(check, 10, Row::CashierName);
            SetFieldFrom(check, 11, Row::CashierTitle);
            SetFieldFrom(check, 12, Row::CashierTaxId);
        } else if (IsCodeMapCode(line.trx_code) && line.folio_view != prepaymentView) {
            // A prepayment posted in another window pays this invoice.
            line.trx_amount = -line.trx_amount;
            payments.push_back(line);
        } else {
            postings.push_back(line);
        }
        SetFieldFrom(check, 6, Row::PrinterId);
        SetFieldFrom(check, 7, Row::ShiftNumber);
        if (folio.IsPresent(Row::StatusTitle)) {
            check.SetPrintedFileName(folio.Text(Row::StatusTitle));
        }
        SetIntegerFieldFrom(check, 23, Row::ProfileId);
    }
    LinkTaxes(postings);
    for (struct_posting& payment : payments) {
        auto split = splitOf.find(payment.trx_no);
        if (split == splitOf.end()) {
            continue;
        }
        WriteLog("Check split payment");
        std::map<int32_t, CheckStatusLetter> settled = SettleSplit(split->second);
        for (struct_posting& line : payments) {
            auto row = settled.find(line.trx_no);
            if (row != settled.end()) {
                line.SetLetter(row->second);
            }
        }
    }
    if (any) {
        if (!postings.empty()) {
            check.postings = postings;
        }
        if (!payments.empty()) {
            check.payments = payments;
        }
    }
    return true;
}

void CF8CheckLoader::DropRegisteredPayments(CFiscalCheck& check) {
    // A payment registered already (a part of a split that was fiscalised) is never registered
    // again: the invoice goes on without it, and its amounts then tell the operator to close it.
    std::vector<struct_posting> due;
    for (const struct_posting& payment : check.payments) {
        if (payment.HasLetter(CheckStatusLetter::Registered)) {
            WriteLog(text::Format("Payment %d of invoice %s is fiscalised already", payment.trx_no,
                                  check.checkNumber.c_str()));
        } else {
            due.push_back(payment);
        }
    }
    check.payments = due;
}

void CF8CheckLoader::LinkTaxes(std::vector<struct_posting>& postings) {
    // A posting names its tax line through the link both carry; the tax line is then the one
    // added by the posting, and the posting takes the tax line's code as its tax.
    for (struct_posting& r : postings) {
        if (r.added_by == 0 || r.line_type == kTaxLineType) {
            continue;
        }
        for (struct_posting& s : postings) {
            if (&s != &r && s.trx_no == r.added_by) {
                s.added_by = r.trx_no;
                s.tax_included = false;
                r.code_number = s.trx_code;
                r.added_by = 0;
                break;
            }
        }
    }
}

std::map<int32_t, CheckStatusLetter> CF8CheckLoader::SettleSplit(int splitId) {
    std::map<int32_t, CheckStatusLetter> settled;
    db::Recordset rows;
    if (!OpenTemplate(qelFiscal.templates[CQELFiscal::SplitPartsSuite8], {Arg::Int(splitId)}, rows)) {
        return settled;
    }
    std::string status;
    std::vector<int> unregistered;
    std::map<int, std::string> postedOn;  // the parts without a row, by their posting date
    std::set<std::string> registeredOn;   // the dates of the parts registered (Y)
    for (; !rows.IsEOF(); rows.MoveNext()) {
        qelFiscal.Read(rows);
        if (qelFiscal.IsPresent(2) && !qelFiscal.Text(2).empty()) {
            if (status.empty()) {
                status = qelFiscal.Text(2);
            }
            if (ParseLetter(qelFiscal.Text(2)) == CheckStatusLetter::Registered) {
                registeredOn.insert(qelFiscal.Text(1));
            }
        } else if (qelFiscal.IsPresent(3)) {
            unregistered.push_back(qelFiscal.Integer(3));
            postedOn[qelFiscal.Integer(3)] = qelFiscal.Text(1);
        }
    }
    if (status.empty()) {
        WriteLog("Unknown original status");
        return settled;
    }
    WriteLog("Original status: " + status);
    std::optional<CheckStatusLetter> original = ParseLetter(status);  // the text is in the log line above
    if (original != CheckStatusLetter::Deposit) {
        // A payment registered on an earlier day and split afterwards: its parts are that
        // registration, never offered again. (Parts of one day are each registered with their
        // invoice.)
        for (int posting : unregistered) {
            bool earlier = std::any_of(registeredOn.begin(), registeredOn.end(),
                                       [&](const std::string& date) { return date != postedOn[posting]; });
            if (earlier && InsertSplitPart(posting, CheckStatusLetter::Registered)) {
                WriteLog("Splited payment");
                closedToday.Add(ClosedChecks::Why::Split);
                settled[posting] = CheckStatusLetter::Registered;
            }
        }
        return settled;
    }
    // A split of a deposit fiscalised as such: the parts without a row are that deposit too, and
    // the invoice that consumes them makes them D until then.
    for (int posting : unregistered) {
        if (InsertSplitPart(posting, *original)) {
            settled[posting] = *original;
        }
    }
    return settled;
}

bool CF8CheckLoader::InsertSplitPart(int posting, CheckStatusLetter status) {
    db::Recordset rows;
    if (!OpenTemplate(folio.templates[Row::SinglePosting], {Arg::Int(posting)}, rows) || rows.IsEOF()) {
        return false;
    }
    folio.Read(rows);
    struct_posting line;
    ConvertRow(line);
    // Empty room, receipt, folio, bill and workstation, attempt 0, no reference.
    CQELFiscal::RowValues values;
    values.trxNo = folio.Integer(Row::PosId);
    values.trxCode = line.trx_code;
    values.description = line.description;
    values.amount = line.trx_amount;
    values.cashier = line.cashier_id;
    values.status = status;
    values.businessDate = line.business_date;
    if (!qelFiscal.InsertRow(values, false)) {
        return false;
    }
    WriteLog(text::Format("Set status for %d to %s", values.trxNo, LetterText(status).c_str()));
    return true;
}

// --- split parts and window balances ---

bool CF8CheckLoader::CheckSplit(CFiscalCheck& check, int splitId) {
    db::Recordset rows;
    if (!OpenTemplate(qelFiscal.templates[CQELFiscal::SplitOriginSuite8], {Arg::Int(splitId)}, rows)) {
        return false;
    }
    for (; !rows.IsEOF(); rows.MoveNext()) {
        qelFiscal.Read(rows);
        if (RegisteredLetter(ParseLetter(qelFiscal.Text(2)))) {
            WriteLog("Splited payment");
            closedToday.Add(ClosedChecks::Why::Split);
            SetCheckStatus(check, CheckStatusLetter::Registered);
            return true;
        }
    }
    return false;
}

bool CF8CheckLoader::WindowBalance(int postingId) {
    db::Recordset rows;
    if (!OpenTemplate(exchangeRate.templates[CSelectExchangeRate::WindowBalanceSuite8], {Arg::Int(postingId)},
                      rows) ||
        rows.IsEOF()) {
        return false;
    }
    exchangeRate.Read(rows);
    double balance = exchangeRate.IsPresent(1) ? exchangeRate.Double(1) : 0;
    WriteLog(text::Format("Window balance for zpos_id %d = %.2f", postingId, balance));
    return std::fabs(balance) >= 0.005;
}

// --- side reads ---

namespace {

int LastPayment(const CFiscalCheck& check) {
    return check.payments.empty() ? 0 : check.payments.back().trx_no;
}

}  // namespace

void CF8CheckLoader::SetRoomField(CFiscalCheck& check, int field, size_t column) {
    if (roomRequest.IsPresent(column)) {
        check.SetField(field, roomRequest.Text(column));
    }
}

void CF8CheckLoader::ReadRoomAndFolio(std::vector<CFiscalCheck>& checks) {
    WriteLog("Read room and folio_number");
    for (CFiscalCheck& check : checks) {
        int posting = LastPayment(check);
        if (ReadRoomRow(CRoomRequest::RoomOfPosting, {Arg::Int(posting), Arg::Int(posting)})) {
            SetRoomField(check, 5, 2);
            if (roomRequest.IsPresent(1)) {
                check.SetFieldInt(3, roomRequest.Integer(1));
            }
        }
    }
}

void CF8CheckLoader::ReadRoomCategory(std::vector<CFiscalCheck>& checks) {
    WriteLog("Read room for short check");
    for (CFiscalCheck& check : checks) {
        int posting = LastPayment(check);
        if (ReadRoomRow(CRoomRequest::RoomCategoryOfReservation, {Arg::Int(posting), Arg::Int(posting)})) {
            SetRoomField(check, 16, 2);
        }
    }
}

void CF8CheckLoader::ReadAccountCategory(std::vector<CFiscalCheck>& checks) {
    WriteLog("Read YCAD_ID");
    for (CFiscalCheck& check : checks) {
        if (ReadRoomRow(CRoomRequest::AccountCategory, {Arg::Int(LastPayment(check))})) {
            SetRoomField(check, 16, 2);
        }
    }
}

void CF8CheckLoader::ReadCustomerData(std::vector<CFiscalCheck>& checks) {
    if (!settings.sendCustomerInfo) {
        return;
    }
    WriteLog("Read customer info");
    for (CFiscalCheck& check : checks) {
        WriteLog("Profile: " + check.profileId);
        if (!sqlformat::IsNumber(check.profileId)) {
            continue;
        }
        if (!customerEmailType.empty() &&
            ReadRoomRow(CRoomRequest::CustomerAttributes,
                        {Arg::Number(check.profileId), Arg::Number(customerEmailType)}) &&
            roomRequest.IsPresent(3)) {
            check.SetField(24, roomRequest.Text(3));
            WriteLog("Email: " + check.email);
        }
        if (!customerNumberType.empty() &&
            ReadRoomRow(CRoomRequest::CustomerAttributes,
                        {Arg::Number(check.profileId), Arg::Number(customerNumberType)}) &&
            roomRequest.IsPresent(3)) {
            check.SetField(25, roomRequest.Text(3));
            WriteLog("Phone: " + check.phone);
        }
    }
}

void CF8CheckLoader::ReadArInvoice(std::vector<CFiscalCheck>& checks) {
    WriteLog("Read zinv number for AR payment");
    for (CFiscalCheck& check : checks) {
        WriteLog("Check: " + check.checkNumber);
        if (ReadRoomRow(CRoomRequest::InvoiceOfArPayment, {Arg::Int(LastPayment(check))}) &&
            roomRequest.IsPresent(2)) {
            check.SetField(3, roomRequest.Text(2));
            WriteLog("Invoice: " + check.folioNumber);
        }
    }
}

void CF8CheckLoader::ReadInvoiceCashier(int invoiceId, CFiscalCheck& check) {
    WriteLog("Read cashier info");
    db::Recordset rows;
    if (!OpenTemplate(guestInfo.templates[CSelectGuestInfo::InvoiceCashier], {Arg::Int(invoiceId)},
                      rows) ||
        rows.IsEOF()) {
        return;
    }
    guestInfo.Read(rows);
    // Cashier number, name, position, tax number; the buyer's name and tax number.
    const std::pair<size_t, int> columns[] = {{1, 9}, {2, 10}, {3, 11}, {4, 12}, {6, 21}, {7, 18}};
    for (const auto& [column, field] : columns) {
        if (!guestInfo.Text(column).empty()) {
            check.SetField(field, guestInfo.Text(column));
        }
    }
    if (accountAsStation) {
        // The station is the posting's account, which the invoice's creator does not change.
        return;
    }
    if (guestInfo.IsPresent(5)) {
        check.SetField(13, guestInfo.Text(5));
    }
    if (OpenTemplate(guestInfo.templates[CSelectGuestInfo::InvoiceStation], {Arg::Int(invoiceId)}, rows) &&
        !rows.IsEOF()) {
        guestInfo.Read(rows);
        if (!guestInfo.Text(5).empty()) {
            check.SetField(13, guestInfo.Text(5));
        }
    }
}

void CF8CheckLoader::ReadGuestInfo(CFiscalCheck& check) {
    WriteLog("Read guest info");
    if (check.checkNumber.empty()) {
        return;
    }
    db::Recordset rows;
    bool opened = false;
    if (!membershipCode.empty()) {
        // The attribute types go into the statement as a list of numbers, nothing else.
        std::vector<std::string> types = text::Split(membershipCode, ',');
        bool numbers = std::all_of(types.begin(), types.end(),
                                   [](const std::string& t) { return sqlformat::IsNumber(text::Trim(t)); });
        if (!numbers) {
            WriteLog("//printer_ini/membership_code is not a list of numbers: " + membershipCode);
            return;
        }
        opened = OpenTemplate(qelFiscal.templates[CQELFiscal::InvoiceAttributeSuite8],
                              {Arg::Raw(membershipCode), Arg::Number(check.checkNumber)}, rows);
    } else {
        opened = OpenTemplate(qelFiscal.templates[CQELFiscal::InvoiceDivisionSuite8],
                              {Arg::Number(check.checkNumber)}, rows);
    }
    if (opened && !rows.IsEOF()) {
        qelFiscal.Read(rows);
        if (qelFiscal.IsPresent(1)) {
            check.SetField(18, qelFiscal.Text(1));
        }
    }
}

bool CF8CheckLoader::ReadOriginalCheck(CFiscalCheck& check) {
    WriteLog("Read original check for refund");
    if (check.payments.empty()) {
        WriteLog("No payments for this check");
        return false;
    }
    check.SetField(16, check.payments[0].reference);
    // The sale's rows name their invoice by its id in recpt_no.
    std::string statement =
        text::ReplaceAll(qelFiscal.templates[CQELFiscal::RowsOfFiscalCheck], "bill_no", "RECPT_NO");
    db::Recordset rows;
    if (!OpenTemplate(statement, {Arg::Field(check.folioNumber), Arg::Field(check.groupName)}, rows)) {
        WriteLog("Request error. Not found original check for refund.");
        return false;
    }
    // As on Opera the sale's title names it in the return: the first row of each invoice gives
    // it, the last invoice's wins.
    std::vector<std::string> invoices;
    std::string title;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        qelFiscal.Read(rows);
        const std::string& invoice = qelFiscal.Text(1);
        if (qelFiscal.IsPresent(1) &&
            std::find(invoices.begin(), invoices.end(), invoice) == invoices.end()) {
            invoices.push_back(invoice);
            if (qelFiscal.IsPresent(2)) {
                title = qelFiscal.Text(2);
            }
        }
    }
    WriteLog(text::Format("Found %d checks", static_cast<int>(invoices.size())));
    if (invoices.empty()) {
        return true;
    }
    check.SetPrintedFileName(title);
    const size_t salePayments = check.payments.size();
    for (const std::string& invoice : invoices) {
        WriteLog("Read bill " + invoice);
        CFiscalCheck sale = NewCheck();
        sale.SetField(2, invoice);
        if (!sqlformat::IsNumber(invoice)) {
            continue;
        }
        if (!LoadInvoice(sale, invoice, std::nullopt, settings.payMaster)) {
            if (!IsConnected()) {
                // A lost database is no missing sale: the refund waits for the next cycle.
                return false;
            }
            continue;
        }
        check.postings.insert(check.postings.end(), sale.postings.begin(), sale.postings.end());
        check.payments.insert(check.payments.end(), sale.payments.begin(), sale.payments.end());
    }
    return NoteReturnedSale(check, salePayments, CQELFiscal::ReturnsOfSaleSuite8);
}
