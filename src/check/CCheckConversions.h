#pragma once

#include <vector>

#include "check/CFiscalCheck.h"

// Checks that cannot be printed line by line, rebuilt into a simpler shape: a deposit line for a
// reversed payment or a refunded deposit, one line per tax group, or one line for the whole amount.
class CCheckConversions {
public:
    explicit CCheckConversions(CFiscalCheck& check) : check(check) {}

    bool NullCheckConversion();
    bool RefundDepositConversion();
    bool TryToCreateShortCheck();
    void SumByTax(std::vector<struct_posting>& list);
    void PaymentsAsPosting();
    void PostingsByTaxNumber();

private:
    bool BelongTogether(const struct_posting& p1, const struct_posting& p2) const;
    // The check becomes a deposit check of one posting and one payment, both the given payment.
    void MakeDepositCheck(const struct_posting& payment);

    CFiscalCheck& check;
};
