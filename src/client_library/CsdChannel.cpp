#include "client_library/CsdChannel.h"

#include <cerrno>

CsdChannel::CsdChannel(ClientLog& clientLog, const ClientTiming& clientTiming) : TcpConnector(clientLog, clientTiming) {}

CsdChannel::~CsdChannel() { Stop(); }

void CsdChannel::SetHost(const std::string& newHost) {
    if (newHost.empty() || newHost == host) {
        return;
    }
    Restart([&] { host = newHost; });
}

void CsdChannel::SetPort(int newPort) {
    if (newPort > 65535 || newPort == port) {
        return;
    }
    Restart([&] { port = newPort; });
}

void CsdChannel::Restart(const std::function<void()>& change) {
    if (!IsRunning()) {
        change();
        return;
    }
    // The receiver thread reads host and port, so they change only while it is stopped.
    std::lock_guard<std::mutex> lock(sendLock);
    Stop();
    change();
    replyEvent.Reset();
    Start();
}

void CsdChannel::Start() {
    if (IsRunning()) {
        return;
    }
    Log(1, "Starting");
    connectedEvent.Reset();
    waker.Clear();
    StartThread("lgx-channel");
    Log(1, "Started");
}

void CsdChannel::Stop() {
    if (IsRunning()) {
        Log(1, "Stopping");
        StopThread();
        connectedEvent.Reset();
        Log(1, "Stopped");
    }
    replyEvent.Reset();
}

int CsdChannel::NextSeq() {
    // Only the caller's thread numbers requests; the receiver thread reads lastSeq.
    const int next = lastSeq.load() % 99 + 1;
    lastSeq = next;
    return next;
}

bool CsdChannel::Send(ChannelMessage& message) {
    std::lock_guard<std::mutex> lock(socketLock);
    if (!socket.IsOpen()) {
        Log(1, "Send: Socket is closed");
        return false;
    }
    if (!message.command.empty()) {
        if (message.seq == 0) {
            message.seq = NextSeq();
        }
        message.frameText = message.Format();
        if (message.frameText.size() > kLongFrame) {
            Log(3, "==> %d bytes", static_cast<int>(message.frameText.size()));
        } else {
            Log(3, "==> %s", message.frameText.c_str());
        }
    } else {
        message.frameText = message.Format();
        Log(6, "--> %s", message.frameText.c_str());
    }
    if (!socket.SendAll(message.frameText.data(), message.frameText.size())) {
        Log(1, "Send: Socket error: %d", socket.LastError());
        return false;
    }
    return true;
}

void CsdChannel::ResetReply() { replyEvent.Reset(); }

std::optional<ChannelMessage> CsdChannel::WaitReply() {
    if (!replyEvent.Wait(timing.replyWaitMs)) {
        return std::nullopt;
    }
    std::lock_guard<std::mutex> lock(replyLock);
    return reply;
}

bool CsdChannel::ReceiveOnce() {
    if (!HasSocket()) {
        return false;
    }
    // Only this thread closes the socket, so it may wait and read on it without the lock.
    switch (socket.WaitReadable(static_cast<int>(timing.idleMs), waker.Fd())) {
        case platform::Socket::WaitResult::Timeout: {
            ChannelMessage keepAlive;  // empty command and body, sequence "00"
            return Send(keepAlive);
        }
        case platform::Socket::WaitResult::Woken:
            return false;
        case platform::Socket::WaitResult::Failed:
            Log(1, "Select error: %d", errno);
            return false;
        case platform::Socket::WaitResult::Ready:
            break;
    }
    const long received = socket.Receive(receiveBuffer, sizeof receiveBuffer);
    if (received == 0) {
        Log(1, "Disconnect received");
        parser.Reset();  // a frame begun on this connection never ends
        return false;
    }
    if (received < 0) {
        Log(1, "Recv error: %d", socket.LastError());
        parser.Reset();
        return false;
    }
    for (long i = 0; i < received; ++i) {
        switch (parser.Feed(static_cast<unsigned char>(receiveBuffer[i]))) {
            case ChannelParser::Result::Pending:
                break;
            case ChannelParser::Result::Frame:
                HandleFrame(parser.Message());
                break;
            case ChannelParser::Result::TooLong:
                // The rest of such a frame is still on its way: only a new connection starts
                // clean.
                Log(1, "Frame longer than %d bytes: connection dropped",
                    static_cast<int>(ChannelParser::kMaxFrameBytes));
                return false;
        }
    }
    return true;
}

void CsdChannel::HandleFrame(ChannelMessage m) {
    m.frameText = m.Format();
    if (!m.command.empty()) {
        if (m.frameText.size() > kLongFrame) {
            Log(3, "<== %d bytes", static_cast<int>(m.frameText.size()));
        } else {
            Log(3, "<== %s", m.frameText.c_str());
        }
        if ((static_cast<unsigned char>(m.flag) & 1) && m.seq != lastSeq.load()) {
            // An answer to an earlier request that arrived too late.
            Log(1, "Invalid message sequence received");
        } else {
            {
                std::lock_guard<std::mutex> lock(replyLock);
                reply.command = m.command;
                reply.seq = m.seq;
                reply.body = m.body;
                reply.flag = m.flag;
                reply.frameText = m.frameText;
                OnMessage(reply);
            }
            replyEvent.Set();
        }
    } else {
        Log(6, "<-- %s", m.frameText.c_str());
    }
}
