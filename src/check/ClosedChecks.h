#pragma once

#include <string>

// The checks closed without a registration on the business day, by why: saved for a registration
// by hand, refused (a return the tax service cannot take), a part of a split payment registered
// before, or kept off the device by the rules (ignored rooms and cashiers, rejected payments).
// The worker and the storage back-ends count them; the health line and the status command show
// them, so that an operator sees what no device holds.
struct ClosedChecks {
    enum class Why { ByHand, Refused, Split, ByRules };

    int byHand = 0;
    int refused = 0;
    int split = 0;
    int byRules = 0;

    void Add(Why why);
    int Total() const { return byHand + refused + split + byRules; }
    // "4 closed without registration (1 by hand, 1 refused, 1 split, 1 by the rules)", or empty.
    std::string Text() const;

    bool operator==(const ClosedChecks& other) const = default;
};
