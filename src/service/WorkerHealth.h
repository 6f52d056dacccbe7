#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/ClosedChecks.h"

// What the running worker knows about its own health: checks it could not register yet,
// printers that do not answer, whether PMS payments are switched off and whether the PMS
// database answers. The service reports it to systemd (STATUS=) and keeps it in its health file,
// where the status command reads it.
struct WorkerHealth {
    // Checks of the current polling cycle not yet registered, and those whose registration failed.
    int pendingChecks = 0;
    // Checks sent whose answer never came whole: they may be registered, and wait for their printer.
    int inDoubtChecks = 0;
    // Checks registered whose status the database has not taken yet (kept in the outcome journal).
    int waitingRegistrations = 0;
    std::vector<std::string> unreachablePrinters;
    bool paymentsBlocked = false;
    bool databaseReachable = true;
    std::string databaseError;
    // While the database does not answer: since when (local time) and for how long, in seconds
    // (whole minutes from two minutes on).
    std::string databaseSilentSince;
    int64_t databaseSilentSeconds = 0;
    // Why this service does not register: another service holds the property, or its lease
    // cannot be checked. Empty while it holds the property.
    std::string waiting;
    // The working folder of the service process (the service host fills it in for the file):
    // relative paths of the configuration are taken from it, and so the status command takes
    // them from it too.
    std::string workingFolder;
    // Checks closed without a registration on the business day, since the service started.
    ClosedChecks closed;

    bool operator==(const WorkerHealth& other) const = default;

    // The silence of the database as the health keeps it, rounded so that it changes seldom.
    static int64_t RoundedSilence(int64_t milliseconds);
    // One line for systemd: "Running" or "Running: 3 checks pending, printer 1 unreachable, ...",
    // or "Waiting: ..." while another service holds the property.
    std::string StatusText() const;
    // The health file: the process, the time and the health, one "key=value" per line.
    std::string FileText(int pid, const std::string& updated) const;
    // Reads a health file's text; false when it is not one.
    static bool ParseFileText(const std::string& content, WorkerHealth& health, int& pid,
                              std::string& updated);
};
