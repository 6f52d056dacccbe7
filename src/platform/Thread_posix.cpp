#include "platform/Thread.h"

#include <pthread.h>
#include <unistd.h>

namespace platform {

void Thread::SetName(const std::string& name) {
    ::pthread_setname_np(thread.native_handle(), name.substr(0, 15).c_str());
}

unsigned Thread::CurrentId() { return static_cast<unsigned>(::gettid()); }

}  // namespace platform
