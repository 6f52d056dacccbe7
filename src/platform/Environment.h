#pragma once

#include <string>
#include <vector>

namespace platform {

// The value of an environment variable; empty when it is not set.
std::string GetEnv(const std::string& name);
bool HasEnv(const std::string& name);
// Sets (or with an empty value still sets to empty) a variable of this process.
bool SetEnv(const std::string& name, const std::string& value);

// Text of a system error number: "No such file or directory" and the like.
std::string SystemErrorText(int error);
int LastSystemError();

// Runs a program with arguments, waits for it and returns its exit code (-1 when it could not
// start); what it writes to standard output (with withErrors, standard error too) is returned in
// output.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments, std::string* output,
               bool withErrors = false);

std::string HostName();
// The number of this process, and whether a process of that number runs on this machine.
int ProcessId();
bool ProcessAlive(int pid);
// Version of the operating system kernel as "major.minor.build" ("6.1.0").
std::string OsVersionText();

// Ends the process at once with the exit code, after flushing the standard streams; no static
// destructors run, so threads that are still busy cannot trip over them.
[[noreturn]] void ExitProcess(int code);

}  // namespace platform
