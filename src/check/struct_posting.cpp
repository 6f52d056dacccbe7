#include "check/struct_posting.h"

#include "platform/Text.h"

double struct_posting::BaseAmount() const {
    if (exchange_rate == 1.0 || exchange_rate <= 0) {
        return trx_amount;
    }
    return exchange_rate < 1 ? trx_amount / exchange_rate : trx_amount * exchange_rate;
}

std::string struct_posting::CodeText() const {
    return code_text.empty() ? text::Format("%d", code_number) : code_text;
}

std::string struct_posting::DoubleQuotes(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        result += c;
        if (c == '\'') {
            result += '\'';
        }
    }
    return result;
}
