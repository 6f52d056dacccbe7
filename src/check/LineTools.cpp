#include "check/LineTools.h"

#include <cmath>
#include <cstdlib>

#include "platform/CodePage.h"

namespace linetools {

void Add(struct_posting& into, const struct_posting& from, unsigned fields) {
    if (fields & Amount) into.trx_amount += from.trx_amount;
    if (fields & Posted) into.posted_amount += from.posted_amount;
    if (fields & Unit) into.price_per_unit += from.price_per_unit;
    if (fields & Net) into.net_amount += from.net_amount;
    if (fields & Extra1) into.extra_amount1 += from.extra_amount1;
    if (fields & Extra2) into.extra_amount2 += from.extra_amount2;
    if (fields & Extra3) into.extra_amount3 += from.extra_amount3;
    if (fields & Debit) into.guest_account_debit += from.guest_account_debit;
}

double RoundToCent(double x) {
    // The digits of |x| at two decimals, then "001" appended: (cents * 1000 + 1) / 100000. The
    // nudge lets a half cent that the binary form holds a hair below (1.005) round up as written.
    double cents = std::floor(std::fabs(x) * 100.0 + 0.5 + 1e-7);
    return (cents * 1000.0 + 1.0) / 100000.0;
}

double RoundSigned(double x) {
    double r = RoundToCent(x);
    return x < 0 ? -r : r;
}

void RemoveMarked(std::vector<struct_posting>& list, const std::vector<char>& marked) {
    size_t kept = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (!marked[i]) {
            if (kept != i) {
                list[kept] = std::move(list[i]);
            }
            ++kept;
        }
    }
    list.resize(kept);
}

std::u16string Wide(const std::string& text) { return platform::CodePageToUtf16(text, ""); }

void AppendWide(std::u16string& description, const std::u16string& tail) {
    description += tail;
    if (description.size() > struct_posting::kWideDescriptionSize) {
        description.resize(struct_posting::kWideDescriptionSize);
    }
}

void TakeDescription(struct_posting& line, const struct_posting& from, const char* wideName) {
    if (!from.description.empty()) {
        line.description = from.description;
    }
    if (!from.w_description.empty()) {
        line.w_description = from.w_description;
        line.description = wideName;
    }
}

}  // namespace linetools
