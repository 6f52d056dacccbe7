#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>
#include <chrono>

namespace platform {
namespace {

uint32_t Loopback() {
    uint32_t address = 0;
    Socket::ParseAddress("127.0.0.1", address);
    return address;
}

TEST(SocketTest, ParseAddressTakesDottedAddressesOnly) {
    uint32_t address = 0;
    EXPECT_TRUE(Socket::ParseAddress("127.0.0.1", address));
    EXPECT_EQ(Socket::AddressText(address), "127.0.0.1");
    EXPECT_TRUE(Socket::ParseAddress("255.255.255.255", address));
    EXPECT_EQ(address, 0xFFFFFFFFu);
    EXPECT_FALSE(Socket::ParseAddress("localhost", address));
    EXPECT_FALSE(Socket::ParseAddress("127.0.0", address));
    EXPECT_FALSE(Socket::ParseAddress("", address));
    EXPECT_FALSE(Socket::ParseAddress("10.0.0.1;10.0.0.2", address));
}

TEST(SocketTest, ReceiveDatagramReportsAnOversizedDatagram) {
    Socket receiver;
    ASSERT_TRUE(receiver.Create(Socket::Kind::Udp));
    ASSERT_TRUE(receiver.Bind(Loopback(), 0));
    Socket sender;
    ASSERT_TRUE(sender.Create(Socket::Kind::Udp));
    const std::string big(1500, 'x');
    const std::string small = "hello";
    ASSERT_TRUE(sender.SendTo(big.data(), big.size(), Loopback(), receiver.LocalPort()));
    ASSERT_TRUE(sender.SendTo(small.data(), small.size(), Loopback(), receiver.LocalPort()));
    char buffer[1024];
    ASSERT_EQ(receiver.WaitReadable(1000), Socket::WaitResult::Ready);
    EXPECT_EQ(receiver.ReceiveDatagram(buffer, sizeof buffer), -1);
    EXPECT_EQ(receiver.LastError(), Socket::kMessageTooLong);
    ASSERT_EQ(receiver.WaitReadable(1000), Socket::WaitResult::Ready);
    ASSERT_EQ(receiver.ReceiveDatagram(buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), small);
}

class ConnectedPair : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(listener.Create(Socket::Kind::Tcp));
        ASSERT_TRUE(listener.Bind(Loopback(), 0));
        ASSERT_TRUE(listener.Listen(1));
        ASSERT_TRUE(client.Create(Socket::Kind::Tcp));
        ASSERT_TRUE(client.Connect(Loopback(), listener.LocalPort(), 1000));
        ASSERT_TRUE(listener.Accept(server, nullptr, 1000));
    }
    Socket listener;
    Socket client;
    Socket server;
};

TEST_F(ConnectedPair, PeerConnectedUntilThePeerCloses) {
    EXPECT_TRUE(client.PeerConnected());
    ASSERT_TRUE(server.SendAll("x", 1));
    ASSERT_EQ(client.WaitReadable(1000), Socket::WaitResult::Ready);
    EXPECT_TRUE(client.PeerConnected()) << "data waiting is still a connection";
    char byte;
    EXPECT_EQ(client.Receive(&byte, 1), 1) << "the check does not consume data";
    server.Close();
    ASSERT_EQ(client.WaitReadable(1000), Socket::WaitResult::Ready);
    EXPECT_FALSE(client.PeerConnected());
    Socket unopened;
    EXPECT_FALSE(unopened.PeerConnected());
}

TEST(SocketTest, AFiredWakerEndsAConnectAttempt) {
    // A loopback listener that never accepts: once its queue is full, further connects wait.
    Socket listener;
    ASSERT_TRUE(listener.Create(Socket::Kind::Tcp));
    ASSERT_TRUE(listener.Bind(Loopback(), 0));
    ASSERT_TRUE(listener.Listen(0));
    std::vector<Socket> queued;
    bool waiting = false;
    for (int i = 0; i < 16 && !waiting; ++i) {
        Socket socket;
        ASSERT_TRUE(socket.Create(Socket::Kind::Tcp));
        if (socket.Connect(Loopback(), listener.LocalPort(), 200)) {
            queued.push_back(std::move(socket));
        } else {
            waiting = socket.LastError() == Socket::kTimedOut;
        }
    }
    if (!waiting) {
        GTEST_SKIP() << "this loopback accepts every connection at once";
    }
    Waker waker;
    std::thread stopper([&waker] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        waker.Fire();
    });
    Socket socket;
    ASSERT_TRUE(socket.Create(Socket::Kind::Tcp));
    EXPECT_FALSE(socket.Connect(Loopback(), listener.LocalPort(), 20000, waker.Fd()));
    EXPECT_EQ(socket.LastError(), Socket::kCancelled);
    stopper.join();
}

}  // namespace
}  // namespace platform
