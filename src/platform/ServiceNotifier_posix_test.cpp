#include "platform/ServiceNotifier.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "platform/TempFolder.h"

namespace {

// The socket systemd hands a notify service, in a temporary folder; what the service sends there
// is read back datagram by datagram.
class NotifySocket {
public:
    NotifySocket() {
        fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::string path = temp.File("notify");
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        timeval wait{2, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    }
    ~NotifySocket() {
        ::unsetenv("NOTIFY_SOCKET");
        ::close(fd);
    }
    // The next datagram, or "" when none came.
    std::string Next() {
        char buffer[512];
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "";
    }
    bool bound = false;

private:
    platform::TempFolder temp{"fiscora-notify"};
    int fd = -1;
};

using platform::ServiceNotifier;

TEST(ServiceNotifierTest, WhatTheServiceTellsSystemd) {
    struct Case {
        const char* what;
        std::function<void()> tell;
        const char* sent;
    };
    const Case cases[] = {
        // systemd counts in microseconds: 28 s of a stop waiting for a late answer.
        {"stop extended", [] { ServiceNotifier::ExtendTimeout(28000); }, "EXTEND_TIMEOUT_USEC=28000000"},
        {"start with a hint", [] { ServiceNotifier::Report(ServiceNotifier::State::StartPending, 4000); },
         "STATUS=Starting\nEXTEND_TIMEOUT_USEC=4000000"},
        {"stopping", [] { ServiceNotifier::Report(ServiceNotifier::State::StopPending); },
         "STOPPING=1\nSTATUS=Stopping"},
        {"status", [] { ServiceNotifier::Status("Waiting: another service holds the property"); },
         "STATUS=Waiting: another service holds the property"},
    };
    NotifySocket systemd;
    ASSERT_TRUE(systemd.bound);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.tell();
        EXPECT_EQ(systemd.Next(), c.sent);
    }
    // Nothing to extend: nothing is sent, so the next datagram is the status after it.
    ServiceNotifier::ExtendTimeout(0);
    ServiceNotifier::Status("Running");
    EXPECT_EQ(systemd.Next(), "STATUS=Running");
}

}  // namespace
