#include "platform/SignalWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>

namespace platform {

bool SignalWatcher::Start(std::function<void(Kind, int)> callback) {
    handler = std::move(callback);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGQUIT);
    sigaddset(&set, SIGHUP);
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
        return false;
    }
    signalFd = ::signalfd(-1, &set, SFD_CLOEXEC);
    wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (signalFd < 0 || wakeFd < 0) {
        Stop();
        return false;
    }
    return thread.Start([this] { Run(); }, "signals");
}

void SignalWatcher::Stop() {
    if (wakeFd >= 0) {
        uint64_t one = 1;
        ssize_t ignored = ::write(wakeFd, &one, sizeof one);
        (void)ignored;
    }
    thread.Join();
    if (signalFd >= 0) {
        ::close(signalFd);
        signalFd = -1;
    }
    if (wakeFd >= 0) {
        ::close(wakeFd);
        wakeFd = -1;
    }
}

void SignalWatcher::Run() {
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        int rc = ::poll(fds, 2, -1);
        if (rc < 0) {
            continue;
        }
        if (fds[1].revents) {
            return;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info;
            if (::read(signalFd, &info, sizeof info) != sizeof info) {
                continue;
            }
            int sig = static_cast<int>(info.ssi_signo);
            if (handler) {
                handler(sig == SIGTERM ? Kind::Stop : Kind::Console, sig);
            }
        }
    }
}

}  // namespace platform
