#include "service/ServiceControl.h"

#include <atomic>

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Event.h"
#include "platform/FileSystem.h"
#include "platform/ServiceNotifier.h"
#include "platform/SignalWatcher.h"
#include "platform/SystemdUnits.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "service/CBaseMonitoring.h"

using platform::ServiceNotifier;
using platform::SystemdUnits;

int ServiceControl::Main(const std::vector<std::string>& arguments) {
    // arguments[0] is the program itself, as in argv.
    if (arguments.size() >= 3) {
        serviceName = ApplySuffix(serviceName, arguments[2]);
    }
    if (arguments.size() >= 2) {
        if (arguments[1] == "install") {
            Install();
        } else if (arguments[1] == "remove") {
            Remove();
        }
        return 0;
    }
    return RunService();
}

std::string ServiceControl::ApplySuffix(const std::string& name, const std::string& suffix) {
    return text::ReplaceAll(name, "Service", suffix.substr(0, 7));
}

std::string ServiceControl::ErrorText(int error) {
    std::string message = text::TrimRight(platform::SystemErrorText(error));
    if (message.size() + 14 > 256) {
        return "";
    }
    return text::Format("%s (0x%x)", message.c_str(), static_cast<unsigned>(error));
}

void ServiceControl::Install() {
    std::string executable = platform::ProgramPath();
    if (executable.empty()) {
        std::fprintf(out, "Unable to install %s - %s\n", serviceName.c_str(),
                     ErrorText(platform::LastSystemError()).c_str());
        return;
    }
    SystemdUnits units;
    if (!units.FolderAccessible()) {
        std::fprintf(out, "OpenSCManager failed - %s\n", ErrorText(platform::LastSystemError()).c_str());
        return;
    }
    if (!units.WriteUnit(serviceName, executable)) {
        std::fprintf(out, "CreateService failed - %s\n", ErrorText(platform::LastSystemError()).c_str());
        return;
    }
    units.DaemonReload();
    std::fprintf(out, "%s installed.\n", serviceName.c_str());
}

void ServiceControl::Remove() {
    SystemdUnits units;
    if (!units.FolderAccessible()) {
        std::fprintf(out, "OpenSCManager failed - %s\n", ErrorText(platform::LastSystemError()).c_str());
        return;
    }
    if (!units.UnitExists(serviceName)) {
        std::fprintf(out, "OpenService failed - %s\n", ErrorText(ENOENT).c_str());
        return;
    }
    if (units.RequestStop(serviceName)) {
        std::fprintf(out, "Stopping %s.", serviceName.c_str());
        std::fflush(out);
        // Right after the request the unit may still report active: count that as stopping too,
        // but give up after a minute rather than wait for ever.
        SystemdUnits::UnitState state = SystemdUnits::UnitState::Deactivating;
        for (int round = 0; round < 60; ++round) {
            platform::Clock::Current().Sleep(1000);
            state = units.QueryState(serviceName);
            if (state != SystemdUnits::UnitState::Deactivating && state != SystemdUnits::UnitState::Active) {
                break;
            }
            std::fprintf(out, ".");
            std::fflush(out);
        }
        if (state == SystemdUnits::UnitState::Inactive || state == SystemdUnits::UnitState::Failed) {
            std::fprintf(out, "\n%s stopped.\n", serviceName.c_str());
        } else {
            std::fprintf(out, "\n%s failed to stop.\n", serviceName.c_str());
        }
    }
    if (!units.DeleteUnit(serviceName)) {
        std::fprintf(out, "DeleteService failed - %s\n", ErrorText(platform::LastSystemError()).c_str());
        return;
    }
    units.DaemonReload();
    std::fprintf(out, "%s removed.\n", serviceName.c_str());
}

bool ServiceControl::RunWorker(CBaseMonitoring& worker, std::string& failure) {
    if (worker.Start()) {
        return true;
    }
    const std::string reason = worker.GetLastError();
    failure = worker.EndedByError() ? reason
                                    : "start-up failed: " + (reason.empty() ? std::string("see qelfiscal.log") : reason);
    return false;
}

int ServiceControl::RunService(std::unique_ptr<CWorkerParts> parts) {
    // Signals are blocked before any other thread starts, so only the watcher receives them.
    platform::SignalWatcher signals;
    platform::Event processEnd(true);
    std::atomic<int> exitCode{0};
    CBaseMonitoring* workerPointer = nullptr;
    std::atomic<bool> stopping{false};

    auto workerStop = [&](CBaseMonitoring& worker) {
        worker.Stop();
        worker.StoppedEvent().Wait(kStopWaitMs);
    };

    ServiceNotifier::Report(ServiceNotifier::State::StartPending, 4000);
    CBaseMonitoring worker(std::move(parts));
    workerPointer = &worker;
    bool watching = signals.Start([&](platform::SignalWatcher::Kind kind, int signal) {
        (void)kind;
        (void)signal;
        if (stopping.exchange(true)) {
            return;
        }
        ServiceNotifier::Report(ServiceNotifier::State::StopPending);
        workerStop(*workerPointer);
        ServiceNotifier::Report(ServiceNotifier::State::Stopped);
        processEnd.Set();
    });
    if (!watching) {
        // Without the watcher no stop signal would ever reach the service.
        std::fprintf(stdout, "Error registering ServiceControl\n");
        std::fflush(stdout);
        return 1;
    }

    platform::Thread workerThread;
    bool working = workerThread.Start(
        [&] {
            worker.Log().WriteText(kVersionText);
            std::string failure;
            if (!RunWorker(worker, failure)) {
                std::fprintf(stderr, "Fiscora: %s\n", failure.c_str());
                // The worker does not run: end the process so that systemd reports the failure
                // (and starts the service again).
                if (!stopping.exchange(true)) {
                    exitCode = 1;
                    processEnd.Set();
                }
            }
        },
        "worker");
    if (!working) {
        std::fprintf(stderr, "Fiscora: start-up failed: the worker thread could not start\n");
        signals.Stop();
        return 1;
    }
    ServiceNotifier::Report(ServiceNotifier::State::Running);

    processEnd.Wait(-1);
    signals.Stop();
    // The worker thread is never joined: it may still be finishing a device dialogue.
    platform::ExitProcess(exitCode);
}
