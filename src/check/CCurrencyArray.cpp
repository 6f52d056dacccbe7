#include "check/CCurrencyArray.h"

#include "log/CLogFile.h"
#include "platform/Text.h"

CCurrencyArray::CCurrencyArray(uint32_t n) : items(n == 0 ? 1 : n), count(n == 0 ? 1 : n) {}

CCurrency& CCurrencyArray::Item(uint32_t index) {
    if (index >= count) {
        total.FromValue(0);
        total.SetText("???");
        return total;
    }
    return items[index];
}

CCurrency& CCurrencyArray::Sum(uint32_t first, uint32_t n) {
    total.FromValue(0);
    if (first >= count || n == 0) {
        return total;
    }
    uint32_t last = (n == kToEnd || n > count - first) ? count : first + n;
    int64_t sum = 0;
    for (uint32_t i = first; i < last; ++i) {
        sum += items[i].Value();
    }
    total.FromValue(sum);
    return total;
}

int64_t CCurrencyArray::SumAll() const {
    int64_t sum = 0;
    for (const CCurrency& item : items) {
        sum += item.Value();
    }
    return sum;
}

long double CCurrencyArray::SumAsDouble() const {
    CCurrency sum;
    sum.FromValue(SumAll());
    return sum.AsDouble();
}

uint32_t CCurrencyArray::UsedCount() const {
    for (uint32_t i = count; i > 0; --i) {
        if (items[i - 1].Value() != 0) {
            return i;
        }
    }
    return 0;
}

void CCurrencyArray::Reset() {
    for (CCurrency& item : items) {
        item.FromValue(0);
    }
}

void CCurrencyArray::Prorate(const CCurrency& oldTotal, const CCurrency& newTotal, const CCurrency& expected,
                             bool correct) {
    if (correct) {
        Log(text::Format("Prorate array: %s : %s with expected total: %s", oldTotal.GetText().c_str(),
                         newTotal.GetText().c_str(), expected.GetText().c_str()));
    } else {
        Log(text::Format("Prorate array: %s : %s", oldTotal.GetText().c_str(), newTotal.GetText().c_str()));
    }

    std::string line;
    for (uint32_t i = 0; i < count && line.size() < 1004; ++i) {
        line += text::Format(i == 0 ? "%-10s" : " %-10s", items[i].GetText().c_str());
    }
    Log(line);

    CCurrency remainder = expected;
    for (uint32_t i = 0; i < count; ++i) {
        CCurrency before = items[i];
        std::string beforeText = before.GetText();
        items[i].Scale(oldTotal, newTotal);
        remainder = CCurrency::Subtract(remainder, items[i]);
        if (items[i] != before) {
            Log(text::Format("Itemizer %u: %s -> %s", i + 1, beforeText.c_str(), items[i].GetText().c_str()));
        }
    }

    if (!correct || remainder.Value() == 0) {
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (items[i].Value() != 0) {
            items[i] = CCurrency::Add(items[i], remainder);
            Log(text::Format("CCurrencyArray::Prorate(): Itemizer #%u corrected. diff=%s", i + 1,
                             remainder.GetText().c_str()));
            return;
        }
    }
    items[0] = CCurrency::Add(items[0], remainder);
    Log(text::Format("CCurrencyArray::Prorate(): Itemizer #1 set to=%s (diff=%s)", items[0].GetText().c_str(),
                     remainder.GetText().c_str()));
}

void CCurrencyArray::Log(const std::string& text) const {
    if (log) {
        log->WriteText(text);
    }
}
