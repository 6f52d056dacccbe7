#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

// A Win32-style event: manual-reset events stay signalled until Reset, auto-reset events
// release one waiter and clear themselves.
class Event {
public:
    explicit Event(bool manualReset, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // Waits up to timeoutMs (negative: forever). True when the event was signalled; an auto-reset
    // event is cleared by the successful wait.
    bool Wait(int64_t timeoutMs);

private:
    mutable std::mutex mutex;
    std::condition_variable signal;
    const bool manualReset;
    bool signalled;
};

}  // namespace platform
