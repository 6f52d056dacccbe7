#pragma once

#include <cstdint>

#include "platform/Event.h"
#include "platform/LocalTime.h"

namespace platform {

// The one source of "now" and of every pause the service makes. Tests install a ManualClock so
// that the worker's 1000 ms and 5000 ms pauses pass at once.
class Clock {
public:
    virtual ~Clock() = default;

    virtual LocalTime Now() = 0;
    // Milliseconds of a steady clock, for measuring intervals.
    virtual int64_t MonotonicMs() = 0;
    // Waits on the event for up to ms milliseconds; true when it was signalled.
    virtual bool Wait(Event& event, int64_t ms) = 0;
    // A plain pause.
    virtual void Sleep(int64_t ms) = 0;

    // The clock in use: the system clock unless a test installed another.
    static Clock& Current();
    // Installs a clock (nullptr restores the system clock); the caller keeps ownership.
    static void SetCurrent(Clock* clock);
};

class SystemClock : public Clock {
public:
    LocalTime Now() override;
    int64_t MonotonicMs() override;
    bool Wait(Event& event, int64_t ms) override;
    void Sleep(int64_t ms) override;
};

// Installs a clock for the lifetime of the guard.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) { Clock::SetCurrent(&clock); }
    ~ScopedClock() { Clock::SetCurrent(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace platform
