#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ServiceFolder.h"

// The status table of a run against what its simulators registered (printer managers, the Czech
// registration service, the Mongolian tax service): every document a device holds is named by
// status rows that hold its amount, every Y or D row names a document or is listed as closed
// without one (with why), and every due payment is registered exactly once. A letter alone
// proves nothing: this is what the end-to-end tests and the demo check after every run.
class Reconciliation {
public:
    struct Expected {
        Expected() = default;
        Expected(std::vector<int> due, std::map<int, std::string> closed = {},
                 std::vector<std::map<int, ServiceFolder::StatusRow>> earlier = {})
            : due(std::move(due)), closed(std::move(closed)), earlier(std::move(earlier)) {}

        // Payments (and deposits) that must each be registered: Y or D, naming a document.
        std::vector<int> due;
        // Rows that are Y or D without a registration, each with the reason it was closed so.
        std::map<int, std::string> closed;
        // The status rows as they were at earlier moments of the run, oldest first: a deposit's
        // row, registered as an advance, later names the bill that consumed it.
        std::vector<std::map<int, ServiceFolder::StatusRow>> earlier;
    };

    // One document a device registered, and the rows that name it.
    struct Document {
        std::string device;                // "printer manager", "Czech service", "tax service"
        std::string printer;               // the printer (register) it was registered on
        std::vector<std::string> numbers;  // its fiscal number (the Czech codes: FIK, PKP)
        std::string file;                  // the check file it was announced under
        double amount = 0;                 // what it registered, with the sign of the rows
        std::string name;                  // how the report names it
        std::vector<int> rows;             // the rows that name it, when they last did
    };

    Reconciliation(ServiceFolder& run, const Expected& expected);

    bool Ok() const { return problems.empty(); }
    // What does not agree; empty when everything does.
    std::vector<std::string> problems;
    std::vector<Document> documents;
    // Rows Y or D without a registration, with the reason they were closed so.
    std::map<int, std::string> closed;
    // The amounts of the documents added up.
    double registeredAmount = 0;

    // The summary: one line of figures, the rows closed without registration, the problems.
    std::vector<std::string> Report() const;

private:
    void ReadManagerDocuments(ServiceFolder& run);
    void ReadCzechDocuments(ServiceFolder& run);
    void ReadTaxDocuments(ServiceFolder& run);
    // The document the row names, or -1.
    int Named(const ServiceFolder::StatusRow& row) const;
    bool Names(const Document& document, const ServiceFolder::StatusRow& row) const;

    std::map<int, double> baseAmounts;  // the PMS's amounts of its transactions, by trx_no
};
