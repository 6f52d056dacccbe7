#include "client_library/NetConf.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Socket.h"
#include "tests/support/client_library/ClientTestSupport.h"

namespace {

using client_test::Contains;
using client_test::ReadText;
using client_test::WaitUntil;

const char* const kStatus = R"({"Name":"CHECKDB","Address":"127.0.0.1","OSVersion":"10.0.17763"})";
const char* const kConfig = R"({"serveraddress":"127.0.0.1","keepdays":30})";

std::string Datagram(const std::string& kind, const std::string& seq, const std::string& status,
                     const std::string& body) {
    return "\x01" + kind + "\x1c" + seq + "\x1c" + status + "\x1c" + body + "\x04";
}

// The other side of the discovery network: receives what the library broadcasts and sends
// datagrams to the loopback broadcast address.
class Peer {
public:
    explicit Peer(int port) : port(port) {
        socket.Create(platform::Socket::Kind::Udp);
        socket.SetReuseAddress();
        socket.SetBroadcast();
        socket.Bind(0, static_cast<uint16_t>(port));
    }
    bool Send(const std::string& datagram) {
        return socket.SendTo(datagram.data(), datagram.size(), client_test::Address("127.255.255.255"),
                             static_cast<uint16_t>(port));
    }
    // The next datagram that is not one of ours ("Server" ones come back to us as well).
    std::string ReceiveClient(int timeoutMs = 2000) {
        char buffer[4096];
        while (socket.WaitReadable(timeoutMs) == platform::Socket::WaitResult::Ready) {
            long n = socket.ReceiveDatagram(buffer, sizeof buffer);
            if (n > 0 && std::string(buffer, static_cast<size_t>(n)).rfind("\x01" "Client", 0) == 0) {
                return std::string(buffer, static_cast<size_t>(n));
            }
        }
        return "";
    }

private:
    int port;
    platform::Socket socket;
};

class NetConfTest : public ::testing::Test {
protected:
    NetConfTest() : port(client_test::FreeUdpPort()), peer(port) {
        timing.announcePauseMs = 5;
        log.Open("LGXClient.log", 0, 0, ClientLog::kMilliseconds, 8);
    }

    void Start() {
        discovery = std::make_unique<NetConf>(log, timing, port);
        discovery->StartDiscovery();
    }

    // Sends a datagram and then one that changes the known server's identity, and waits for
    // that change: by then the first datagram has been handled too.
    void SendAndSettle(const std::string& datagram) {
        ASSERT_TRUE(peer.Send(datagram));
        const std::string marker = "SYNC" + std::to_string(++syncs);
        const std::string status = R"({"Name":")" + marker + R"(","Address":"127.0.0.1","OSVersion":"1.0.0"})";
        ASSERT_TRUE(peer.Send(Datagram("Server", "50", status, "")));
        ASSERT_TRUE(WaitUntil([&] { return Contains(LogText(), marker); }));
    }

    std::string LogText() { return ReadText("LGXClient.log"); }

    client_test::TempFolder folder;
    ClientLog log;
    ClientTiming timing;
    int port;
    Peer peer;
    std::unique_ptr<NetConf> discovery;
    int syncs = 0;
};

TEST_F(NetConfTest, StartAnnouncesThisWorkstation) {
    Start();
    const std::string datagram = peer.ReceiveClient();
    ASSERT_FALSE(datagram.empty());
    NetStatus self;
    self.name = discovery->SelfName();
    self.address = discovery->SelfAddress();
    self.osversion = platform::OsVersionText();
    EXPECT_EQ(datagram, "\x01" "Client\x1c" "01\x1c" + self.ToJsonText() + "\x1c\x04");
    EXPECT_EQ(discovery->SelfName(), platform::HostName());
    EXPECT_FALSE(discovery->IsServer());
    EXPECT_EQ(discovery->Port(), port);
    const std::string text = LogText();
    client_test::ExpectContainsAll(text, {
        "NetConf: Receiver thread starting: ",
        "NetConf: Receiver ready",
        "Can't open file LGXConfig.json error=2",
    });
    EXPECT_TRUE(discovery->ConfigText().empty());
    EXPECT_EQ(discovery->ServerCount(), 0u);
}

TEST_F(NetConfTest, ReadsTheConfigurationFileAtStart) {
    ASSERT_TRUE(platform::WriteFile("LGXConfig.json", kConfig));
    Start();
    EXPECT_EQ(discovery->ConfigText(), kConfig);
    EXPECT_FALSE(Contains(LogText(), "Can't open file"));
}

TEST_F(NetConfTest, AServerAnswerIsKeptAndItsConfigurationWrittenOnlyWhenItDiffers) {
    Start();
    ASSERT_TRUE(peer.Send(Datagram("Server", "01", kStatus, kConfig)));
    ASSERT_TRUE(WaitUntil([&] { return discovery->ServerCount() == 1; }));
    EXPECT_EQ(discovery->FirstServerAddress(), "127.0.0.1");
    EXPECT_EQ(discovery->ConfigText(), kConfig);
    EXPECT_EQ(ReadText("LGXConfig.json"), kConfig);
    std::string text = LogText();
    EXPECT_TRUE(Contains(text, std::string("New config: ") + kConfig));
    EXPECT_TRUE(Contains(text, std::string("Server found: ") + kStatus));

    // The same configuration from a server under another address: the file is not touched, the
    // server is replaced.
    ASSERT_TRUE(platform::RemoveFile("LGXConfig.json"));
    const std::string moved = R"({"Name":"CHECKDB","Address":"127.0.0.3","OSVersion":"10.0.17763"})";
    ASSERT_TRUE(peer.Send(Datagram("Server", "02", moved, kConfig)));
    ASSERT_TRUE(WaitUntil([&] { return discovery->FirstServerAddress() == "127.0.0.3"; }));
    EXPECT_FALSE(platform::FileExists("LGXConfig.json"));
    EXPECT_TRUE(Contains(LogText(), "Server changed: " + moved));
    EXPECT_EQ(discovery->ServerCount(), 1u);

    // A new configuration replaces the file.
    const std::string changed = R"({"serveraddress":"127.0.0.3","keepdays":30})";
    ASSERT_TRUE(peer.Send(Datagram("Server", "03", moved, changed)));
    ASSERT_TRUE(WaitUntil([&] { return discovery->ConfigText() == changed; }));
    EXPECT_EQ(ReadText("LGXConfig.json"), changed);
    EXPECT_TRUE(Contains(LogText(), "Update config: " + changed));
}

TEST_F(NetConfTest, MalformedAndForeignDatagramsChangeNothing) {
    Start();
    const std::string ignored[] = {
        Datagram("Server", "00", kStatus, kConfig),                  // sequence 0
        Datagram("Server", "100", kStatus, kConfig),                 // three digits
        Datagram("Server", "ab", kStatus, kConfig),                  // no number
        // A sequence is exactly two digits: none of these is 1.
        Datagram("Server", "001", kStatus, kConfig),
        Datagram("Server", "1x", kStatus, kConfig),
        Datagram("Server", "4294967297", kStatus, kConfig),
        Datagram("Server", "1", kStatus, kConfig),
        Datagram("Server", " 1", kStatus, kConfig),
        Datagram("Server", "+1", kStatus, kConfig),
        Datagram("Client", "01", kStatus, ""),                       // another workstation
        Datagram("Client", "01", kStatus, kConfig),
        std::string("\x01Server\x1c" "01\x1c") + kStatus + "\x04",  // no body field
        std::string("\x01Server\x04"),                               // one field
        std::string("Server\x1c" "01\x1c") + kStatus + "\x1c" + kConfig + "\x04",  // no start byte
        std::string("\x01Server\x1c" "01\x1c") + kStatus + "\x1c" + kConfig,       // no end byte
        std::string("\x01\x04"),
        std::string(),
    };
    for (const std::string& datagram : ignored) {
        SendAndSettle(datagram);
    }
    EXPECT_TRUE(discovery->ConfigText().empty());
    EXPECT_FALSE(platform::FileExists("LGXConfig.json"));
    EXPECT_FALSE(Contains(LogText(), "CHECKDB"));
    EXPECT_TRUE(discovery->IsRunning()) << "an empty datagram does not end discovery";
}

TEST_F(NetConfTest, AConfigurationFileLongerThanAnyConfigurationIsNotRead) {
    ASSERT_TRUE(platform::WriteFile("LGXConfig.json", R"({"serveraddress":"127.0.0.1","x":")" +
                                                          std::string(NetConf::kMaxConfigFileBytes, 'x') + "\"}"));
    Start();
    EXPECT_TRUE(discovery->ConfigText().empty());
    EXPECT_TRUE(Contains(LogText(), "Can't read file LGXConfig.json: longer than 65536 bytes"));
    // A server still brings the configuration, which replaces the file.
    ASSERT_TRUE(peer.Send(Datagram("Server", "01", kStatus, kConfig)));
    ASSERT_TRUE(WaitUntil([&] { return discovery->ConfigText() == kConfig; }));
    EXPECT_EQ(ReadText("LGXConfig.json"), kConfig);
}

TEST_F(NetConfTest, AServerWithoutConfigurationLeavesTheStoredOne) {
    ASSERT_TRUE(platform::WriteFile("LGXConfig.json", kConfig));
    Start();
    ASSERT_TRUE(peer.Send(Datagram("Server", "01", kStatus, "")));
    ASSERT_TRUE(WaitUntil([&] { return discovery->ServerCount() == 1; }));
    EXPECT_EQ(discovery->ConfigText(), kConfig);
    EXPECT_EQ(ReadText("LGXConfig.json"), kConfig);
}

TEST_F(NetConfTest, AnOversizedDatagramIsAReceiveError) {
    Start();
    const std::string big = Datagram("Server", "01", kStatus, std::string(1100, 'x'));
    SendAndSettle(big);
    // The system's number of a datagram longer than the buffer: 90 on Linux, 10040 on Windows.
    EXPECT_TRUE(Contains(LogText(), "NetConf: Recv error: " + std::to_string(platform::Socket::kMessageTooLong)));
    EXPECT_TRUE(discovery->ConfigText().empty());
}

TEST_F(NetConfTest, AnnouncementSequenceWrapsAfter99) {
    Start();
    std::vector<std::string> sequences;
    sequences.push_back(peer.ReceiveClient().substr(8, 2));
    for (int i = 0; i < 99; ++i) {
        discovery->Announce();
        sequences.push_back(peer.ReceiveClient().substr(8, 2));
    }
    EXPECT_EQ(sequences[0], "01");
    EXPECT_EQ(sequences[9], "10");
    EXPECT_EQ(sequences[98], "99");
    EXPECT_EQ(sequences[99], "01");
}

TEST_F(NetConfTest, AnInvalidBroadcastAddressSendsNothing) {
    platform::SetEnv(NetConf::kBroadcastVariable, "broadcast.example");
    Start();
    platform::SetEnv(NetConf::kBroadcastVariable, "127.255.255.255");
    EXPECT_TRUE(peer.ReceiveClient(200).empty());
    EXPECT_TRUE(Contains(LogText(), "NetConf: Invalid broadcast address broadcast.example, discovery sends nothing"));
}

TEST_F(NetConfTest, StopEndsTheReceiver) {
    Start();
    discovery->StopDiscovery();
    EXPECT_FALSE(discovery->IsRunning());
    EXPECT_TRUE(Contains(LogText(), "NetConf: Receiver thread stopping: "));
    discovery->StartDiscovery();  // only the first start does anything
    EXPECT_FALSE(discovery->IsRunning());
}

}  // namespace
