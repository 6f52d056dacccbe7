#include "check/CLineMerger.h"

#include <cmath>

#include "check/LineTools.h"

using namespace linetools;

namespace {

// Lines that never take others in: POS items, discounts and service charges, generated lines
// and package lines.
bool TakesNoOthers(int lineType) {
    return lineType == 14 || lineType == 15 || lineType == 16 || lineType == 7 || lineType == 5;
}

bool ComparesTax(int lineType) { return lineType == 0 || lineType == 4 || lineType == 15; }

}  // namespace

void CLineMerger::Merge(std::vector<struct_posting>& list, int mode, bool payments,
                        std::vector<struct_posting>* removed) const {
    if (mode == 2) {
        return;
    }
    // Folded lines are marked and compacted at the end, which keeps the walk linear in moves.
    std::vector<char> gone(list.size(), 0);
    for (size_t i = 0; i < list.size(); ++i) {
        struct_posting& line = list[i];
        if (gone[i] || line.line_type == 13 || TakesNoOthers(line.line_type)) {
            continue;
        }
        for (size_t j = i + 1; j < list.size(); ++j) {
            const struct_posting& other = list[j];
            if (gone[j] || !SameKey(line, other, payments) || line.fisc_status != other.fisc_status ||
                line.rate_code != other.rate_code) {
                continue;
            }
            if (ComparesTax(line.line_type) && line.tax_group != other.tax_group) {
                continue;
            }
            if (!Fold(line, other, mode)) {
                continue;
            }
            gone[j] = 1;
            if (removed) {
                removed->push_back(other);
                removed->back().trx_code = line.trx_no;
            }
        }
    }
    RemoveMarked(list, gone);
}

bool CLineMerger::SameKey(const struct_posting& i, const struct_posting& j, bool payments) const {
    if (!payments) {
        return i.trx_code == j.trx_code;
    }
    if (check.checkMode == 7 && !i.print_code.empty()) {
        return j.print_code == i.print_code || (!j.print_code_ext.empty() && j.print_code_ext == i.print_code);
    }
    // A deposit number of 0 is no deposit.
    return i.trx_code == j.trx_code || (j.deposit_no != 0 && i.trx_code == j.deposit_no) ||
           (i.deposit_no != 0 && i.deposit_no == j.trx_code);
}

void CLineMerger::FoldByAmount(struct_posting& i, const struct_posting& j) {
    Add(i, j, Amount | Posted | Net | Unit | Extras | Debit);
    if (i.code_text.empty() || i.code_text == "0") {
        i.code_text = j.code_text;
    }
    if (!j.reference.empty() && j.trx_amount >= 0) {
        i.reference = j.reference;
    }
}

bool CLineMerger::Fold(struct_posting& i, const struct_posting& j, int mode) {
    if (mode == 0 || i.recalculate) {
        FoldByAmount(i, j);
        return true;
    }
    double before = i.trx_amount;
    if (SameAbsolute(before, j.trx_amount)) {
        // One more of the same unit, or its reversal, which takes the quantity back.
        Add(i, j, Amount | Posted | Net | Unit | Extras);
        if (std::fabs(i.trx_amount) < 0.05) {
            i.quantity -= j.quantity;
        } else {
            i.quantity += j.quantity;
        }
        return true;
    }
    if ((before < 0 && j.trx_amount > 0) || (before > 0 && j.trx_amount < 0)) {
        FoldByAmount(i, j);
        return true;
    }
    return false;
}
