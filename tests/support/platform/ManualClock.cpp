#include "tests/support/platform/ManualClock.h"

namespace platform {

ManualClock::ManualClock(std::time_t start) : nowMs(static_cast<int64_t>(start) * 1000) {}

LocalTime ManualClock::Now() {
    std::lock_guard<std::mutex> lock(mutex);
    return LocalTime::FromEpoch(static_cast<std::time_t>(nowMs / 1000), static_cast<int>(nowMs % 1000));
}

int64_t ManualClock::MonotonicMs() {
    std::lock_guard<std::mutex> lock(mutex);
    return monotonicMs;
}

bool ManualClock::Wait(Event& event, int64_t ms) {
    if (event.Wait(0)) {
        return true;
    }
    NotePause(ms);
    if (event.Wait(0)) {
        return true;
    }
    Advance(ms < 0 ? 0 : ms);
    return false;
}

void ManualClock::Sleep(int64_t ms) {
    NotePause(ms);
    Advance(ms);
}

void ManualClock::NotePause(int64_t ms) {
    std::function<void(int64_t)> callback;
    {
        std::lock_guard<std::mutex> lock(mutex);
        pauses.push_back(ms);
        callback = hook;
    }
    // Run outside the lock: the hook may advance the clock or signal the event.
    if (callback) {
        callback(ms);
    }
}

void ManualClock::Advance(int64_t ms) {
    std::lock_guard<std::mutex> lock(mutex);
    nowMs += ms;
    monotonicMs += ms;
}

void ManualClock::SetTime(std::time_t seconds) {
    std::lock_guard<std::mutex> lock(mutex);
    nowMs = static_cast<int64_t>(seconds) * 1000;
}

void ManualClock::SetHook(std::function<void(int64_t)> callback) {
    std::lock_guard<std::mutex> lock(mutex);
    hook = std::move(callback);
}

std::vector<int64_t> ManualClock::Pauses() const {
    std::lock_guard<std::mutex> lock(mutex);
    return pauses;
}

}  // namespace platform
