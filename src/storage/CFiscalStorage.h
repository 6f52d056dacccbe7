#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/CFiscalCheck.h"
#include "check/CheckStatus.h"
#include "check/ClosedChecks.h"

class CFiscalINI;
class CLogFile;

// A PMS storage back-end as the worker sees it: finds the checks that are due and records their
// fiscal status. Every false result leaves its reason in GetLastError.
class CFiscalStorage {
public:
    // No statement waits longer for the database (a lock held elsewhere, a server that does not
    // answer): well below the time a stop may take, so that the worker is never silent longer
    // and a stop never waits for the database.
    static constexpr int kStatementWaitSeconds = 5;

    virtual ~CFiscalStorage() = default;

    // Appends every check now due; the caller empties the list first.
    virtual void GetChecks(std::vector<CFiscalCheck>& checks) = 0;
    // Writes the status letter for all PMS transactions of the check.
    virtual bool SetCheckStatus(CFiscalCheck& check, CheckStatusLetter letter) = 0;
    virtual bool SetCheckRemark(CFiscalCheck& check, const std::string& remark) = 0;
    // Follows the PMS business date; clears old transactions when it changed.
    virtual void CheckBusinessDate() = 0;
    // true switches payment entry in the PMS off, false on.
    virtual bool BlockPayments(bool block, const std::string& text) = 0;
    // Reads the back-end's settings and connects to the database.
    virtual bool Open(CFiscalINI& configuration) = 0;
    virtual bool SaveFiscalData(CFiscalCheck& check) = 0;
    virtual bool SaveFiscalResult(CFiscalCheck& check) = 0;
    virtual bool Close() = 0;
    // Every later connection is opened so that nothing can be written through it (the status
    // command reads what the running service writes).
    virtual void SetReadOnly() {}
    virtual void ExpandPosCheck(const std::string& posCheckNumber, int posSystem, bool posFlag,
                                CFiscalCheck& check) = 0;
    virtual bool SaveCheckNumber(int transactionNumber, const std::string& checkNumber) = 0;
    virtual bool ConfirmRefund(CFiscalCheck& check, int referencedCheck, double amount) = 0;
    virtual bool ValidateCheck(CFiscalCheck& check, const std::string& printerName) = 0;
    virtual bool IsPosRevenueCenter(int trxCode) = 0;
    // False once an attempt to reach the database failed or a statement found no answer within
    // kStatementWaitSeconds, until a statement is answered again.
    virtual bool DatabaseReachable() const { return true; }
    // While it is not reachable: since when ("dd.mm.yyyy hh:mm:ss", local time) and for how long
    // (milliseconds by the steady clock) it has not answered.
    virtual std::string DatabaseSilentSince() const { return ""; }
    virtual int64_t DatabaseSilentMs() const { return 0; }

    // Keeps the check's check file name (printedFileName) with its status rows before the check
    // is first sent, so that every retry, also after a restart, carries the same name. false:
    // not kept, and the worker does not send the check in this cycle. A back-end with no place
    // for it keeps nothing and returns true.
    [[nodiscard]] virtual bool SaveCheckFileName(CFiscalCheck& check) { return true; }

    // The lease of the property: only the service that holds it registers checks of the
    // property, so two services on one PMS never both do.
    enum class Lease { Held, HeldElsewhere, Unknown };
    // The lease row as the database holds it. Who may take it over is judged by the services' own
    // steady clocks, from how long the row stays unchanged, never by the database's clock: a clock
    // step of the database must not hand the lease over while its holder is in an exchange.
    struct LeaseRow {
        std::string holder;    // empty: there is no row, the lease is free
        std::string until;     // its expiry by the database's clock ("dd.mm.yyyy hh:mm:ss"), told to people
        int64_t fence = 0;     // raised at every change of holder; the holder's status writes carry it
        int64_t renewals = 0;  // raised at every renewal by its holder
        bool operator==(const LeaseRow& other) const = default;
    };
    // Renews the lease when `holder` holds it, takes it when it is free, and takes it over from
    // another holder only when the row is still exactly `expired` (a row its caller saw unchanged
    // for a whole lease, or of a service known to be gone). `row` is the row afterwards. Held:
    // `holder` holds it, and from now on every status write carries its fence, so that a write of
    // a holder that lost the lease is refused. HeldElsewhere: `row` names the holder. Unknown:
    // the database did not answer. A back-end without a lease table: always Held.
    virtual Lease HoldLease(const std::string& holder, int seconds, const LeaseRow* expired, LeaseRow& row) {
        row.holder = holder;
        return Lease::Held;
    }
    // Gives the lease up at stop, so that a waiting service takes over at once.
    virtual void ReleaseLease(const std::string& holder) {}
    // The status letter of a transaction's row (nullopt when it has none, or a text that is no
    // letter, which the back-end logs); false when it could not be read. A back-end without a
    // status table: false.
    virtual bool ReadStatusLetter(int trxNo, std::optional<CheckStatusLetter>& letter) { return false; }

    void SetLogFile(CLogFile* logFile) { log = logFile; }
    // Where side files of the configuration (post_converter.txt) are looked for: the program
    // folder unless set; with a "/" at the end.
    void SetSideFileFolder(const std::string& folder) { sideFileFolder = folder; }
    const std::string& GetLastError() const { return lastError; }

    // Read once at start-up and copied into every print interface.
    bool includeRoomRate = false;
    // The checks closed without a registration on the current business day: the back-end counts
    // those it closes while it finds checks (split parts), the worker those it closes; emptied
    // when the business date changes. Worker thread only.
    ClosedChecks closedToday;

protected:
    CLogFile* log = nullptr;
    std::string lastError;
    std::string sideFileFolder;
};
