#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>

#include "check/CFiscalCheck.h"
#include "check/CheckStatus.h"
#include "check/ClosedChecks.h"
#include "config/CPrinterControl.h"
#include "devices/AnswerKind.h"
#include "service/COutcomeJournal.h"

class CCheckLogger;
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

    // What happened on the way of a record, for the worker to decide what follows.
    enum class Event {
        JournalRefused,   // the outcome journal refused a record: nothing may be sent
        Recorded,         // a registration is in the outcome journal (or only the database will hold it)
        DatabaseRefused   // the database refused a registration: the outcome journal keeps it
    };
    using EventHandler = std::function<void(Event)>;

    explicit CCheckLedger(CLogFile& log) : log(log) {}

    // Reads the outcome journal of the folder back; false (with the reason) when it cannot be
    // read or rewritten.
    bool Open(const std::string& folder, std::string& error) { return outcomes.Open(folder, error); }
    // The status table the letters go to, once the storage is open.
    void SetStorage(CFiscalStorage& database) { storage = &database; }
    void SetSettledHandler(SettledHandler handler) { settledHandler = std::move(handler); }
    void SetEventHandler(EventHandler handler) { eventHandler = std::move(handler); }
    // The check journal a registration goes to, whether the device's fiscal result is saved too
    // (printer type 10) and whether a refund's check number is kept with its reference.
    void SetRegistrationRecords(CCheckLogger& checkJournal, bool fiscalResult, bool refundNumbers) {
        journal = &checkJournal;
        saveFiscalResult = fiscalResult;
        saveRefundNumber = refundNumbers;
    }
    const COutcomeJournal& Outcomes() const { return outcomes; }
    // The journal's entry of the check's exchange (its key, or its first transaction), if any.
    const COutcomeJournal::Entry* EntryOf(const CFiscalCheck& check) const;
    // Registrations the device made that the database has not taken yet.
    size_t RegistrationsWaiting() const { return outcomes.KeysIn(COutcomeJournal::State::Outcome).size(); }
    // Exchanges sent whose outcome is not known yet.
    size_t ExchangesInDoubt() const { return outcomes.Entries().size() - RegistrationsWaiting(); }

    // Whether the database lets the check go to that printer; a refused one is closed by hand.
    bool ValidateCheck(CFiscalCheck& check, const std::string& printerName);

    [[nodiscard]] bool WriteLetter(CFiscalCheck& check, CheckStatusLetter letter);

    // The records of an exchange; false when the outcome journal refused it.
    [[nodiscard]] bool Sending(const std::string& key, const std::string& printer, const CFiscalCheck& check);
    [[nodiscard]] bool InDoubt(const std::string& key, AnswerKind answer);
    [[nodiscard]] bool Outcome(const std::string& key, const std::string& printer, const CFiscalCheck& check);
    // The key's settled record; a refused one is kept and written once the journal takes records again.
    [[nodiscard]] bool Settle(const std::string& key);
    // A registration the database refused: the journal, its only record now, goes to the disk.
    [[nodiscard]] bool Sync();

    // The life of a check, each a single call of the worker.
    // Registered: the outcome record, then the registration written (WriteRegistration).
    bool Registered(CFiscalCheck& check, const CPrinterControl& printer, const std::string& key);
    // Fiscal data, Y, the check journal, a refund's check number, then settled. False when the
    // database refused a write: the outcome stays in the outcome journal until it is written.
    bool WriteRegistration(CFiscalCheck& check, const CPrinterControl& printer, const std::string& key);
    // Sent, no whole answer: the doubt record and the fiscal data the device left.
    void KeptInDoubt(CFiscalCheck& check, const std::string& key, AnswerKind answer);
    // Proven not registered (settled unless still in doubt from before), the check N again.
    void Failed(CFiscalCheck& check, const std::string& key, bool settle);
    // Closed Y without a registration, counted by why, with the remark when there is one.
    bool Close(CFiscalCheck& check, ClosedChecks::Why why, const std::string& remark = "");
    // The check file name given to the check and kept with its status rows; false (logged, the
    // name taken back) when it was not.
    [[nodiscard]] bool KeepCheckFileName(CFiscalCheck& check, const std::string& name);

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
    void Tell(Event event) {
        if (eventHandler) {
            eventHandler(event);
        }
    }
    void SaveFiscalData(CFiscalCheck& check);

    CLogFile& log;
    CFiscalStorage* storage = nullptr;
    COutcomeJournal outcomes;
    SettledHandler settledHandler;
    EventHandler eventHandler;
    CCheckLogger* journal = nullptr;
    bool saveFiscalResult = false;
    bool saveRefundNumber = false;
    bool broken = false;
    // The keys whose settled record the journal refused.
    std::set<std::string> settleLater;
};
