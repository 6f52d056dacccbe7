#pragma once

#include <vector>

#include "check/CFiscalCheck.h"

// Composition of a check as the back-ends load it into one that a fiscal device accepts, and the
// conversions into the simpler refund, deposit and short shapes. Works on the check it is given.
class CCheckComposer {
public:
    explicit CCheckComposer(CFiscalCheck& check) : check(check) {}

    bool Compose();
    static double SumPostings(const CFiscalCheck& check, const std::vector<struct_posting>& list);
    void SumPayments();
    bool AmountsMatch();
    void Merge(std::vector<struct_posting>& list, int mode, bool payments);
    bool CheckSigns();
    bool CheckPaymentSigns();
    static double FirstOppositeAmount(const CFiscalCheck& check, const std::vector<struct_posting>& list);

    bool NullCheckConversion();
    bool RefundDepositConversion();
    bool TryToCreateShortCheck();
    void SumByTax(std::vector<struct_posting>& list);
    void PaymentsAsPosting();
    void PostingsByTaxNumber();

private:
    CFiscalCheck& check;
};
