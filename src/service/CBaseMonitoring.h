#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "check/CFiscalCheck.h"
#include "devices/CPrinterControl.h"
#include "log/CCheckLogger.h"
#include "log/CLogFile.h"
#include "platform/Event.h"
#include "service/CWorkerParts.h"

class CFiscalINI;
class CFiscalPrinter;
class CFiscalStorage;
class CPrintInterface;

// The service's one worker: at start-up it reads the configuration and creates the storage and
// one device interface per printer; then it polls the storage for due checks and takes each one
// through the rules, printer selection, registration, status recording and the journal. While
// no device can be reached it keeps payment entry in the PMS switched off.
class CBaseMonitoring {
public:
    static constexpr int64_t kPreCheckPause = 1000;
    static constexpr int64_t kStopLoopWait = 8000;

    // logPath: the service log; a bare name lands in the program folder.
    explicit CBaseMonitoring(std::unique_ptr<CWorkerParts> parts = nullptr,
                             const std::string& logPath = "qelfiscal.log");
    ~CBaseMonitoring();
    CBaseMonitoring(const CBaseMonitoring&) = delete;
    CBaseMonitoring& operator=(const CBaseMonitoring&) = delete;

    // Start-up and then the polling loop; true when the loop ended on the stop event, false when
    // start-up failed (GetLastError then tells why).
    bool Start();
    // Runs on the control thread: ends the loop, blocks payments, disconnects the devices.
    bool Stop();
    const std::string& GetLastError() const { return lastError; }
    bool StopRequested() const { return stopRequested; }

    CLogFile& Log() { return log; }
    platform::Event& StoppedEvent() { return stoppedEvent; }
    bool PaymentsBlocked() const { return paymentsBlocked; }
    int64_t PollPeriod() const { return pollPeriod; }
    int64_t AfterPrintPause() const { return afterPrintPause; }
    const std::map<int, std::string>& AgentRequisites() const { return agentRequisites; }

    // Steps of the per-check processing, reachable for tests.
    bool ApplyAgentData(CFiscalCheck& check);
    void ApplyNlsLang(const std::string& value);

private:
    bool StartUp();
    bool CreateInterfaces();
    void ReadAgentRequisites();
    void PollingLoop();
    // Processes one check; true when the after-print pause follows.
    bool ProcessCheck(CFiscalCheck& check);
    bool RulesFailed(CFiscalCheck& check);
    bool Register(CFiscalCheck& check);
    bool Attempt(CFiscalCheck& check);
    bool SelectPrinter(CFiscalCheck& check);
    void SelectInterface(const std::string& name);
    void SetPaymentBlock(bool block, const std::string& text = "");
    void ReportToOperator(CFiscalCheck& check, const std::string& text);
    // The check's description goes to its device, or to the journal when it has none.
    void SaveDescription(CFiscalCheck& check);
    bool SaveDescriptionAndClose(CFiscalCheck& check);
    // Closed Y with its description saved, for the operator to register by hand.
    void CloseByHand(CFiscalCheck& check);
    bool ConfirmRefunds(CFiscalCheck& check);
    void ReadPosChecks(CFiscalCheck& check);
    void ExpandInterfaceCheck(CFiscalCheck& check);
    void WriteCheckText(CFiscalCheck& check, int detail, const std::string& title = "");
    void Write(const std::string& line) { log.WriteText(line); }
    bool Pause(int64_t ms);

    std::unique_ptr<CWorkerParts> parts;
    platform::Event stopEvent{false};
    int storageKind = 6;
    std::unique_ptr<CFiscalStorage> storage;
    CCheckLogger journal;
    CLogFile log;
    std::unique_ptr<CFiscalINI> configuration;
    std::unique_ptr<CFiscalPrinter> printerRegistry;
    std::map<std::string, std::unique_ptr<CPrintInterface>> interfaces;
    std::vector<CFiscalCheck> checks;
    std::string lastError;
    CPrinterControl currentPrinter;
    std::atomic<bool> paymentsBlocked{true};
    bool blockingDisabled = false;
    int64_t pollPeriod = 5000;
    int64_t afterPrintPause = 5000;
    platform::Event stoppedEvent{false};
    std::string programFolder;
    bool refundProcessing = false;
    std::map<int, std::string> agentRequisites;
    bool posExpandMode = false;
    std::string agentTax;
    CPrintInterface* currentInterface = nullptr;

    // A stop requested before the loop starts must not be lost when the loop resets its event.
    std::atomic<bool> stopRequested{false};
    // Set while the worker is neither starting up nor polling, so that Stop can wait for it.
    platform::Event loopIdle{true, true};
    std::atomic<std::thread::id> loopThread;
    std::mutex blockLock;
};
