#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {
SystemClock systemClock;
std::atomic<Clock*> currentClock{nullptr};
}  // namespace

Clock& Clock::Current() {
    Clock* clock = currentClock.load();
    return clock ? *clock : systemClock;
}

void Clock::SetCurrent(Clock* clock) { currentClock.store(clock); }

LocalTime SystemClock::Now() {
    auto now = std::chrono::system_clock::now();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    return LocalTime::FromEpoch(static_cast<std::time_t>(ms / 1000), static_cast<int>(ms % 1000));
}

int64_t SystemClock::MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool SystemClock::Wait(Event& event, int64_t ms) { return event.Wait(ms); }

void SystemClock::Sleep(int64_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace platform
