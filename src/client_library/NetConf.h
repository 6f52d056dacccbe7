#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "client_library/ClientLog.h"
#include "client_library/ClientTiming.h"
#include "client_library/NetStatus.h"
#include "client_library/ThreadStarter.h"
#include "platform/Event.h"
#include "platform/Socket.h"

// Discovery of the check-database server by UDP broadcast, and the library's configuration
// file. A workstation announces itself with a "Client" datagram; a server answers with a
// "Server" datagram carrying its identity and its configuration, which is kept in
// LGXConfig.json so that the server's address is known after a restart without a reachable
// server.
//
// Datagram: 0x01, kind, 0x1C, two sequence digits, 0x1C, the sender's NetStatus as JSON, 0x1C,
// body, 0x04.
class NetConf : public ThreadStarter {
public:
    static constexpr int kPort = 5196;
    static constexpr size_t kSendSize = 2048;
    static constexpr size_t kReceiveSize = 1024;
    // LGXConfig.json holds what one datagram brought; a longer file is not read.
    static constexpr size_t kMaxConfigFileBytes = 64 * 1024;
    static constexpr int64_t kReceiverStartMs = 1000;  // longest wait for the receiver to bind
    // Where announcements go; the environment variable names another IPv4 address (tests use
    // a loopback one).
    static constexpr const char* kBroadcastVariable = "LGX_BROADCAST_ADDRESS";

    NetConf(ClientLog& log, const ClientTiming& timing, int port = kPort);
    ~NetConf() override;

    // Opens the sockets, finds this host's identity, reads the configuration file, starts the
    // receiver thread and announces this workstation. Only the first call does anything.
    void StartDiscovery();
    // Closes the sockets and stops the receiver thread.
    void StopDiscovery();
    // Sends a "Client" datagram with the next sequence number.
    void Announce();

    bool IsServer() const { return isServer; }
    int Port() const { return port; }
    std::string SelfName() const { return self.name; }
    std::string SelfAddress() const { return self.address; }
    // Copies taken under discoveryLock.
    size_t ServerCount();
    std::string FirstServerAddress();
    std::string ConfigText();

protected:
    void Run() override;
    void Shutdown() override;
    virtual void OnServerStatus(const std::string& status) {}
    virtual void OnConfig(const std::string& config) {}

    void HandleDatagram(const std::string& content);

private:
    void SendDatagram(const char* kind, const std::string& body);
    void ReadConfigFile();
    void WriteConfigFile(const std::string& content);
    void Log(int level, const char* format, ...) FISCORA_PRINTF(3, 4);

    ClientLog& log;
    ClientTiming timing;
    bool started = false;
    bool isServer = false;  // the library always runs as a workstation
    int udpSeq = 0;
    int port;
    platform::Socket sendSocket;
    uint32_t destination = 0xFFFFFFFFu;  // 255.255.255.255
    bool destinationValid = true;
    std::string configText;
    std::string configFile = "LGXConfig.json";
    char sendBuffer[kSendSize] = {};
    char receiveBuffer[kReceiveSize] = {};
    NetStatus self;
    std::vector<NetStatus> servers;  // a workstation keeps at most one
    std::mutex discoveryLock;        // guards servers and configText
    platform::Waker waker;           // ends the receiver's wait on stop
    // Set once the receiver is bound (or has given up), so the announcement is not answered
    // before anyone listens.
    platform::Event receiverSettled{true};
};
