#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

#include "client_library/ChannelMessage.h"
#include "client_library/ChannelParser.h"
#include "client_library/TcpConnector.h"

// The framed message channel to the check-database server over one long-lived TCP connection.
// Requests get sequence numbers 1..99 (then 1 again); a silent connection is kept alive with an
// empty frame; the receiver thread parses frames byte by byte and hands the last reply to the
// waiting caller.
class CsdChannel : public TcpConnector {
public:
    static constexpr size_t kReceiveSize = 100;
    static constexpr size_t kLongFrame = 2009;  // longer frames are logged by their length only

    CsdChannel(ClientLog& log, const ClientTiming& timing);
    ~CsdChannel() override;

    // Both restart a running channel under sendLock; an empty or unchanged host, and a port
    // above 65535 or unchanged, are ignored.
    void SetHost(const std::string& newHost);
    void SetPort(int newPort);
    void Start();
    void Stop();
    // Gives a request (a message with a command) its sequence number when it has none, and
    // sends the frame.
    bool Send(ChannelMessage& message);
    // Forgets any earlier reply; called under sendLock before a request is sent.
    void ResetReply();
    // Waits for the reply (replyWaitMs); nothing when none came.
    std::optional<ChannelMessage> WaitReply();
    bool WaitConnected(int64_t ms) { return connectedEvent.Wait(ms); }
    int LastSeq() const { return lastSeq.load(); }

    // Held by GetCheck from resetting the reply until its wait ends, and by SetHost and SetPort
    // while they restart the channel.
    std::mutex sendLock;

protected:
    bool ReceiveOnce() override;
    // Called with each reply before the waiting caller is woken.
    virtual void OnMessage(const ChannelMessage& message) {}

private:
    // Applies a change of host or port, restarting the channel around it when it runs.
    void Restart(const std::function<void()>& change);
    // Logs a completed frame and, when it is a reply, hands it to the waiting caller.
    void HandleFrame(ChannelMessage frame);
    int NextSeq();

    char receiveBuffer[kReceiveSize] = {};
    std::atomic<int> lastSeq{0};
    ChannelParser parser;
    std::mutex replyLock;  // guards reply between the receiver thread and the caller
    ChannelMessage reply;
    platform::Event replyEvent{true};
};
