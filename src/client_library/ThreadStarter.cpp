#include "client_library/ThreadStarter.h"

bool ThreadStarter::StartThread(const char* name) {
    if (running.load()) {
        return true;
    }
    thread.Join();  // a thread that ended on its own
    stopEvent.Reset();
    running = true;
    if (!thread.Start([this] { Run(); }, name)) {
        running = false;
        return false;
    }
    return true;
}

void ThreadStarter::StopThread() {
    running = false;
    stopEvent.Set();
    Shutdown();
    thread.Join();
}
