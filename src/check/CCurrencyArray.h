#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/CCurrency.h"

class CLogFile;

// A fixed array of money values that can be rescaled to a new total with the rounding remainder
// put on one element, so that the parts always add up exactly.
class CCurrencyArray {
public:
    static constexpr uint32_t kToEnd = 0xffffffffu;

    explicit CCurrencyArray(uint32_t count);

    CCurrency& Item(uint32_t index);
    CCurrency& Sum(uint32_t first, uint32_t n = kToEnd);
    int64_t SumAll() const;
    long double SumAsDouble() const;
    uint32_t UsedCount() const;
    uint32_t Count() const { return count; }
    void Reset();
    void Prorate(const CCurrency& oldTotal, const CCurrency& newTotal, const CCurrency& expectedTotal,
                 bool correct);
    void Log(const std::string& text) const;

    CLogFile* log = nullptr;

private:
    CCurrency total;
    std::vector<CCurrency> items;
    uint32_t count;
};
