#pragma once

// The JSON reader's escape decoding defined the long way, for tests and fuzz targets to compare
// the one-pass decoder with (header only, never part of a deliverable).

#include <string>

#include "shared/JsonHelper.h"

namespace json_testing {

// Whole-text replacements of \b \f \r \n \t \/ \" and then \\, one after another.
inline std::string UnescapeByReplacing(const std::string& text) {
    static const char* const pairs[][2] = {
        {"\\b", "\b"}, {"\\f", "\f"}, {"\\r", "\r"}, {"\\n", "\n"},
        {"\\t", "\t"}, {"\\/", "/"},  {"\\\"", "\""}, {"\\\\", "\\"},
    };
    std::string out = text;
    for (const auto& pair : pairs) {
        for (size_t at = out.find(pair[0]); at != std::string::npos; at = out.find(pair[0], at + 1)) {
            out.replace(at, 2, pair[1]);
        }
    }
    return JsonHelper::Unquote(out);
}

}  // namespace json_testing
