#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A thin owner of one socket (TCP or UDP, IPv4): POSIX sockets, or Windows Sockets 2.2. Every operation reports failure by its
// result and keeps the system error number in LastError(); nothing throws.
class Socket {
public:
    enum class Kind { Tcp, Udp };
    enum class WaitResult { Ready, Timeout, Woken, Failed };

    // The system's numbers (LastError()) of a connect that timed out, of one that a waker ended,
    // of one the peer refused, and of a datagram longer than the buffer: errno values, or on
    // Windows WSA ones.
    static const int kTimedOut;
    static const int kRefused;
    static const int kCancelled;
    static const int kMessageTooLong;

    Socket() = default;
    ~Socket() { Close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;

    // Starts Windows Sockets 2.2 for the process: 0, or the error number of the start-up.
    // Nothing to do on Linux. Every socket and waker of this layer starts them as well, so that
    // a socket made before the program's own start-up (a static object) works.
    static int StartUp();
    static void CleanUp();

    // Resolves a dotted address or a host name to an IPv4 address in network order.
    static bool Resolve(const std::string& host, uint32_t& address);
    static std::string AddressText(uint32_t address);
    // IPv4 addresses of this host's interfaces, dotted, loopback excluded.
    static std::string LocalAddresses(const std::string& separator);
    // Parses a dotted IPv4 address only (no name look-up); false for anything else.
    static bool ParseAddress(const std::string& text, uint32_t& address);

    bool Create(Kind kind);
    bool IsOpen() const { return fd >= 0; }
    void Close();
    // Connects with a time-out (a non-blocking connect under the hood); the socket is blocking
    // again afterwards. A waker (wakeFd) that fires ends the attempt early with kCancelled.
    bool Connect(uint32_t address, uint16_t port, int timeoutMs, int wakeFd = -1);
    bool Bind(uint32_t address, uint16_t port);
    bool Listen(int backlog);
    // Waits up to timeoutMs for a client; the accepted socket goes into client.
    bool Accept(Socket& client, uint32_t* peerAddress, int timeoutMs);
    bool SetReuseAddress();
    bool SetBroadcast();
    bool SetNoDelay();
    bool SetKeepAlive();
    // Datagrams go only to directly reachable hosts (SO_DONTROUTE).
    bool SetDontRoute();
    bool SetSendBuffer(int bytes);
    // Closing returns at once and the system delivers what is still queued (no lingering).
    bool SetNoLinger();
    // True while the socket is a listening one.
    bool IsListening() const;
    // Send/receive time-outs of blocking calls (0: none).
    bool SetTimeouts(int sendMs, int receiveMs);

    // Sends everything; false when the connection failed part way.
    bool SendAll(const void* data, size_t size);
    // One receive: bytes read, 0 when the peer closed, -1 on failure.
    long Receive(void* buffer, size_t size);
    bool SendTo(const void* data, size_t size, uint32_t address, uint16_t port);
    long ReceiveFrom(void* buffer, size_t size, uint32_t* address, uint16_t* port);
    // One datagram; -1 with LastError() kMessageTooLong when it was longer than the buffer (the rest of
    // it is lost), so that an oversized datagram is never taken for a complete one.
    long ReceiveDatagram(void* buffer, size_t size);
    // A connected stream socket whose peer has not closed: a non-blocking peek finds data or
    // would block.
    bool PeerConnected();
    // Bytes waiting to be read, -1 on failure.
    long Pending() const;
    // Waits until the socket is readable, the waker fired, or the time-out passed (negative: no
    // time-out).
    WaitResult WaitReadable(int timeoutMs, int wakeFd = -1) const;

    int LastError() const { return lastError; }
    uint16_t LocalPort() const;
    // The descriptor number, for log lines.
    int Handle() const { return fd; }

private:
    int fd = -1;
    int lastError = 0;
};

// A handle that another thread can fire to wake a waiting socket: an eventfd, or on Windows a
// datagram socket on 127.0.0.1 that sends itself a byte.
class Waker {
public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;
    void Fire();
    void Clear();
    int Fd() const { return fd; }

private:
    int fd = -1;
};

}  // namespace platform
