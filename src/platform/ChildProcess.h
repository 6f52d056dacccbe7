#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// A program started in the background (end-to-end tests, the demo driver): it runs in its own
// working folder with its output going to a file, and can be signalled and waited for.
class ChildProcess {
public:
    ChildProcess() = default;
    // A child that is still running when the object goes is killed.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // outputFile receives standard output and standard error (appended); empty discards them.
    bool Start(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
               const std::string& outputFile = "");
    bool Running();
    bool Signal(int signal);
    // Waits up to timeoutMs for the child to end; true when it ended (ExitCode then tells how).
    bool Wait(int timeoutMs);
    // The exit code, 128 + the signal when a signal ended it, -1 while unknown.
    int ExitCode() const { return exitCode; }
    // The process id, -1 before a start.
    pid_t Pid() const { return pid; }

private:
    bool Reap(bool block);

    pid_t pid = -1;
    int exitCode = -1;
};

}  // namespace platform
