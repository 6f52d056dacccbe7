#include "pos/CSockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/Socket.h"
#include "tests/support/devices/DeviceTestSupport.h"

namespace {

using device_test::Bytes;

constexpr int kAnswerWaitMs = 3000;

ConnectionSettings Client(int port, const std::string& host = "127.0.0.1") {
    ConnectionSettings settings;
    settings.name = "1";
    settings.host = host;
    settings.port = port;
    settings.mode = 1;
    settings.extra = "manager";
    return settings;
}

const std::string kConfig = Bytes("1^FISC^Config^1^Op^^F^0^1^1^0^1^1^1^1^^2^@");

class ChannelTest : public device_test::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        channel.SetLog(&log);
    }
    // Sends one message and waits for the receive thread to signal the answer.
    bool Exchange(const std::string& message) {
        return channel.Send(message) && channel.dataEvent.Wait(kAnswerWaitMs) && channel.Read();
    }
    CSockets channel;
};

TEST_F(ChannelTest, SendsAndReadsOneAnswer) {
    auto sim = StartSim();
    ASSERT_TRUE(channel.Configure(Client(sim->Port())));
    EXPECT_TRUE(channel.IsClosed());  // configuring does not connect
    EXPECT_EQ(channel.GetDescription(), text::Format("1. 127.0.0.1: %d.", sim->Port()));
    EXPECT_EQ(channel.Describe(), text::Format("Client: 127.0.0.1 : %d manager", sim->Port()));

    ASSERT_TRUE(Exchange(kConfig));
    EXPECT_FALSE(channel.IsClosed());
    EXPECT_EQ(channel.GetLastError(), "");
    EXPECT_EQ(channel.Received().substr(0, 8), Bytes("0^OK^0^^"));
    EXPECT_FALSE(channel.dataEvent.IsSet());
    EXPECT_TRUE(LogHas(text::Format("Connect to 127.0.0.1 : %d", sim->Port())));
    EXPECT_TRUE(channel.EnsureOpen());
    EXPECT_EQ(channel.GetStatusText(), text::Format("127.0.0.1 / %d", sim->Port()));

    // The same connection serves the next message.
    ASSERT_TRUE(Exchange(kConfig));
    EXPECT_EQ(sim->ConnectionsAccepted(), 1u);
    channel.Close();
    EXPECT_TRUE(channel.IsClosed());
    EXPECT_TRUE(LogHas(text::Format("Close connection 127.0.0.1 : %d", sim->Port())));
}

TEST_F(ChannelTest, EmptyMessageIsRefusedAndNothingIsSent) {
    auto sim = StartSim();
    ASSERT_TRUE(channel.Configure(Client(sim->Port())));
    EXPECT_FALSE(channel.Send("", 0));
    EXPECT_EQ(channel.GetLastError(), "Message is empty");
    EXPECT_FALSE(channel.Send(kConfig.data(), -1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(sim->Messages().empty());
}

TEST_F(ChannelTest, RefusedConnectFailsAndTheNextSendTriesAgain) {
    int port = ClosedPort();
    ASSERT_TRUE(channel.Configure(Client(port)));
    EXPECT_FALSE(channel.Send(kConfig));
    EXPECT_EQ(channel.GetLastError(), text::Format("Can't connect to 127.0.0.1 : %d", port));
    EXPECT_TRUE(channel.IsClosed());
    EXPECT_TRUE(LogHas(text::Format("Getsockopt failed:\nerror code = %d\nmessage = ", platform::Socket::kRefused)));

    PrinterManagerSim::Options options;
    options.port = port;
    auto sim = StartSim(options);
    EXPECT_TRUE(Exchange(kConfig));
}

TEST_F(ChannelTest, AnswerLongerThanTheBufferIsReadInPiecesWithNothingLost) {
    auto sim = StartSim();
    sim->SetFault(Fault("long bytes=40000"));
    ASSERT_TRUE(channel.Configure(Client(sim->Port())));
    ASSERT_TRUE(Exchange(kConfig));
    std::string answer = channel.Received();
    EXPECT_LE(answer.size(), static_cast<size_t>(CInputControl::kBufferSize));
    EXPECT_EQ(answer.substr(0, 5), Bytes("0^OK^"));
    while (answer.size() < 40000u && channel.dataEvent.Wait(kAnswerWaitMs) && channel.Read()) {
        answer += channel.Received();
    }
    EXPECT_EQ(answer.size(), 40000u);
    EXPECT_EQ(answer.substr(answer.size() - 3), Bytes("X^2"));
}

TEST_F(ChannelTest, FlushThrowsAwayOnlyWhatIsAlreadyThereWithoutWaiting) {
    auto sim = StartSim();
    ASSERT_TRUE(channel.Configure(Client(sim->Port())));
    ASSERT_TRUE(channel.Send(kConfig));
    // The answer is there but not read: it is stale for the next message.
    ASSERT_TRUE(channel.dataEvent.Wait(kAnswerWaitMs));
    channel.Flush();
    EXPECT_TRUE(LogHas("stale bytes dropped before the next message"));
    EXPECT_FALSE(channel.dataEvent.IsSet());
    ASSERT_TRUE(Exchange(kConfig));
    EXPECT_EQ(channel.Received(), Bytes("0^OK^0^^SIM1^FISCORA SIM^^^^^^^^^^^2"));

    // With nothing waiting, flushing takes no time at all: a hundred flushes stay far below
    // the single 100 ms pause a wait would cost.
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        channel.Flush();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_FALSE(channel.IsClosed());
}

TEST_F(ChannelTest, PeerClosingBeforeTheAnswerClosesTheChannel) {
    auto sim = StartSim();
    sim->SetFault(Fault("close count=1"));
    ASSERT_TRUE(channel.Configure(Client(sim->Port())));
    ASSERT_TRUE(channel.Send(kConfig));
    ASSERT_TRUE(channel.dataEvent.Wait(kAnswerWaitMs));  // the end of the connection wakes the reader
    EXPECT_FALSE(channel.Read());
    EXPECT_TRUE(channel.IsClosed());
    EXPECT_TRUE(LogHas("Remote socket closed connection"));
    EXPECT_TRUE(Exchange(kConfig));  // reopened on the next send
    EXPECT_EQ(sim->ConnectionsAccepted(), 2u);
}

TEST_F(ChannelTest, PeerClosingAnIdleConnectionIsNoticedBeforeTheNextSend) {
    auto sim = StartSim();
    ASSERT_TRUE(channel.Configure(Client(sim->Port())));
    ASSERT_TRUE(Exchange(kConfig));
    sim->SetFault(Fault("refuse"));
    for (int i = 0; i < 100 && !channel.IsClosed(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(channel.IsClosed());
    sim->SetFault(FaultSetting());
    bool answered = false;
    for (int i = 0; i < 50 && !answered; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        answered = Exchange(kConfig);
    }
    EXPECT_TRUE(answered);
}

TEST_F(ChannelTest, ConfigurationErrors) {
    ASSERT_FALSE(channel.Configure(Client(9100, "")));
    EXPECT_EQ(channel.GetLastError(), "Invalid address ");
    EXPECT_TRUE(LogHas("Invalid address "));

    ConnectionSettings unknown = Client(9100);
    unknown.mode = 2;
    ASSERT_TRUE(channel.Configure(unknown));
    EXPECT_FALSE(channel.Open());
    EXPECT_EQ(channel.GetLastError(), "Unknown  control type 127.0.0.1 : 9100");
    EXPECT_EQ(channel.Describe(), "Server: 127.0.0.1 : 9100 manager");
}

TEST_F(ChannelTest, ServerModeAcceptsOnePeerAndTalksToIt) {
    ConnectionSettings listen = Client(0);
    listen.mode = 0;
    ASSERT_TRUE(channel.Configure(listen));
    EXPECT_FALSE(channel.AcceptClient());
    EXPECT_EQ(channel.GetLastError(), "Client2Server not CheckAccept");
    ASSERT_TRUE(channel.Open());
    EXPECT_TRUE(channel.IsListening());

    CSockets client;
    client.SetLog(&log);
    ASSERT_TRUE(client.Configure(Client(channel.LocalPort())));
    ASSERT_TRUE(client.Open());
    ASSERT_TRUE(channel.dataEvent.Wait(kAnswerWaitMs));  // a peer is waiting
    ASSERT_TRUE(channel.AcceptClient());
    EXPECT_EQ(channel.GetPeerAddress(), "127.0.0.1");

    ASSERT_TRUE(client.Send("ping"));
    ASSERT_TRUE(channel.dataEvent.Wait(kAnswerWaitMs));
    ASSERT_TRUE(channel.Read());
    EXPECT_EQ(channel.Received(), "ping");
    ASSERT_TRUE(channel.Send("pong"));
    ASSERT_TRUE(client.dataEvent.Wait(kAnswerWaitMs));
    ASSERT_TRUE(client.Read());
    EXPECT_EQ(client.Received(), "pong");
    EXPECT_FALSE(channel.AcceptClient());  // nobody else is waiting
    EXPECT_EQ(channel.GetLastError(), "Client2Server not connect");
}

}  // namespace
