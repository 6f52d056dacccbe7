#pragma once

#include <vector>

#include "check/CFiscalCheck.h"

// The totals of a check and the test that its postings add up to its payments, with the small
// corrections of rounding that the test may make. Composition, the sign tests and the conversions
// all sum through it.
class CCheckTotals {
public:
    explicit CCheckTotals(CFiscalCheck& check) : check(check) {}

    // Drops zero lines from the list and returns the total of the lines that count; sets netTotal.
    double SumPostings(std::vector<struct_posting>& list);
    // Moves zero payments to removedLines; sets paymentsTotal, cashTotal and cashReturned.
    void SumPayments();
    // The matching test of the rounded totals; a difference of a few cents is put on one posting.
    bool AmountsMatch();
    // Up to 10 rounds of summing, matching and the small correction; true when the amounts match.
    bool CorrectionRounds();
    // Half a cent onto one posting when the totals differ by a little; false when it declines.
    bool SmallCorrection();

private:
    CFiscalCheck& check;
};
