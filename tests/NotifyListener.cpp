#include "NotifyListener.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/Text.h"

NotifyListener::NotifyListener(std::string socketPath) : path(std::move(socketPath)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        fd = -1;
    }
}

NotifyListener::~NotifyListener() {
    if (fd >= 0) {
        ::close(fd);
        ::unlink(path.c_str());
    }
}

std::vector<std::string> NotifyListener::Received() {
    char buffer[4096];
    for (;;) {
        ssize_t n = fd < 0 ? -1 : ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        for (const std::string& line : text::Split(std::string(buffer, static_cast<size_t>(n)), '\n')) {
            if (!line.empty()) {
                received.push_back(line);
            }
        }
    }
    return received;
}

bool NotifyListener::Has(const std::string& assignment) {
    for (const std::string& line : Received()) {
        if (line == assignment) {
            return true;
        }
    }
    return false;
}

bool NotifyListener::WaitFor(const std::string& prefix, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (const std::string& line : Received()) {
            if (line.rfind(prefix, 0) == 0) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::string NotifyListener::LastStatus() {
    std::string status;
    for (const std::string& line : Received()) {
        if (line.rfind("STATUS=", 0) == 0) {
            status = line.substr(7);
        }
    }
    return status;
}
