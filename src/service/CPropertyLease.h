#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "storage/CFiscalStorage.h"

class CLogFile;

// The worker's hold on the lease of its property (CFiscalStorage::HoldLease): only the service
// holding it registers checks and switches payment entry, so that two services started against
// one PMS never both register a bill. A service that finds the lease held by another waits,
// says so in the log and (through the worker's health) in its service status, and takes over
// when the lease is given up, when its holder is a service of this host and folder whose process
// no longer runs, or when the row stayed unchanged (not renewed) for a whole lease by this
// service's own steady clock.
//
// No clock of the database judges the lease, so a step of that clock can neither hand the lease
// over early nor keep it from a waiting service. The holder counts its lease from the moment it
// asked for the renewal, by its own steady clock; a waiting service counts from the moment it
// first saw the row as it is, so it cannot take over before the holder's own count has run out.
// The holder sends nothing unless its lease covers the whole exchange.
//
// A lease is renewed once less than two thirds of it remain, not every cycle: an idle service
// writes the row a few times a lease rather than ten times a second, and a waiting service still
// sees it change well within a whole lease.
//
// Runs on the worker thread only, except Held, which the control thread reads at stop.
class CPropertyLease {
public:
    // holder: this service as the lease names it (ThisProcess, unless a test names two).
    CPropertyLease(CFiscalStorage& storage, CLogFile& log, int seconds, std::string holder = ThisProcess());

    // Takes the lease, or renews it when less than two thirds of it remain (or the last attempt
    // did not hold it); true while this service holds it.
    bool Hold();
    // True while this service holds the lease by its own clock (also when the last renewal failed).
    bool Held() const;
    // True while the lease, by this service's own clock, lasts beyond an exchange of that many
    // milliseconds from now; a lease held that would not is renewed first.
    bool Covers(int64_t exchangeMs);
    // Gives the lease up (at stop), when this service holds it.
    void Release();
    const std::string& Holder() const { return holder; }
    // Why this service waits ("another service holds the property (...)"); empty while it holds
    // the lease by its own clock, so that a holder whose renewal the database did not take keeps
    // the health file (and names the database there) until its lease has run out.
    std::string WaitingReason() const { return Held() ? std::string() : waiting; }
    int Seconds() const { return seconds; }

    // This process as a holder.
    static std::string ThisProcess();
    // A holder of this host and program folder whose process is gone.
    static bool IsGone(const std::string& other);

private:
    // Asks the database: takes or renews the lease, or finds it held elsewhere.
    bool Renew();
    bool Lasts(int64_t exchangeMs) const;
    // The holder of the row seen: a service gone, or a row that stayed the same for a whole lease.
    bool MayTakeOver(const CFiscalStorage::LeaseRow& row);
    // Logs the line when the state (the waiting reason, empty when held) changed.
    void Tell(const std::string& line, const std::string& reason);

    CFiscalStorage& storage;
    CLogFile& log;
    const int seconds;
    const std::string holder;
    std::atomic<bool> held{false};
    // Until when (steady clock, ms) the lease is this service's, counted from the renewal's start.
    std::atomic<int64_t> heldUntilMs{0};
    // The last attempt held the lease: until a third of it has passed, nothing is renewed.
    bool renewed = false;
    // Another holder's row as first seen unchanged, and when.
    CFiscalStorage::LeaseRow seen;
    int64_t seenSinceMs = 0;
    // What was last told, so that a state is told once, not every cycle.
    std::string told;
    bool toldOnce = false;
    std::string waiting;
};
