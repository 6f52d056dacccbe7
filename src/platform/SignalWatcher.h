#pragma once

#include <functional>

#include "platform/Thread.h"

namespace platform {

// Delivers SIGTERM, SIGINT, SIGQUIT and SIGHUP to a handler on a thread of its own, so that the
// handler may take locks and write the log (no async-signal restrictions).
class SignalWatcher {
public:
    enum class Kind { Stop, Console };

    SignalWatcher() = default;
    ~SignalWatcher() { Stop(); }

    // Blocks the signals in the calling thread (call it before any other thread starts, so that
    // every thread inherits the mask) and starts the watching thread.
    bool Start(std::function<void(Kind kind, int signal)> handler);
    void Stop();

private:
    void Run();

    std::function<void(Kind, int)> handler;
    int signalFd = -1;
    int wakeFd = -1;
    Thread thread;
};

}  // namespace platform
