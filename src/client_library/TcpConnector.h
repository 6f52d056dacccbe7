#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "client_library/ClientLog.h"
#include "client_library/ClientTiming.h"
#include "client_library/ThreadStarter.h"
#include "platform/Event.h"
#include "platform/Socket.h"

// A TCP client socket with a receiver thread that keeps it connected: it connects, receives
// until the connection fails, pauses and connects again.
//
// The receiver thread alone creates and closes the socket; the caller's thread sends on it and
// asks whether it is connected, both under socketLock, so a socket is never used after close.
class TcpConnector : public ThreadStarter {
public:
    TcpConnector(ClientLog& log, const ClientTiming& timing);
    ~TcpConnector() override = default;

    // Connected when there is a socket whose peer has not closed it.
    bool IsConnected();

    std::string logPrefix = "TcpComm: ";
    std::string host;  // dotted IPv4 address
    int port = 0;

protected:
    static constexpr int kMaxAttempts = 1000000;

    // The receiver loop; a pass that throws is logged and ends the connection, not the thread.
    void Run() override;
    // Ends the thread's blocking waits (connect, receive).
    void Shutdown() override;
    virtual bool ReceiveOnce() = 0;
    virtual void OnConnected() {}
    virtual void OnDisconnected() {}

    // The receiver thread's part: connects and, on success, keeps the socket.
    // One pass of the receiver loop; false when the loop is to end.
    bool RunOnce();
    void RecoverFromError(const char* what);
    bool Connect();
    void CloseSocket(bool logIt);
    void PauseBeforeReconnect();
    bool HasSocket();
    void Log(int level, const char* format, ...) FISCORA_PRINTF(3, 4);

    ClientLog& log;
    ClientTiming timing;
    platform::Event connectedEvent{true};
    std::atomic<int> attempts{0};  // failed connects since the last success
    std::mutex socketLock;
    platform::Socket socket;
    platform::Waker waker;  // fired by Shutdown
};
