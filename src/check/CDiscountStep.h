#pragma once

#include <vector>

#include "check/CFiscalCheck.h"

// Orders the discount lines of a composed check so that every discount follows enough goods of
// its tax group for the device to take it.
class CDiscountStep {
public:
    explicit CDiscountStep(CFiscalCheck& check) : check(check) {}

    void Run();

private:
    void FoldRepeatedLines();
    // Moves discounts after the goods that cover them; true when one moved.
    bool PlaceDiscounts();
    int Group(const struct_posting& posting) const;

    CFiscalCheck& check;
};
