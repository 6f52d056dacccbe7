#include "service/WorkerHealth.h"

#include <map>

#include "platform/Text.h"

namespace {

// Values stay on their line: a line break in a database message would start a new key.
std::string OneLine(const std::string& value) {
    return text::ReplaceAll(text::ReplaceAll(value, "\r", " "), "\n", " ");
}

}  // namespace

std::string WorkerHealth::StatusText() const {
    if (!waiting.empty()) {
        return "Waiting: " + OneLine(waiting);
    }
    std::vector<std::string> parts;
    if (pendingChecks > 0) {
        parts.push_back(text::Format("%d check%s pending", pendingChecks, pendingChecks == 1 ? "" : "s"));
    }
    if (inDoubtChecks > 0) {
        parts.push_back(text::Format("%d check%s in doubt", inDoubtChecks, inDoubtChecks == 1 ? "" : "s"));
    }
    if (waitingRegistrations > 0) {
        parts.push_back(text::Format("%d registration%s waiting for the database", waitingRegistrations,
                                     waitingRegistrations == 1 ? "" : "s"));
    }
    for (const std::string& printer : unreachablePrinters) {
        parts.push_back("printer " + printer + " unreachable");
    }
    if (paymentsBlocked) {
        parts.push_back("payments blocked");
    }
    if (!databaseReachable) {
        std::string silence;
        if (!databaseSilentSince.empty()) {
            silence = databaseSilentSeconds < 120
                          ? text::Format(" for %lld s", static_cast<long long>(databaseSilentSeconds))
                          : text::Format(" for %lld min", static_cast<long long>(databaseSilentSeconds / 60));
            silence += " (since " + databaseSilentSince + ")";
        }
        parts.push_back("PMS database unreachable" + silence +
                        (databaseError.empty() ? "" : ": " + OneLine(databaseError)));
    }
    if (closed.Total() > 0) {
        parts.push_back(closed.Text());
    }
    return parts.empty() ? "Running" : "Running: " + text::Join(parts, ", ");
}

int64_t WorkerHealth::RoundedSilence(int64_t milliseconds) {
    int64_t seconds = milliseconds / 1000;
    return seconds < 120 ? seconds : seconds / 60 * 60;
}

std::string WorkerHealth::FileText(int pid, const std::string& updated) const {
    return text::Format("pid=%d\n", pid) + "updated=" + updated + "\n" +
           text::Format("pending_checks=%d\n", pendingChecks) +
           text::Format("in_doubt_checks=%d\n", inDoubtChecks) +
           text::Format("waiting_registrations=%d\n", waitingRegistrations) +
           "unreachable_printers=" + text::Join(unreachablePrinters, ",") + "\n" +
           "payments_blocked=" + (paymentsBlocked ? "yes" : "no") + "\n" +
           "database=" + (databaseReachable ? "reachable" : "unreachable") + "\n" +
           "database_error=" + OneLine(databaseError) + "\n" +
           "database_silent_since=" + databaseSilentSince + "\n" +
           text::Format("database_silent_seconds=%lld\n", static_cast<long long>(databaseSilentSeconds)) +
           "waiting=" + OneLine(waiting) + "\n" + "folder=" + OneLine(workingFolder) + "\n" +
           text::Format("closed_by_hand=%d\nclosed_refused=%d\nclosed_split=%d\nclosed_by_rules=%d\n",
                        closed.byHand, closed.refused, closed.split, closed.byRules);
}

bool WorkerHealth::ParseFileText(const std::string& content, WorkerHealth& health, int& pid,
                                 std::string& updated) {
    std::map<std::string, std::string> values;
    for (const std::string& line : text::Split(content, '\n')) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) {
            values[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    for (const char* key : {"pid", "pending_checks", "payments_blocked", "database"}) {
        if (!values.count(key)) {
            return false;
        }
    }
    health = WorkerHealth();
    pid = text::ToInt(values["pid"]);
    updated = values["updated"];
    health.pendingChecks = text::ToInt(values["pending_checks"]);
    health.inDoubtChecks = text::ToInt(values["in_doubt_checks"]);
    health.waitingRegistrations = text::ToInt(values["waiting_registrations"]);
    for (const std::string& printer : text::Split(values["unreachable_printers"], ',')) {
        if (!printer.empty()) {
            health.unreachablePrinters.push_back(printer);
        }
    }
    health.paymentsBlocked = values["payments_blocked"] == "yes";
    health.databaseReachable = values["database"] == "reachable";
    health.databaseError = values["database_error"];
    health.waiting = values["waiting"];
    health.workingFolder = values["folder"];
    health.closed.byHand = text::ToInt(values["closed_by_hand"]);
    health.closed.refused = text::ToInt(values["closed_refused"]);
    health.closed.split = text::ToInt(values["closed_split"]);
    health.closed.byRules = text::ToInt(values["closed_by_rules"]);
    health.databaseSilentSince = values["database_silent_since"];
    health.databaseSilentSeconds = text::ToInt64(values["database_silent_seconds"]);
    return pid > 0;
}
