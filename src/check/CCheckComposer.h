#pragma once

#include <vector>

#include "check/CFiscalCheck.h"

// Composition of a check as the back-ends load it into one that a fiscal device accepts: one
// currency, no zero lines, generated lines folded into their postings, like lines merged, and
// postings that add up to the payments within the device's rounding. Works on the check it is
// given; the folding, merging, sign and conversion steps have classes of their own.
class CCheckComposer {
public:
    explicit CCheckComposer(CFiscalCheck& check) : check(check) {}

    // True when the check may be printed; otherwise documentKind and errorText say why.
    bool Compose();

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

    void NormaliseExchange();
    void NormaliseQuantities();
    void PerUnitStatistics();
    bool PerUnitCorrection();
    bool GrossTest();
    void ApplyChange();
    void RoundPostings(std::vector<struct_posting>& list);
    void SubstituteDescriptions();

private:
    void AdjustRefundStatus();
    // The three trial merges on copies; true when a trial made the amounts match.
    bool TrialMerge();
    void SetMismatchError();

    CFiscalCheck& check;
};
