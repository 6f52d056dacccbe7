#include "client_library/TcpConnector.h"

#include <cerrno>
#include <exception>

#include "platform/Text.h"

TcpConnector::TcpConnector(ClientLog& clientLog, const ClientTiming& clientTiming)
    : log(clientLog), timing(clientTiming) {}

void TcpConnector::Log(int level, const char* format, ...) {
    if (level > log.Level()) {
        return;
    }
    va_list args;
    va_start(args, format);
    const std::string message = text::FormatV(format, args);
    va_end(args);
    log.LogLine(level, "%s%s", logPrefix.c_str(), message.c_str());
}

bool TcpConnector::HasSocket() {
    std::lock_guard<std::mutex> lock(socketLock);
    return socket.IsOpen();
}

bool TcpConnector::IsConnected() {
    std::lock_guard<std::mutex> lock(socketLock);
    return socket.IsOpen() && socket.PeerConnected();
}

void TcpConnector::Shutdown() { waker.Fire(); }

bool TcpConnector::Connect() {
    const int quietLevel = attempts <= 10 ? 4 : 8;
    Log(quietLevel, "Create socket");
    platform::Socket candidate;
    if (!candidate.Create(platform::Socket::Kind::Tcp)) {
        Log(1, "Socket() failed with error: %d", candidate.LastError());
        return false;
    }
    candidate.SetReuseAddress();
    if (attempts < 100 || attempts % 10 == 0 || log.Level() >= 8) {
        Log(4, "Connecting(%d) to %s:%d", attempts.load(), host.c_str(), port);
    }
    // The host is a dotted address; a name is never looked up.
    uint32_t address = 0;
    const bool parsed = platform::Socket::ParseAddress(host, address);
    if (parsed && candidate.Connect(address, static_cast<uint16_t>(port), static_cast<int>(timing.connectTimeoutMs),
                                    waker.Fd())) {
        Log(1, "Connected to server. Socket=%d", candidate.Handle());
        attempts = 0;
        std::lock_guard<std::mutex> lock(socketLock);
        socket = std::move(candidate);
        return true;
    }
    const int error = parsed ? candidate.LastError() : EINVAL;
    if (attempts < kMaxAttempts) {
        ++attempts;
    }
    const int failLevel = attempts <= 10 ? 1 : 8;
    Log(failLevel, "Connect failed! %d", error);
    candidate.Close();
    Log(failLevel, "Socket closed!");
    return false;
}

void TcpConnector::CloseSocket(bool logIt) {
    std::lock_guard<std::mutex> lock(socketLock);
    if (!socket.IsOpen()) {
        return;
    }
    if (logIt) {
        Log(1, "Close socket");
    }
    socket.Close();
    if (logIt) {
        Log(1, "Socket closed");
    }
}

void TcpConnector::PauseBeforeReconnect() {
    if (timing.reconnectPauseMs <= 0 || !running) {
        return;
    }
    const int level = attempts <= 10 ? 5 : 8;
    Log(level, "Pause %d sec", static_cast<int>(timing.reconnectPauseMs / 1000));
    stopEvent.Wait(timing.reconnectPauseMs);  // ends early on Stop
    if (running) {
        Log(level, "Reconnection");
    }
}

void TcpConnector::Run() {
    Log(1, "Receiver thread started");
    while (running) {
        try {
            if (!RunOnce()) {
                break;
            }
        } catch (const std::exception& e) {
            // Whatever a pass runs into (memory exhausted by a hostile peer), the host process
            // goes on: the connection is dropped and made again after the pause.
            RecoverFromError(e.what());
        } catch (...) {
            RecoverFromError("unknown exception");
        }
    }
    Log(1, "Receiver thread stopped");
    CloseSocket(false);
}

void TcpConnector::RecoverFromError(const char* what) {
    Log(1, "Receiver error: %s", what);
    CloseSocket(true);
    connectedEvent.Reset();
    PauseBeforeReconnect();
}

bool TcpConnector::RunOnce() {
    if (!HasSocket() && port > 0) {
        connectedEvent.Reset();
        if (Connect()) {
            connectedEvent.Set();
            OnConnected();
        }
    }
    if (!HasSocket()) {
        connectedEvent.Reset();
        PauseBeforeReconnect();
        return true;
    }
    if (ReceiveOnce()) {
        return true;
    }
    if (!running) {
        return false;
    }
    Log(1, "Connection reset by peer");
    const bool wasConnected = IsConnected();
    CloseSocket(true);
    connectedEvent.Reset();
    if (wasConnected) {
        OnDisconnected();
    }
    PauseBeforeReconnect();
    return true;
}
