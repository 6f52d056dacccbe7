#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <thread>

using platform::Socket;

namespace {

uint32_t Loopback() {
    uint32_t address = 0;
    Socket::Resolve("127.0.0.1", address);
    return address;
}

}  // namespace

TEST(SocketTest, ConnectSendReceiveOnLoopback) {
    Socket server;
    ASSERT_TRUE(server.Create(Socket::Kind::Tcp));
    ASSERT_TRUE(server.SetReuseAddress());
    ASSERT_TRUE(server.Bind(Loopback(), 0));
    ASSERT_TRUE(server.Listen(1));
    uint16_t port = server.LocalPort();
    ASSERT_NE(port, 0);

    std::thread peer([&] {
        Socket accepted;
        uint32_t from = 0;
        ASSERT_TRUE(server.Accept(accepted, &from, 5000));
        EXPECT_EQ(Socket::AddressText(from), "127.0.0.1");
        char buffer[16];
        long n = accepted.Receive(buffer, sizeof buffer);
        ASSERT_EQ(n, 4);
        accepted.SendAll(buffer, 4);
    });
    Socket client;
    ASSERT_TRUE(client.Create(Socket::Kind::Tcp));
    ASSERT_TRUE(client.Connect(Loopback(), port, 3000));
    ASSERT_TRUE(client.SendAll("ping", 4));
    ASSERT_EQ(client.WaitReadable(5000), Socket::WaitResult::Ready);
    char answer[8] = {};
    EXPECT_EQ(client.Receive(answer, sizeof answer), 4);
    EXPECT_STREQ(answer, "ping");
    peer.join();
    // The peer closed: a readable socket with nothing to read.
    EXPECT_EQ(client.WaitReadable(5000), Socket::WaitResult::Ready);
    EXPECT_EQ(client.Receive(answer, sizeof answer), 0);
}

TEST(SocketTest, ConnectToAClosedPortFails) {
    Socket probe;
    ASSERT_TRUE(probe.Create(Socket::Kind::Tcp));
    ASSERT_TRUE(probe.Bind(Loopback(), 0));
    uint16_t port = probe.LocalPort();
    probe.Close();  // nobody listens there now
    Socket client;
    ASSERT_TRUE(client.Create(Socket::Kind::Tcp));
    EXPECT_FALSE(client.Connect(Loopback(), port, 3000));
    EXPECT_NE(client.LastError(), 0);
}

TEST(SocketTest, WakerEndsAWait) {
    Socket udp;
    ASSERT_TRUE(udp.Create(Socket::Kind::Udp));
    ASSERT_TRUE(udp.Bind(Loopback(), 0));
    platform::Waker waker;
    EXPECT_EQ(udp.WaitReadable(0, waker.Fd()), Socket::WaitResult::Timeout);
    waker.Fire();
    EXPECT_EQ(udp.WaitReadable(5000, waker.Fd()), Socket::WaitResult::Woken);
    waker.Clear();
    EXPECT_EQ(udp.WaitReadable(0, waker.Fd()), Socket::WaitResult::Timeout);
}

TEST(SocketTest, ResolveTakesDottedAddressesAndHostsFileNames) {
    uint32_t address = 0;
    EXPECT_TRUE(Socket::Resolve("127.0.0.2", address));
    EXPECT_EQ(Socket::AddressText(address), "127.0.0.2");
    EXPECT_TRUE(Socket::Resolve("localhost", address));
    EXPECT_EQ(Socket::AddressText(address), "127.0.0.1");
}
