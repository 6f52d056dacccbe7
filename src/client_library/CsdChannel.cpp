#include "client_library/CsdChannel.h"

#include <cerrno>

namespace {

constexpr unsigned char kStart = 0x01;
constexpr unsigned char kSeparator = 0x1C;
constexpr unsigned char kEnd = 0x04;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

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
        return false;
    }
    if (received < 0) {
        Log(1, "Recv error: %d", socket.LastError());
        return false;
    }
    for (long i = 0; i < received; ++i) {
        Feed(static_cast<unsigned char>(receiveBuffer[i]));
    }
    return true;
}

void CsdChannel::Feed(unsigned char byte) {
    ChannelMessage& m = parsing;
    if (byte == kStart) {
        m.state = 1;
        m.command.clear();
        m.body.clear();
        m.seq = 0;
        m.flag = 0;
        return;
    }
    switch (m.state) {
        case 0:
            break;  // bytes outside a frame
        case 1:
            if (byte == kSeparator) {
                m.state = 2;
            } else {
                m.command += static_cast<char>(byte);
            }
            break;
        case 2:
            if (byte == kSeparator) {
                m.state = 5;
            } else {
                if (IsDigit(byte)) {
                    m.seq = byte - '0';
                }
                m.state = 3;
            }
            break;
        case 3:
            if (byte == kSeparator) {
                m.state = 5;
            } else {
                if (IsDigit(byte)) {
                    m.seq = m.seq * 10 + (byte - '0');
                }
                m.state = 4;
            }
            break;
        case 4:
            if (byte == kSeparator) {
                m.state = 5;
            } else if (byte >= 0x20) {
                m.flag = static_cast<char>(byte);  // the last one wins
            }
            break;
        case 5:
            if (byte == kEnd) {
                m.state = 0;
                HandleFrame();
            } else {
                m.body += static_cast<char>(byte);
            }
            break;
        default:
            m.state = 0;
            break;
    }
}

void CsdChannel::HandleFrame() {
    ChannelMessage& m = parsing;
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
                reply.owner = this;
                OnMessage(reply);
            }
            replyEvent.Set();
        }
    } else {
        Log(6, "<-- %s", m.frameText.c_str());
    }
    m.seq = 0;
    m.state = 0;
    m.flag = 0;
    m.command.clear();
    m.body.clear();
}
