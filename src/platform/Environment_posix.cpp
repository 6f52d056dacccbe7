#include "platform/Environment.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/utsname.h>
#include <sys/wait.h>

namespace platform {

std::string GetEnv(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

bool HasEnv(const std::string& name) { return std::getenv(name.c_str()) != nullptr; }

bool SetEnv(const std::string& name, const std::string& value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string SystemErrorText(int error) {
    char buffer[256];
    // GNU strerror_r returns the text, which need not be in the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text ? text : "";
}

int LastSystemError() { return errno; }

int RunProgram(const std::string& program, const std::vector<std::string>& arguments, std::string* output,
               bool withErrors) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    if (withErrors) {
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    // Arguments go to the program as they are: no shell sees them.
    int spawned = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        return -1;
    }
    char buffer[512];
    for (;;) {
        ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        if (output) {
            output->append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ProcessId() {
    return static_cast<int>(::getpid());
}

bool ProcessAlive(int pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

std::string HostName() {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) {
        return "";
    }
    return buffer;
}

std::string OsVersionText() {
    utsname name{};
    int major = 0, minor = 0, build = 0;
    if (::uname(&name) == 0) {
        std::sscanf(name.release, "%d.%d.%d", &major, &minor, &build);
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d.%d.%d", major, minor, build);
    return buffer;
}

void ExitProcess(int code) {
    std::fflush(nullptr);
    ::_exit(code);
}

}  // namespace platform
