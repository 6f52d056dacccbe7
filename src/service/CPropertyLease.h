#pragma once

#include <atomic>
#include <string>

#include "service/CFiscalStorage.h"

class CLogFile;

// The worker's hold on the lease of its property (CFiscalStorage::HoldLease): only the service
// holding it registers checks and switches payment entry, so that two services started against
// one PMS never both register a bill. A service that finds the lease held by another waits,
// says so in the log and (through the worker's health) in its service status, and takes over
// when the lease expires or is given up. A holder is "host|process|program folder"; a holder of this host and folder whose
// process no longer runs (a service killed and started again) is replaced at once.
//
// Runs on the worker thread only, except Held, which the control thread reads at stop.
class CPropertyLease {
public:
    CPropertyLease(CFiscalStorage& storage, CLogFile& log, int seconds);

    // Takes or renews the lease; true while this service holds it.
    bool Hold();
    bool Held() const { return held; }
    // Gives the lease up (at stop), when this service holds it.
    void Release();
    const std::string& Holder() const { return holder; }
    // Why this service waits ("another service holds the property (...)"); empty while it holds
    // the lease.
    const std::string& WaitingReason() const { return waiting; }
    int Seconds() const { return seconds; }

    // This process as a holder.
    static std::string ThisProcess();
    // A holder of this host and program folder whose process is gone.
    static bool IsGone(const std::string& other);

private:
    // Logs the line when the state (the waiting reason, empty when held) changed.
    void Tell(const std::string& line, const std::string& reason);

    CFiscalStorage& storage;
    CLogFile& log;
    const int seconds;
    const std::string holder;
    std::atomic<bool> held{false};
    // What was last told, so that a state is told once, not every cycle.
    std::string told;
    bool toldOnce = false;
    std::string waiting;
};
