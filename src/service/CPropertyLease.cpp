#include "service/CPropertyLease.h"

#include <utility>

#include "log/CLogFile.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

CPropertyLease::CPropertyLease(CFiscalStorage& store, CLogFile& logFile, int leaseSeconds, std::string name)
    : storage(store), log(logFile), seconds(leaseSeconds), holder(std::move(name)) {}

std::string CPropertyLease::ThisProcess() {
    return text::Format("%s|%d|%s", platform::HostName().c_str(), platform::ProcessId(),
                        platform::ProgramFolder().c_str());
}

bool CPropertyLease::IsGone(const std::string& other) {
    std::vector<std::string> theirs = text::Split(other, '|');
    std::vector<std::string> mine = text::Split(ThisProcess(), '|');
    if (theirs.size() != 3 || theirs[0] != mine[0] || theirs[2] != mine[2] || theirs[1] == mine[1]) {
        return false;
    }
    int pid = text::ToInt(theirs[1]);
    return pid > 0 && !platform::ProcessAlive(pid);
}

bool CPropertyLease::MayTakeOver(const CFiscalStorage::LeaseRow& row) {
    if (IsGone(row.holder)) {
        log.WriteText("Service lease of " + row.holder + " taken over: that service no longer runs");
        return true;
    }
    int64_t now = platform::Clock::Current().MonotonicMs();
    if (!(row == seen)) {
        seen = row;
        seenSinceMs = now;
        return false;
    }
    if (now - seenSinceMs < static_cast<int64_t>(seconds) * 1000) {
        return false;
    }
    log.WriteText(text::Format("Service lease of %s taken over: not renewed for %lld s", row.holder.c_str(),
                               static_cast<long long>((now - seenSinceMs) / 1000)));
    return true;
}

bool CPropertyLease::Hold() {
    int64_t leaseMs = static_cast<int64_t>(seconds) * 1000;
    if (renewed && Lasts(leaseMs * 2 / 3)) {
        return true;
    }
    return Renew();
}

bool CPropertyLease::Renew() {
    renewed = false;
    platform::Clock& clock = platform::Clock::Current();
    int64_t asked = clock.MonotonicMs();
    CFiscalStorage::LeaseRow row;
    CFiscalStorage::Lease state = storage.HoldLease(holder, seconds, nullptr, row);
    if (state == CFiscalStorage::Lease::HeldElsewhere && MayTakeOver(row)) {
        CFiscalStorage::LeaseRow expired = row;
        state = storage.HoldLease(holder, seconds, &expired, row);
    }
    switch (state) {
        case CFiscalStorage::Lease::Held:
            // Counted from the moment it was asked for: the row may have been written at once.
            heldUntilMs = asked + static_cast<int64_t>(seconds) * 1000;
            held = true;
            renewed = true;
            seen = CFiscalStorage::LeaseRow();
            Tell(text::Format("Service lease held by %s for %d s", holder.c_str(), seconds), "");
            return true;
        case CFiscalStorage::Lease::HeldElsewhere:
            held = false;
            Tell("Another service registers the checks of this property: " + row.holder + ", lease until " +
                     row.until + ". Waiting for it to end",
                 "another service holds the property (" + row.holder + ")");
            return false;
        case CFiscalStorage::Lease::Unknown:
            break;
    }
    // The database did not answer: nothing is registered until the lease is known again.
    Tell("Service lease cannot be checked: " + storage.GetLastError(), "the service lease cannot be checked");
    return false;
}

bool CPropertyLease::Held() const {
    return held && platform::Clock::Current().MonotonicMs() < heldUntilMs;
}

bool CPropertyLease::Covers(int64_t exchangeMs) {
    if (held && !Lasts(exchangeMs)) {
        Renew();
    }
    return Lasts(exchangeMs);
}

bool CPropertyLease::Lasts(int64_t exchangeMs) const {
    return held && platform::Clock::Current().MonotonicMs() + exchangeMs < heldUntilMs;
}

void CPropertyLease::Release() {
    renewed = false;
    if (held.exchange(false)) {
        storage.ReleaseLease(holder);
        toldOnce = false;
    }
}

void CPropertyLease::Tell(const std::string& line, const std::string& reason) {
    waiting = reason;
    // The expiry moves with every renewal: the state is told again only when it changes.
    if (toldOnce && reason == told) {
        return;
    }
    told = reason;
    toldOnce = true;
    log.WriteText(line);
}
