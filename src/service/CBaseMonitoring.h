#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "check/CFiscalCheck.h"
#include "check/CheckStatus.h"
#include "config/CPrinterControl.h"
#include "devices/CPrintInterface.h"
#include "journal/CCheckLogger.h"
#include "log/CLogFile.h"
#include "pos/CCheckPreparer.h"
#include "platform/Event.h"
#include "service/CCheckInWork.h"
#include "service/CCheckLedger.h"
#include "service/COutcomeJournal.h"
#include "service/CPropertyLease.h"
#include "service/CWorkerParts.h"
#include "service/WorkerHealth.h"

class CCheckRouter;
class CFiscalINI;
class CFiscalPrinter;
class CFiscalStorage;
struct ServicePaths;

// The service's one worker: at start-up it reads the configuration and creates the storage and
// one device interface per printer; then it polls the storage for due checks and takes each one
// through the rules, printer selection, registration, status recording and the journal. While
// no device can be reached it keeps payment entry in the PMS switched off.
class CBaseMonitoring {
public:
    static constexpr int64_t kPreCheckPause = 1000;
    // How long a stop waits for the loop beyond the longest exchange a device may have in flight.
    static constexpr int64_t kStopLoopWait = 8000;
    // The shortest lease of the property; longer when the pauses and device time-outs are.
    static constexpr int kMinimumLeaseSeconds = 60;

    // logPath: the service log; a bare name lands in the program folder.
    explicit CBaseMonitoring(std::unique_ptr<CWorkerParts> parts = nullptr,
                             const std::string& logPath = "qelfiscal.log");
    ~CBaseMonitoring();
    CBaseMonitoring(const CBaseMonitoring&) = delete;
    CBaseMonitoring& operator=(const CBaseMonitoring&) = delete;

    // Where the configuration is looked for, the check journal kept and the side files read;
    // without it the program folder holds them all. Call before Start.
    void SetPlaces(const ServicePaths& paths);
    // Called on the worker thread once start-up has finished, before the polling loop.
    void SetStartedHandler(std::function<void()> handler) { startedHandler = std::move(handler); }
    // Called on the worker thread whenever the health changed.
    void SetHealthHandler(std::function<void(const WorkerHealth&)> handler) {
        healthHandler = std::move(handler);
    }

    // Start-up and then the polling loop; true when the loop ended on the stop event, false when
    // start-up failed or an exception ended the worker (GetLastError then tells why); either
    // way the worker is stopped then, so the payments are blocked.
    bool Start();
    bool EndedByError() const { return endedByError; }
    // Why Start returned false, for the service host to report: the error that ended the worker,
    // or the start-up failure.
    std::string FailureReason() const;
    // Runs on the control thread: ends the loop, blocks payments, disconnects the devices.
    bool Stop();
    const std::string& GetLastError() const { return lastError; }
    bool StopRequested() const { return stopRequested; }

    CLogFile& Log() { return log; }
    platform::Event& StoppedEvent() { return stoppedEvent; }
    bool PaymentsBlocked() const { return paymentsBlocked; }
    int64_t PollPeriod() const { return pollPeriod; }
    int64_t AfterPrintPause() const { return afterPrintPause; }
    const CCheckPreparer& Preparer() const { return preparer; }

    void ApplyNlsLang(const std::string& value);

private:
    bool StartUp();
    bool CreateInterfaces();
    // Reads the outcome journal back and sizes the property's lease.
    bool OpenOutcomes();
    void ReadAgentRequisites();
    void PollingLoop();
    // Takes one check through its stages to its end; true when the after-print pause follows.
    bool ProcessCheck(CCheckInWork& work);
    // One step of the check's life, from the stage it is in: the one place that says what follows.
    CheckStage Advance(CCheckInWork& work);
    // Due: the N letter, the rules, the printer and the expansion; Routed, or the check's end.
    CheckStage Route(CCheckInWork& work);
    // Rules the check did not pass: Routed again with its short form, or the check's end.
    CheckStage RulesFailed(CCheckInWork& work);
    // Routed: validated, its check file name kept and its key fixed; FileNamed, or the check's end.
    CheckStage NameFile(CCheckInWork& work);
    // FileNamed: a late answer owed to another check settled first, then this check's own late
    // answer or its attempt; Sent, or the check's end.
    CheckStage Send(CCheckInWork& work);
    // Failed: due again; FileNamed on the reserve printer, or the check's end.
    CheckStage Fail(CCheckInWork& work);
    // What an attempt's answer means for the check: the one place that decides it.
    static CheckStage StageOf(AnswerKind answer);
    // The lease, the sending record, then the device.
    AnswerKind Attempt(CCheckInWork& work);
    // Every registration the outcome journal holds, into the status table; false when one is
    // still refused.
    bool WritePendingOutcomes();
    // Sent, but the answer did not come whole: the check waits for the printer that may hold it.
    void KeepInDoubt(CCheckInWork& work);
    // A record the outcome journal did not take: nothing is sent, and payments stay blocked, until
    // it can be written again.
    void JournalFailed();
    // The key's settled record, or, when the journal does not take it, kept for later.
    void Settle(const std::string& key);
    // At start: an entry in doubt whose first transaction the status table holds as Y or D (a
    // settled record lost with a crash, a check closed by hand) is settled.
    void SettleFinalEntries();
    // The check file name, chosen once per check and kept with its status rows before the first
    // attempt; false when it could not be kept (the check then waits for a later cycle).
    bool ChooseCheckFileName(CCheckInWork& work);
    // Before a check goes to the device: the late answer the device owes to another check in
    // doubt, settled through the ledger as that check's own event (ownKey's answer is left to the
    // attempt of its check).
    void SettleOwedAnswer(CPrintInterface& device, const std::string& printerName, const std::string& ownKey);
    // The late answer the device owes, into owed; a refusal settles its key.
    AnswerKind CollectLateAnswer(CPrintInterface& device, const std::string& printerName, CFiscalCheck& owed);
    // At stop: every answer still owed is awaited once more, so that a late registration is
    // recorded rather than left for the next start to send again.
    void CollectOwedAnswers();

    // Asked by the router once the rules are applied: the printer a check in doubt is bound to
    // (its key and check file name kept), empty when it is bound to none.
    std::string BoundPrinter(CCheckInWork& work, CFiscalCheck& check);
    // After a failure: the reserve printer of the check's line and its device; false when none.
    bool ChooseReserve(CCheckInWork& work);
    // The device interface of that printer; null when it has none.
    CPrintInterface* DeviceOf(const std::string& name) const;
    void SetPaymentBlock(bool block, const std::string& text = "");
    void ReportToOperator(CCheckInWork& work, const std::string& text);
    // The check's description goes to its device, or to the journal when it has none.
    void SaveDescription(CCheckInWork& work);
    bool SaveDescriptionAndClose(CCheckInWork& work);
    // Closed Y with its description saved, for the operator to register by hand.
    void CloseByHand(CCheckInWork& work);
    bool ConfirmRefunds(CCheckInWork& work);
    void ReadPosChecks(CFiscalCheck& check);
    void Write(const std::string& line) { log.WriteText(line); }
    bool Pause(int64_t ms);
    // Checks that the log and the journal folder can be written: a service that registers
    // checks must leave a trace of them.
    bool PlacesWritable();
    void MarkPrinter(const std::string& name, bool reachable);
    void ReportHealth();

    std::unique_ptr<CWorkerParts> parts;
    platform::Event stopEvent{false};
    int storageKind = 6;
    std::unique_ptr<CFiscalStorage> storage;
    CCheckLogger journal;
    CLogFile log;
    // The check's postings made ready for its device: interface checks, merging, signs, agents.
    CCheckPreparer preparer{log};
    std::unique_ptr<CFiscalINI> configuration;
    std::unique_ptr<CFiscalPrinter> printerRegistry;
    // Rules, print line and printer of a check, in one call into the configuration.
    std::unique_ptr<CCheckRouter> router;
    std::map<std::string, std::unique_ptr<CPrintInterface>> interfaces;
    std::vector<CFiscalCheck> checks;
    std::string lastError;
    std::atomic<bool> paymentsBlocked{true};
    bool blockingDisabled = false;
    int64_t pollPeriod = 5000;
    int64_t afterPrintPause = 5000;
    platform::Event stoppedEvent{false};
    std::string programFolder;
    bool refundProcessing = false;
    bool posExpandMode = false;

    // A stop requested before the loop starts must not be lost when the loop resets its event.
    std::atomic<bool> stopRequested{false};
    bool endedByError = false;
    // Set while the worker is neither starting up nor polling, so that Stop can wait for it.
    platform::Event loopIdle{true, true};
    std::atomic<std::thread::id> loopThread;
    std::mutex blockLock;
    // Guards the interface map while start-up fills it and a stop tells every device to stop.
    std::mutex interfacesLock;

    // Checks sent and not settled, on disk: those in doubt (sent, answer never whole) and
    // registrations the database has not taken yet. A check in doubt may be registered on its
    // printer, so it goes to no other printer and is sent again only to that one, under the same
    // check file name (a printer manager that keeps its check files answers such a repeat with
    // the original registration). It stays in doubt until that printer answers; a check in doubt
    // that the device would not know again (a cash command) is never sent again but closed by hand.
    // The only writer of status letters and outcome records.
    CCheckLedger ledger{log};
    // Only the holder of the property's lease registers; created once the storage is open.
    std::unique_ptr<CPropertyLease> lease;

    std::string sideFileFolder;
    std::function<void()> startedHandler;
    std::function<void(const WorkerHealth&)> healthHandler;
    WorkerHealth reportedHealth;
    bool healthReported = false;
    // Checks of the cycle not processed yet, and those whose registration failed in it.
    int cycleRemaining = 0;
    int cycleFailed = 0;
    // Checks of the cycle taken up, and those whose status the database refused.
    int cycleTaken = 0;
    int cycleRefused = 0;
    std::set<std::string> unreachablePrinters;
};
