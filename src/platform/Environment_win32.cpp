#include "platform/Environment.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/WindowsHeaders.h"

namespace platform {

std::string GetEnv(const std::string& name) {
    char small[256];
    DWORD n = ::GetEnvironmentVariableA(name.c_str(), small, sizeof small);
    if (n < sizeof small) {
        return std::string(small, n);
    }
    std::vector<char> big(n);
    n = ::GetEnvironmentVariableA(name.c_str(), big.data(), static_cast<DWORD>(big.size()));
    return std::string(big.data(), n < big.size() ? n : 0);
}

bool HasEnv(const std::string& name) {
    char probe[1];
    ::SetLastError(ERROR_SUCCESS);
    DWORD n = ::GetEnvironmentVariableA(name.c_str(), probe, sizeof probe);
    return n > 0 || ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

bool SetEnv(const std::string& name, const std::string& value) {
    // The system's copy is what a database driver reads; the C library keeps one of its own.
    if (!::SetEnvironmentVariableA(name.c_str(), value.c_str())) {
        return false;
    }
    if (!value.empty()) {
        ::_putenv_s(name.c_str(), value.c_str());
    }
    return true;
}

std::string SystemErrorText(int error) {
    char buffer[512] = {};
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                               sizeof buffer, nullptr);
    std::string text(buffer, n);
    // The system's messages end with a line break; the C library's do not.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

int LastSystemError() { return static_cast<int>(::GetLastError()); }

namespace {

// One argument quoted the way the C runtime of the started program splits its command line.
std::string Quote(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

}  // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& arguments, std::string* output,
               bool withErrors) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return -1;
    }
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::string commandLine = Quote(program);
    for (const std::string& argument : arguments) {
        commandLine += " " + Quote(argument);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = withErrors ? writeEnd : ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    BOOL started = ::CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                    &startup, &process);
    ::CloseHandle(writeEnd);
    if (!started) {
        ::CloseHandle(readEnd);
        return -1;
    }
    char buffer[512];
    DWORD n = 0;
    while (::ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        if (output) {
            output->append(buffer, n);
        }
    }
    ::CloseHandle(readEnd);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

int ProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

bool ProcessAlive(int pid) {
    if (pid <= 0) {
        return false;
    }
    HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) {
        // A process of another user that this one may not open still runs.
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    }
    bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

std::string HostName() {
    char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof buffer;
    if (!::GetComputerNameA(buffer, &size)) {
        return "";
    }
    return std::string(buffer, size);
}

std::string OsVersionText() {
    // The kernel's own call tells the real version; GetVersionEx answers what the manifest allows.
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    auto rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) {
        OSVERSIONINFOA plain{};
        plain.dwOSVersionInfoSize = sizeof plain;
        ::GetVersionExA(&plain);
        info.dwMajorVersion = plain.dwMajorVersion;
        info.dwMinorVersion = plain.dwMinorVersion;
        info.dwBuildNumber = plain.dwBuildNumber;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%lu.%lu.%lu", info.dwMajorVersion, info.dwMinorVersion,
                  info.dwBuildNumber);
    return buffer;
}

void ExitProcess(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}

}  // namespace platform
