#include "service/StatusReport.h"

#include <algorithm>
#include <chrono>
#include <map>

#include "config/CConfigurationCheck.h"
#include "config/CFiscalINI.h"
#include "config/CFiscalPrinter.h"
#include "journal/CCheckLogger.h"
#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "service/COutcomeJournal.h"
#include "storage/CFiscalStorage.h"
#include "storage/CStatusTableReader.h"
#include "storage/db/CreateConnection.h"

namespace {

using Letter = CheckStatusLetter;

// The check's rows hold the letter.
bool Holds(const StatusReport::OpenCheck& check, Letter letter) {
    return check.status == LetterText(letter);
}

const char* const kVerdictNames[] = {"healthy", "degraded", "down", "unknown"};

// Texts of the PMS and the configuration as the terminal and JSON readers expect them.
std::string Shown(const std::string& text) {
    return platform::MixedToUtf8(text, "1251");
}

std::string JsonString(const std::string& value) {
    std::string out = "\"";
    for (unsigned char c : Shown(value)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                if (c < 0x20) {
                    out += text::Format("\\u%04x", c);
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string JsonList(const std::vector<std::string>& values) {
    std::vector<std::string> items;
    for (const std::string& value : values) {
        items.push_back(JsonString(value));
    }
    return "[" + text::Join(items, ",") + "]";
}

std::string JsonBool(bool value) {
    return value ? "true" : "false";
}

// The process of the health file is a running FiscoraService (not a later process that got the
// same number).
bool ServiceAlive(int pid) {
    if (!platform::ProcessAlive(pid)) {
        return false;
    }
    std::string name;
    if (!platform::ReadFile(text::Format("/proc/%d/comm", pid), name)) {
        return true;
    }
    return text::Trim(name) == "FiscoraService";
}

bool Attempted(const std::string& attempt) {
    return !attempt.empty() && attempt != "0";
}

// The day number of a "dd.mm.yyyy" date; 0 when the text is none.
long DayNumber(const std::string& date) {
    std::vector<std::string> parts = text::Split(date, '.');
    if (parts.size() != 3) {
        return 0;
    }
    std::chrono::year_month_day day{std::chrono::year(text::ToInt(parts[2])),
                                    std::chrono::month(static_cast<unsigned>(text::ToInt(parts[1]))),
                                    std::chrono::day(static_cast<unsigned>(text::ToInt(parts[0])))};
    return day.ok() ? std::chrono::sys_days(day).time_since_epoch().count() : 0;
}

}  // namespace

StatusReport::StatusReport(const ServicePaths& paths, std::unique_ptr<CWorkerParts> workerParts,
                           const std::string& serviceName)
    : paths(paths), parts(workerParts ? std::move(workerParts) : std::make_unique<CWorkerParts>()) {
    facts.serviceName = serviceName;
}

StatusReport::~StatusReport() = default;

int StatusReport::Run(bool json, FILE* out) {
    Collect();
    std::string report = json ? Json() : Text();
    std::fwrite(report.data(), 1, report.size(), out);
    std::fflush(out);
    return facts.verdict;
}

const StatusReport::Facts& StatusReport::Collect() {
    ReadHealth();
    EnterServiceFolder();
    if (LoadConfiguration()) {
        // Only a back-end of the Opera family (Suite8 included) has a status table to read.
        if (std::unique_ptr<CStatusTableReader> table = parts->CreateStatusReader(*storage)) {
            ReadOpenRows(*table);
            if (facts.databaseReachable) {
                ReadClosedDates(*table);
                ReadClosedRows(*table);
                ReadPaymentEntry(*table);
                ReadDueChecks();
            }
        }
        ReadPrinters();
    }
    ReadOutcomes();
    Judge();
    return facts;
}

bool StatusReport::LoadConfiguration() {
    // Nothing of the report goes to the service's log: a silent log, never opened.
    static CLogFile silent;
    configuration = parts->CreateConfiguration();
    configuration->SetLocation(paths.configurationFile, paths.configurationFolders);
    if (!configuration->Load()) {
        facts.configurationError = configuration->GetLastError();
        return false;
    }
    facts.configurationFile = configuration->GetFileName();
    // What the service's start-up would refuse is refused here too.
    CConfigurationCheck::Result checked = CConfigurationCheck::Check(*configuration);
    facts.configurationWarnings = checked.warnings;
    if (!checked.errors.empty()) {
        facts.configurationError = facts.configurationFile + ": " + text::Join(checked.errors, "; ");
        return false;
    }
    registry = parts->CreatePrinterRegistry();
    if (!registry->Load(*configuration)) {
        facts.configurationError = registry->GetLastError();
        return false;
    }
    configuration->LoadRules();
    std::string reason;
    storage = parts->CreateStorage(configuration->ReadVersion(), reason);
    if (!storage) {
        facts.configurationError = reason.empty() ? configuration->GetLastError() : reason;
        return false;
    }
    storage->SetReadOnly();
    storage->SetLogFile(&silent);
    storage->SetSideFileFolder(paths.sideFileFolder);
    facts.database = db::DescribeConnection(configuration->ReadParameter("//fidelio_ini/base_access"));
    if (!storage->Open(*configuration)) {
        facts.configurationError = storage->GetLastError();
        return false;
    }
    std::string block = configuration->ReadParameter("//fidelio_ini/block_payments");
    facts.paymentBlocking = !(block == "N" || block == "0");
    for (const CPrintLine& line : registry->lines) {
        LineState state;
        state.name = line.name;
        for (int i = 0; i < line.count && i < CPrintLine::kMaxPrinters; ++i) {
            state.printers.push_back(line.printers[i]);
        }
        facts.lines.push_back(state);
    }
    return true;
}

void StatusReport::ReadHealth() {
    std::string content;
    int pid = 0;
    WorkerHealth health;
    std::string updated;
    // A file that is there but may not be read leaves it unknown whether the service runs.
    auto read = [&](const std::string& file) {
        if (platform::ReadFile(file, content)) {
            return true;
        }
        int error = platform::LastSystemError();
        if (!platform::PathMissing(file) && facts.healthError.empty()) {
            facts.healthError = file + " cannot be read: " + text::TrimRight(platform::SystemErrorText(error));
        }
        return false;
    };
    if (read(paths.WaitingFile()) && WorkerHealth::ParseFileText(content, health, pid, updated) &&
        ServiceAlive(pid) && !health.waiting.empty()) {
        facts.waitingPid = pid;
        facts.waiting = health.waiting;
    }
    if (read(paths.HealthFile()) && WorkerHealth::ParseFileText(content, health, pid, updated) &&
        ServiceAlive(pid)) {
        facts.serviceRunning = true;
        facts.pid = pid;
        facts.health = health;
        facts.healthUpdated = updated;
    }
    if (facts.waitingPid == facts.pid) {
        // The copy that waited has just taken the property over; its waiting file goes next.
        facts.waitingPid = 0;
        facts.waiting.clear();
    }
}

void StatusReport::EnterServiceFolder() {
    std::string folder = facts.serviceRunning && !facts.health.workingFolder.empty() ? facts.health.workingFolder
                                                                                     : paths.workingFolder;
    if (folder.empty()) {
        return;
    }
    if (folder.back() != '/' && folder.back() != '\\') {
        folder += "/";
    }
    facts.workingFolder = folder;
    if (!platform::SetCurrentFolder(folder)) {
        facts.workingFolderError =
            "cannot be entered: " + text::TrimRight(platform::SystemErrorText(platform::LastSystemError()));
        return;
    }
    if (paths.configurationFile.empty() && !paths.configurationFolders.empty()) {
        // The service looks in its working folder first, not in the caller's.
        paths.configurationFolders.front() = folder;
    }
}

int StatusReport::LineOf(CFiscalCheck& check) {
    int line = registry->FindLine(check);
    return line >= 0 && static_cast<size_t>(line) < facts.lines.size() ? line : -1;
}

void StatusReport::ReadOpenRows(CStatusTableReader& table) {
    std::vector<CStatusTableReader::Row> rows;
    facts.databaseReachable = table.ReadOpenRows(rows, facts.databaseError);
    if (!facts.databaseReachable) {
        return;
    }
    // Full checks are bills; in payments-only mode every payment is a check of its own.
    bool byBill = table.ChecksAreBills();
    std::map<std::string, size_t> index;
    for (const CStatusTableReader::Row& row : rows) {
        std::string trxNo = std::to_string(row.transaction);
        std::string key = row.status + "/" + (byBill && !row.bill.empty() ? row.bill : trxNo);
        auto found = index.find(key);
        if (found == index.end()) {
            OpenCheck check;
            check.bill = row.bill;
            check.status = row.status;
            check.businessDate = row.businessDate;
            found = index.emplace(key, facts.open.size()).first;
            facts.open.push_back(check);
        }
        OpenCheck& check = facts.open[found->second];
        check.transactions.push_back(row.transaction);
        check.amount += row.amount;
        if (Attempted(row.attempt)) {
            check.printer = row.attempt;
        }
        if (!row.checkNumber.empty()) {
            check.fiscalNumber = row.checkNumber;
        }
        check.waiting = Holds(check, Letter::NotRegistered) && !check.fiscalNumber.empty();
        check.failed = !check.waiting && (Holds(check, Letter::DescriptionSaved) ||
                                          (Holds(check, Letter::NotRegistered) && !check.printer.empty()));
        if (check.line.empty()) {
            // The line the worker would choose from what the row tells of the check.
            CFiscalCheck probe;
            probe.station = row.machine;
            probe.cashierId = row.cashier;
            probe.room = row.room;
            struct_posting payment;
            payment.trx_code = row.trxCode;
            probe.payments.push_back(payment);
            int line = LineOf(probe);
            if (line >= 0) {
                check.line = facts.lines[static_cast<size_t>(line)].name;
                ++facts.lines[static_cast<size_t>(line)].pending;
            }
        }
    }
}

void StatusReport::ReadClosedDates(CStatusTableReader& table) {
    const CStatusTableReader::EarlierDates policy = table.EarlierDatesPolicy();
    facts.earlierDates = policy.rule;
    if (!table.ReadOpenBusinessDate(facts.openBusinessDate) || facts.openBusinessDate.empty()) {
        return;
    }
    const long open = DayNumber(facts.openBusinessDate);
    const bool czech = policy.czech;
    for (OpenCheck& check : facts.open) {
        const long day = DayNumber(check.businessDate);
        if (day == 0 || day >= open || Holds(check, Letter::DescriptionSaved)) {
            continue;
        }
        std::string closed = "of a closed business date";
        if (czech) {
            check.needsOperator = !Holds(check, Letter::RegisterAgain);
            check.closedDate = closed + (check.needsOperator ? ": needs the operator (the Czech registration "
                                                               "sends it only when its rows are marked S)"
                                                             : ": sent again once no bill of the open date is due");
        } else if (!policy.taken) {
            check.needsOperator = true;
            check.closedDate = closed + ": needs the operator (earlier_days is 0, no cycle takes it up)";
        } else if (open - day > policy.days) {
            check.needsOperator = true;
            check.closedDate =
                closed + text::Format(": needs the operator (older than the %d days of earlier_days)",
                                      policy.days);
        } else {
            check.closedDate = closed + ": registered after the open date's checks, with its own date";
        }
    }
}

void StatusReport::ReadClosedRows(CStatusTableReader& table) {
    std::vector<CStatusTableReader::Row> rows;
    if (!table.ReadClosedRows(rows)) {
        return;
    }
    for (const CStatusTableReader::Row& row : rows) {
        facts.closed.push_back({row.transaction, row.bill, row.businessDate, row.amount});
    }
}

void StatusReport::ReadOutcomes() {
    COutcomeJournal journal;
    if (!journal.Read(paths.journalFolder, facts.outcomesError)) {
        return;
    }
    for (const auto& [key, entry] : journal.Entries()) {
        Outcome outcome;
        outcome.key = key;
        outcome.printer = entry.printer;
        outcome.time = entry.time;
        outcome.answer = AnswerKindText(entry.answer);
        outcome.firstTransaction = entry.firstTransaction;
        outcome.registered = entry.state == COutcomeJournal::State::Outcome;
        // The open check it is: the journal knows better than the row what became of it.
        bool open = false;
        for (OpenCheck& check : facts.open) {
            if (std::find(check.transactions.begin(), check.transactions.end(), entry.firstTransaction) !=
                check.transactions.end()) {
                open = true;
                check.inDoubt = !outcome.registered;
                check.waiting = outcome.registered;
                check.failed = false;
                check.printer = entry.printer;
            }
        }
        outcome.settled = !outcome.registered && !open && facts.databaseReachable;
        facts.outcomes.push_back(outcome);
    }
}

void StatusReport::ReadDueChecks() {
    std::vector<CFiscalCheck> checks;
    storage->GetChecks(checks);
    facts.due = static_cast<int>(checks.size());
    for (CFiscalCheck& check : checks) {
        int line = LineOf(check);
        if (line >= 0) {
            ++facts.lines[static_cast<size_t>(line)].due;
        }
    }
}

void StatusReport::ReadPaymentEntry(CStatusTableReader& table) {
    if (!table.ReadBlockedPaymentCodes(facts.blockedCodes)) {
        return;
    }
    facts.paymentsKnown = true;
    facts.paymentsBlocked = !facts.blockedCodes.empty();
}

void StatusReport::ReadPrinters() {
    CCheckLogger journal;
    journal.SetBaseFolder(paths.journalFolder);
    for (const CPrinterControl& printer : registry->printers) {
        PrinterState state;
        state.name = printer.name;
        state.address = printer.ConnectionText();
        journal.LastEntry(printer, state.journalDate, state.lastEntry);
        const std::vector<std::string>& down = facts.health.unreachablePrinters;
        state.unreachable = std::find(down.begin(), down.end(), printer.name) != down.end();
        facts.printers.push_back(state);
    }
}

void StatusReport::Judge() {
    std::vector<std::string>& why = facts.reasons;
    if (!facts.configurationError.empty()) {
        facts.verdict = Unknown;
        why.push_back("configuration: " + text::ReplaceAll(facts.configurationError, "\n", " "));
        return;
    }
    if (!facts.serviceRunning && facts.waitingPid == 0) {
        why.push_back(facts.healthError.empty() ? "the service is not running"
                                                : "whether the service runs is unknown: " + facts.healthError);
    }
    if (!facts.databaseReachable) {
        why.push_back("PMS database unreachable");
    }
    facts.verdict = why.empty() ? Healthy : Down;
    if (!facts.serviceRunning && facts.waitingPid == 0 && !facts.healthError.empty() && facts.databaseReachable) {
        facts.verdict = Unknown;
    }
    int failed = 0;
    int inDoubt = 0;
    int waiting = 0;
    int forTheOperator = 0;
    for (const Outcome& outcome : facts.outcomes) {
        inDoubt += !outcome.registered && !outcome.settled;
        waiting += outcome.registered;
    }
    for (const OpenCheck& check : facts.open) {
        failed += check.failed;
        forTheOperator += check.needsOperator && !check.inDoubt && !check.waiting;
        // An N row with a fiscal number that the outcome journal does not hold.
        waiting += check.waiting &&
                   std::none_of(facts.outcomes.begin(), facts.outcomes.end(), [&](const Outcome& o) {
                       return o.registered && std::find(check.transactions.begin(), check.transactions.end(),
                                                        o.firstTransaction) != check.transactions.end();
                   });
    }
    std::vector<std::string> degraded;
    if (!facts.serviceRunning && facts.waitingPid != 0) {
        // It runs, but registers nothing here while another service holds the property.
        degraded.push_back("waiting: " + facts.waiting);
    }
    if (failed > 0) {
        degraded.push_back(text::Format("%d failed check%s", failed, failed == 1 ? "" : "s"));
    }
    if (inDoubt > 0) {
        degraded.push_back(text::Format("%d check%s in doubt", inDoubt, inDoubt == 1 ? "" : "s"));
    }
    if (forTheOperator > 0) {
        degraded.push_back(text::Format("%d check%s of closed business dates need%s the operator", forTheOperator,
                                        forTheOperator == 1 ? "" : "s", forTheOperator == 1 ? "s" : ""));
    }
    if (waiting > 0) {
        degraded.push_back(
            text::Format("%d registration%s waiting for the database", waiting, waiting == 1 ? "" : "s"));
    }
    if (!facts.outcomesError.empty()) {
        degraded.push_back(facts.outcomesError);
    }
    if (facts.paymentsBlocked) {
        degraded.push_back("payments blocked");
    }
    for (const PrinterState& printer : facts.printers) {
        if (printer.unreachable) {
            degraded.push_back("printer " + printer.name + " unreachable");
        }
    }
    if (facts.verdict == Healthy && !degraded.empty()) {
        facts.verdict = Degraded;
    }
    why.insert(why.end(), degraded.begin(), degraded.end());
}

std::string StatusReport::Text() const {
    std::string t = facts.serviceName + ": " + kVerdictNames[facts.verdict];
    t += facts.reasons.empty() ? "\n" : " (" + text::Join(facts.reasons, ", ") + ")\n";
    if (!facts.configurationError.empty()) {
        return Shown(t);
    }
    t += "  configuration: " + facts.configurationFile + "\n";
    if (!facts.workingFolder.empty()) {
        t += "  working folder: " + facts.workingFolder +
             (facts.workingFolderError.empty() ? "" : " " + facts.workingFolderError) + "\n";
    }
    for (const std::string& warning : facts.configurationWarnings) {
        t += "    warning: " + warning + "\n";
    }
    t += facts.serviceRunning ? text::Format("  service: running (pid %d), health of %s: ", facts.pid,
                                             facts.healthUpdated.c_str()) +
                                    facts.health.StatusText() + "\n"
         : facts.waitingPid != 0   ? ""
         : facts.healthError.empty() ? "  service: not running\n"
                                     : "  service: unknown, " + facts.healthError + "\n";
    if (facts.waitingPid != 0) {
        t += text::Format("  %s: waiting (pid %d): ", facts.serviceRunning ? "another copy" : "service",
                          facts.waitingPid) +
             facts.waiting + "\n";
    }
    std::string engine = facts.database.empty() ? "" : " (" + facts.database + ")";
    t += "  PMS database: " +
         (facts.databaseReachable ? "reachable" + engine : "unreachable" + engine + ": " + facts.databaseError) +
         "\n";
    std::string payments = !facts.paymentBlocking ? "never blocked (block_payments is off)"
                           : !facts.paymentsKnown ? "unknown"
                           : facts.paymentsBlocked
                               ? "blocked (codes " + text::Join(facts.blockedCodes, ", ") + ")"
                               : "open";
    t += "  payments: " + payments + "\n";
    if (!facts.openBusinessDate.empty()) {
        t += "  open business date: " + facts.openBusinessDate + "\n";
    }
    if (!facts.earlierDates.empty()) {
        t += "  " + facts.earlierDates + "\n";
    }
    t += text::Format("Printer lines (%d checks due in the next cycle):\n", facts.due);
    for (const LineState& line : facts.lines) {
        t += text::Format("  %-12s printers %-10s due %d, pending %d\n", line.name.c_str(),
                          text::Join(line.printers, ",").c_str(), line.due, line.pending);
    }
    t += "Printers:\n";
    for (const PrinterState& printer : facts.printers) {
        t += "  " + printer.name + " (" + printer.address + "): ";
        t += printer.lastEntry.empty() ? "no registration in its journal"
                                       : "last registration " + printer.journalDate + " " + printer.lastEntry;
        t += printer.unreachable ? "; unreachable\n" : "\n";
    }
    t += text::Format("Open checks: %zu\n", facts.open.size());
    for (const OpenCheck& check : facts.open) {
        std::vector<std::string> trx;
        for (int n : check.transactions) {
            trx.push_back(std::to_string(n));
        }
        std::string state =
            check.inDoubt   ? "in doubt on printer " + check.printer
            : check.waiting ? "registered" + (check.printer.empty() ? "" : " on printer " + check.printer) +
                                  (check.fiscalNumber.empty() ? "" : " as " + check.fiscalNumber) +
                                  ", status not saved yet"
            : check.failed ? "failed" + (check.printer.empty() ? "" : " on printer " + check.printer)
            : Holds(check, Letter::RegisterAgain) ? "to be registered again"
                                                  : "pending";
        t += text::Format("  %s bill %s, business date %s, %.2f, line %s, trx %s: ", check.status.c_str(),
                          check.bill.c_str(), check.businessDate.c_str(), check.amount,
                          check.line.empty() ? "-" : check.line.c_str(), text::Join(trx, ",").c_str()) +
             state + (check.closedDate.empty() ? "" : "; " + check.closedDate) + "\n";
    }
    if (!facts.closed.empty()) {
        t += text::Format("Closed without a registration on business date %s: %zu (the log says why)\n",
                          facts.closed.back().businessDate.c_str(), facts.closed.size());
        for (const ClosedRow& row : facts.closed) {
            t += text::Format("  trx %d, bill %s, %.2f\n", row.transaction, row.bill.empty() ? "-" : row.bill.c_str(),
                              row.amount);
        }
    }
    if (!facts.outcomes.empty()) {
        t += text::Format("Outcome journal: %zu\n", facts.outcomes.size());
        for (const Outcome& outcome : facts.outcomes) {
            t += text::Format("  %s printer %s, trx %d, since %s: ", outcome.key.c_str(),
                              outcome.printer.c_str(), outcome.firstTransaction, outcome.time.c_str()) +
                 (outcome.registered ? "registered, waiting for the database"
                  : outcome.settled  ? "final in the status table, settled at the next start"
                                     : "in doubt (" + outcome.answer + ")") +
                 "\n";
        }
    }
    return Shown(t);
}

std::string StatusReport::Json() const {
    std::string j = "{\"service\":" + JsonString(facts.serviceName) + ",\"verdict\":\"" +
                    kVerdictNames[facts.verdict] + "\"" + text::Format(",\"exit_code\":%d", facts.verdict) +
                    ",\"reasons\":" + JsonList(facts.reasons) +
                    ",\"configuration\":" + JsonString(facts.configurationFile) +
                    ",\"configuration_error\":" + JsonString(facts.configurationError) +
                    ",\"configuration_warnings\":" + JsonList(facts.configurationWarnings);
    j += ",\"running\":" + JsonBool(facts.serviceRunning) + text::Format(",\"pid\":%d", facts.pid) +
         ",\"health_updated\":" + JsonString(facts.healthUpdated) +
         ",\"health\":" + JsonString(facts.serviceRunning ? facts.health.StatusText() : "") +
         text::Format(",\"waiting_pid\":%d", facts.waitingPid) + ",\"waiting\":" + JsonString(facts.waiting);
    j += ",\"working_folder\":" + JsonString(facts.workingFolder) + ",\"health_error\":" + JsonString(facts.healthError);
    j += ",\"database\":{\"engine\":" + JsonString(facts.database) + ",\"reachable\":" + JsonBool(facts.databaseReachable) +
         ",\"error\":" + JsonString(facts.databaseError) + "}";
    j += ",\"payments\":{\"blocking\":" + JsonBool(facts.paymentBlocking) +
         ",\"known\":" + JsonBool(facts.paymentsKnown) + ",\"blocked\":" + JsonBool(facts.paymentsBlocked) +
         ",\"blocked_codes\":" + JsonList(facts.blockedCodes) + "}";
    j += ",\"open_business_date\":" + JsonString(facts.openBusinessDate) +
         ",\"earlier_dates\":" + JsonString(facts.earlierDates);
    j += text::Format(",\"due\":%d,\"lines\":[", facts.due);
    for (size_t i = 0; i < facts.lines.size(); ++i) {
        const LineState& line = facts.lines[i];
        j += (i ? "," : "") + std::string("{\"name\":") + JsonString(line.name) +
             ",\"printers\":" + JsonList(line.printers) +
             text::Format(",\"due\":%d,\"pending\":%d}", line.due, line.pending);
    }
    j += "],\"printers\":[";
    for (size_t i = 0; i < facts.printers.size(); ++i) {
        const PrinterState& printer = facts.printers[i];
        j += (i ? "," : "") + std::string("{\"name\":") + JsonString(printer.name) +
             ",\"address\":" + JsonString(printer.address) +
             ",\"journal_date\":" + JsonString(printer.journalDate) +
             ",\"last_entry\":" + JsonString(printer.lastEntry) +
             ",\"unreachable\":" + JsonBool(printer.unreachable) + "}";
    }
    j += "],\"open_checks\":[";
    for (size_t i = 0; i < facts.open.size(); ++i) {
        const OpenCheck& check = facts.open[i];
        std::string trx;
        for (size_t k = 0; k < check.transactions.size(); ++k) {
            trx += (k ? "," : "") + std::to_string(check.transactions[k]);
        }
        j += (i ? "," : "") + std::string("{\"status\":") + JsonString(check.status) +
             ",\"bill\":" + JsonString(check.bill) + ",\"line\":" + JsonString(check.line) +
             ",\"printer\":" + JsonString(check.printer) +
             ",\"fiscal_number\":" + JsonString(check.fiscalNumber) +
             ",\"business_date\":" + JsonString(check.businessDate) +
             text::Format(",\"amount\":%.2f", check.amount) + ",\"transactions\":[" + trx +
             "],\"failed\":" + JsonBool(check.failed) + ",\"in_doubt\":" + JsonBool(check.inDoubt) +
             ",\"waiting\":" + JsonBool(check.waiting) + ",\"closed_date\":" + JsonString(check.closedDate) +
             ",\"needs_operator\":" + JsonBool(check.needsOperator) + "}";
    }
    j += "],\"closed_without_registration\":[";
    for (size_t i = 0; i < facts.closed.size(); ++i) {
        const ClosedRow& row = facts.closed[i];
        j += (i ? "," : "") + text::Format("{\"transaction\":%d,\"bill\":", row.transaction) + JsonString(row.bill) +
             ",\"business_date\":" + JsonString(row.businessDate) + text::Format(",\"amount\":%.2f}", row.amount);
    }
    j += "],\"outcomes\":[";
    for (size_t i = 0; i < facts.outcomes.size(); ++i) {
        const Outcome& outcome = facts.outcomes[i];
        j += (i ? "," : "") + std::string("{\"key\":") + JsonString(outcome.key) +
             ",\"printer\":" + JsonString(outcome.printer) + ",\"time\":" + JsonString(outcome.time) +
             ",\"answer\":" + JsonString(outcome.answer) +
             text::Format(",\"transaction\":%d", outcome.firstTransaction) +
             ",\"registered\":" + JsonBool(outcome.registered) + ",\"settled\":" + JsonBool(outcome.settled) +
             "}";
    }
    return j + "]}\n";
}
