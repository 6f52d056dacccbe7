#pragma once

#include <atomic>

#include "platform/Event.h"
#include "platform/Thread.h"

// An object that owns one worker thread. Stop clears running, signals the stop event and calls
// Shutdown so that the thread's blocking waits end, then joins it. Every wait of the library's
// threads ends on Stop, so the join is short; a thread is never abandoned, because unloading the
// library under a running thread would take its code away.
class ThreadStarter {
public:
    virtual ~ThreadStarter() = default;
    ThreadStarter() = default;
    ThreadStarter(const ThreadStarter&) = delete;
    ThreadStarter& operator=(const ThreadStarter&) = delete;

    bool IsRunning() const { return running.load(); }

protected:
    virtual void Run() = 0;
    // Called by StopThread after the stop event is signalled.
    virtual void Shutdown() {}

    bool StartThread(const char* name);
    void StopThread();

    std::atomic<bool> running{false};
    platform::Event stopEvent{true};

private:
    platform::Thread thread;
};
