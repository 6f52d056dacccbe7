#include "check/struct_posting.h"

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
