#pragma once

#include <cstdint>
#include <string>

#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/Thread.h"
#include "pos/CInputControl.h"

// The TCP channel of a device interface: a client that connects with a time-out (mode 1) or a
// server that listens and accepts one peer (mode 0). A receive thread waits on the socket and
// sets dataEvent when bytes (or the end of the connection) are waiting; sending and reading
// happen on the interface's thread.
class CSockets : public CInputControl {
public:
    CSockets() = default;
    ~CSockets() override;

    bool StartReceiver() override;
    void ReceiverLoop() override;
    using CInputControl::Send;
    bool Send(const char* bytes, int length) override;
    bool Configure(const ConnectionSettings& connection) override;
    bool Open() override;
    void Close() override;
    void ResetEvents() override;
    bool Read() override;
    bool EnsureOpen() override;
    bool AcceptClient() override;
    // Throws away what is waiting from an earlier exchange (a late answer) before a new message.
    void Flush();
    bool IsListening() const { return socket.IsListening(); }

    const std::string& GetPeerAddress() const { return peerAddress; }
    const std::string& GetDescription() const { return description; }
    // The port the server socket is bound to (useful with port 0).
    uint16_t LocalPort() const { return socket.LocalPort(); }
    int32_t ConnectTimeoutSeconds() const { return connectTimeout; }

protected:
    void WakeReceiver() override;
    void JoinReceiver() override;

private:
    // The accepted peer in server mode, otherwise the socket itself.
    platform::Socket& Active() { return acceptedSocket.IsOpen() ? acceptedSocket : socket; }
    bool OpenClient();
    bool OpenServer();
    // Send buffer, no lingering, keep-alive and address reuse, as every connection gets them.
    bool SetConnectionOptions(platform::Socket& target);
    // Lets the receive thread watch the socket again after the interface has taken the data.
    void DataTaken();

    uint32_t address = 0;
    platform::Socket acceptedSocket;
    platform::Socket socket;
    int32_t connectTimeout = 3;
    int32_t port = 0;
    int32_t mode = 1;
    std::string peerAddress;
    std::string description;

    platform::Waker waker;
    // Set whenever dataEvent is reset, so the receive thread sleeps between signalling data and
    // the interface reading it instead of spinning on a readable socket.
    platform::Event rearm{false};
    platform::Thread receiver;
    platform::Socket* watched = nullptr;
    bool watchedListening = false;
    char scratch[kBufferSize];
};
