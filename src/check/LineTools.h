#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "check/struct_posting.h"

// Small pieces of line arithmetic shared by the composition steps.
namespace linetools {

// The amounts of a line that a fold adds from one line into another; each step names its set.
enum Field : unsigned {
    Amount = 1u << 0,   // trx_amount
    Posted = 1u << 1,   // posted_amount
    Unit = 1u << 2,     // price_per_unit
    Net = 1u << 3,      // net_amount
    Extra1 = 1u << 4,   // extra_amount1
    Extra2 = 1u << 5,   // extra_amount2
    Extra3 = 1u << 6,   // extra_amount3
    Debit = 1u << 7,    // guest_account_debit
    Extras = Extra1 | Extra2 | Extra3,
};

void Add(struct_posting& into, const struct_posting& from, unsigned fields);

// |x| rounded half away from zero to the fiscal cent, plus 0.00001 so that a later truncation to
// two decimals keeps the cent.
double RoundToCent(double x);
// RoundToCent with the sign of x restored.
double RoundSigned(double x);

// True when the amount has the sign opposite to the check's total: negative on a positive (or
// zero) check, positive on a negative one.
inline bool Opposite(double amount, double total) { return total >= 0 ? amount < 0 : amount > 0; }

// Amounts that come from the same decimal text compare equal; arithmetic noise is ignored.
inline bool SameAbsolute(double a, double b) {
    double d = (a < 0 ? -a : a) - (b < 0 ? -b : b);
    return d < 1e-9 && d > -1e-9;
}

inline bool SameAmount(double a, double b) { return a - b < 1e-9 && b - a < 1e-9; }

// Half a cent and less is nothing to a fiscal device.
inline bool IsZero(double x) { return x < 0.005 && x > -0.005; }

// Moves every line for which pred holds to the end of the list; both parts keep their order.
template <class Pred>
void MoveToEnd(std::vector<struct_posting>& list, Pred pred) {
    std::stable_partition(list.begin(), list.end(), [&](const struct_posting& p) { return !pred(p); });
}

// Removes the lines whose mark is set, keeping the order of the others.
void RemoveMarked(std::vector<struct_posting>& list, const std::vector<char>& marked);

// A narrow text of the site code page as a wide text.
std::u16string Wide(const std::string& text);
// Appends to a wide description, kept within the wide description's size.
void AppendWide(std::u16string& description, const std::u16string& tail);

// The line takes the description of a template; a template with a wide description gives it
// too, and the narrow description then becomes the given name.
void TakeDescription(struct_posting& line, const struct_posting& from, const char* wideName);

}  // namespace linetools
