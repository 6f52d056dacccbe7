#include "check/CDiscountStep.h"

#include <algorithm>
#include <cmath>

#include "check/LineTools.h"
#include "platform/Text.h"

using namespace linetools;

namespace {

bool Generated(const struct_posting& p) { return p.line_type == 7 || p.line_type == 12; }

}  // namespace

void CDiscountStep::Run() {
    FoldRepeatedLines();
    MoveToEnd(check.postings, Generated);
    if (PlaceDiscounts()) {
        check.LogText("Discounts");
    }
}

// One generated line per kind and code.
void CDiscountStep::FoldRepeatedLines() {
    std::vector<struct_posting>& list = check.postings;
    for (size_t i = 0; i < list.size(); ++i) {
        struct_posting& line = list[i];
        if (!Generated(line) || line.trx_code == 0) {
            continue;
        }
        for (size_t j = i + 1; j < list.size(); ++j) {
            struct_posting& other = list[j];
            if (other.line_type == line.line_type && other.trx_code == line.trx_code) {
                line.trx_amount += other.trx_amount;
                line.net_amount += other.trx_amount;
                other.trx_code = 0;
            }
        }
    }
    check.RemoveZeroCodePostings();
}

// The tax group of a posting as a number from 1 to 9; anything else counts in group 0.
int CDiscountStep::Group(const struct_posting& posting) const {
    int group = text::ToInt(posting.tax_group);
    if (group <= 0 || group > 9) {
        check.Log("Unknown tax to store discount sum " + posting.tax_group);
        return 0;
    }
    return group;
}

bool CDiscountStep::PlaceDiscounts() {
    std::vector<struct_posting>& list = check.postings;
    const size_t n = list.size();
    std::vector<int> groups;
    groups.reserve(n);
    for (const struct_posting& p : list) {
        groups.push_back(Group(p));
    }
    // The walk reorders indexes; the lines move once at the end.
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) {
        order[i] = i;
    }
    // A discount that no goods further down can cover goes to the end once and stays there.
    std::vector<char> settled(n, 0);
    // On a refund the goods are negative and the discounts positive: sums count in the check's sign.
    double sign = check.paymentsTotal < 0 ? -1.0 : 1.0;
    bool moved = false;
    bool restart = true;
    // Every move takes a discount past goods or settles it, so the walk ends.
    while (restart) {
        restart = false;
        double sums[10] = {};
        for (size_t i = 0; i < n; ++i) {
            const struct_posting& line = list[order[i]];
            int g = groups[order[i]];
            if (line.line_type != 4) {
                sums[g] += line.trx_amount;
                continue;
            }
            double needed = std::fabs(line.trx_amount);
            if (settled[order[i]] || needed <= sums[g] * sign + 1e-9) {
                sums[g] += line.trx_amount;
                continue;
            }
            size_t k = i + 1;
            for (; k < n; ++k) {
                const struct_posting& later = list[order[k]];
                if (later.line_type != 4) {
                    sums[groups[order[k]]] += later.trx_amount;
                }
                if (sums[g] * sign + 1e-9 >= needed) {
                    break;
                }
            }
            if (k >= n) {
                settled[order[i]] = 1;
            }
            size_t after = k < n ? k + 1 : n;
            if (after > i + 1) {
                auto first = order.begin() + static_cast<std::ptrdiff_t>(i);
                std::rotate(first, first + 1, order.begin() + static_cast<std::ptrdiff_t>(after));
                moved = true;
            }
            restart = true;
            break;
        }
    }
    if (moved) {
        std::vector<struct_posting> placed;
        placed.reserve(n);
        for (size_t index : order) {
            placed.push_back(std::move(list[index]));
        }
        list = std::move(placed);
    }
    return moved;
}
