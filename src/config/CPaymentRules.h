#pragma once

#include <cstdint>
#include <string>

#include "check/CFiscalCheck.h"

class CRuleLists;
class RuleSettings;

// The rules on the payments of a check: ignore lists, tax system, device payment types, cash
// operations of the general cashier and currency before composition; prepayment sums, payment
// registration tests, refunds, ignore lists and taxes by payment after it; and the choice between
// a simplified VAT document and a proof of payment for full checks.
class CPaymentRules {
public:
    CPaymentRules(const RuleSettings& settings, CFiscalCheck& check);

    // False after an ignored payment or a payment in the wrong currency; statusCode tells which.
    bool Apply();
    // False when the postings paid by a prepayment do not add up to it.
    bool CheckPrepayments();
    // False when a payment must not be registered; the reason goes to error and verdict (6 a
    // payment registered before, 5 an unknown payment code).
    bool CheckPayments(std::string& error, int32_t& verdict);
    // Full checks of only_payments 2: a proof of payment regroups the postings by tax.
    void ChooseInvoiceKind();
    // A refund of a sale registered with the Mongolian tax service. The back-end added the
    // sale's postings and payments, registered already, to the refund's own: the return names
    // the sale and carries no lines, so the check is not composed, and the sale's payments are
    // taken out of it, so the return's status writes touch the refund's rows only. False (reason
    // in error) when no registered sale was found to name, when the refund is not the whole sale
    // (returnedSaleTotal) or the sale was returned before (earlierReturn): the tax service can
    // only void a whole sale, once.
    bool AcceptReturn(std::string& error);

    // The payment code of the last prepayment payment that Apply met, 0 when none.
    int32_t prepaymentCode = 0;

private:
    bool IsIgnored(const struct_posting& payment) const;
    void ChooseTaxSystem(const struct_posting& payment);
    void ChooseDeviceType(struct_posting& payment) const;
    void ApplyCashOperations(struct_posting& payment);
    // Registration tests of one payment; false when it must not be registered.
    bool CheckRegistration(struct_posting& payment, std::string& error, int32_t& verdict) const;

    const RuleSettings& settings;
    const CRuleLists& lists;
    CFiscalCheck& check;
};
