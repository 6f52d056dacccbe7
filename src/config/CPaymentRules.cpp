#include "config/CPaymentRules.h"

#include <cmath>

#include "config/CRuleLists.h"
#include "config/RuleSettings.h"
#include "platform/Text.h"

namespace {

// Payments that the back-end or an earlier rule marked as not to be registered, and those that
// are registered as they are.
constexpr int32_t kNotRegistered = 18;
constexpr int32_t kLeftAlone = 17;
constexpr int32_t kUnclassified = 12;
// A payment the rules reject: the worker writes its remark ("Wrong payment") into the PMS.
constexpr int32_t kRejected = 19;
// Printer type of the Czech registration, which takes any payment code.
constexpr int32_t kCzechPrinter = 10;
// Amounts closer than half a cent are equal; the small allowance absorbs binary fractions such
// as 100.005 - 100.
constexpr double kHalfCent = 0.005 - 1e-9;

}  // namespace

CPaymentRules::CPaymentRules(const RuleSettings& settings, CFiscalCheck& check)
    : settings(settings), lists(settings.rules), check(check) {}

bool CPaymentRules::IsIgnored(const struct_posting& payment) const {
    return CRuleLists::HasNumber(lists.ignoredCashiers, payment.cashier_id) ||
           CRuleLists::HasNumber(lists.ignoredRooms, payment.room);
}

bool CPaymentRules::Apply() {
    bool accepted = true;
    bool taxSystemChosen = false;
    for (struct_posting& payment : check.payments) {
        if (IsIgnored(payment)) {
            settings.WriteLog("Payment included in ignore list.");
            payment.line_type = 8;
            check.SetStatusCode(kNotToRegister);
            accepted = false;
            continue;
        }
        if (!taxSystemChosen && accepted && !lists.taxSystems.empty()) {
            taxSystemChosen = true;
            ChooseTaxSystem(payment);
        }
        ChooseDeviceType(payment);
        if (CRuleLists::Has(lists.prepaymentPostings, payment.trx_code)) {
            prepaymentCode = payment.trx_code;
        }
        ApplyCashOperations(payment);
        if (settings.baseCurrency.empty() && !settings.paymentCurrency.empty() &&
            payment.currency != settings.paymentCurrency) {
            settings.WriteLog("Payment in incorrect currency.");
            payment.line_type = kRejected;
            check.SetStatusCode(kWrongPayment);
            accepted = false;
        }
    }
    return accepted;
}

void CPaymentRules::ChooseTaxSystem(const struct_posting& payment) {
    std::string view = text::Format("%d", payment.folio_view);
    settings.WriteLog("Check tax system for view " + view);
    std::string system;
    if (CRuleLists::Find(lists.taxSystems, view, system)) {
        check.SetField(26, system);
        settings.WriteLog("Set tax system " + system);
    } else if (CRuleLists::Find(lists.taxSystems, "*", system)) {
        check.SetField(26, system);
        settings.WriteLog("Set tax system for default " + system);
    }
}

void CPaymentRules::ChooseDeviceType(struct_posting& payment) const {
    std::string type;
    bool found = false;
    if (payment.HasLetter(CheckStatusLetter::Deposit) && !check.depositTemplate.print_code.empty()) {
        // A deposit registered before is paid out with the deposit's own device type; its
        // ordinary type goes along as the extension.
        type = check.depositTemplate.print_code;
        found = true;
        std::string ordinary;
        if (CRuleLists::Find(lists.payPrint, payment.trx_code, ordinary)) {
            payment.print_code_ext = ordinary;
        }
    } else {
        found = CRuleLists::Find(lists.onlineDeposits, payment.trx_code, type) ||
                CRuleLists::Find(lists.additionalDeposits, payment.trx_code, type) ||
                CRuleLists::Find(lists.payPrint, payment.trx_code, type) ||
                CRuleLists::Find(lists.paidPrint, payment.trx_code, type) ||
                CRuleLists::Find(lists.roomPayMaster, payment.room, type);
    }
    if (!found) {
        return;
    }
    payment.line_type = 1;
    payment.pay_kind = type == "1" ? 0 : 6;
    if (payment.print_code.empty()) {
        payment.print_code = type;
    }
}

void CPaymentRules::ApplyCashOperations(struct_posting& payment) {
    auto put = lists.putPrint.find(payment.trx_code);
    if (put != lists.putPrint.end()) {
        check.SetStatusCode(kCashLoan);
        payment.print_code = put->second;
    }
    // Loans and drops count only as the general cashier's own shift operations.
    std::string description = text::ToLower(payment.description);
    bool generalCashier = payment.CodeText() == "0" && text::ToInt(payment.reference) == 0 &&
                          description.find("general") != std::string::npos &&
                          description.find("cashier") != std::string::npos;
    if (!generalCashier) {
        return;
    }
    if (CRuleLists::Has(lists.cashLoans, payment.trx_code)) {
        check.SetStatusCode(kCashLoan);
    }
    if (CRuleLists::Has(lists.cashDrops, payment.trx_code)) {
        check.SetStatusCode(kCashPickup);
    }
}

bool CPaymentRules::CheckPrepayments() {
    if (lists.prepaymentPostings.empty()) {
        return true;
    }
    for (const struct_posting& payment : check.payments) {
        std::string codes;
        if (!CRuleLists::Find(lists.prepaymentPostings, payment.trx_code, codes)) {
            continue;
        }
        double sum = 0;
        for (const struct_posting& posting : check.postings) {
            if (codes.find(text::Format("*%d*", posting.trx_code)) != std::string::npos) {
                sum += posting.trx_amount;
            }
        }
        if (std::fabs(sum - payment.trx_amount) >= kHalfCent) {
            settings.WriteLog("Prepayment sum postings not correct.");
            return false;
        }
    }
    return true;
}

bool CPaymentRules::CheckRegistration(struct_posting& payment, std::string& error, int32_t& verdict) const {
    if (payment.HasLetter(CheckStatusLetter::Registered)) {
        error = text::Format("ERROR.Payment %s %.2f already has fiscalized.Check saved",
                             payment.description.c_str(), payment.trx_amount);
        settings.WriteLog(error);
        verdict = 6;
        return false;
    }
    if (payment.line_type == kLeftAlone || !payment.print_code.empty()) {
        return true;
    }
    int code = payment.trx_code;
    if (!lists.IsPaymentRegistered(code) && !CRuleLists::Has(lists.roomPayMaster, payment.room)) {
        error = text::Format("Check %s has unregistered payment %d %s.", check.checkNumber.c_str(), code,
                             payment.description.c_str());
        settings.WriteLog(error);
        payment.line_type = kNotRegistered;
        verdict = 5;
        return false;
    }
    if (lists.IsPaymentRegistered(code) && payment.pay_kind == kUnclassified) {
        error = text::Format("Check %s has unknown fiscal payment %d %s.", check.checkNumber.c_str(), code,
                             payment.description.c_str());
        settings.WriteLog(error);
        verdict = 5;
        return false;
    }
    return true;
}

bool CPaymentRules::CheckPayments(std::string& error, int32_t& verdict) {
    bool result = true;
    bool taxChanged = false;
    for (struct_posting& payment : check.payments) {
        if (payment.line_type == kNotRegistered) {
            verdict = 6;
            result = false;
            continue;
        }
        if (settings.printerType != kCzechPrinter && !CheckRegistration(payment, error, verdict)) {
            result = false;
        }
        if (!settings.refundsPrinted && check.statusCode == kRefundCheck) {
            check.SetStatusCode(kNotToRegister);
            settings.WriteLog("Refund check passed!");
        }
        if (check.statusCode != kNotToRegister && (CRuleLists::HasNumber(lists.ignoredCashiers, check.cashierId) ||
                                      CRuleLists::HasNumber(lists.ignoredRooms, check.room))) {
            check.SetStatusCode(kNotToRegister);
            settings.WriteLog("Check included in ignore list.");
        }
        std::string tax;
        if (!CRuleLists::Find(lists.payTax, payment.trx_code, tax)) {
            continue;
        }
        if (taxChanged) {
            // One check, one tax: two payments with tax rules cannot both decide it.
            check.SetStatusCode(kNotToRegister);
            settings.WriteLog("Not identical taxes in payment list.");
            continue;
        }
        taxChanged = true;
        settings.WriteLog(
            text::Format("Change taxes to %s accourding to payment code %d", tax.c_str(), payment.trx_code));
        for (struct_posting& posting : check.postings) {
            posting.tax_group = tax;
        }
    }
    return result;
}

bool CPaymentRules::AcceptReturn(std::string& error) {
    if (check.groupName.empty() || check.printedFileName.empty()) {
        error = text::Format("Refund check %s: no registered sale %s to return. Check saved",
                             check.checkNumber.c_str(), check.groupName.c_str());
        settings.WriteLog(error);
        return false;
    }
    // The sale's payments are registered and belong to the sale's bill: they leave the refund
    // check, so that no status write of the return (nor the re-billing of rows taken over with
    // deposits) can reach the sale's rows. The refund's own payments make the totals.
    std::erase_if(check.payments, [](const struct_posting& payment) {
        return payment.HasLetter(CheckStatusLetter::Registered);
    });
    check.paymentsTotal = 0;
    check.cashTotal = 0;
    for (const struct_posting& payment : check.payments) {
        check.paymentsTotal += payment.trx_amount;
        if (payment.pay_kind == 0) {
            check.cashTotal += payment.trx_amount;
        }
    }
    // The return command names the sale and no amount: the tax service voids the whole sale, and
    // a sale it holds a return of already answers with that return. A part of a sale, or a sale
    // returned before, is no return the service can take: refused, never sent as the whole sale.
    if (!check.earlierReturn.empty()) {
        error = text::Format("Refund check %s: sale %s was returned already by bill %s, the tax service returns a "
                             "sale once. Register the refund by hand. Check saved",
                             check.checkNumber.c_str(), check.groupName.c_str(), check.earlierReturn.c_str());
        settings.WriteLog(error);
        return false;
    }
    double refunded = 0;
    for (const struct_posting& payment : check.payments) {
        refunded += payment.quantity * payment.BaseAmount();
    }
    if (std::fabs(std::fabs(refunded) - check.returnedSaleTotal) >= kHalfCent) {
        error = text::Format("Refund check %s returns %.2f of sale %s of %.2f, the tax service returns only whole "
                             "sales. Register the refund by hand. Check saved",
                             check.checkNumber.c_str(), -refunded, check.groupName.c_str(),
                             check.returnedSaleTotal);
        settings.WriteLog(error);
        return false;
    }
    check.postingsTotal = check.paymentsTotal;
    // The sale's lines and the refund's stand side by side with opposite signs.
    check.mixedPostings = true;
    settings.WriteLog(text::Format("Return of sale %s (%s): refund %.2f", check.groupName.c_str(),
                                   check.printedFileName.c_str(), check.paymentsTotal));
    return true;
}

void CPaymentRules::ChooseInvoiceKind() {
    if (settings.hotelBillCodes.empty() && settings.hotelInvoiceCodes.empty() && lists.payLimits.empty()) {
        check.PostingsByTaxNumber();
        return;
    }
    const std::string& number = check.checkNumber;
    for (const std::string& code : settings.hotelBillCodes) {
        if (text::StartsWith(number, code)) {
            settings.WriteLog(text::Format("Check invoce num %s - print proof of payment", number.c_str()));
            check.PostingsByTaxNumber();
            return;
        }
    }
    for (const std::string& code : settings.hotelInvoiceCodes) {
        if (text::StartsWith(number, code)) {
            settings.WriteLog(
                text::Format("Check invoce num %s - print simplified VAT document", number.c_str()));
            return;
        }
    }
    for (const struct_posting& payment : check.payments) {
        std::string value;
        double limit = CRuleLists::Find(lists.payLimits, payment.trx_code, value) ? text::ToDouble(value) : 0;
        settings.WriteLog(text::Format("Check %.2f to limit %.2f", payment.trx_amount, limit));
        if (payment.trx_amount > limit) {
            check.PostingsByTaxNumber();
            return;
        }
    }
}
