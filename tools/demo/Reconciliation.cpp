#include "Reconciliation.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "CheckRecord.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

bool SameAmount(double a, double b) {
    return std::fabs(a - b) < 0.005;
}

std::string Amount(double amount) {
    return text::Format("%.2f", amount);
}

bool Final(const std::string& status) {
    return status == "Y" || status == "D";
}

std::vector<std::string> Lines(const std::string& path) {
    std::string content;
    platform::ReadFile(path, content);
    std::vector<std::string> lines;
    for (const std::string& line : text::Split(content, '\n')) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace

Reconciliation::Reconciliation(ServiceFolder& run, const Expected& expected) : closed(expected.closed) {
    ReadManagerDocuments(run);
    ReadCzechDocuments(run);
    ReadTaxDocuments(run);
    for (const Document& document : documents) {
        registeredAmount += document.amount;
    }

    // Which rows name which document, at every moment known; a document keeps the rows of the
    // last moment it was named at.
    // Amounts in the hotel's currency: the PMS's own where it has the transaction (a status row
    // holds a payment in foreign currency in that currency).
    for (const auto& row : run.Rows("select trx_no, trx_amount from financial_transactions")) {
        if (row.size() == 2) {
            baseAmounts[text::ToInt(row[0])] = text::ToDouble(row[1]);
        }
    }
    std::vector<std::map<int, ServiceFolder::StatusRow>> moments = expected.earlier;
    moments.push_back(run.StatusRows());
    for (auto& moment : moments) {
        for (auto& [trxNo, row] : moment) {
            auto base = baseAmounts.find(trxNo);
            if (base != baseAmounts.end()) {
                row.amount = base->second;
            }
        }
    }
    const std::map<int, ServiceFolder::StatusRow>& rows = moments.back();
    std::set<int> namedEver;
    std::map<int, int> namedNow;  // row → document
    for (size_t m = 0; m < moments.size(); ++m) {
        std::map<int, std::vector<int>> naming;  // document → rows
        for (const auto& [trxNo, row] : moments[m]) {
            int document = Named(row);
            if (document < 0) {
                continue;
            }
            naming[document].push_back(trxNo);
            namedEver.insert(trxNo);
            if (m + 1 == moments.size()) {
                namedNow[trxNo] = document;
            }
        }
        for (auto& [document, named] : naming) {
            documents[static_cast<size_t>(document)].rows = named;
        }
    }

    for (const Document& document : documents) {
        if (document.rows.empty()) {
            problems.push_back(document.name + " is in no status row");
            continue;
        }
        double held = 0;
        for (int trxNo : document.rows) {
            auto now = rows.find(trxNo);
            held += now != rows.end() ? now->second.amount : 0;
        }
        // The rows of a moment before may have changed since (re-billed): their amounts do not.
        if (!SameAmount(held, document.amount)) {
            std::vector<std::string> numbers;
            for (int trxNo : document.rows) {
                numbers.push_back(std::to_string(trxNo));
            }
            problems.push_back(document.name + " registered " + Amount(document.amount) + ", its rows (" +
                               text::Join(numbers, ",") + ") hold " + Amount(held));
        }
    }
    for (const auto& [trxNo, row] : rows) {
        auto generated = run.GeneratedRows().find(trxNo);
        bool untouched = generated != run.GeneratedRows().end() && generated->second.status == row.status &&
                         generated->second.checkNumber == row.checkNumber && generated->second.title == row.title;
        if (!Final(row.status) || untouched) {
            // Not final, or a row the PMS held before the run (an earlier day's) as it was.
            continue;
        }
        bool registered = namedEver.count(trxNo) != 0;
        auto listed = expected.closed.find(trxNo);
        if (registered && listed != expected.closed.end() && namedNow.count(trxNo)) {
            problems.push_back(text::Format("row %d, to be closed without registration (%s), names ", trxNo,
                                            listed->second.c_str()) +
                               documents[static_cast<size_t>(namedNow[trxNo])].name);
        } else if (!registered && listed == expected.closed.end()) {
            problems.push_back(text::Format("row %d is %s (%s) without a registration", trxNo, row.status.c_str(),
                                            Amount(row.amount).c_str()));
        }
    }
    for (const auto& [trxNo, reason] : expected.closed) {
        auto row = rows.find(trxNo);
        if (row == rows.end() || !Final(row->second.status)) {
            problems.push_back(text::Format("row %d, to be closed without registration (%s), is %s", trxNo,
                                            reason.c_str(),
                                            row == rows.end() ? "not there" : row->second.status.c_str()));
        }
    }
    for (int trxNo : expected.due) {
        auto row = rows.find(trxNo);
        if (row == rows.end()) {
            problems.push_back(text::Format("due payment %d has no status row", trxNo));
        } else if (!(Final(row->second.status) || row->second.status == "F") || namedEver.count(trxNo) == 0) {
            // (F: a Czech sale registered offline, under its PKP.)
            problems.push_back(text::Format("due payment %d (%s) is %s without a registration", trxNo,
                                            Amount(row->second.amount).c_str(), row->second.status.c_str()));
        }
    }
}

void Reconciliation::ReadManagerDocuments(ServiceFolder& run) {
    std::set<std::string> seen;
    for (const ServiceFolder::Registered& r : run.AllRecords()) {
        Document document;
        document.device = "printer manager";
        document.printer = r.printer;
        document.numbers = {r.fiscalNumber};
        document.file = r.file;
        document.name = "printer " + r.printer + " fiscal number " + r.fiscalNumber + " (" + r.command + " " +
                        r.documentNumber + ")";
        if (r.command == "Cash Pickup") {
            document.amount = -text::ToDouble(r.total);
        } else if (r.command == "Cash Loan") {
            document.amount = text::ToDouble(r.total);
        } else {
            // What was paid: the record's total may be a net amount.
            for (const std::string& payment : RecordObjects(r.json, "payments")) {
                document.amount += text::ToDouble(RecordText(payment, "amount"));
            }
        }
        if (!seen.insert(r.printer + "/" + r.fiscalNumber).second) {
            problems.push_back("fiscal number " + r.printer + "/" + r.fiscalNumber + " given twice");
        }
        if (!r.file.empty() && !seen.insert("file " + r.file).second) {
            problems.push_back("check file " + r.file + " registered twice");
        }
        documents.push_back(document);
    }
}

void Reconciliation::ReadCzechDocuments(ServiceFolder& run) {
    // A sale is known by its receipt number and amount; a repeated sending of it is the same sale.
    std::map<std::string, size_t> sales;
    for (const std::string& json : Lines(run.Path("czech.jsonl"))) {
        std::string receipt = RecordText(json, "receiptNumber");
        std::string total = RecordText(json, "totalAmount");
        std::string outcome = RecordText(json, "outcome");
        std::string key = receipt + " " + total;
        if (outcome == "duplicate") {
            problems.push_back("sale " + key + " registered twice");
        }
        auto known = sales.find(key);
        if (known == sales.end()) {
            Document document;
            document.device = "Czech service";
            document.printer = RecordText(json, "printer");
            document.amount = text::ToDouble(total);
            document.name = "Czech sale " + receipt + " of " + total;
            known = sales.emplace(key, documents.size()).first;
            documents.push_back(document);
        }
        Document& document = documents[known->second];
        for (const char* code : {"fik", "pkp"}) {
            std::string value = RecordText(json, code);
            if (!value.empty()) {
                document.numbers.push_back(value);
            }
        }
    }
}

void Reconciliation::ReadTaxDocuments(ServiceFolder& run) {
    std::map<std::string, double> sold;
    for (const ServiceFolder::TaxRecord& r : run.TaxRecords()) {
        Document document;
        document.device = "tax service";
        document.printer = r.printer;
        document.numbers = {r.fiscalNumber};
        document.file = r.title;
        if (r.kind == "Return") {
            // A return voids the whole sale it names.
            auto sale = sold.find(r.saleFiscalNumber);
            document.amount = sale == sold.end() ? 0 : -sale->second;
            if (sale == sold.end()) {
                problems.push_back("return " + r.fiscalNumber + " names no sale of the tax service");
            }
        } else {
            document.amount = text::ToDouble(r.total);
            sold[r.fiscalNumber] = document.amount;
        }
        document.name = "tax service " + r.kind + " " + r.fiscalNumber;
        documents.push_back(document);
    }
}

bool Reconciliation::Names(const Document& document, const ServiceFolder::StatusRow& row) const {
    if (document.device == "Czech service") {
        // The code of the first sending in the title; a repeated sending's new FIK in the fiscal number.
        return std::any_of(document.numbers.begin(), document.numbers.end(), [&](const std::string& code) {
            return code == row.title || code == row.checkNumber;
        });
    }
    if (document.numbers.front().empty()) {
        // A cash operation: the printer manager gives it no number; its printer and amount name it.
        return row.checkNumber.empty() && row.attempt == document.printer &&
               (row.title.empty() || row.title == document.file) && SameAmount(row.amount, document.amount);
    }
    if (row.checkNumber != document.numbers.front()) {
        return false;
    }
    if (document.device == "tax service") {
        return true;
    }
    // A check file name names one check of one printer; without one the printer does.
    if (!row.title.empty() && !document.file.empty()) {
        return row.title == document.file;
    }
    return row.attempt == document.printer || row.attempt == "0" || row.attempt.empty();
}

int Reconciliation::Named(const ServiceFolder::StatusRow& row) const {
    int found = -1;
    for (size_t i = 0; i < documents.size(); ++i) {
        if (!Names(documents[i], row)) {
            continue;
        }
        // Fiscal numbers repeat across printers: a row that names no printer takes the one of its
        // amount.
        if (found < 0 || SameAmount(documents[i].amount, row.amount)) {
            found = static_cast<int>(i);
        }
    }
    return found;
}

std::vector<std::string> Reconciliation::Report() const {
    std::vector<std::string> lines;
    size_t rows = 0;
    for (const Document& document : documents) {
        rows += document.rows.size();
    }
    lines.push_back(text::Format("%zu documents registered for %s, named by %zu status rows; %zu rows closed "
                                 "without a registration; %zu problems",
                                 documents.size(), Amount(registeredAmount).c_str(), rows, closed.size(),
                                 problems.size()));
    for (const auto& [trxNo, reason] : closed) {
        lines.push_back(text::Format("  closed without registration: %d, %s", trxNo, reason.c_str()));
    }
    for (const std::string& problem : problems) {
        lines.push_back("  MISMATCH: " + problem);
    }
    return lines;
}
