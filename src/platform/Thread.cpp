#include "platform/Thread.h"

#include <pthread.h>
#include <unistd.h>

#include <system_error>

namespace platform {

bool Thread::Start(std::function<void()> body, const std::string& name) {
    Join();
    try {
        thread = std::thread(std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    if (!name.empty()) {
        ::pthread_setname_np(thread.native_handle(), name.substr(0, 15).c_str());
    }
    return true;
}

unsigned Thread::CurrentId() { return static_cast<unsigned>(::gettid()); }

void Thread::Join() {
    if (thread.joinable()) {
        if (IsCurrent()) {
            thread.detach();
        } else {
            thread.join();
        }
    }
}

}  // namespace platform
