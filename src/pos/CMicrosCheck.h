#pragma once

#include <string>
#include <vector>

#include "check/CFiscalCheck.h"

// A POS (restaurant) check built from the POS postings of a hotel check. Before it is printed
// its lines are cleaned up: repeated lines merged, cancelling lines dropped, and the lines whose
// sign is opposite to the check's total spread over the items as their share of a discount.
class CMicrosCheck : public CFiscalCheck {
public:
    CMicrosCheck() = default;
    explicit CMicrosCheck(const CFiscalCheck& source) : CFiscalCheck(source) {}

    // Merges, classifies, spreads the discounts and gives every posting its final line type
    // (0, 4 or 12) and a print text; returns true.
    bool PrepareCheck();
    std::vector<std::string> DumpText(const std::string& title);

    // Steps of PrepareCheck.
    void MergeItemLines();
    void DistributeDiscounts();

private:
    void Classify();
    void SetFinalTypes();
};
