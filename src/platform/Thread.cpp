#include "platform/Thread.h"

#include <cxxabi.h>

#include <cstdio>
#include <exception>
#include <system_error>

namespace platform {

namespace {

// The last guard of every thread: an exception that its body let through ends the thread with a
// line on standard error (journald keeps it) instead of ending the whole process.
void RunGuarded(const std::function<void()>& body, const std::string& name) {
    try {
        body();
    } catch (const abi::__forced_unwind&) {
        throw;  // a cancelled thread must unwind
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Thread %s ended by an exception: %s\n", name.c_str(), e.what());
    } catch (...) {
        std::fprintf(stderr, "Thread %s ended by an unknown exception\n", name.c_str());
    }
}

}  // namespace

bool Thread::Start(std::function<void()> body, const std::string& name) {
    Join();
    try {
        thread = std::thread([body = std::move(body), name] { RunGuarded(body, name); });
    } catch (const std::system_error&) {
        return false;
    }
    if (!name.empty()) {
        SetName(name);
    }
    return true;
}

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
