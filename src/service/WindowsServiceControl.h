#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/Thread.h"
#include "platform/WindowsService.h"
#include "service/CWorkerParts.h"

class CBaseMonitoring;
class HealthFiles;
struct ServicePaths;

// The entry point's work on Windows: the command line (install, remove, the name suffix),
// installing and removing the service through the service control manager, and running the
// worker as the service under the control manager's dispatcher. One object per process.
class WindowsServiceControl {
public:
    static constexpr const char* kDefaultName = "QEL Fiscal Service";
    // When string resource 1 of the executable is missing.
    static constexpr const char* kFallbackTitle = "FiscalService";
    static constexpr const char* kBoxCaption = "DovozEderarezev";
    static constexpr const char* kWorkerBoxCaption = "Fiscora";
    // Error icon, set foreground, topmost.
    static constexpr unsigned kBoxStyle = 0x50010;
    static constexpr int kStopWaitMs = 10000;
    static constexpr int kStartWaitHintMs = 4000;
    static constexpr int kLastAnswerPauseMs = 500;

    // out receives what install and remove print; parts build the worker (tests replace them).
    explicit WindowsServiceControl(FILE* out = stdout, std::unique_ptr<CWorkerParts> parts = nullptr);
    ~WindowsServiceControl();
    WindowsServiceControl(const WindowsServiceControl&) = delete;
    WindowsServiceControl& operator=(const WindowsServiceControl&) = delete;

    // Exit codes of install, remove and the console commands; status has its own (StatusReport).
    static constexpr int kFailed = 1;
    static constexpr int kUsageError = 2;

    // Handles the command line (arguments[0] is the program, as in argv); the process exit code:
    // 0 when install or remove did what was asked, kFailed when the control manager refused (its
    // message is printed all the same), the verdict of status, 0 when the program ran as the
    // service (start-up failures are shown in a message box).
    int Main(const std::vector<std::string>& arguments);

    // The service name with a suffix applied: the suffix, cut to 7 characters, replaces every
    // "Service" in the name.
    static std::string ApplySuffix(const std::string& name, const std::string& suffix);
    // "%s (0x%x)" with the system's text for the error; empty when it would not fit 256 bytes.
    static std::string ErrorText(int error);
    // The status reported for a state: no control is accepted while starting, stop otherwise;
    // the check point is 0 when running or stopped, else the next value of the counter.
    static platform::windows_service::Status StatusFor(platform::windows_service::State state, unsigned exitCode,
                                                      unsigned waitHintMs, unsigned& checkPointCounter);

    // The service is registered with the program's path in quotes, so that a folder with
    // blanks in its name ("C:\Program Files\Fiscora\") works. 0 or kFailed.
    int Install();
    int Remove();
    static std::string Usage();
    // The binary path the control manager is given for the program.
    static std::string QuotedPath(const std::string& program);

    const std::string& Name() const { return serviceName; }

private:
    void ServiceMain();
    void OnControl(unsigned control);
    void Report(platform::windows_service::State state, unsigned exitCode, unsigned waitHintMs);
    void WorkerThread();
    // Stops the worker and waits up to kStopWaitMs for it to confirm.
    void WorkerStop();
    // Where the service keeps everything: its program folder.
    ServicePaths Places() const;
    int Status(const std::vector<std::string>& words, bool json);

    std::string serviceName = kDefaultName;
    FILE* out;
    std::unique_ptr<CWorkerParts> parts;
    std::unique_ptr<CBaseMonitoring> worker;
    std::unique_ptr<HealthFiles> healthFiles;
    std::atomic<CBaseMonitoring*> running{nullptr};
    std::atomic<bool> stopping{false};
    platform::windows_service::State currentState = platform::windows_service::State::StartPending;
    unsigned checkPoint = 0;
    platform::Thread workerThread;
};
