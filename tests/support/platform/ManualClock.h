#pragma once

#include <ctime>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/Clock.h"

namespace platform {

// A clock for tests: time moves only when someone waits or calls Advance, and no wait blocks.
// A wait on an event that is not signalled lets the hook run (it may signal the event, as a
// stop request would) and then passes the whole pause at once.
class ManualClock : public Clock {
public:
    explicit ManualClock(std::time_t start = 1767261600 /* 01.01.2026 10:00 UTC */);

    LocalTime Now() override;
    int64_t MonotonicMs() override;
    bool Wait(Event& event, int64_t ms) override;
    void Sleep(int64_t ms) override;

    void Advance(int64_t ms);
    void SetTime(std::time_t seconds);
    // Called with the length of every wait and sleep before time moves on.
    void SetHook(std::function<void(int64_t ms)> hook);
    // Lengths of every wait and sleep so far, in order.
    std::vector<int64_t> Pauses() const;

private:
    // Records a pause and lets the hook run.
    void NotePause(int64_t ms);

    mutable std::mutex mutex;
    int64_t nowMs;
    int64_t monotonicMs = 0;
    std::function<void(int64_t)> hook;
    std::vector<int64_t> pauses;
};

}  // namespace platform
