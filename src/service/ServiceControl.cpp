#include "service/ServiceControl.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include "config/CFiscalINI.h"
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
#include "service/HealthFiles.h"
#include "service/ServicePaths.h"
#include "service/StatusReport.h"

using platform::ServiceNotifier;
using platform::SystemdUnits;

namespace {

// The command line split into its words (command, suffix) and its options.
struct CommandLine {
    std::vector<std::string> words;
    std::string configuration;
    bool help = false;
    bool version = false;
    bool now = false;
    bool json = false;
    std::string error;
};

CommandLine Parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "-h" || a == "--help") {
            line.help = true;
        } else if (a == "-V" || a == "--version") {
            line.version = true;
        } else if (a == "--now") {
            line.now = true;
        } else if (a == "--json") {
            line.json = true;
        } else if (a == "-c" || a == "--config") {
            if (i + 1 == arguments.size()) {
                line.error = "option " + a + " needs a file";
                return line;
            }
            line.configuration = arguments[++i];
        } else if (text::StartsWith(a, "--config=")) {
            line.configuration = a.substr(9);
        } else if (a.size() > 1 && a[0] == '-') {
            line.error = "unknown option " + a;
            return line;
        } else {
            line.words.push_back(a);
        }
    }
    std::string command = line.words.empty() ? "" : line.words[0];
    if (line.words.size() > 2) {
        line.error = "too many arguments";
    } else if (!line.words.empty() && command != "install" && command != "remove" && command != "status") {
        line.error = "unknown command '" + command + "'";
    } else if (line.now && command != "install") {
        line.error = "--now goes with install";
    } else if (line.json && command != "status") {
        line.error = "--json goes with status";
    }
    return line;
}

bool UnderHome(const std::string& folder) {
    for (const char* home : {"/home/", "/root/", "/run/user/"}) {
        if (text::StartsWith(folder, home)) {
            return true;
        }
    }
    return false;
}

// The unit of a program that keeps everything in its own folder: it runs there, as the folder's
// owner, and may write nowhere else.
SystemdUnits::Unit FolderUnit(const std::string& program, const std::string& configuration) {
    SystemdUnits::Unit unit;
    std::string folder = program.substr(0, program.rfind('/') + 1);
    unit.command = {program};
    if (!configuration.empty()) {
        unit.command.insert(unit.command.end(), {"--config", configuration});
    }
    unit.workingDirectory = folder;
    std::string owner = platform::OwnerName(folder);
    if (owner != "root") {
        unit.user = owner;
    }
    unit.serviceLines = {"ReadWritePaths=" + SystemdUnits::PathValue(folder, true),
                         UnderHome(folder) ? "ProtectHome=read-only" : "ProtectHome=yes"};
    return unit;
}

// The unit of the installed program: Debian's folders, which systemd creates for the service's
// user, with a sub-folder each for an instance installed with a suffix.
SystemdUnits::Unit InstalledUnit(const std::string& program, const ServicePaths& paths) {
    SystemdUnits::Unit unit;
    std::string configuration = paths.configurationFile;
    if (configuration.empty()) {
        configuration = paths.configurationFolders.back() + CFiscalINI::kFileName;
    }
    unit.command = {program, "--config", configuration};
    unit.workingDirectory = paths.journalFolder;
    unit.user = "fiscora";
    std::string folder = paths.instance.empty() ? "fiscora" : "fiscora/" + paths.instance;
    unit.serviceLines = {"Group=fiscora",
                         "StateDirectory=" + folder,
                         "StateDirectoryMode=0750",
                         "LogsDirectory=" + folder,
                         "LogsDirectoryMode=0750",
                         "RuntimeDirectory=" + folder,
                         "EnvironmentFile=-/etc/default/fiscora",
                         "ProtectHome=yes"};
    return unit;
}

}  // namespace

std::string ServiceControl::UnitText(const std::string& serviceName, const ServicePaths& paths,
                                     const std::string& program, const std::string& configurationFile) {
    SystemdUnits::Unit unit =
        paths.installed ? InstalledUnit(program, paths) : FolderUnit(program, configurationFile);
    unit.description = serviceName;
    return SystemdUnits::UnitText(unit);
}

std::string ServiceControl::Usage() {
    return "Usage: FiscoraService [--config FILE] [COMMAND [SUFFIX]]\n"
           "\n"
           "Without a command the service runs in the foreground (what its systemd unit starts)\n"
           "until SIGTERM or SIGINT; SIGHUP is logged and ignored.\n"
           "\n"
           "Commands:\n"
           "  install [SUFFIX] [--now]  write the systemd unit and reload systemd; --now also\n"
           "                            enables and starts it\n"
           "  remove [SUFFIX]           stop the unit, disable and delete it, reload systemd\n"
           "  status [SUFFIX] [--json]  report the checks due, pending, failed and in doubt, the last\n"
           "                            registration of every printer, payment blocking and the\n"
           "                            database; exit code 0 healthy, 1 degraded, 2 down, 3 unknown\n"
           "\n"
           "SUFFIX (at most 7 characters are used) replaces \"Service\" in the service name\n"
           "\"QEL Fiscal Service\", so that several instances can be installed side by side.\n"
           "\n"
           "Options:\n"
           "  -c, --config FILE  the configuration file (default: VuvovaZododAVU.xml in the working\n"
           "                     folder, then in the program folder, or in /etc/fiscora for the\n"
           "                     installed program)\n"
           "  -h, --help         this text\n"
           "  -V, --version      the version\n";
}

int ServiceControl::Main(const std::vector<std::string>& arguments) {
    CommandLine line = Parse(arguments);
    if (!line.error.empty()) {
        std::fprintf(err, "FiscoraService: %s\nTry 'FiscoraService --help'.\n", line.error.c_str());
        return kUsageError;
    }
    if (line.help) {
        std::fputs(Usage().c_str(), out);
        return 0;
    }
    if (line.version) {
        std::fprintf(out, "%s\n", kVersionText);
        return 0;
    }
    configurationFile = line.configuration;
    if (line.words.size() == 2) {
        serviceName = ApplySuffix(serviceName, line.words[1]);
    }
    if (line.words.empty()) {
        return RunService();
    }
    if (line.words[0] == "install") {
        return Install(line.now);
    }
    if (line.words[0] == "remove") {
        return Remove();
    }
    StatusReport report(ServicePaths::Resolve(serviceName, configurationFile), nullptr, serviceName);
    return report.Run(line.json, out);
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

int ServiceControl::Fail(const char* action, const std::string& reason) {
    std::fprintf(err, "Cannot %s %s: %s\n", action, serviceName.c_str(), reason.c_str());
    return kFailed;
}

int ServiceControl::Install(bool enableAndStart) {
    std::string program = platform::ProgramPath();
    if (program.empty()) {
        return Fail("install",
                    "the program's own path is unknown: " + ErrorText(platform::LastSystemError()));
    }
    SystemdUnits units;
    std::string unitName = SystemdUnits::UnitName(serviceName);
    if (!units.FolderAccessible()) {
        return Fail("install",
                    "unit folder " + units.Folder() + ": " + ErrorText(platform::LastSystemError()));
    }
    if (units.UnitExists(serviceName)) {
        return Fail("install",
                    units.UnitPath(serviceName) + " exists already (FiscoraService remove takes it away)");
    }
    ServicePaths paths = ServicePaths::Resolve(serviceName, configurationFile);
    std::string packaged = "/lib/systemd/system/" + unitName;
    if (paths.installed && paths.instance.empty() && platform::FileExists(packaged)) {
        return Fail("install", "the package installed " + packaged +
                                   " already; start it with: systemctl enable --now " + unitName);
    }
    if (!units.WriteUnit(serviceName, UnitText(serviceName, paths, program, configurationFile))) {
        return Fail("install", "cannot write " + units.UnitPath(serviceName) + ": " +
                                   ErrorText(platform::LastSystemError()));
    }
    std::fprintf(out, "%s installed.\n", serviceName.c_str());
    std::string message;
    if (!units.SystemdRunning()) {
        std::fprintf(out, "systemd does not run here: %s takes effect when it does.\n", unitName.c_str());
        return enableAndStart ? Fail("start", "systemd does not run here") : 0;
    }
    if (!units.DaemonReload(message)) {
        return Fail("install", "systemctl daemon-reload failed: " + message);
    }
    if (!enableAndStart) {
        std::fprintf(out, "Start it with: systemctl enable --now %s\n", unitName.c_str());
        return 0;
    }
    if (!units.EnableNow(serviceName, message)) {
        return Fail("start", "systemctl enable --now " + unitName + " failed: " + message);
    }
    std::fprintf(out, "%s enabled and started.\n", serviceName.c_str());
    return 0;
}

int ServiceControl::Remove() {
    SystemdUnits units;
    if (!units.FolderAccessible()) {
        return Fail("remove",
                    "unit folder " + units.Folder() + ": " + ErrorText(platform::LastSystemError()));
    }
    if (!units.UnitExists(serviceName)) {
        return Fail("remove", "there is no " + units.UnitPath(serviceName));
    }
    bool stopFailed = false;
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
            stopFailed = true;
        }
    }
    std::string message;
    if (!units.Disable(serviceName, message)) {
        return Fail("remove", "systemctl disable failed: " + message);
    }
    if (!units.DeleteUnit(serviceName)) {
        return Fail("remove", "cannot delete " + units.UnitPath(serviceName) + ": " +
                                  ErrorText(platform::LastSystemError()));
    }
    if (units.SystemdRunning() && !units.DaemonReload(message)) {
        return Fail("remove", "systemctl daemon-reload failed: " + message);
    }
    std::fprintf(out, "%s removed.\n", serviceName.c_str());
    return stopFailed ? kFailed : 0;
}

bool ServiceControl::RunWorker(CBaseMonitoring& worker, std::string& failure) {
    if (worker.Start()) {
        return true;
    }
    failure = worker.FailureReason();
    return false;
}

int ServiceControl::RunService(std::unique_ptr<CWorkerParts> parts) {
    // Signals are blocked before any other thread starts, so only the watcher receives them.
    platform::SignalWatcher signals;
    platform::Event processEnd(true);
    std::atomic<int> exitCode{0};
    std::atomic<bool> stopping{false};
    ServicePaths paths = ServicePaths::Resolve(serviceName, configurationFile);

    ServiceNotifier::Report(ServiceNotifier::State::StartPending, 4000);
    CBaseMonitoring worker(std::move(parts), paths.logFile);
    worker.SetPlaces(paths);
    HealthFiles healthFiles(paths);
    worker.SetStartedHandler([] { ServiceNotifier::Report(ServiceNotifier::State::Running); });
    worker.SetHealthHandler([&](const WorkerHealth& health) {
        ServiceNotifier::Status(health.StatusText());
        healthFiles.Write(health);
    });
    bool watching = signals.Start([&](platform::SignalWatcher::Kind kind, int signal) {
        (void)kind;
        if (signal == SIGHUP) {
            // The habit of reloading with SIGHUP must not stop the service and leave PMS payments
            // blocked; the configuration is read at start-up only.
            worker.Log().WriteText(
                "SIGHUP ignored: the configuration is read at start-up; restart the service "
                "to apply a change");
            return;
        }
        if (stopping.exchange(true)) {
            return;
        }
        ServiceNotifier::Report(ServiceNotifier::State::StopPending);
        worker.Stop();
        worker.StoppedEvent().Wait(kStopWaitMs);
        healthFiles.RemoveOwn();
        ServiceNotifier::Report(ServiceNotifier::State::Stopped);
        processEnd.Set();
    });
    if (!watching) {
        // Without the watcher no stop signal would ever reach the service.
        std::fprintf(err, "Error registering ServiceControl\n");
        return kFailed;
    }

    platform::Thread workerThread;
    bool working = workerThread.Start(
        [&] {
            worker.Log().WriteText(kVersionText);
            std::string failure;
            if (!RunWorker(worker, failure)) {
                // systemd shows standard error in "systemctl status" and the journal.
                std::fprintf(err, "Fiscora: %s\n", failure.c_str());
                std::fflush(err);
                // The worker does not run: end the process (before READY when start-up failed)
                // so that systemd reports the failure and starts the service again.
                if (!stopping.exchange(true)) {
                    exitCode = kFailed;
                    processEnd.Set();
                }
            }
        },
        "worker");
    if (!working) {
        std::fprintf(err, "Fiscora: start-up failed: the worker thread could not start\n");
        signals.Stop();
        return kFailed;
    }

    processEnd.Wait(-1);
    signals.Stop();
    // The worker thread is never joined: it may still be finishing a device dialogue.
    platform::ExitProcess(exitCode);
}
