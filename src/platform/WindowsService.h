#pragma once

#include <functional>
#include <string>

namespace platform {

// The service side of the Windows service control manager, and the console of the process. The
// control manager calls back on threads of its own: the service main on a new thread, the control
// handler on the dispatcher's thread, the console handler on a thread the system starts.
namespace windows_service {

// The system's numbers of the states and controls a service reports.
enum class State : unsigned { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4 };
constexpr unsigned kAcceptStop = 0x1;
constexpr unsigned kOwnInteractiveProcess = 0x110;
constexpr unsigned kControlStop = 0x1;

struct Status {
    State state = State::StartPending;
    unsigned controlsAccepted = 0;
    unsigned exitCode = 0;
    unsigned checkPoint = 0;
    unsigned waitHintMs = 0;
};

// StartServiceCtrlDispatcher with one entry; the service main runs on the dispatcher's next
// thread. Returns when every service of the process has stopped; false (LastSystemError() tells
// why, 1063 for a program started from a console) when the dispatcher could not start.
bool RunDispatcher(const std::string& name, std::function<void()> serviceMain);
// RegisterServiceCtrlHandler: the handler receives every control (kControlStop and others).
bool RegisterControlHandler(const std::string& name, std::function<void(unsigned control)> handler);
// SetServiceStatus with the handle of the registration; the type is kOwnInteractiveProcess.
bool SetStatus(const Status& status);
// The last status reported, given waitHintMs more time when it is a pending one (start or stop):
// its check point moves on, so the control manager sees progress, and the wait hint becomes the
// new time. False (the status unchanged) in any other state.
bool ExtendedStatus(Status& status, unsigned waitHintMs);
// Reports the last status extended so (a stop waiting for an exchange in flight is not given up
// on by the control manager); false outside a pending state or before any report.
bool ExtendPendingWait(unsigned waitHintMs);

enum class ConsoleEvent { CtrlC, CtrlBreak, Close, Logoff, Shutdown, Other };
// SetConsoleCtrlHandler: the handler's result tells the system whether the event was handled
// (false lets the default handling, the end of the process, follow).
bool SetConsoleHandler(std::function<bool(ConsoleEvent event)> handler);
void SetConsoleTitle(const std::string& title);

// String resource id of the executable, up to maxChars characters; empty when it has none.
std::string LoadStringResource(unsigned id, int maxChars);

// COM for the calling thread in the apartment model; Uninitialize only after a successful one.
bool InitializeCom();
void UninitializeCom();

}  // namespace windows_service

}  // namespace platform
