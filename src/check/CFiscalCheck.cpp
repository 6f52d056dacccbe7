#include "check/CFiscalCheck.h"

#include <stdexcept>

#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

namespace {

const std::string& HotelServices() {
    static const std::string text = platform::Cp1251("Услуги гостиницы");
    return text;
}

// "%s" and its prefix when the source is not empty.
std::string Part(const char* prefix, const std::string& value) { return value.empty() ? "" : prefix + value; }

std::string IntPart(const char* format, int value) { return value == 0 ? "" : text::Format(format, value); }

}  // namespace

CFiscalCheck::CFiscalCheck() { serviceTemplate.description = HotelServices(); }

CFiscalCheck::CFiscalCheck(const CFiscalCheck& other) { CopyFrom(other); }

CFiscalCheck& CFiscalCheck::operator=(const CFiscalCheck& other) {
    if (this != &other) {
        CopyFrom(other);
    }
    return *this;
}

// The removed lines, messages, text, composition result and the template-check marks are not
// copied: a copy is a fresh start for composition.
void CFiscalCheck::CopyFrom(const CFiscalCheck& o) {
    postings = o.postings;
    payments = o.payments;
    settledDeposits = o.settledDeposits;
    paymentsTotal = o.paymentsTotal;
    postingsTotal = o.postingsTotal;
    cashTotal = o.cashTotal;
    cashReturned = o.cashReturned;
    netTotal = o.netTotal;
    for (int i = 0; i < 10; ++i) {
        taxSums[i] = o.taxSums[i];
    }
    serviceTemplate = o.serviceTemplate;
    depositTemplate = o.depositTemplate;
    statusCode = o.statusCode;
    checkId = o.checkId;
    for (int n = 1; n < kFieldCount; ++n) {
        *FieldText(n) = *o.FieldText(n);
    }
    appendRateCode = o.appendRateCode;
    amountMode = o.amountMode;
    printedFileName = o.printedFileName;
    changeAllowed = o.changeAllowed;
    mixedPostings = o.mixedPostings;
    posExpand = o.posExpand;
    printQuantity = o.printQuantity;
    headerLine = o.headerLine;
    codePage = o.codePage;
    moneyDecimals = o.moneyDecimals;
    closedBusinessDate = o.closedBusinessDate;
    returnedSaleTotal = o.returnedSaleTotal;
    earlierReturn = o.earlierReturn;
    log = o.log;
    checkMode = o.checkMode;
}

std::string* CFiscalCheck::FieldText(int number) {
    return const_cast<std::string*>(static_cast<const CFiscalCheck*>(this)->FieldText(number));
}

const std::string* CFiscalCheck::FieldText(int number) const {
    switch (number) {
        case 1: return &checkNumber;
        case 2: return &receiptNumber;
        case 3: return &folioNumber;
        case 4: return &reservationId;
        case 5: return &room;
        case 6: return &printerId;
        case 7: return &shiftNumber;
        case 8: return &fiscalNumber;
        case 9: return &cashierId;
        case 10: return &cashierName;
        case 11: return &cashierPosition;
        case 12: return &cashierTaxId;
        case 13: return &station;
        case 14: return &billDate;
        case 15: return &reinstateDate;
        case 16: return &groupName;
        case 17: return &companyExtra;
        case 18: return &companyTaxId;
        case 19: return &guestFirstName;
        case 20: return &guestLastName;
        case 21: return &companyName;
        case 22: return &printerName;
        case 23: return &profileId;
        case 24: return &email;
        case 25: return &phone;
        case 26: return &taxSystem;
        default: return nullptr;
    }
}

void CFiscalCheck::SetStatusCode(CheckStatusCode code) {
    statusCode = code;
    switch (code) {
        case kPaymentCheck:
        case kLegacyPaymentKind5:
        case kCashLoan:
        case kCashPickup:
        case kPayMasterCheck:
        case kOtherDeposit:
            appendRateCode = false;
            break;
        case kDepositCheck:
            if (!depositTemplate.description.empty()) {
                appendRateCode = false;
            }
            break;
        default:
            break;
    }
}

std::string CFiscalCheck::GetField(int number) const {
    if (number == 0) {
        return text::Format("%d", checkId);
    }
    const std::string* field = FieldText(number);
    return field ? *field : std::string();
}

void CFiscalCheck::SetField(int number, const std::string& value) {
    if (std::string* field = FieldText(number)) {
        *field = struct_posting::DoubleQuotes(value);
    }
}

void CFiscalCheck::SetFieldInt(int number, int value) {
    switch (number) {
        case 0:
            checkId = value;
            break;
        case 1:
        case 2:
        case 3:
        case 4:
        case 8:
        case 9:
        case 13:
        case 22:
        case 23:
            *FieldText(number) = text::Format("%d", value);
            break;
        default:
            break;
    }
}

void CFiscalCheck::SetPostingCode(size_t index, int code) {
    if (index < postings.size()) {
        postings[index].trx_code = code;
    }
}

void CFiscalCheck::SetPaymentBillNo(size_t index, int number) {
    if (index < payments.size()) {
        payments[index].bill_no = number;
    }
}

void CFiscalCheck::SetPostingStatus(size_t index, const std::string& status) {
    if (index < postings.size()) {
        postings[index].fisc_status = status;
    }
}

void CFiscalCheck::SetPaymentStatus(size_t index, const std::string& status) {
    if (index < payments.size()) {
        payments[index].fisc_status = status;
    }
}

void CFiscalCheck::SetPostingDescription(size_t index, const std::string& description) {
    if (index < postings.size()) {
        postings[index].description = description;
    }
}

void CFiscalCheck::SetPostingPrintCode(size_t index, const struct_print_code& code) {
    if (index >= postings.size()) {
        return;
    }
    struct_posting& p = postings[index];
    p.pay_kind = code.pay_kind;
    p.print_code = code.print_code;
    p.tax_group = code.tax_group;
    p.print_code2 = code.print_code2;
    p.line_type = code.line_type;
    p.post_with_tax = code.post_with_tax;
    p.print_text = code.print_text;
    p.print_code_ext = code.print_code_ext;
}

void CFiscalCheck::SetPrintedFileName(const std::string& name) {
    if (name.empty()) {
        printedFileName.clear();
        return;
    }
    if (checkMode == 9) {
        printedFileName = name;
        return;
    }
    Log("Printed file name " + name);
    // A journal file name holds "_"; the codes of the Czech registration (FIK, PKP) are kept as
    // they are, or a registered sale would leave no code in the status table.
    if (checkMode == 10 || name.find('_') != std::string::npos) {
        printedFileName = name;
    }
}

void CFiscalCheck::RemoveZeroCodePostings() {
    std::vector<struct_posting> kept;
    kept.reserve(postings.size());
    for (struct_posting& p : postings) {
        if (p.trx_code != 0) {
            kept.push_back(std::move(p));
        }
    }
    kept.shrink_to_fit();
    postings = std::move(kept);
}

struct_posting CFiscalCheck::GetPosting(int index) const {
    if (index < 0) {
        throw std::invalid_argument("negative posting index");
    }
    return static_cast<size_t>(index) < postings.size() ? postings[static_cast<size_t>(index)] : serviceTemplate;
}

struct_posting CFiscalCheck::GetPayment(int index) const {
    if (index < 0) {
        throw std::invalid_argument("negative payment index");
    }
    return static_cast<size_t>(index) < payments.size() ? payments[static_cast<size_t>(index)] : serviceTemplate;
}

void CFiscalCheck::Log(const std::string& line) const {
    if (log) {
        log->WriteText(line);
    }
}

std::string CFiscalCheck::PostingLine(const std::string& ordinaryFormat, const std::string& taxFormat,
                                      const std::string& exchangeFormat, const struct_posting& p) const {
    std::string code = p.CodeText();
    const char* included = p.tax_included ? "Y" : "N";
    if (p.line_type == 4 || p.line_type == 15) {
        std::string postWith = p.post_with_tax.empty() ? "" : " set to post with tax " + p.post_with_tax;
        return text::FormatDynamic(taxFormat.c_str(), p.trx_code, p.description.c_str(), p.trx_amount, p.quantity,
                                   code.c_str(), p.tax_group.c_str(), p.added_by, included, p.net_amount,
                                   p.extra_amount3, p.posted_amount, postWith.c_str(), p.reference.c_str());
    }
    std::string rec = IntPart("REC: %d", p.trx_no);
    std::string pack;
    if (p.package_link != 0) {
        pack = amountMode == 2 ? text::Format("PACK: %d", p.package_link)
                               : text::Format("PACK: %d GAD: %.02f", p.package_link, p.guest_account_debit);
    }
    std::string chk = !p.cheque_number.empty() ? "CHK: " + p.cheque_number : Part("AGNT: ", p.agent);
    std::string adj = IntPart("ADJ: %d", p.adj_trx_code);
    std::string subgroup = p.subgroup.empty() ? "" : " (" + p.subgroup + ")";
    std::string exch =
        p.exchange_rate != 1.0 ? text::FormatDynamic(exchangeFormat.c_str(), p.exchange_rate, p.posted_amount) : "";
    return text::FormatDynamic(ordinaryFormat.c_str(), p.trx_code, p.description.c_str(), p.trx_amount, p.quantity,
                               code.c_str(), p.tax_group.c_str(), p.added_by, included, p.net_amount, p.extra_amount3,
                               rec.c_str(), pack.c_str(), chk.c_str(), p.print_text.c_str(), adj.c_str(),
                               subgroup.c_str(), Part("CAT: ", p.category).c_str(),
                               Part("RATE: ", p.rate_code).c_str(), exch.c_str(), p.reference.c_str());
}

std::string CFiscalCheck::PaymentLine(const std::string& format, const struct_posting& p) const {
    std::string paid = p.print_code_ext.empty() ? p.print_code : p.print_code + "/" + p.print_code_ext;
    std::string line = text::FormatDynamic(
        format.c_str(), p.trx_code, p.description.c_str(), p.trx_amount, p.quantity, paid.c_str(), p.posted_amount,
        p.exchange_rate, p.folio_view, p.fisc_status.c_str(), p.cheque_number.c_str(),
        IntPart("Deposit %d", p.deposit_no).c_str(), text::Format("Bill no: %d", p.bill_no).c_str(),
        text::Format("Rec id: %d", p.trx_no).c_str(), p.reference.c_str(), p.machine.c_str());
    std::string removed;
    for (const struct_posting& r : removedLines) {
        if (r.trx_code == p.trx_no) {
            removed += text::Format("%d ", r.trx_no);
        }
    }
    if (!removed.empty()) {
        line += " (+ " + removed + ")";
    }
    return line;
}

const std::vector<std::string>& CFiscalCheck::BuildText(int quantityDecimals, const std::string& title) {
    // The templates keep doubled percent signs; formatting them once with the decimals fixes the
    // number of decimals of the amount.
    std::string ordinaryFormat = text::Format(
        "%%d: %%s %%.%df*%%.02f (%%s:%%s) TX: %%d (%%s) NET: %%.02f (%%.02f) %%s %%s %%s %%s %%s %%s %%s %%s %%s %%s",
        quantityDecimals);
    std::string taxFormat = text::Format(
        "%%d: %%s %%.%df*%%.02f (%%s:%%s) TX: %%d (%%s) NET: %%.02f (%%.02f) PA: %%.02f %%s %%s", quantityDecimals);
    std::string paymentFormat = text::Format(
        "%%d: %%s %%.%df*%%.02f Paid: %%s; PA: %%.02f Rate: %%.04f; View: %%d; (%%s) %%s %%s %%s %%s %%s %%s",
        quantityDecimals);
    std::string exchangeFormat = "EXCH: %.04f PA: %.02f";

    text.clear();
    text.push_back(title.empty() ? "Print check:" : title);
    if (!printedFileName.empty()) {
        text.push_back("Repeate file " + printedFileName);
    }
    if (!folioNumber.empty()) text.push_back("Folio: " + folioNumber);
    if (!checkNumber.empty()) text.push_back("Check: " + checkNumber);
    if (!room.empty()) text.push_back("Room: " + room);
    if (!station.empty()) text.push_back("Station: " + station);
    if (!cashierId.empty() || !cashierName.empty()) {
        std::string line = "Cashier: " + cashierId + " " + cashierName;
        if (!cashierPosition.empty()) line += " " + cashierPosition;
        if (!cashierTaxId.empty()) line += " " + cashierTaxId;
        text.push_back(line);
    }
    if (!groupName.empty()) text.push_back("Group: " + groupName);
    if (!reservationId.empty()) text.push_back("Reservation: " + reservationId);
    if (!printerName.empty()) text.push_back("Printer: " + printerName);
    if (!profileId.empty()) text.push_back("Profile: " + profileId);
    if (!email.empty()) text.push_back("Email: " + email);
    if (!phone.empty()) text.push_back("Tel number: " + phone);
    if (!companyName.empty() || !companyTaxId.empty()) {
        text.push_back("Company: " + companyName + " " + companyTaxId);
    }
    text.push_back("Postings:");
    for (const struct_posting& p : postings) {
        text.push_back(PostingLine(ordinaryFormat, taxFormat, exchangeFormat, p));
    }
    text.push_back("Payments:");
    for (const struct_posting& p : payments) {
        text.push_back(PaymentLine(paymentFormat, p));
    }
    text.push_back("");
    return text;
}

void CFiscalCheck::LogText(const std::string& title) {
    if (!log || statusCode == kPaymentCheck) {
        return;
    }
    Log(title);
    for (const std::string& line : BuildText(4, "")) {
        Log(line);
    }
}
