#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One command the simulated tax service read, taken apart: a sale (bill header, stock lines) or
// a return that names a sale by its fiscal number and the printed file name the service gave it.
struct TaxBill {
    struct Stock {
        std::string code, name, unit, quantity, price, amount, extra2, extra1;
    };

    bool isReturn = false;
    // A sale's header, in the order of the command.
    std::string total, tax0, cash, nonCash, tax1, district, printer, taxpayer, documentType, sequence, group;
    std::vector<Stock> stocks;
    // What a return names.
    std::string saleFiscalNumber, saleTitle;

    // The length of the whole command at the start of the bytes, 0 while its end has not come:
    // a sale ends at "@&" (or "=&" without stock lines), a return ("R#...") at "#&". A '&'
    // anywhere else belongs to a text.
    static size_t CommandLength(const std::string& bytes);
    // False with the reason when the command breaks the format.
    static bool Parse(const std::string& command, TaxBill& bill, std::string& error);

    // The key a bill number is held under: district, printer and sequence.
    std::string SequenceKey() const { return district + "/" + printer + "/" + sequence; }
    // What the stock lines add up to, "%.2f".
    std::string StocksTotal() const;
    // The record line of a registration (one JSON object).
    std::string ToJson(const std::string& fiscalNumber, const std::string& title) const;
};
