#pragma once

#include <functional>
#include <string>
#include <thread>

namespace platform {

// A joinable thread that is joined when it goes out of scope, so no thread outlives its owner.
class Thread {
public:
    Thread() = default;
    ~Thread() { Join(); }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts the body on a new thread; the name shows in ps and gdb (cut to 15 characters). An
    // exception that leaves the body ends only its thread, with a line on standard error; bodies
    // that can go on after one catch it themselves and log it where they log.
    bool Start(std::function<void()> body, const std::string& name = "");
    void Join();
    bool Running() const { return thread.joinable(); }
    bool IsCurrent() const { return thread.get_id() == std::this_thread::get_id(); }
    // The kernel's number of the calling thread (as ps -L shows it).
    static unsigned CurrentId();

private:
    // The name shows in ps and gdb, or in a Windows debugger.
    void SetName(const std::string& name);

    std::thread thread;
};

}  // namespace platform
