#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/Thread.h"

// A stand-in for the check-database server, for tests, the benchmark and the demo. It listens on
// 127.0.0.1, answers "Get" frames with POS checks (unknown checks with a plain-text reply),
// answers "Client" discovery datagrams with a "Server" datagram carrying its identity and its
// configuration, and can be told to stay silent, to answer late or to answer with a stale
// sequence number.
//
// It only ever talks to loopback: the bind address and the broadcast address must be 127.x.x.x.
class CheckDbSimulator {
public:
    enum class ReplyMode { Normal, Silent, Late, StaleSequence, Raw };

    struct Options {
        std::string bindAddress = "127.0.0.1";
        int tcpPort = 5196;  // 0: any free port (see TcpPort)
        int udpPort = 5196;  // 0: no discovery
        std::string broadcastAddress = "127.255.255.255";
        std::string name = "check-db-sim";
        std::string address = "127.0.0.1";  // the address announced to workstations
        std::string osVersion = "1.0.0";
        std::string configText;             // body of "Server" datagrams
    };

    // One frame received from a client.
    struct Frame {
        std::string command;
        std::string sequence;  // the digits and flag as sent
        std::string body;
    };

    explicit CheckDbSimulator(Options options);
    ~CheckDbSimulator();
    CheckDbSimulator(const CheckDbSimulator&) = delete;
    CheckDbSimulator& operator=(const CheckDbSimulator&) = delete;

    bool Start(std::string& error);
    void Stop();
    uint16_t TcpPort() const { return boundTcpPort; }

    // Adds a check object (JSON with "rvc" and "cknum"); replaces one with the same numbers.
    void AddCheck(const std::string& json);
    // Loads a JSON array of check objects.
    bool LoadChecks(const std::string& path, std::string& error);
    void SetReplyMode(ReplyMode mode, int lateMs = 0);
    // The next request is answered with these bytes as they are (a hostile or broken server);
    // later ones normally again.
    void SetRawReply(const std::string& bytes);
    void SetConfigText(const std::string& text);
    void SetIdentity(const std::string& name, const std::string& address);
    // Sends a "Server" datagram of its own (as a server does when its configuration changes).
    bool Announce();
    // Sends raw bytes to the connected client (tests of the client's frame parser).
    bool SendRaw(const std::string& bytes);

    std::vector<Frame> Requests();
    int KeepAlives() const { return keepAlives.load(); }
    int Connections() const { return connections.load(); }
    int ClientDatagrams() const { return clientDatagrams.load(); }
    std::vector<std::string> Datagrams();  // every discovery datagram received, whole
    // Waits until at least count requests, keep-alives or connections were seen.
    bool WaitForRequests(size_t count, int timeoutMs);
    bool WaitForKeepAlives(int count, int timeoutMs);
    bool WaitForConnection(int count, int timeoutMs);
    // Polls the condition every few milliseconds until it holds or the time is up.
    static bool WaitFor(const std::function<bool()>& condition, int timeoutMs);

private:
    void ServeTcp();
    void ServeUdp();
    void HandleFrame(const Frame& frame);
    void HandleBytes(std::string& pending, const char* data, size_t size);
    bool SendDatagram();

    Options options;
    uint32_t bindAddress = 0;
    uint32_t broadcastAddress = 0;
    uint16_t boundTcpPort = 0;
    platform::Socket listener;
    platform::Socket udp;
    platform::Socket client;  // the connected client, used by the TCP thread and SendRaw
    std::mutex clientLock;
    platform::Waker waker;
    platform::Event stopEvent{true};
    std::atomic<bool> running{false};
    platform::Thread tcpThread;
    platform::Thread udpThread;

    std::mutex stateLock;
    std::map<std::pair<int, int>, std::string> checks;
    ReplyMode mode = ReplyMode::Normal;
    int lateMs = 0;
    std::string rawReply;
    int udpSeq = 0;
    std::vector<Frame> requests;
    std::vector<std::string> datagrams;
    std::atomic<int> keepAlives{0};
    std::atomic<int> connections{0};
    std::atomic<int> clientDatagrams{0};
};
