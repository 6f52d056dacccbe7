#pragma once

#include <vector>

#include "check/CFiscalCheck.h"

// The sign tests of a check: postings and payments whose sign is opposite to the check's total
// are folded where they belong; what cannot be folded is reported.
class CSignChecker {
public:
    explicit CSignChecker(CFiscalCheck& check) : check(check) {}

    // The negative-line test of a full check; fails with documentKind 4 when a line of the wrong
    // sign remains.
    bool CheckSigns();
    // Always passes: folds opposite cash payments, records the rest in errorText, and orders the
    // payments for the device (cash after the others, returned cash last).
    bool CheckPaymentSigns();
    // trx_amount of the first line of the wrong sign (POS lines and discounts aside), 0 when none.
    static double FirstOppositeAmount(const CFiscalCheck& check, const std::vector<struct_posting>& list);

private:
    void FoldAdjustments();
    void FoldIntoNegatives();
    void FoldOppositePayments();
    void OrderCashLast();

    CFiscalCheck& check;
};
