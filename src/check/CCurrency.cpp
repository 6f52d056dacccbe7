#include "check/CCurrency.h"

#include <cmath>
#include <cstdint>

#include "platform/Text.h"

int CCurrency::CurrencyDecimals = 2;
std::string CCurrency::CurrencyPoint = ".";

namespace {

// Rounds half away from zero and truncates toward zero into 64 bits. A value beyond them
// saturates and a NaN is 0: converting either would be undefined.
int64_t RoundHalfAway(long double x) {
    if (std::isnan(x)) {
        return 0;
    }
    x = x >= 0 ? x + 0.5L : x - 0.5L;
    if (x >= 9223372036854775807.0L) {
        return INT64_MAX;
    }
    if (x <= -9223372036854775808.0L) {
        return INT64_MIN;
    }
    return static_cast<int64_t>(x);
}

}  // namespace

CCurrency& CCurrency::operator=(const CCurrency& other) {
    value = other.value;
    text.clear();
    return *this;
}

CCurrency& CCurrency::FromDouble(double x) {
    long double scaled = x;
    for (int i = 0; i < CurrencyDecimals; ++i) {
        scaled *= 10;
    }
    value = RoundHalfAway(scaled);
    Changed();
    return *this;
}

CCurrency& CCurrency::FromParts(uint32_t low, uint32_t high) {
    value = static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
    Changed();
    return *this;
}

CCurrency& CCurrency::FromValue(int64_t minorUnits) {
    value = minorUnits;
    Changed();
    return *this;
}

CCurrency& CCurrency::FromText(const std::string& input) {
    std::string t = input.substr(0, 22);
    size_t comma = t.find(',');
    if (comma != std::string::npos) {
        t[comma] = '.';
    }
    if (!t.empty() && t[0] == '.') {
        t.insert(0, "0");
    }
    return FromDouble(text::ToDouble(t));
}

long double CCurrency::AsDouble() const {
    long double x = static_cast<long double>(value);
    for (int i = 0; i < CurrencyDecimals; ++i) {
        x /= 10;
    }
    return x;
}

CCurrency CCurrency::Add(const CCurrency& a, const CCurrency& b) {
    CCurrency r;
    r.value = static_cast<int64_t>(static_cast<uint64_t>(a.value) + static_cast<uint64_t>(b.value));
    return r;
}

CCurrency CCurrency::Subtract(const CCurrency& a, const CCurrency& b) {
    CCurrency r;
    r.value = static_cast<int64_t>(static_cast<uint64_t>(a.value) - static_cast<uint64_t>(b.value));
    return r;
}

CCurrency CCurrency::Negate() const {
    CCurrency r;
    r.value = static_cast<int64_t>(0 - static_cast<uint64_t>(value));
    return r;
}

CCurrency CCurrency::MultiplyInt(int64_t n) const {
    CCurrency r;
    r.value = static_cast<int64_t>(static_cast<uint64_t>(value) * static_cast<uint64_t>(n));
    return r;
}

CCurrency CCurrency::DivideInt(int64_t n) const {
    CCurrency r;
    if (n != 0) {
        r.value = RoundHalfAway(static_cast<long double>(value) / static_cast<long double>(n));
    }
    return r;
}

CCurrency& CCurrency::MultiplyDouble(double x) { return FromDouble(static_cast<double>(AsDouble() * x)); }

CCurrency& CCurrency::DivideDouble(double x) { return FromDouble(static_cast<double>(AsDouble() / x)); }

CCurrency& CCurrency::Scale(const CCurrency& oldTotal, const CCurrency& newTotal) {
    int64_t a = oldTotal.value;
    if (value == 0 || a == 0 || a == newTotal.value) {
        return *this;
    }
    // The half is added whatever the sign; Prorate's remainder step absorbs the difference.
    __int128 half = a / 2;
    if (half < 0) {
        half = -half;
    }
    __int128 scaled = (static_cast<__int128>(value) * newTotal.value + half) / a;
    value = static_cast<int64_t>(scaled);
    Changed();
    return *this;
}

const std::string& CCurrency::GetText() const {
    if (!text.empty() && text[0] != '*') {
        return text;
    }
    text = std::to_string(value);
    if (CurrencyDecimals == 0) {
        return text;
    }
    if (CurrencyDecimals > 4) {
        CurrencyDecimals = 4;
    }
    size_t start = (!text.empty() && text[0] == '-') ? 1 : 0;
    while (text.size() - start <= static_cast<size_t>(CurrencyDecimals)) {
        text.insert(start, "0");
    }
    text.insert(text.size() - static_cast<size_t>(CurrencyDecimals), CurrencyPoint);
    return text;
}
