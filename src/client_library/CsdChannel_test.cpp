#include "client_library/CsdChannel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CheckDbSimulator.h"
#include "platform/Socket.h"
#include "platform/Text.h"
#include "tests/support/client_library/ClientTestSupport.h"

namespace {

using client_test::Contains;
using client_test::ReadText;
using client_test::WaitUntil;

// Keeps every reply the channel hands over.
class RecordingChannel : public CsdChannel {
public:
    using CsdChannel::CsdChannel;
    std::vector<ChannelMessage> Messages() {
        std::lock_guard<std::mutex> lock(mutex);
        return messages;
    }

protected:
    void OnMessage(const ChannelMessage& message) override {
        std::lock_guard<std::mutex> lock(mutex);
        messages.push_back(message);
    }

private:
    std::mutex mutex;
    std::vector<ChannelMessage> messages;
};

ClientTiming FastTiming() {
    ClientTiming timing;
    timing.replyWaitMs = 500;
    timing.reconnectPauseMs = 20;
    timing.connectTimeoutMs = 1000;
    return timing;
}

std::string Frame(const std::string& command, const std::string& seq, const std::string& body) {
    return std::string("\x01") + command + "\x1c" + seq + "\x1c" + body + "\x04";
}

TEST(ChannelMessageTest, FormatsFramesWithAndWithoutFlag) {
    ChannelMessage keepAlive;
    EXPECT_EQ(keepAlive.Format(), std::string("\x01\x1c" "00\x1c\x04"));
    ChannelMessage request;
    request.command = "Get";
    request.seq = 7;
    request.body = "{}";
    EXPECT_EQ(request.Format(), std::string("\x01Get\x1c" "07\x1c{}\x04"));
    request.flag = 'A';
    EXPECT_EQ(request.Format(), std::string("\x01Get\x1c" "07A\x1c{}\x04"));
    request.flag = 0x10;  // below 0x20: no flag
    EXPECT_EQ(request.Format(), std::string("\x01Get\x1c" "07\x1c{}\x04"));
}

class CsdChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.Open("LGXClient.log", 0, 0, ClientLog::kMilliseconds, 8);
        StartSimulator(0);
    }

    void StartSimulator(int port) {
        CheckDbSimulator::Options options;
        options.tcpPort = port;
        options.udpPort = 0;
        simulator = std::make_unique<CheckDbSimulator>(options);
        simulator->AddCheck(R"({"rvc":5,"cknum":1,"total":"10.00","dtl":[{"type":"M","objnum":1}]})");
        std::string error;
        ASSERT_TRUE(simulator->Start(error)) << error;
    }

    void Connect(ClientTiming timing = FastTiming()) {
        channel = std::make_unique<RecordingChannel>(log, timing);
        channel->SetHost("127.0.0.1");
        channel->SetPort(simulator->TcpPort());
        channel->Start();
        ASSERT_TRUE(channel->WaitConnected(2000));
        ASSERT_TRUE(simulator->WaitForConnection(1, 2000));
    }

    std::optional<ChannelMessage> Ask(const std::string& body) {
        ChannelMessage request;
        request.command = "Get";
        request.body = body;
        std::lock_guard<std::mutex> lock(channel->sendLock);
        channel->ResetReply();
        if (!channel->Send(request)) {
            return std::nullopt;
        }
        return channel->WaitReply();
    }

    std::string LogText() { return ReadText("LGXClient.log"); }

    client_test::TempFolder folder;
    ClientLog log;
    std::unique_ptr<CheckDbSimulator> simulator;
    std::unique_ptr<RecordingChannel> channel;
};

TEST_F(CsdChannelTest, SendsNumberedRequestsAndHandsOverTheReply) {
    Connect();
    EXPECT_TRUE(channel->IsConnected());
    auto reply = Ask(R"({"rvc":5,"cknum":1})");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command, "Get");
    EXPECT_EQ(reply->seq, 1);
    EXPECT_EQ(reply->body, R"({"rvc":5,"cknum":1,"total":"10.00","dtl":[{"type":"M","objnum":1}]})");
    const auto requests = simulator->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].sequence, "01");
    EXPECT_EQ(requests[0].body, R"({"rvc":5,"cknum":1})");
    const std::string text = LogText();
    client_test::ExpectContainsAll(text, {
        "TcpComm: Receiver thread started",
        "TcpComm: Connecting(0) to 127.0.0.1:",
        "TcpComm: Connected to server. Socket=",
        "TcpComm: ==> \x01Get\x1c" "01\x1c{\"rvc\":5,\"cknum\":1}\x04",
        "TcpComm: <== \x01Get\x1c" "01\x1c{\"rvc\":5",
    });
}

TEST_F(CsdChannelTest, SequenceNumbersRunFrom1To99ThenStartAgain) {
    Connect();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(Ask(R"({"rvc":5,"cknum":1})")) << i;
    }
    const auto requests = simulator->Requests();
    ASSERT_EQ(requests.size(), 100u);
    EXPECT_EQ(requests[0].sequence, "01");
    EXPECT_EQ(requests[8].sequence, "09");
    EXPECT_EQ(requests[98].sequence, "99");
    EXPECT_EQ(requests[99].sequence, "01");
}

TEST_F(CsdChannelTest, AStaleFlaggedReplyIsDropped) {
    simulator->SetReplyMode(CheckDbSimulator::ReplyMode::StaleSequence);
    Connect();
    EXPECT_FALSE(Ask(R"({"rvc":5,"cknum":1})"));
    EXPECT_TRUE(channel->Messages().empty());
    EXPECT_TRUE(Contains(LogText(), "TcpComm: Invalid message sequence received"));
}

TEST_F(CsdChannelTest, AReplyCountsOnlyWithinTheWait) {
    simulator->SetReplyMode(CheckDbSimulator::ReplyMode::Late, 100);
    Connect();  // waits 500 ms for a reply
    EXPECT_TRUE(Ask(R"({"rvc":5,"cknum":1})"));
    simulator->SetReplyMode(CheckDbSimulator::ReplyMode::Late, 800);
    EXPECT_FALSE(Ask(R"({"rvc":5,"cknum":1})"));
}

TEST_F(CsdChannelTest, ParsesFramesByteByByteAcrossReceives) {
    Connect();
    ASSERT_TRUE(Ask(R"({"rvc":5,"cknum":1})"));  // lastSeq is now 1
    // Junk before and between frames, a keep-alive, a frame cut in two, flags.
    ASSERT_TRUE(simulator->SendRaw("noise" + Frame("Get", "07", "first") + "between\x04" + Frame("", "00", "") +
                                   "\x01Reply\x1c" "0"));
    ASSERT_TRUE(simulator->SendRaw("8\x1csecond\x04" + Frame("Get", "05X", "even flag") +
                                   Frame("Get", "01A", "odd flag, current sequence") +
                                   Frame("Get", "02A", "odd flag, stale sequence") + "\x01Get\x1c\x1cno digits\x04"));
    ASSERT_TRUE(WaitUntil([&] { return channel->Messages().size() >= 6; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto messages = channel->Messages();
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[1].body, "first");
    EXPECT_EQ(messages[1].seq, 7);
    EXPECT_EQ(messages[2].command, "Reply");
    EXPECT_EQ(messages[2].seq, 8);
    EXPECT_EQ(messages[2].body, "second");
    EXPECT_EQ(messages[3].flag, 'X');
    EXPECT_EQ(messages[3].seq, 5);
    EXPECT_EQ(messages[4].body, "odd flag, current sequence");
    EXPECT_EQ(messages[5].body, "no digits");
    EXPECT_EQ(messages[5].seq, 0);
    const std::string text = LogText();
    EXPECT_TRUE(Contains(text, "TcpComm: <-- \x01\x1c" "00\x1c\x04"));
    EXPECT_TRUE(Contains(text, "TcpComm: Invalid message sequence received"));
}

TEST_F(CsdChannelTest, LongFramesAreLoggedByTheirLength) {
    Connect();
    ASSERT_TRUE(simulator->SendRaw(Frame("Get", "01", std::string(2000, 'a'))));  // 2009 characters
    ASSERT_TRUE(simulator->SendRaw(Frame("Get", "01", std::string(2001, 'b'))));  // 2010 characters
    ASSERT_TRUE(WaitUntil([&] { return channel->Messages().size() >= 2; }));
    EXPECT_EQ(channel->Messages()[1].body.size(), 2001u);
    const std::string text = LogText();
    EXPECT_TRUE(Contains(text, "<== \x01Get\x1c" "01\x1c" + std::string(2000, 'a')));
    EXPECT_TRUE(Contains(text, "TcpComm: <== 2010 bytes"));
    EXPECT_FALSE(Contains(text, std::string(2001, 'b')));
}

TEST_F(CsdChannelTest, SendsAKeepAliveAfterTheIdleTime) {
    ClientTiming timing = FastTiming();
    timing.idleMs = 40;
    Connect(timing);
    ASSERT_TRUE(simulator->WaitForKeepAlives(2, 3000));
    EXPECT_TRUE(Contains(LogText(), "TcpComm: --> \x01\x1c" "00\x1c\x04"));
    EXPECT_TRUE(simulator->Requests().empty());
    // A keep-alive carries sequence 00 and does not use up a request number.
    EXPECT_EQ(channel->LastSeq(), 0);
    EXPECT_TRUE(channel->IsConnected());
}

TEST_F(CsdChannelTest, ReconnectsAfterTheServerWentAway) {
    Connect();
    const int port = simulator->TcpPort();
    simulator.reset();
    ASSERT_TRUE(WaitUntil([&] { return !channel->IsConnected(); }));
    StartSimulator(port);
    ASSERT_TRUE(WaitUntil([&] { return channel->IsConnected(); }));
    EXPECT_TRUE(Ask(R"({"rvc":5,"cknum":1})"));
    const std::string text = LogText();
    SCOPED_TRACE(text);
    client_test::ExpectContainsAll(text, {
        "TcpComm: Disconnect received",
        "TcpComm: Connection reset by peer",
        "TcpComm: Close socket",
        "TcpComm: Socket closed\r\n",
        "TcpComm: Pause 0 sec",
        "TcpComm: Reconnection",
    });
}

TEST_F(CsdChannelTest, FailedConnectsAreCountedAndLogged) {
    const int port = simulator->TcpPort();
    simulator.reset();  // nothing listens there now
    channel = std::make_unique<RecordingChannel>(log, FastTiming());
    channel->SetHost("127.0.0.1");
    channel->SetPort(port);
    channel->Start();
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogText(), "Connecting(2) to"); }));
    EXPECT_FALSE(channel->IsConnected());
    ChannelMessage request;
    request.command = "Get";
    EXPECT_FALSE(channel->Send(request));
    channel->Stop();
    const std::string text = LogText();
    client_test::ExpectContainsAll(text, {
        text::Format("TcpComm: Connecting(0) to 127.0.0.1:%d", port),
        "TcpComm: Connecting(1) to 127.0.0.1:",
        "TcpComm: Connect failed! " + std::to_string(platform::Socket::kRefused),
        "TcpComm: Socket closed!",
        "TcpComm: Send: Socket is closed",
        "TcpComm: Stopping",
        "TcpComm: Receiver thread stopped",
        "TcpComm: Stopped",
    });
}

TEST_F(CsdChannelTest, AHostNameIsNeverLookedUp) {
    channel = std::make_unique<RecordingChannel>(log, FastTiming());
    channel->SetHost("localhost");
    channel->SetPort(simulator->TcpPort());
    channel->Start();
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogText(), "Connect failed! 22"); }));
    EXPECT_EQ(simulator->Connections(), 0);
}

TEST_F(CsdChannelTest, HostAndPortChangesRestartARunningChannel) {
    Connect();
    channel->SetHost("");
    channel->SetHost("127.0.0.1");
    channel->SetPort(70000);
    channel->SetPort(simulator->TcpPort());
    EXPECT_FALSE(Contains(LogText(), "Stopping")) << "ignored changes leave the channel alone";
    EXPECT_EQ(channel->port, simulator->TcpPort());

    // A new host: the channel stops and starts again towards it.
    channel->SetHost("127.0.0.2");
    EXPECT_EQ(channel->host, "127.0.0.2");
    EXPECT_TRUE(channel->IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogText(), "Connecting(0) to 127.0.0.2:"); }));
    const std::string text = LogText();
    EXPECT_TRUE(Contains(text, "TcpComm: Stopping"));
    EXPECT_TRUE(Contains(text, "TcpComm: Stopped"));
}

TEST_F(CsdChannelTest, StopEndsAConnectedChannelAtOnce) {
    Connect();
    channel->Stop();
    EXPECT_FALSE(channel->IsRunning());
    EXPECT_FALSE(channel->IsConnected());
    EXPECT_FALSE(channel->WaitConnected(0));
    EXPECT_TRUE(Contains(LogText(), "TcpComm: Receiver thread stopped"));
}

}  // namespace
