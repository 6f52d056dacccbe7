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

std::string struct_posting::CleanText(const std::string& text) {
    std::string result = DoubleQuotes(text);
    for (char& c : result) {
        if (c == '%') {
            c = '#';
        }
    }
    return result;
}

void struct_posting::CleanTexts() {
    description = CleanText(description);
    fisc_status = CleanText(fisc_status);
    reference = CleanText(reference);
    room = CleanText(room);
    agent = CleanText(agent);
}
