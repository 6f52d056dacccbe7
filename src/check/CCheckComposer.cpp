#include "check/CCheckComposer.h"

#include <cmath>

// Interim bodies: the totals are real; the composition steps arrive with the composition work.

bool CCheckComposer::Compose() {
    check.errorText.clear();
    check.documentKind = 7;
    SumPayments();
    check.postingsTotal = SumPostings(check, check.postings);
    return true;
}

double CCheckComposer::SumPostings(const CFiscalCheck& c, const std::vector<struct_posting>& list) {
    double total = 0;
    for (const struct_posting& p : list) {
        if (std::fabs(p.trx_amount) < 0.005 || p.quantity == 0 || p.excluded) {
            continue;
        }
        if (!(p.line_type == 7 && p.tax_included)) {
            total += p.trx_amount;
        }
    }
    (void)c;
    return total;
}

void CCheckComposer::SumPayments() {
    std::vector<struct_posting> kept;
    for (struct_posting& p : check.payments) {
        if (std::fabs(p.trx_amount) < 0.005) {
            check.removedLines.push_back(p);
        } else {
            kept.push_back(p);
        }
    }
    check.payments = std::move(kept);
    check.paymentsTotal = 0;
    check.cashTotal = 0;
    for (const struct_posting& p : check.payments) {
        double v = p.quantity * p.trx_amount;
        check.paymentsTotal += v;
        if (p.pay_kind == 0 || (p.pay_kind >= 7 && p.pay_kind <= 10)) {
            check.cashTotal += v;
            if (v < 0) {
                check.cashReturned += v;
            }
        }
    }
}

bool CCheckComposer::AmountsMatch() {
    return std::fabs(std::fabs(check.postingsTotal) - std::fabs(check.paymentsTotal)) < 0.005;
}

void CCheckComposer::Merge(std::vector<struct_posting>& list, int mode, bool payments) {
    (void)list;
    (void)mode;
    (void)payments;
}

bool CCheckComposer::CheckSigns() {
    if (check.statusCode == 1 || check.statusCode == 20 || !check.appendRateCode) {
        return true;
    }
    check.errorText.clear();
    return true;
}

bool CCheckComposer::CheckPaymentSigns() {
    SumPayments();
    return true;
}

double CCheckComposer::FirstOppositeAmount(const CFiscalCheck& c, const std::vector<struct_posting>& list) {
    if (c.mixedPostings) {
        return 0;
    }
    for (const struct_posting& p : list) {
        bool opposite = c.paymentsTotal >= 0 ? p.trx_amount < 0 : p.trx_amount > 0;
        if (opposite && p.line_type != 4 && p.line_type != 15 && p.cheque_number.empty()) {
            return p.trx_amount;
        }
    }
    return 0;
}

bool CCheckComposer::NullCheckConversion() { return false; }

bool CCheckComposer::RefundDepositConversion() { return false; }

bool CCheckComposer::TryToCreateShortCheck() { return false; }

void CCheckComposer::SumByTax(std::vector<struct_posting>& list) { (void)list; }

void CCheckComposer::PaymentsAsPosting() {}

void CCheckComposer::PostingsByTaxNumber() {}
