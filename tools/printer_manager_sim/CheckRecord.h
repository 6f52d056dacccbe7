#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// One document the simulated printer manager registered (a check or a cash command), as it is
// written to the records file: one JSON object per line.
struct CheckRecord {
    struct Item {
        std::string kind, code, description, quantity, amount, taxBits, subCode, category;
    };
    struct Payment {
        std::string code, description, reference, amount;
    };

    std::string printer;
    std::string command;  // "Check", "Cash Loan" or "Cash Pickup"
    std::string file;
    size_t announcedLength = 0;
    size_t length = 0;
    std::string documentNumber;
    std::string fiscalNumber;
    std::string documentType;
    std::string taxSystem;
    std::string operatorId;
    std::string operatorName;
    std::string room;
    std::string total;
    std::string vatGroup;
    std::vector<std::string> texts;
    std::vector<std::pair<std::string, std::string>> requisites;
    std::vector<Item> items;
    std::vector<Payment> payments;

    // Reads a check message (header line, body records, "=", payments, FF, EOT); false with the
    // reason when the header is not one of a check.
    static bool ParseCheck(const std::string& message, CheckRecord& record, std::string& error);
    std::string ToJson() const;
};

// A JSON string literal of a protocol text: UTF-8 stays as it is, other bytes are taken as
// Windows-1251 (the narrow texts of the service).
std::string JsonString(const std::string& text);

// A top-level text field of a record line written by ToJson ("key":"value"), unescaped; empty
// when the line has none. The keys of the record's own fields occur once in a line.
std::string RecordText(const std::string& json, const std::string& key);

// The objects of a top-level array of a record line ("items", "payments"), each as its JSON
// text, in order; none when the line has no such array.
std::vector<std::string> RecordObjects(const std::string& json, const std::string& key);
