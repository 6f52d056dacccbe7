// fiscora_demo: the demo that scripts/demo.sh runs. It generates the demo hotel's PMS in a work
// folder, starts the printer-manager simulator on 127.0.0.1 (a free port, written into the work
// folder's copy of demo/VuvovaZododAVU.xml) and the check-database server simulator on
// 127.0.0.1:5196 with the POS checks of the restaurant, runs FiscoraService there with short pauses until
// every due payment of the demo day is registered (or the time limit passes), stops it with
// SIGTERM and prints what happened: the registered checks with their fiscal numbers, the status
// rows by letter, the restaurant check with its POS items, the check journal and what was left
// unregistered and why.
//   fiscora_demo [--work FOLDER] [--time-limit SECONDS] [--program FiscoraService]
//                [--configuration demo/VuvovaZododAVU.xml] [--czech]
// --czech runs the demo hotel with printer type 10 (demo/czech/VuvovaZododAVU.xml) against the
// Czech sales-registration simulator instead (see CzechDemo.h).
// Exit code 0 when every due payment was registered exactly once and the ignored one was closed
// without registration; 1 otherwise.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "CzechDemo.h"
#include "ServiceFolder.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "storage/db/OracleFormats.h"

namespace {

struct Settings {
    std::string work;
    std::string program;
    std::string configuration;
    int timeLimitSeconds = 180;
    bool czech = false;
};

std::string Clean(const std::string& path) {
    return std::filesystem::weakly_canonical(path).string();
}

bool ReadSettings(int argc, char** argv, Settings& settings) {
    std::string here = platform::ProgramFolder();
    settings.work = Clean(here + "../../demo-run") + "/";
    settings.program = Clean(here + "../../FiscoraService");
    settings.configuration = std::string(FISCORA_SOURCE_DIR) + "/demo/VuvovaZododAVU.xml";
    std::vector<std::string> args(argv + 1, argv + argc);
    auto czech = std::find(args.begin(), args.end(), "--czech");
    if (czech != args.end()) {
        settings.czech = true;
        settings.configuration = std::string(FISCORA_SOURCE_DIR) + "/demo/czech/VuvovaZododAVU.xml";
        args.erase(czech);
    }
    for (size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::string& option = args[i];
        const std::string& value = args[i + 1];
        if (option == "--work") {
            settings.work = Clean(value) + "/";
        } else if (option == "--time-limit") {
            settings.timeLimitSeconds = text::ToInt(value);
        } else if (option == "--program") {
            settings.program = Clean(value);
        } else if (option == "--configuration") {
            settings.configuration = Clean(value);
        } else {
            return false;
        }
    }
    return args.size() % 2 == 0 && settings.timeLimitSeconds > 0;
}

// One row of the status table as the summary shows it.
struct Row {
    int trxNo = 0;
    std::string code, description, amount, room, bill, status, printer, fiscalNumber, businessDate;
};

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

// The lines that tell why a transaction ended as it did: the service writes a check's text at
// the start of its processing, so what it logged about the transaction lies between the first of
// its last run of check texts and the next text of another check. Only the lines that report an
// outcome are kept.
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
        for (const char* outcome : outcomes) {
            if (line.find(outcome) != std::string::npos && seen.insert(line).second) {
                reasons.push_back(platform::ToUtf8(line, "1251"));
                break;
            }
        }
    }
    return reasons;
}

void Heading(const std::string& title) {
    std::printf("\n== %s ==\n", title.c_str());
}

// The text padded with blanks to a width in characters (UTF-8 texts have several bytes to some).
std::string Pad(const std::string& utf8, size_t width) {
    size_t characters = 0;
    for (char c : utf8) {
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return utf8 + std::string(characters < width ? width - characters : 0, ' ');
}

// The restaurant payment that the POS interface posted: the POS check it was expanded into, item
// by item as the printer manager registered it, or why it was registered as booked.
void ShowRestaurantCheck(ServiceFolder& run, const std::map<int, Row>& rows,
                         const std::vector<ServiceFolder::Registered>& records, const std::vector<std::string>& log,
                         std::vector<std::string>& problems) {
    const pmsgen::Summary& pms = run.Pms();
    Heading("Restaurant check (POS reference " + pms.posReference + ")");
    auto row = rows.find(pms.restaurantPayment);
    const ServiceFolder::Registered* document = nullptr;
    for (const ServiceFolder::Registered& record : records) {
        if (row != rows.end() && record.printer == row->second.printer &&
            record.fiscalNumber == row->second.fiscalNumber) {
            document = &record;
        }
    }
    if (!document) {
        std::printf("payment %d was not registered\n", pms.restaurantPayment);
        return;
    }
    std::printf("payment %d %s %s, printer %s fiscal no %s:\n", pms.restaurantPayment, row->second.code.c_str(),
                row->second.amount.c_str(), document->printer.c_str(), document->fiscalNumber.c_str());
    std::printf("  %-4s %-6s %-28s %9s %12s  %s\n", "kind", "code", "item", "quantity", "amount", "sub-code");
    for (const ServiceFolder::Item& item : document->items) {
        std::printf("  %-4s %-6s %s %9s %12s  %s\n", item.kind.c_str(), item.code.c_str(),
                    Pad(item.description, 28).c_str(), item.quantity.c_str(), item.amount.c_str(),
                    item.subCode.c_str());
    }
    if (document->items.size() < 2) {
        for (const std::string& line : Reasons(log, pms.restaurantPayment)) {
            std::printf("    %s\n", line.c_str());
        }
        problems.push_back("the restaurant payment was registered as booked, not item by item");
    }
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ReadSettings(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: fiscora_demo [--work FOLDER] [--time-limit SECONDS] [--program FiscoraService] "
                     "[--configuration VuvovaZododAVU.xml] [--czech]\n");
        return 2;
    }
    std::error_code ignored;
    std::filesystem::remove_all(settings.work, ignored);
    if (!platform::MakeDirectories(settings.work)) {
        std::fprintf(stderr, "fiscora_demo: cannot create %s\n", settings.work.c_str());
        return 1;
    }
    ServiceFolder run(settings.work, settings.program, settings.configuration);
    std::string error;
    if (settings.czech) {
        if (!run.MakePms(pmsgen::Options(), error)) {
            std::fprintf(stderr, "fiscora_demo: %s\n", error.c_str());
            return 1;
        }
        std::printf("Demo hotel: %sdemo_pms.db, open business date %s: %zu bills\n", settings.work.c_str(),
                    run.Pms().businessDate.c_str(), run.Pms().bills.size());
        return RunCzechDemo(run, settings.timeLimitSeconds);
    }
    if (!run.MakePms(pmsgen::Options(), error) || !run.StartSimulators({"SIM"}, error) ||
        !run.StartCheckDatabase(error)) {
        std::fprintf(stderr, "fiscora_demo: %s\n", error.c_str());
        return 1;
    }
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> due = run.DuePayments();
    std::vector<int> deposits = run.DueDeposits();
    std::printf(
        "Demo hotel: %sdemo_pms.db, open business date %s: %zu bills, %zu payments due, %zu of them on "
        "an ignored room or cashier\n",
        settings.work.c_str(), pms.businessDate.c_str(), pms.bills.size(), pms.paymentsOfTheDay.size(),
        pms.ignoredPayments.size());
    std::printf("Printer manager simulator: 127.0.0.1:%u, records in %schecks0.jsonl\n",
                run.Simulator().Port(), settings.work.c_str());
    std::printf("Check-database server simulator: 127.0.0.1:%u, POS checks from %spos_checks.json\n",
                run.CheckDatabase().TcpPort(), settings.work.c_str());
    if (!run.Configure({}, 500) || !run.StartService()) {
        std::fprintf(stderr, "fiscora_demo: cannot start %s in %s with %s\n", settings.program.c_str(),
                     settings.work.c_str(), settings.configuration.c_str());
        return 1;
    }
    std::printf(
        "FiscoraService runs in %s (log qelfiscal.log); each check takes about a second (the fixed\n"
        "pause before it), the demo configuration's pauses are shortened to 1 ms after a check and\n"
        "500 ms between polling cycles. Time limit: %d s.\n",
        settings.work.c_str(), settings.timeLimitSeconds);
    std::fflush(stdout);

    // Until every due payment and the ignored ones are done (Y) and every deposit is registered (D).
    std::vector<int> expected = due;
    expected.insert(expected.end(), pms.ignoredPayments.begin(), pms.ignoredPayments.end());
    std::vector<int> all = expected;
    all.insert(all.end(), deposits.begin(), deposits.end());
    auto start = std::chrono::steady_clock::now();
    size_t reported = 0;
    bool done = false;
    bool ended = false;
    while (!done && !ended &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(settings.timeLimitSeconds)) {
        done = run.WaitForStatus(expected, "Y", 1000) && run.WaitForStatus(deposits, "D", 0);
        ended = !run.ServiceRunning();
        size_t registered = run.Records().size();
        if (registered >= reported + 5 || (done && registered != reported)) {
            std::printf("  %zu of %zu checks registered\n", registered, run.DueRegistrations());
            std::fflush(stdout);
            reported = registered;
        }
    }
    int exitCode = run.StopService(15000);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("FiscoraService stopped with SIGTERM after %.0f s, exit code %d\n", seconds, exitCode);

    std::map<int, Row> rows = ReadRows(run);
    std::vector<ServiceFolder::Registered> records = run.Records();
    std::vector<std::string> problems;
    if (ended) {
        problems.push_back("FiscoraService ended by itself (see service.out and qelfiscal.log)");
    } else if (!done) {
        problems.push_back(text::Format("the time limit of %d s passed first", settings.timeLimitSeconds));
    }
    if (exitCode != 0) {
        problems.push_back("FiscoraService did not stop cleanly on SIGTERM");
    }

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
        std::printf("%-7s %-10s %-9s %12s  %-10s %s %s\n", record.printer.c_str(),
                    record.fiscalNumber.c_str(),
                    record.documentNumber.empty() ? "-" : record.documentNumber.c_str(), record.total.c_str(),
                    trxNumbers.c_str(), Pad(payment, 26).c_str(), status.c_str());
    }
    std::string logText = run.Log();
    std::vector<std::string> log = text::Split(logText, '\n');
    std::vector<std::string> registration = run.RegistrationProblems(records, run.DueRegistrations());
    problems.insert(problems.end(), registration.begin(), registration.end());

    ShowRestaurantCheck(run, rows, records, log, problems);

    Heading("Status rows by letter");
    std::map<std::string, std::vector<const Row*>> byLetter;
    for (const auto& [trxNo, row] : rows) {
        byLetter[row.status.empty() ? "(empty)" : row.status].push_back(&row);
    }
    for (const auto& [letter, list] : byLetter) {
        std::vector<std::string> numbers;
        for (const Row* row : list) {
            numbers.push_back(std::to_string(row->trxNo));
        }
        std::printf("%s: %zu  (%s)\n", letter.c_str(), list.size(), text::Join(numbers, " ").c_str());
    }

    Heading("Closed without registration");
    for (const auto& [trxNo, row] : rows) {
        if (row.status == "Y" && row.fiscalNumber.empty()) {
            std::vector<std::string> why = Reasons(log, trxNo);
            std::printf("%d  %s %s  room %s  bill %s: %s\n", trxNo, row.code.c_str(), row.amount.c_str(),
                        row.room.c_str(), row.bill.c_str(),
                        why.empty() ? "(no reason in the log)" : why[0].c_str());
        }
    }

    Heading("Check journal");
    for (const std::string& entry : platform::ListFolder(settings.work)) {
        if (!text::StartsWith(entry, "ST_")) {
            continue;
        }
        for (const std::string& name : platform::ListFolder(settings.work + entry)) {
            std::string content;
            platform::ReadFile(settings.work + entry + "/" + name, content);
            for (const std::string& line : text::Split(content, '\n')) {
                if (!text::Trim(line).empty()) {
                    std::printf("%s/%s: %s\n", entry.c_str(), name.c_str(),
                                platform::ToUtf8(line, "1251").c_str());
                }
            }
        }
    }

    Heading("Left unregistered");
    size_t left = 0;
    for (const auto& [trxNo, row] : rows) {
        if (row.status == "Y" || row.status == "D") {
            continue;
        }
        ++left;
        bool isDue = std::find(due.begin(), due.end(), trxNo) != due.end() ||
                     std::find(deposits.begin(), deposits.end(), trxNo) != deposits.end();
        std::printf("%d  %s %s  room %s  bill %s  business date %s, status %s\n", trxNo, row.code.c_str(),
                    row.amount.c_str(), row.room.c_str(), row.bill.c_str(), row.businessDate.c_str(),
                    row.status.c_str());
        std::vector<std::string> why = Reasons(log, trxNo);
        if (why.empty()) {
            std::printf("    not taken up in this run%s\n",
                        row.businessDate != pms.businessDate
                            ? ": it belongs to an earlier business date, and "
                              "payments are found on the open one"
                            : "");
        }
        for (const std::string& reason : why) {
            std::printf("    %s\n", reason.c_str());
        }
        if (isDue) {
            problems.push_back(
                text::Format("payment %d of the open date is left %s", trxNo, row.status.c_str()));
        }
    }
    for (int trxNo : all) {
        if (rows.count(trxNo) == 0) {
            ++left;
            std::printf("%d  no status row: never taken up\n", trxNo);
            problems.push_back(text::Format("payment %d was never taken up", trxNo));
        }
    }
    if (left == 0) {
        std::printf("nothing\n");
    }
    for (int trxNo : pms.ignoredPayments) {
        auto row = rows.find(trxNo);
        if (row != rows.end() && (row->second.status != "Y" || !row->second.fiscalNumber.empty())) {
            problems.push_back(
                text::Format("payment %d should have been closed without registration", trxNo));
        }
    }

    Heading("Result");
    std::printf("%zu checks registered for %zu due payments and %zu deposits, %zu closed without registration; "
                "log lines: %zu\n",
                records.size(), due.size(), deposits.size(), pms.ignoredPayments.size(), log.size());
    if (problems.empty()) {
        std::printf("OK: every due payment and deposit of the demo day was registered exactly once.\n");
        return 0;
    }
    for (const std::string& problem : problems) {
        std::printf("FAILED: %s\n", problem.c_str());
    }
    return 1;
}
