#pragma once

#include <vector>

#include "check/CFiscalCheck.h"

// Folds lines that belong together (same code, status and rate, and for some kinds the same tax)
// into the first of them, by amounts (mode 0) or by quantities (the print-quantity modes).
class CLineMerger {
public:
    explicit CLineMerger(const CFiscalCheck& check) : check(check) {}

    // Nothing happens in mode 2. Every folded line leaves the list; when removed is given it is
    // kept there with its trx_code set to the trx_no of the line that took it, so that the status
    // of a folded payment is still written and the text shows where it went.
    void Merge(std::vector<struct_posting>& list, int mode, bool payments, std::vector<struct_posting>* removed) const;

private:
    bool SameKey(const struct_posting& i, const struct_posting& j, bool payments) const;
    // Folds j into i; false when the lines stay apart (quantity mode, different amounts of one sign).
    static bool Fold(struct_posting& i, const struct_posting& j, int mode);
    static void FoldByAmount(struct_posting& i, const struct_posting& j);

    const CFiscalCheck& check;
};
