#include "service/CPropertyLease.h"

#include "log/CLogFile.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

CPropertyLease::CPropertyLease(CFiscalStorage& store, CLogFile& logFile, int leaseSeconds)
    : storage(store), log(logFile), seconds(leaseSeconds), holder(ThisProcess()) {}

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

bool CPropertyLease::Hold() {
    std::string other;
    std::string until;
    CFiscalStorage::Lease state = storage.HoldLease(holder, seconds, "", other, until);
    if (state == CFiscalStorage::Lease::HeldElsewhere && IsGone(other)) {
        log.WriteText("Service lease of " + other + " taken over: that service no longer runs");
        state = storage.HoldLease(holder, seconds, other, other, until);
    }
    switch (state) {
        case CFiscalStorage::Lease::Held:
            held = true;
            Tell(text::Format("Service lease held by %s for %d s", holder.c_str(), seconds), "");
            return true;
        case CFiscalStorage::Lease::HeldElsewhere:
            held = false;
            Tell("Another service registers the checks of this property: " + other + ", lease until " +
                     until + ". Waiting for it to end",
                 "another service holds the property (" + other + ")");
            return false;
        case CFiscalStorage::Lease::Unknown:
            break;
    }
    // The database did not answer: nothing is registered until the lease is known again.
    Tell("Service lease cannot be checked: " + storage.GetLastError(), "the service lease cannot be checked");
    return false;
}

void CPropertyLease::Release() {
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
