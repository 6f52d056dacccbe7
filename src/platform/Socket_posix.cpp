#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = htons(port);
    return sa;
}

}  // namespace

const int Socket::kTimedOut = ETIMEDOUT;
const int Socket::kRefused = ECONNREFUSED;
const int Socket::kCancelled = ECANCELED;
const int Socket::kMessageTooLong = EMSGSIZE;

int Socket::StartUp() { return 0; }

void Socket::CleanUp() {}

Socket::Socket(Socket&& other) noexcept : fd(other.fd), lastError(other.lastError) { other.fd = -1; }

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd = other.fd;
        lastError = other.lastError;
        other.fd = -1;
    }
    return *this;
}

bool Socket::Resolve(const std::string& host, uint32_t& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
        address = parsed.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || !result) {
        return false;
    }
    address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(result);
    return true;
}

std::string Socket::AddressText(uint32_t address) {
    in_addr a{};
    a.s_addr = address;
    char buffer[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, buffer, sizeof buffer);
    return buffer;
}

std::string Socket::LocalAddresses(const std::string& separator) {
    std::string result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return result;
    }
    for (ifaddrs* item = list; item; item = item->ifa_next) {
        if (!item->ifa_addr || item->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        uint32_t address = reinterpret_cast<sockaddr_in*>(item->ifa_addr)->sin_addr.s_addr;
        if ((ntohl(address) >> 24) == 127) {
            continue;
        }
        if (!result.empty()) {
            result += separator;
        }
        result += AddressText(address);
    }
    ::freeifaddrs(list);
    return result;
}

bool Socket::ParseAddress(const std::string& text, uint32_t& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, text.c_str(), &parsed) != 1) {
        return false;
    }
    address = parsed.s_addr;
    return true;
}

bool Socket::Create(Kind kind) {
    Close();
    fd = ::socket(AF_INET, (kind == Kind::Tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    lastError = fd < 0 ? errno : 0;
    return fd >= 0;
}

void Socket::Close() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool Socket::Connect(uint32_t address, uint16_t port, int timeoutMs, int wakeFd) {
    sockaddr_in sa = MakeAddress(address, port);
    int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (rc != 0 && errno != EINPROGRESS) {
        lastError = errno;
        ::fcntl(fd, F_SETFL, flags);
        return false;
    }
    if (rc != 0) {
        pollfd p[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
        int ready;
        do {
            ready = ::poll(p, wakeFd >= 0 ? 2 : 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0 || (wakeFd >= 0 && p[1].revents)) {
            lastError = ready == 0 ? ETIMEDOUT : ready > 0 ? ECANCELED : errno;
            ::fcntl(fd, F_SETFL, flags);
            return false;
        }
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
            lastError = error;
            ::fcntl(fd, F_SETFL, flags);
            return false;
        }
    }
    ::fcntl(fd, F_SETFL, flags);
    lastError = 0;
    return true;
}

bool Socket::Bind(uint32_t address, uint16_t port) {
    sockaddr_in sa = MakeAddress(address, port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        lastError = errno;
        return false;
    }
    return true;
}

bool Socket::Listen(int backlog) {
    if (::listen(fd, backlog) != 0) {
        lastError = errno;
        return false;
    }
    return true;
}

bool Socket::Accept(Socket& client, uint32_t* peerAddress, int timeoutMs) {
    if (WaitReadable(timeoutMs) != WaitResult::Ready) {
        lastError = ETIMEDOUT;
        return false;
    }
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    int accepted = ::accept4(fd, reinterpret_cast<sockaddr*>(&sa), &length, SOCK_CLOEXEC);
    if (accepted < 0) {
        lastError = errno;
        return false;
    }
    client.Close();
    client.fd = accepted;
    if (peerAddress) {
        *peerAddress = sa.sin_addr.s_addr;
    }
    return true;
}

bool Socket::SetReuseAddress() {
    int on = 1;
    return ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
}

bool Socket::SetBroadcast() {
    int on = 1;
    return ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

bool Socket::SetNoDelay() {
    int on = 1;
    return ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

bool Socket::SetKeepAlive() {
    int on = 1;
    return ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0;
}

bool Socket::SetDontRoute() {
    int on = 1;
    return ::setsockopt(fd, SOL_SOCKET, SO_DONTROUTE, &on, sizeof on) == 0;
}

bool Socket::SetSendBuffer(int bytes) {
    return ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
}

bool Socket::SetNoLinger() {
    linger off{0, 0};
    return ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off) == 0;
}

bool Socket::IsListening() const {
    int on = 0;
    socklen_t length = sizeof on;
    return ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &on, &length) == 0 && on != 0;
}

bool Socket::SetTimeouts(int sendMs, int receiveMs) {
    timeval send{sendMs / 1000, (sendMs % 1000) * 1000};
    timeval receive{receiveMs / 1000, (receiveMs % 1000) * 1000};
    return ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send, sizeof send) == 0 &&
           ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof receive) == 0;
}

bool Socket::SendAll(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            lastError = errno;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

long Socket::Receive(void* buffer, size_t size) {
    for (;;) {
        ssize_t n = ::recv(fd, buffer, size, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            lastError = errno;
        }
        return static_cast<long>(n);
    }
}

bool Socket::SendTo(const void* data, size_t size, uint32_t address, uint16_t port) {
    sockaddr_in sa = MakeAddress(address, port);
    ssize_t n = ::sendto(fd, data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (n < 0) {
        lastError = errno;
        return false;
    }
    return static_cast<size_t>(n) == size;
}

long Socket::ReceiveFrom(void* buffer, size_t size, uint32_t* address, uint16_t* port) {
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    ssize_t n;
    do {
        n = ::recvfrom(fd, buffer, size, 0, reinterpret_cast<sockaddr*>(&sa), &length);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        lastError = errno;
        return -1;
    }
    if (address) {
        *address = sa.sin_addr.s_addr;
    }
    if (port) {
        *port = ntohs(sa.sin_port);
    }
    return static_cast<long>(n);
}

long Socket::ReceiveDatagram(void* buffer, size_t size) {
    ssize_t n;
    do {
        // MSG_TRUNC makes the call report the datagram's real length.
        n = ::recv(fd, buffer, size, MSG_TRUNC);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        lastError = errno;
        return -1;
    }
    if (static_cast<size_t>(n) > size) {
        lastError = EMSGSIZE;
        return -1;
    }
    return static_cast<long>(n);
}

bool Socket::PeerConnected() {
    if (fd < 0) {
        return false;
    }
    char byte;
    ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return true;
    }
    lastError = n == 0 ? ECONNRESET : errno;
    return false;
}

long Socket::Pending() const {
    int count = 0;
    if (::ioctl(fd, FIONREAD, &count) != 0) {
        return -1;
    }
    return count;
}

Socket::WaitResult Socket::WaitReadable(int timeoutMs, int wakeFd) const {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    int count = wakeFd >= 0 ? 2 : 1;
    int rc;
    do {
        rc = ::poll(fds, static_cast<nfds_t>(count), timeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        return WaitResult::Failed;
    }
    if (rc == 0) {
        return WaitResult::Timeout;
    }
    if (count == 2 && fds[1].revents) {
        return WaitResult::Woken;
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        return WaitResult::Ready;
    }
    return WaitResult::Failed;
}

uint16_t Socket::LocalPort() const {
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        return 0;
    }
    return ntohs(sa.sin_port);
}

Waker::Waker() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Waker::~Waker() {
    if (fd >= 0) {
        ::close(fd);
    }
}

void Waker::Fire() {
    uint64_t one = 1;
    ssize_t ignored = ::write(fd, &one, sizeof one);
    (void)ignored;
}

void Waker::Clear() {
    uint64_t value;
    ssize_t ignored = ::read(fd, &value, sizeof value);
    (void)ignored;
}

}  // namespace platform
