#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "service/CWorkerParts.h"

class CBaseMonitoring;

// The entry point's work: the command line (install, remove, the name suffix), installing and
// removing the systemd unit, and running the worker as the service until SIGTERM.
class ServiceControl {
public:
    static constexpr const char* kDefaultName = "QEL Fiscal Service";
    static constexpr const char* kVersionText = "QEL Fiscal Service v.5.09.56";
    static constexpr int kStopWaitMs = 10000;

    explicit ServiceControl(FILE* out = stdout) : out(out) {}

    // Handles the command line; returns the process exit code.
    int Main(const std::vector<std::string>& arguments);

    // The service name with a suffix applied: the suffix, cut to 7 characters, replaces every
    // "Service" in the name.
    static std::string ApplySuffix(const std::string& name, const std::string& suffix);
    // "%s (0x%x)" with the system's text for the error; empty when it would not fit 256 bytes.
    static std::string ErrorText(int error);

    void Install();
    void Remove();
    // Runs the worker in the foreground until a stop signal; returns the exit code.
    int RunService(std::unique_ptr<CWorkerParts> parts = nullptr);
    // The worker thread's body: runs the worker until it stops. False when it could not start or
    // an exception ended it, with the reason in failure (and in the service log).
    static bool RunWorker(CBaseMonitoring& worker, std::string& failure);

    const std::string& Name() const { return serviceName; }

private:
    std::string serviceName = kDefaultName;
    FILE* out;
};
