#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Reports the service state to systemd (sd_notify) when the service runs under a notify unit;
// without NOTIFY_SOCKET every call does nothing.
class ServiceNotifier {
public:
    enum class State { StartPending, Running, StopPending, Stopped };

    static void Report(State state, int waitHintMs = 0);
    // The one-line status text systemd shows for the service (STATUS=).
    static void Status(const std::string& text);
    // Gives the state the service is in (start-up, stopping) at least this much more time before
    // systemd gives up on it: a stop that waits for an exchange in flight is not killed half way.
    static void ExtendTimeout(int64_t ms);
};

}  // namespace platform
