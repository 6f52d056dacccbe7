#pragma once

#include <functional>
#include <set>
#include <string>

#include "check/CFiscalCheck.h"
#include "check/CheckStatus.h"
#include "devices/AnswerKind.h"
#include "service/COutcomeJournal.h"

class CFiscalStorage;
class CLogFile;

// The one writer of what the worker knows of a check: its status letter in the status table and
// the records of its exchanges in the outcome journal. Every write returns whether it was taken
// and logs a refusal where it happens; what follows (payments blocked, the check kept for the
// next cycle) is the worker's to decide.
class CCheckLedger {
public:
    // Told once a settled record is on disk: what a device kept of that exchange may go now.
    using SettledHandler =
        std::function<void(const std::string& printer, const std::string& key, const CFiscalCheck& check)>;

    explicit CCheckLedger(CLogFile& log) : log(log) {}

    // Reads the outcome journal of the folder back; false (with the reason) when it cannot be
    // read or rewritten.
    bool Open(const std::string& folder, std::string& error) { return outcomes.Open(folder, error); }
    // The status table the letters go to, once the storage is open.
    void SetStorage(CFiscalStorage& database) { storage = &database; }
    void SetSettledHandler(SettledHandler handler) { settledHandler = std::move(handler); }
    const COutcomeJournal& Outcomes() const { return outcomes; }

    [[nodiscard]] bool WriteLetter(CFiscalCheck& check, CheckStatusLetter letter);

    // The records of an exchange; false when the outcome journal refused it.
    [[nodiscard]] bool Sending(const std::string& key, const std::string& printer, const CFiscalCheck& check);
    [[nodiscard]] bool InDoubt(const std::string& key, AnswerKind answer);
    [[nodiscard]] bool Outcome(const std::string& key, const std::string& printer, const CFiscalCheck& check);
    // The key's settled record; a refused one is kept and written once the journal takes records again.
    [[nodiscard]] bool Settle(const std::string& key);
    // A registration the database refused: the journal, its only record now, goes to the disk.
    [[nodiscard]] bool Sync();

    // True while the outcome journal refuses records: nothing may be sent.
    bool Broken() const { return broken; }
    // True when the outcome journal can be written (again): its state, rewritten whole, and the
    // settled records it missed are on disk.
    [[nodiscard]] bool Mend();

private:
    // The settled record, then the handler told; false when the journal did not take the record.
    bool SettleNow(const std::string& key);
    // The journal refused a record: told once, until it takes records again.
    void Refused(const std::string& record);

    CLogFile& log;
    CFiscalStorage* storage = nullptr;
    COutcomeJournal outcomes;
    SettledHandler settledHandler;
    bool broken = false;
    // The keys whose settled record the journal refused.
    std::set<std::string> settleLater;
};
