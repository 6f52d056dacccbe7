#include "platform/WindowsService.h"

#include <mutex>
#include <vector>

#include "platform/WindowsHeaders.h"
// After windows.h, which must follow winsock2.h.
#include <objbase.h>

namespace platform::windows_service {

namespace {

// The control manager's callbacks are plain functions: what they call is kept here, once per
// process like the service itself.
std::string serviceName;
std::function<void()> mainFunction;
std::function<void(unsigned)> controlHandler;
std::function<bool(ConsoleEvent)> consoleHandler;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
std::mutex statusMutex;
Status lastStatus;
bool reported = false;

bool Send(const Status& status) {
    SERVICE_STATUS native{};
    native.dwServiceType = kOwnInteractiveProcess;
    native.dwCurrentState = static_cast<DWORD>(status.state);
    native.dwControlsAccepted = status.controlsAccepted;
    native.dwWin32ExitCode = status.exitCode;
    native.dwServiceSpecificExitCode = 0;
    native.dwCheckPoint = status.checkPoint;
    native.dwWaitHint = status.waitHintMs;
    return statusHandle && ::SetServiceStatus(statusHandle, &native);
}

void WINAPI ServiceMainEntry(DWORD, LPSTR*) {
    if (mainFunction) {
        mainFunction();
    }
}

void WINAPI ControlEntry(DWORD control) {
    if (controlHandler) {
        controlHandler(control);
    }
}

BOOL WINAPI ConsoleEntry(DWORD type) {
    if (!consoleHandler) {
        return FALSE;
    }
    ConsoleEvent event = type == CTRL_C_EVENT          ? ConsoleEvent::CtrlC
                         : type == CTRL_BREAK_EVENT    ? ConsoleEvent::CtrlBreak
                         : type == CTRL_CLOSE_EVENT    ? ConsoleEvent::Close
                         : type == CTRL_LOGOFF_EVENT   ? ConsoleEvent::Logoff
                         : type == CTRL_SHUTDOWN_EVENT ? ConsoleEvent::Shutdown
                                                       : ConsoleEvent::Other;
    return consoleHandler(event) ? TRUE : FALSE;
}

}  // namespace

bool RunDispatcher(const std::string& name, std::function<void()> serviceMain) {
    serviceName = name;
    mainFunction = std::move(serviceMain);
    std::vector<char> nameText(serviceName.begin(), serviceName.end());
    nameText.push_back('\0');
    SERVICE_TABLE_ENTRYA table[] = {{nameText.data(), ServiceMainEntry}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherA(table) != FALSE;
}

bool RegisterControlHandler(const std::string& name, std::function<void(unsigned)> handler) {
    controlHandler = std::move(handler);
    std::lock_guard<std::mutex> lock(statusMutex);
    statusHandle = ::RegisterServiceCtrlHandlerA(name.c_str(), ControlEntry);
    return statusHandle != nullptr;
}

bool SetStatus(const Status& status) {
    std::lock_guard<std::mutex> lock(statusMutex);
    Status sent = status;
    // An extension may have moved the check point on: the pending state's next report keeps
    // counting up from there.
    if (reported && sent.state == lastStatus.state && sent.checkPoint != 0 && sent.checkPoint <= lastStatus.checkPoint) {
        sent.checkPoint = lastStatus.checkPoint + 1;
    }
    lastStatus = sent;
    reported = true;
    return Send(sent);
}

bool ExtendedStatus(Status& status, unsigned waitHintMs) {
    if (status.state != State::StartPending && status.state != State::StopPending) {
        return false;
    }
    ++status.checkPoint;
    status.waitHintMs = waitHintMs;
    return true;
}

bool ExtendPendingWait(unsigned waitHintMs) {
    std::lock_guard<std::mutex> lock(statusMutex);
    return reported && ExtendedStatus(lastStatus, waitHintMs) && Send(lastStatus);
}

bool SetConsoleHandler(std::function<bool(ConsoleEvent)> handler) {
    consoleHandler = std::move(handler);
    return ::SetConsoleCtrlHandler(ConsoleEntry, TRUE) != FALSE;
}

void SetConsoleTitle(const std::string& title) { ::SetConsoleTitleA(title.c_str()); }

std::string LoadStringResource(unsigned id, int maxChars) {
    std::vector<char> buffer(static_cast<size_t>(maxChars) + 1);
    int n = ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer.data(), maxChars + 1);
    return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

bool InitializeCom() { return SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }

void UninitializeCom() { ::CoUninitialize(); }

}  // namespace platform::windows_service
