#pragma once

#include <cstdint>
#include <string>

// One printer line of the print lists: the printers that may register the checks of one key
// (a station, cashier, folio window, posting code, ...), in the order they are tried.
struct CPrintLine {
    static constexpr int kMaxPrinters = 10;
    static constexpr int kPostingCodeKind = 7;

    std::string name;
    int32_t count = 0;
    std::string printers[kMaxPrinters];
    int32_t kind = 0;
};
