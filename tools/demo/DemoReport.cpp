#include "DemoReport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "storage/db/OracleFormats.h"

std::map<int, Row> ReadRows(ServiceFolder& run) {
    std::map<int, Row> rows;
    for (const auto& r : run.Rows("select trx_no, trx_code, description, trx_amount, room, bill_no, "
                                  "qel_fisc_status, attempt, check_number, business_date "
                                  "from qel_financial_transactions order by trx_no")) {
        Row row;
        row.trxNo = text::ToInt(r[0]);
        row.code = r[1];
        row.description = platform::ToUtf8(r[2], "1251");
        row.amount = text::Format("%.2f", text::ToDouble(r[3]));
        row.room = r[4];
        row.bill = r[5];
        row.status = r[6];
        row.printer = r[7];
        row.fiscalNumber = r[8];
        row.businessDate = db::oracle::FromDayNumber(text::ToDouble(r[9])).DateText();
        rows[row.trxNo] = row;
    }
    return rows;
}

namespace {

// Whether a log line shows the transaction in a check's text ("Rec id: N", or "+ N" for a
// payment merged into another).
bool Mentions(const std::string& line, int trxNo) {
    for (const std::string& marker : {text::Format("Rec id: %d", trxNo), text::Format("(+ %d", trxNo)}) {
        size_t at = line.find(marker);
        if (at != std::string::npos) {
            size_t end = at + marker.size();
            if (end == line.size() || !std::isdigit(static_cast<unsigned char>(line[end]))) {
                return true;
            }
        }
    }
    return false;
}

// A line of device traffic ("-->", "<--"), or one carrying the field separators of a message.
bool IsDeviceBytes(const std::string& line) {
    if (line.find("-->") != std::string::npos || line.find("<--") != std::string::npos) {
        return true;
    }
    return std::any_of(line.begin(), line.end(), [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u < 0x20 && u != '\t';
    });
}

}  // namespace

std::vector<std::string> Reasons(const std::vector<std::string>& log, int trxNo) {
    static const char* const outcomes[] = {
        "Unsuccessful", "not available",      "cut off",     "Can't",  "failure",       "ERROR",
        "unregistered", "incorrect currency", "ignore list", "saved",  "Not identical", "passed",
        "problem",      "not found",          "gone",        "unable", "Paper",         "error",
        "not expanded", "Ledgix",             "LGXClient",   "Fidelio check sum"};
    // Blocks: each "Print check:" line starts the text of a check, which ends at an empty text.
    size_t segmentStart = std::string::npos;
    size_t segmentEnd = log.size();
    bool inBlock = false;
    size_t blockStart = 0;
    bool blockMentions = false;
    bool lastBlockOurs = false;
    for (size_t i = 0; i <= log.size(); ++i) {
        bool startsBlock = i == log.size() || log[i].find("Print check:") != std::string::npos;
        if (startsBlock) {
            if (inBlock) {
                // The block before this line is complete.
                if (blockMentions && !lastBlockOurs) {
                    segmentStart = blockStart;
                    segmentEnd = log.size();
                } else if (!blockMentions && lastBlockOurs) {
                    segmentEnd = blockStart;
                }
                lastBlockOurs = blockMentions;
            }
            inBlock = true;
            blockStart = i;
            blockMentions = false;
        } else if (inBlock && Mentions(log[i], trxNo)) {
            blockMentions = true;
        }
    }
    std::vector<std::string> reasons;
    if (segmentStart == std::string::npos) {
        return reasons;
    }
    std::set<std::string> seen;
    for (size_t i = segmentStart; i < segmentEnd; ++i) {
        // Past the time stamp ("dd.mm.yyyy hh:mm:ss" and four blanks).
        std::string line = log[i].size() > 24 ? log[i].substr(24) : log[i];
        // Device traffic and check files are bytes for the device, not reasons for a reader.
        if (IsDeviceBytes(line)) {
            continue;
        }
        for (const char* outcome : outcomes) {
            if (line.find(outcome) != std::string::npos && seen.insert(line).second) {
                reasons.push_back(platform::ToUtf8(line, "1251"));
                break;
            }
        }
    }
    return reasons;
}

std::string Counted(size_t count, const std::string& noun) {
    return text::Format("%zu ", count) + noun + (count == 1 ? "" : "s");
}

void Heading(const std::string& title) {
    std::printf("\n== %s ==\n", title.c_str());
}

std::string Pad(const std::string& utf8, size_t width) {
    size_t characters = 0;
    for (char c : utf8) {
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return utf8 + std::string(characters < width ? width - characters : 0, ' ');
}

void ShowRegistered(const std::vector<ServiceFolder::Registered>& records, const std::map<int, Row>& rows) {
    Heading("Checks registered (printer manager record / status table)");
    std::printf("%-7s %-10s %-9s %12s  %-10s %-26s %s\n", "printer", "fiscal no", "document", "amount",
                "trx_no", "payment", "status");
    for (const ServiceFolder::Registered& record : records) {
        std::string trxNumbers, payment, status;
        for (const auto& [trxNo, row] : rows) {
            // A deposit's row names its fiscal number, not its printer.
            bool printer = row.printer == record.printer || (row.status == "D" && row.amount == record.total);
            if (printer && row.fiscalNumber == record.fiscalNumber) {
                trxNumbers += (trxNumbers.empty() ? "" : ",") + std::to_string(trxNo);
                payment = row.code + " " + row.description;
                status += row.status;
            }
        }
        std::printf("%-7s %-10s %-9s %12s  %-10s %s %s\n", record.printer.c_str(), record.fiscalNumber.c_str(),
                    record.documentNumber.empty() ? "-" : record.documentNumber.c_str(), record.total.c_str(),
                    trxNumbers.c_str(), Pad(payment, 26).c_str(), status.c_str());
    }
}

void ShowStatusLetters(const std::map<int, Row>& rows) {
    Heading("Status rows by letter");
    std::map<std::string, std::vector<std::string>> byLetter;
    for (const auto& [trxNo, row] : rows) {
        byLetter[row.status.empty() ? "(empty)" : row.status].push_back(std::to_string(trxNo));
    }
    for (const auto& [letter, numbers] : byLetter) {
        std::printf("%s: %zu  (%s)\n", letter.c_str(), numbers.size(), text::Join(numbers, " ").c_str());
    }
}

void ShowJournal(const std::string& folder) {
    Heading("Check journal");
    for (const std::string& entry : platform::ListFolder(folder)) {
        if (!text::StartsWith(entry, "ST_")) {
            continue;
        }
        for (const std::string& name : platform::ListFolder(folder + entry)) {
            if (text::EndsWith(name, ".ck6")) {
                // The bytes of a check for the device: named, not shown.
                std::printf("%s/%s: the check file of a check the operator closes by hand\n", entry.c_str(),
                            name.c_str());
                continue;
            }
            std::string content;
            platform::ReadFile(folder + entry + "/" + name, content);
            for (const std::string& line : text::Split(content, '\n')) {
                if (!text::Trim(line).empty()) {
                    std::printf("%s/%s: %s\n", entry.c_str(), name.c_str(), platform::ToUtf8(line, "1251").c_str());
                }
            }
        }
    }
}

void ShowReconciliation(ServiceFolder& run, const Reconciliation::Expected& expected,
                        std::vector<std::string>& problems) {
    Heading("Reconciliation (status rows against what the devices registered)");
    Reconciliation reconciliation(run, expected);
    for (const std::string& line : reconciliation.Report()) {
        std::printf("%s\n", platform::MixedToUtf8(line, "1251").c_str());
    }
    for (const std::string& problem : reconciliation.problems) {
        problems.push_back("reconciliation: " + problem);
    }
}
