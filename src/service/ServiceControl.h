#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "service/CWorkerParts.h"
#include "service/ServicePaths.h"

class CBaseMonitoring;

// The entry point's work: the command line, installing and removing the systemd unit, the status
// report, and running the worker as the service until SIGTERM.
class ServiceControl {
public:
    static constexpr const char* kDefaultName = ServicePaths::kDefaultServiceName;
    static constexpr const char* kVersionText = "QEL Fiscal Service v.5.09.56";
    static constexpr int kStopWaitMs = 10000;
    // Exit codes of the commands; the status command has its own (StatusReport).
    static constexpr int kFailed = 1;
    static constexpr int kUsageError = 2;

    // out receives what the commands report, err their failures.
    explicit ServiceControl(FILE* out = stdout, FILE* err = stderr) : out(out), err(err) {}

    // Handles the command line (arguments[0] is the program, as in argv); returns the exit code.
    int Main(const std::vector<std::string>& arguments);

    // The service name with a suffix applied: the suffix, cut to 7 characters, replaces every
    // "Service" in the name.
    static std::string ApplySuffix(const std::string& name, const std::string& suffix);
    // "%s (0x%x)" with the system's text for the error; empty when it would not fit 256 bytes.
    static std::string ErrorText(int error);
    static std::string Usage();
    // The unit install writes for the program with these places (the package's unit is the one
    // of the installed program under the default name).
    static std::string UnitText(const std::string& serviceName, const ServicePaths& paths,
                                const std::string& program, const std::string& configurationFile);

    // Exit codes: 0 done, kFailed otherwise (the reason on err).
    int Install(bool enableAndStart);
    int Remove();
    // Runs the worker in the foreground until a stop signal; returns the exit code.
    int RunService(std::unique_ptr<CWorkerParts> parts = nullptr);
    // The worker thread's body: runs the worker until it stops. False when it could not start or
    // an exception ended it, with the reason in failure (and in the service log).
    static bool RunWorker(CBaseMonitoring& worker, std::string& failure);

    const std::string& Name() const { return serviceName; }

private:
    // Prints "Cannot <action> <service>: <reason>" on err; returns kFailed.
    int Fail(const char* action, const std::string& reason);

    std::string serviceName = kDefaultName;
    std::string configurationFile;
    FILE* out;
    FILE* err;
};
