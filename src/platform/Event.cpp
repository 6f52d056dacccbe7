#include "platform/Event.h"

#include <chrono>

namespace platform {

Event::Event(bool manualReset, bool initiallySet) : manualReset(manualReset), signalled(initiallySet) {}

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        signalled = true;
    }
    if (manualReset) {
        signal.notify_all();
    } else {
        signal.notify_one();
    }
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(mutex);
    signalled = false;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> lock(mutex);
    return signalled;
}

bool Event::Wait(int64_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex);
    if (timeoutMs < 0) {
        signal.wait(lock, [this] { return signalled; });
    } else if (!signal.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled; })) {
        return false;
    }
    if (!manualReset) {
        signalled = false;
    }
    return true;
}

}  // namespace platform
