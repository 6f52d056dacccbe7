#include "service/WindowsServiceControl.h"

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/ServiceManager.h"
#include "platform/Socket.h"
#include "platform/Text.h"
#include "service/CBaseMonitoring.h"
#include "service/HealthFiles.h"
#include "service/ServicePaths.h"
#include "service/StatusReport.h"

namespace ws = platform::windows_service;
using platform::ServiceManager;

WindowsServiceControl::WindowsServiceControl(FILE* out, std::unique_ptr<CWorkerParts> parts)
    : out(out), parts(std::move(parts)) {}

// The worker thread is never joined: the process ends with it still finishing (Main).
WindowsServiceControl::~WindowsServiceControl() = default;

int WindowsServiceControl::Main(const std::vector<std::string>& arguments) {
    ws::SetConsoleHandler([this](ws::ConsoleEvent event) {
        if (event != ws::ConsoleEvent::Logoff && event != ws::ConsoleEvent::Other) {
            WorkerStop();
        }
        // Not handled: the default handling, the end of the process, follows.
        return false;
    });
    if (arguments.size() >= 2) {
        const std::string& command = arguments[1];
        if (command == "-h" || command == "--help") {
            std::fputs(Usage().c_str(), out);
            return 0;
        }
        if (command == "-V" || command == "--version") {
            std::string title = ws::LoadStringResource(1, 255);
            std::fprintf(out, "%s\n", title.empty() ? kFallbackTitle : title.c_str());
            return 0;
        }
        if (command == "status") {
            std::vector<std::string> words;
            bool json = false;
            for (size_t i = 2; i < arguments.size(); ++i) {
                if (arguments[i] == "--json") {
                    json = true;
                } else {
                    words.push_back(arguments[i]);
                }
            }
            return Status(words, json);
        }
    }
    if (arguments.size() >= 3) {
        serviceName = ApplySuffix(serviceName, arguments[2]);
    }
    if (arguments.size() >= 2) {
        if (arguments[1] == "install") {
            return Install();
        }
        if (arguments[1] == "remove") {
            return Remove();
        }
        return 0;
    }
    if (int error = platform::Socket::StartUp()) {
        platform::ShowMessageBox(text::Format("WSAStart error %d\n", error), kBoxCaption, kBoxStyle);
        return 0;
    }
    if (!ws::RunDispatcher(serviceName, [this] { ServiceMain(); })) {
        platform::ShowMessageBox(
            text::Format("StartServiceCtrlDispatcher:Error %ld\n", static_cast<long>(platform::LastSystemError())),
            kBoxCaption, kBoxStyle);
        return 0;
    }
    platform::Socket::CleanUp();
    // The dispatcher returns once the service has reported it stopped, when the answer to the
    // stop control may still be on its way to the control manager: it is given a moment to leave.
    platform::Clock::Current().Sleep(kLastAnswerPauseMs);
    // The worker thread may still be finishing a device dialogue: the process ends without it.
    platform::ExitProcess(0);
}

std::string WindowsServiceControl::ApplySuffix(const std::string& name, const std::string& suffix) {
    return text::ReplaceAll(name, "Service", suffix.substr(0, 7));
}

std::string WindowsServiceControl::ErrorText(int error) {
    std::string message = text::TrimRight(platform::SystemErrorText(error));
    if (message.size() + 14 > 256) {
        return "";
    }
    return text::Format("%s (0x%x)", message.c_str(), static_cast<unsigned>(error));
}

std::string WindowsServiceControl::Usage() {
    return "Usage: FiscoraService.exe [COMMAND [SUFFIX]]\n"
           "\n"
           "Without a command the program runs as the service, started by the service control\n"
           "manager.\n"
           "\n"
           "Commands (run in a command prompt as administrator, in the program's folder):\n"
           "  install [SUFFIX]          register the service (started on demand, local system)\n"
           "  remove [SUFFIX]           stop the service and delete it\n"
           "  status [SUFFIX] [--json]  report the checks due, pending, failed and in doubt, the last\n"
           "                            registration of every printer, payment blocking and the\n"
           "                            database; exit code 0 healthy, 1 degraded, 2 down, 3 unknown\n"
           "  --help, --version\n"
           "\n"
           "SUFFIX (at most 7 characters are used) replaces \"Service\" in the service name\n"
           "\"QEL Fiscal Service\", so that several instances can be installed side by side.\n"
           "install and remove exit with 1 when the control manager refuses, after its message.\n";
}

std::string WindowsServiceControl::QuotedPath(const std::string& program) {
    return "\"" + program + "\"";
}

ServicePaths WindowsServiceControl::Places() const {
    // The service works in its program folder (ServiceMain makes it the working folder): the
    // configuration, the log, the journals and the health files are there.
    ServicePaths paths;
    std::string folder = platform::ProgramFolder();
    paths.configurationFolders = {folder};
    paths.logFile = folder + ServicePaths::kLogName;
    paths.journalFolder = folder;
    paths.sideFileFolder = folder;
    paths.runtimeFolder = folder;
    paths.workingFolder = folder;
    return paths;
}

int WindowsServiceControl::Status(const std::vector<std::string>& words, bool json) {
    if (words.size() > 1) {
        std::fputs("FiscoraService: too many arguments\nTry 'FiscoraService.exe --help'.\n", out);
        return kUsageError;
    }
    if (!words.empty()) {
        serviceName = ApplySuffix(serviceName, words[0]);
    }
    StatusReport report(Places(), std::move(parts), serviceName);
    return report.Run(json, out);
}

int WindowsServiceControl::Install() {
    std::string executable = platform::ProgramPath();
    if (executable.empty()) {
        std::fprintf(out, "Unable to install %s - %s\n", serviceName.c_str(),
                     ErrorText(platform::LastSystemError()).c_str());
        return kFailed;
    }
    ServiceManager manager;
    if (!manager.Open()) {
        std::fprintf(out, "OpenSCManager failed - %s\n", ErrorText(manager.LastError()).c_str());
        return kFailed;
    }
    if (!manager.Create(serviceName, QuotedPath(executable))) {
        std::fprintf(out, "CreateService failed - %s\n", ErrorText(manager.LastError()).c_str());
        return kFailed;
    }
    std::fprintf(out, "%s installed.\n", serviceName.c_str());
    return 0;
}

int WindowsServiceControl::Remove() {
    ServiceManager manager;
    if (!manager.Open()) {
        std::fprintf(out, "OpenSCManager failed - %s\n", ErrorText(manager.LastError()).c_str());
        return kFailed;
    }
    if (!manager.OpenService(serviceName)) {
        std::fprintf(out, "OpenService failed - %s\n", ErrorText(manager.LastError()).c_str());
        return kFailed;
    }
    bool stopFailed = false;
    if (manager.RequestStop()) {
        std::fprintf(out, "Stopping %s.", serviceName.c_str());
        std::fflush(out);
        platform::Clock::Current().Sleep(1000);
        // A service that never leaves stop-pending is given a minute, not for ever.
        ServiceManager::State state = manager.QueryState();
        for (int round = 0; state == ServiceManager::State::StopPending && round < 60; ++round) {
            std::fprintf(out, ".");
            std::fflush(out);
            platform::Clock::Current().Sleep(1000);
            state = manager.QueryState();
        }
        if (state == ServiceManager::State::Stopped) {
            std::fprintf(out, "\n%s stopped.\n", serviceName.c_str());
        } else {
            std::fprintf(out, "\n%s failed to stop.\n", serviceName.c_str());
            stopFailed = true;
        }
    }
    if (!manager.Delete()) {
        std::fprintf(out, "DeleteService failed - %s\n", ErrorText(manager.LastError()).c_str());
        return kFailed;
    }
    std::fprintf(out, "%s removed.\n", serviceName.c_str());
    return stopFailed ? kFailed : 0;
}

ws::Status WindowsServiceControl::StatusFor(ws::State state, unsigned exitCode, unsigned waitHintMs,
                                            unsigned& checkPointCounter) {
    ws::Status status;
    status.state = state;
    status.controlsAccepted = state == ws::State::StartPending ? 0 : ws::kAcceptStop;
    status.exitCode = exitCode;
    status.waitHintMs = waitHintMs;
    status.checkPoint = state == ws::State::Running || state == ws::State::Stopped ? 0 : ++checkPointCounter;
    return status;
}

void WindowsServiceControl::Report(ws::State state, unsigned exitCode, unsigned waitHintMs) {
    currentState = state;
    ws::SetStatus(StatusFor(state, exitCode, waitHintMs, checkPoint));
}

void WindowsServiceControl::ServiceMain() {
    if (!ws::RegisterControlHandler(serviceName, [this](unsigned control) { OnControl(control); })) {
        std::fprintf(stdout, "Error registering ServiceControl\n");
        std::fflush(stdout);
        return;
    }
    Report(ws::State::StartPending, 0, kStartWaitHintMs);
    // The control manager starts services in the system folder; relative names of the settings
    // (the embedded database) and the client library's files belong beside the program.
    platform::SetCurrentFolder(platform::ProgramFolder());
    worker = std::make_unique<CBaseMonitoring>(std::move(parts));
    // The status command reads what the worker knows of its health from the program folder.
    healthFiles = std::make_unique<HealthFiles>(Places());
    worker->SetHealthHandler([this](const WorkerHealth& health) { healthFiles->Write(health); });
    running = worker.get();
    workerThread.Start([this] { WorkerThread(); }, "worker");
    Report(ws::State::Running, 0, 0);
}

void WindowsServiceControl::OnControl(unsigned control) {
    if (control == ws::kControlStop) {
        Report(ws::State::StopPending, 0, kStopWaitMs);
        WorkerStop();
        if (healthFiles) {
            healthFiles->RemoveOwn();
        }
        Report(ws::State::Stopped, 0, 0);
        return;
    }
    Report(currentState, 0, 0);
}

void WindowsServiceControl::WorkerThread() {
    CBaseMonitoring& monitoring = *worker;
    const bool com = ws::InitializeCom();
    std::string title = ws::LoadStringResource(1, 255);
    if (title.empty()) {
        title = kFallbackTitle;
    }
    ws::SetConsoleTitle(title);
    monitoring.Log().WriteText(title);
    // A failed start-up is shown on the service's desktop; the service stays running until it
    // is stopped, as the control manager sees it.
    if (!monitoring.Start()) {
        platform::ShowMessageBox(monitoring.GetLastError(), kWorkerBoxCaption, kBoxStyle);
    }
    if (com) {
        ws::UninitializeCom();
    }
}

void WindowsServiceControl::WorkerStop() {
    CBaseMonitoring* monitoring = running.load();
    if (!monitoring) {
        return;
    }
    // The console and the control manager may both ask; the worker is stopped once.
    if (!stopping.exchange(true)) {
        monitoring->Stop();
    }
    monitoring->StoppedEvent().Wait(kStopWaitMs);
}
