#pragma once

#include <cstdint>
#include <string>

// An exact money amount in minor units (amount x 10^CurrencyDecimals). Arithmetic on the value
// is exact 64-bit integer work; only conversions from and to doubles use extended precision.
class CCurrency {
public:
    // Decimal places held in the value; nothing in the service changes them.
    static int CurrencyDecimals;
    static std::string CurrencyPoint;

    CCurrency() = default;
    CCurrency(const CCurrency& other) : value(other.value) {}
    CCurrency& operator=(const CCurrency& other);

    static CCurrency Of(double amount) {
        CCurrency c;
        c.FromDouble(amount);
        return c;
    }

    CCurrency& FromDouble(double x);
    CCurrency& FromParts(uint32_t low, uint32_t high);
    CCurrency& FromValue(int64_t minorUnits);
    CCurrency& FromText(const std::string& text);
    long double AsDouble() const;
    int64_t Value() const { return value; }

    static CCurrency Add(const CCurrency& a, const CCurrency& b);
    static CCurrency Subtract(const CCurrency& a, const CCurrency& b);
    CCurrency Negate() const;
    CCurrency MultiplyInt(int64_t n) const;
    CCurrency DivideInt(int64_t n) const;
    CCurrency& MultiplyDouble(double x);
    CCurrency& DivideDouble(double x);
    // Rescales the value from oldTotal to newTotal (see Prorate).
    CCurrency& Scale(const CCurrency& oldTotal, const CCurrency& newTotal);

    // Text form "12.34", built once and cached until the value changes.
    const std::string& GetText() const;
    // Marks the cached text; a text beginning with "*" is rebuilt on the next request.
    void SetText(const std::string& t) const { text = t; }

    bool operator==(const CCurrency& other) const { return value == other.value; }
    bool operator!=(const CCurrency& other) const { return value != other.value; }

private:
    void Changed() { text.clear(); }

    int64_t value = 0;
    mutable std::string text;
};
