#include "platform/Socket.h"

#include <mutex>

#include "platform/WindowsHeaders.h"

// Socket handles are kept in an int: Windows documents that only their lower 32 bits are
// significant, so that they pass between 32- and 64-bit processes.
namespace platform {

namespace {

SOCKET Native(int fd) { return fd < 0 ? INVALID_SOCKET : static_cast<SOCKET>(fd); }

int HandleNumber(SOCKET s) { return s == INVALID_SOCKET ? -1 : static_cast<int>(s); }

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = htons(port);
    return sa;
}

// Windows Sockets stay started for the life of the process once a socket of this layer needed
// them; the start-up counts, so the program's own StartUp and CleanUp stay balanced.
void EnsureStarted() {
    static std::once_flag once;
    std::call_once(once, [] { Socket::StartUp(); });
}

bool SetBlocking(SOCKET s, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ::ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

bool SetOption(SOCKET s, int level, int name, int value) {
    return ::setsockopt(s, level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

}  // namespace

const int Socket::kTimedOut = WSAETIMEDOUT;
const int Socket::kRefused = WSAECONNREFUSED;
const int Socket::kCancelled = WSAECANCELLED;
const int Socket::kMessageTooLong = WSAEMSGSIZE;

int Socket::StartUp() {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data);
}

void Socket::CleanUp() { ::WSACleanup(); }

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
    // getaddrinfo would take an empty name for this machine's own.
    if (host.empty()) {
        return false;
    }
    EnsureStarted();
    if (ParseAddress(host, address)) {
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
    EnsureStarted();
    std::string result;
    char name[256] = {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* list = nullptr;
    if (::gethostname(name, sizeof name - 1) != 0 || ::getaddrinfo(name, nullptr, &hints, &list) != 0) {
        return result;
    }
    std::string seen = separator;
    for (addrinfo* item = list; item; item = item->ai_next) {
        uint32_t address = reinterpret_cast<sockaddr_in*>(item->ai_addr)->sin_addr.s_addr;
        std::string text = AddressText(address);
        // One address per interface, whatever socket types the resolver lists it for.
        if ((ntohl(address) >> 24) == 127 || seen.find(separator + text + separator) != std::string::npos) {
            continue;
        }
        seen += text + separator;
        if (!result.empty()) {
            result += separator;
        }
        result += text;
    }
    ::freeaddrinfo(list);
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
    EnsureStarted();
    Close();
    SOCKET s = ::socket(AF_INET, kind == Kind::Tcp ? SOCK_STREAM : SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        lastError = ::WSAGetLastError();
        return false;
    }
    // Programs this one starts do not inherit the socket.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    fd = HandleNumber(s);
    lastError = 0;
    return true;
}

void Socket::Close() {
    if (fd >= 0) {
        ::closesocket(Native(fd));
        fd = -1;
    }
}

bool Socket::Connect(uint32_t address, uint16_t port, int timeoutMs, int wakeFd) {
    SOCKET s = Native(fd);
    sockaddr_in sa = MakeAddress(address, port);
    SetBlocking(s, false);
    if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            lastError = error;
            SetBlocking(s, true);
            return false;
        }
        // A refused connect shows in the exception set, a completed one in the write set.
        fd_set writable, failed, woken;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_ZERO(&woken);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        if (wakeFd >= 0) {
            FD_SET(Native(wakeFd), &woken);
        }
        timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        int ready = ::select(0, wakeFd >= 0 ? &woken : nullptr, &writable, &failed, timeoutMs < 0 ? nullptr : &timeout);
        if (ready <= 0 || (wakeFd >= 0 && FD_ISSET(Native(wakeFd), &woken))) {
            lastError = ready == 0 ? WSAETIMEDOUT : ready > 0 ? WSAECANCELLED : ::WSAGetLastError();
            SetBlocking(s, true);
            return false;
        }
        int pending = 0;
        int length = sizeof pending;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &length);
        if (pending != 0 || FD_ISSET(s, &failed)) {
            lastError = pending != 0 ? pending : kRefused;
            SetBlocking(s, true);
            return false;
        }
    }
    SetBlocking(s, true);
    lastError = 0;
    return true;
}

bool Socket::Bind(uint32_t address, uint16_t port) {
    sockaddr_in sa = MakeAddress(address, port);
    if (::bind(Native(fd), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        lastError = ::WSAGetLastError();
        return false;
    }
    return true;
}

bool Socket::Listen(int backlog) {
    if (::listen(Native(fd), backlog) != 0) {
        lastError = ::WSAGetLastError();
        return false;
    }
    return true;
}

bool Socket::Accept(Socket& client, uint32_t* peerAddress, int timeoutMs) {
    if (WaitReadable(timeoutMs) != WaitResult::Ready) {
        lastError = WSAETIMEDOUT;
        return false;
    }
    sockaddr_in sa{};
    int length = sizeof sa;
    SOCKET accepted = ::accept(Native(fd), reinterpret_cast<sockaddr*>(&sa), &length);
    if (accepted == INVALID_SOCKET) {
        lastError = ::WSAGetLastError();
        return false;
    }
    ::SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
    // A socket accepted from a non-blocking listener is non-blocking too; the callers read blocking.
    SetBlocking(accepted, true);
    client.Close();
    client.fd = HandleNumber(accepted);
    if (peerAddress) {
        *peerAddress = sa.sin_addr.s_addr;
    }
    return true;
}

bool Socket::SetReuseAddress() { return SetOption(Native(fd), SOL_SOCKET, SO_REUSEADDR, 1); }

bool Socket::SetBroadcast() { return SetOption(Native(fd), SOL_SOCKET, SO_BROADCAST, 1); }

bool Socket::SetNoDelay() { return SetOption(Native(fd), IPPROTO_TCP, TCP_NODELAY, 1); }

bool Socket::SetKeepAlive() { return SetOption(Native(fd), SOL_SOCKET, SO_KEEPALIVE, 1); }

bool Socket::SetDontRoute() { return SetOption(Native(fd), SOL_SOCKET, SO_DONTROUTE, 1); }

bool Socket::SetSendBuffer(int bytes) { return SetOption(Native(fd), SOL_SOCKET, SO_SNDBUF, bytes); }

bool Socket::SetNoLinger() {
    linger off{0, 0};
    return ::setsockopt(Native(fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&off), sizeof off) == 0;
}

bool Socket::IsListening() const {
    BOOL on = FALSE;
    int length = sizeof on;
    return ::getsockopt(Native(fd), SOL_SOCKET, SO_ACCEPTCONN, reinterpret_cast<char*>(&on), &length) == 0 &&
           on != FALSE;
}

bool Socket::SetTimeouts(int sendMs, int receiveMs) {
    // Windows takes the time-outs as milliseconds in a DWORD.
    DWORD send = static_cast<DWORD>(sendMs);
    DWORD receive = static_cast<DWORD>(receiveMs);
    SOCKET s = Native(fd);
    return ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&send), sizeof send) == 0 &&
           ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receive), sizeof receive) == 0;
}

bool Socket::SendAll(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        int chunk = static_cast<int>(std::min<size_t>(size, 1u << 30));
        int n = ::send(Native(fd), p, chunk, 0);
        if (n == SOCKET_ERROR) {
            lastError = ::WSAGetLastError();
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

long Socket::Receive(void* buffer, size_t size) {
    int n = ::recv(Native(fd), static_cast<char*>(buffer), static_cast<int>(size), 0);
    if (n == SOCKET_ERROR) {
        lastError = ::WSAGetLastError();
        return -1;
    }
    return n;
}

bool Socket::SendTo(const void* data, size_t size, uint32_t address, uint16_t port) {
    sockaddr_in sa = MakeAddress(address, port);
    int n = ::sendto(Native(fd), static_cast<const char*>(data), static_cast<int>(size), 0,
                     reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (n == SOCKET_ERROR) {
        lastError = ::WSAGetLastError();
        return false;
    }
    return static_cast<size_t>(n) == size;
}

long Socket::ReceiveFrom(void* buffer, size_t size, uint32_t* address, uint16_t* port) {
    sockaddr_in sa{};
    int length = sizeof sa;
    int n = ::recvfrom(Native(fd), static_cast<char*>(buffer), static_cast<int>(size), 0,
                       reinterpret_cast<sockaddr*>(&sa), &length);
    if (n == SOCKET_ERROR) {
        lastError = ::WSAGetLastError();
        return -1;
    }
    if (address) {
        *address = sa.sin_addr.s_addr;
    }
    if (port) {
        *port = ntohs(sa.sin_port);
    }
    return n;
}

long Socket::ReceiveDatagram(void* buffer, size_t size) {
    // A datagram longer than the buffer fails with WSAEMSGSIZE, its rest lost.
    int n = ::recv(Native(fd), static_cast<char*>(buffer), static_cast<int>(size), 0);
    if (n == SOCKET_ERROR) {
        lastError = ::WSAGetLastError();
        return -1;
    }
    return n;
}

bool Socket::PeerConnected() {
    if (fd < 0) {
        return false;
    }
    // Asked while another thread may read the socket: switching it to non-blocking for the peek
    // would make that thread's read fail with WSAEWOULDBLOCK. A socket with nothing to read, or
    // with bytes waiting, is connected; one that is readable with nothing waiting has its end
    // (or an error) to tell, which the peek then reads without blocking.
    if (WaitReadable(0) == WaitResult::Timeout || Pending() > 0 || WaitReadable(0) == WaitResult::Timeout) {
        return true;
    }
    SOCKET s = Native(fd);
    char byte;
    int n = ::recv(s, &byte, 1, MSG_PEEK);
    int error = n == SOCKET_ERROR ? ::WSAGetLastError() : 0;
    if (n > 0) {
        return true;
    }
    lastError = n == 0 ? WSAECONNRESET : error;
    return false;
}

long Socket::Pending() const {
    u_long count = 0;
    if (::ioctlsocket(Native(fd), FIONREAD, &count) != 0) {
        return -1;
    }
    return static_cast<long>(count);
}

Socket::WaitResult Socket::WaitReadable(int timeoutMs, int wakeFd) const {
    SOCKET s = Native(fd);
    fd_set readable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&failed);
    FD_SET(s, &readable);
    FD_SET(s, &failed);
    if (wakeFd >= 0) {
        FD_SET(Native(wakeFd), &readable);
    }
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int rc = ::select(0, &readable, nullptr, &failed, timeoutMs < 0 ? nullptr : &timeout);
    if (rc == SOCKET_ERROR) {
        return WaitResult::Failed;
    }
    if (rc == 0) {
        return WaitResult::Timeout;
    }
    if (wakeFd >= 0 && FD_ISSET(Native(wakeFd), &readable)) {
        return WaitResult::Woken;
    }
    if (FD_ISSET(s, &readable) || FD_ISSET(s, &failed)) {
        return WaitResult::Ready;
    }
    return WaitResult::Failed;
}

uint16_t Socket::LocalPort() const {
    sockaddr_in sa{};
    int length = sizeof sa;
    if (::getsockname(Native(fd), reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        return 0;
    }
    return ntohs(sa.sin_port);
}

Waker::Waker() {
    EnsureStarted();
    SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        return;
    }
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    sockaddr_in self = MakeAddress(htonl(INADDR_LOOPBACK), 0);
    int length = sizeof self;
    // Bound to a free port of 127.0.0.1 and connected to itself: only its own bytes reach it.
    if (::bind(s, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&self), &length) != 0 ||
        ::connect(s, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 || !SetBlocking(s, false)) {
        ::closesocket(s);
        return;
    }
    fd = HandleNumber(s);
}

Waker::~Waker() {
    if (fd >= 0) {
        ::closesocket(Native(fd));
    }
}

void Waker::Fire() {
    char one = 1;
    ::send(Native(fd), &one, 1, 0);
}

void Waker::Clear() {
    char buffer[64];
    while (::recv(Native(fd), buffer, sizeof buffer, 0) > 0) {
    }
}

}  // namespace platform
