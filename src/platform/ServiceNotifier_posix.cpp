#include "platform/ServiceNotifier.h"

#include <systemd/sd-daemon.h>

#include <string>

#include "platform/Environment.h"

namespace platform {

void ServiceNotifier::Report(State state, int waitHintMs) {
    if (!HasEnv("NOTIFY_SOCKET")) {
        return;
    }
    std::string message;
    switch (state) {
        case State::StartPending:
            message = "STATUS=Starting";
            if (waitHintMs > 0) {
                message += "\nEXTEND_TIMEOUT_USEC=" + std::to_string(static_cast<long long>(waitHintMs) * 1000);
            }
            break;
        case State::Running:
            message = "READY=1\nSTATUS=Running";
            break;
        case State::StopPending:
            message = "STOPPING=1\nSTATUS=Stopping";
            break;
        case State::Stopped:
            message = "STATUS=Stopped";
            break;
    }
    ::sd_notify(0, message.c_str());
}

void ServiceNotifier::Status(const std::string& text) {
    if (HasEnv("NOTIFY_SOCKET")) {
        ::sd_notify(0, ("STATUS=" + text).c_str());
    }
}

void ServiceNotifier::ExtendTimeout(int64_t ms) {
    if (HasEnv("NOTIFY_SOCKET") && ms > 0) {
        ::sd_notify(0, ("EXTEND_TIMEOUT_USEC=" + std::to_string(static_cast<long long>(ms) * 1000)).c_str());
    }
}

}  // namespace platform
