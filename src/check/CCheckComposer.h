#pragma once

#include <vector>

#include "check/CCheckTotals.h"
#include "check/CFiscalCheck.h"

// Composition of a check as the back-ends load it into one that a fiscal device accepts: one
// currency, no zero lines, generated lines folded into their postings, like lines merged, and
// postings that add up to the payments within the device's rounding. Works on the check it is
// given; the totals, folding, merging, sign and conversion steps have classes of their own.
class CCheckComposer {
public:
    explicit CCheckComposer(CFiscalCheck& check) : check(check), totals(check) {}

    // True when the check may be printed; otherwise documentKind and errorText say why.
    bool Compose();

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
    CCheckTotals totals;
};
