#include "client_library/NetConf.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

#include "client_library/ChannelMessage.h"
#include "platform/Environment.h"
#include "platform/Text.h"

namespace {

// A UDP socket that shares its port, may broadcast and only reaches directly attached hosts.
bool OpenBroadcastSocket(platform::Socket& socket) {
    if (!socket.Create(platform::Socket::Kind::Udp)) {
        return false;
    }
    socket.SetReuseAddress();
    socket.SetBroadcast();
    socket.SetDontRoute();
    return true;
}

}  // namespace

NetConf::NetConf(ClientLog& clientLog, const ClientTiming& clientTiming, int udpPort)
    : log(clientLog), timing(clientTiming), port(udpPort) {
    self.name = platform::GetEnv("COMPUTERNAME");
    if (self.name.empty()) {
        self.name = platform::HostName();
    }
    self.osversion = platform::OsVersionText();
}

NetConf::~NetConf() { StopDiscovery(); }

void NetConf::Log(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    log.LogLineV(level, format, args);
    va_end(args);
}

void NetConf::StartDiscovery() {
    if (started) {
        return;
    }
    started = true;
    isServer = false;
    if (platform::HasEnv(kBroadcastVariable)) {
        const std::string text = platform::GetEnv(kBroadcastVariable);
        destinationValid = platform::Socket::ParseAddress(text, destination);
        if (!destinationValid) {
            // Nothing is broadcast rather than sending to an address nobody meant.
            Log(1, "NetConf: Invalid broadcast address %s, discovery sends nothing", text.c_str());
        }
    }
    if (!OpenBroadcastSocket(sendSocket)) {
        Log(1, "NetConf: Can't create broadcast socket to send! Error: %d", sendSocket.LastError());
        return;
    }

    self.name = platform::HostName();
    self.address = platform::Socket::LocalAddresses(";");

    ReadConfigFile();
    waker.Clear();
    receiverSettled.Reset();
    if (StartThread("lgx-discovery")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timing.announcePauseMs));
        // On a busy machine the receiver may need longer than the pause to bind.
        receiverSettled.Wait(kReceiverStartMs);
    }
    Announce();
    std::this_thread::sleep_for(std::chrono::milliseconds(timing.announcePauseMs));
}

void NetConf::StopDiscovery() {
    if (IsRunning()) {
        StopThread();
    }
    sendSocket.Close();
}

void NetConf::Shutdown() { waker.Fire(); }

void NetConf::Announce() { SendDatagram("Client", ""); }

void NetConf::SendDatagram(const char* kind, const std::string& body) {
    if (!sendSocket.IsOpen() || !destinationValid) {
        return;
    }
    udpSeq = udpSeq % 99 + 1;
    const std::string status = self.ToJsonText();
    const int length = std::snprintf(sendBuffer, sizeof sendBuffer, "%c%s%c%02d%c%s%c%s%c", ChannelMessage::kStart,
                                     kind, ChannelMessage::kSeparator, udpSeq, ChannelMessage::kSeparator,
                                     status.c_str(), ChannelMessage::kSeparator, body.c_str(), ChannelMessage::kEnd);
    if (length < 0 || static_cast<size_t>(length) >= sizeof sendBuffer) {
        Log(1, "NetConf: Send error: %d", platform::Socket::kMessageTooLong);  // a cut datagram would lack its end byte
        return;
    }
    if (!sendSocket.SendTo(sendBuffer, static_cast<size_t>(length), destination, static_cast<uint16_t>(port))) {
        Log(1, "NetConf: Send error: %d", sendSocket.LastError());
    }
}

void NetConf::ReadConfigFile() {
    std::FILE* file = std::fopen(configFile.c_str(), "rb");
    if (!file) {
        Log(4, "Can't open file %s error=%d", configFile.c_str(), errno);
        return;
    }
    std::string content;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0 && content.size() <= kMaxConfigFileBytes) {
        content.append(chunk, n);
    }
    std::fclose(file);
    if (content.size() > kMaxConfigFileBytes) {
        // A server's configuration fits into one datagram; anything this long is not one.
        Log(1, "Can't read file %s: longer than %d bytes", configFile.c_str(), static_cast<int>(kMaxConfigFileBytes));
        return;
    }
    {
        std::lock_guard<std::mutex> lock(discoveryLock);
        configText = content;
    }
    OnConfig(content);
}

void NetConf::WriteConfigFile(const std::string& content) {
    std::FILE* file = std::fopen(configFile.c_str(), "wb");
    if (!file) {
        Log(1, "Can't open file %s error=%d", configFile.c_str(), errno);
        return;
    }
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0 || !written) {
        Log(1, "Can't write file %s error=%d", configFile.c_str(), errno);
    }
}

size_t NetConf::ServerCount() {
    std::lock_guard<std::mutex> lock(discoveryLock);
    return servers.size();
}

std::string NetConf::FirstServerAddress() {
    std::lock_guard<std::mutex> lock(discoveryLock);
    return servers.empty() ? std::string() : servers.front().address;
}

std::string NetConf::ConfigText() {
    std::lock_guard<std::mutex> lock(discoveryLock);
    return configText;
}

void NetConf::Run() {
    const unsigned id = platform::Thread::CurrentId();
    Log(1, "NetConf: Receiver thread starting: %08X", id);
    struct Settle {
        platform::Event& event;
        ~Settle() { event.Set(); }
    } settle{receiverSettled};
    platform::Socket receiveSocket;
    if (!OpenBroadcastSocket(receiveSocket)) {
        Log(1, "NetConf: Can't create recv socket! Error: %d", receiveSocket.LastError());
        return;
    }
    if (!receiveSocket.Bind(0 /* any address */, static_cast<uint16_t>(port))) {
        Log(1, "NetConf: Can't bind recv socket! Error: %d", receiveSocket.LastError());
        return;
    }
    Log(1, "NetConf: Receiver ready");
    receiverSettled.Set();
    while (started && running) {
        const auto wait = receiveSocket.WaitReadable(-1, waker.Fd());
        if (wait == platform::Socket::WaitResult::Woken) {
            break;
        }
        if (wait == platform::Socket::WaitResult::Failed) {
            Log(1, "NetConf: Recv error: %d", errno);
            break;
        }
        const long received = receiveSocket.ReceiveDatagram(receiveBuffer, sizeof receiveBuffer);
        if (received < 0) {
            Log(1, "NetConf: Recv error: %d", receiveSocket.LastError());
            continue;
        }
        // An empty datagram is just too short; it does not end discovery.
        if (received > 2 && receiveBuffer[0] == ChannelMessage::kStart &&
            receiveBuffer[received - 1] == ChannelMessage::kEnd) {
            try {
                HandleDatagram(std::string(receiveBuffer + 1, static_cast<size_t>(received - 2)));
            } catch (const std::exception& e) {
                // One datagram that cannot be handled does not end discovery.
                Log(1, "NetConf: Datagram dropped: %s", e.what());
            }
        }
    }
    Log(1, "NetConf: Receiver thread stopping: %08X", id);
}

void NetConf::HandleDatagram(const std::string& content) {
    // The fields between the datagram's start and end bytes, empty ones included.
    const std::vector<std::string> fields = text::Split(content, ChannelMessage::kSeparator);
    if (fields.size() < 2) {
        return;
    }
    // Exactly two digits, 01 to 99: "1x", "001" or "4294967297" name no sequence.
    if (fields[1].size() != 2 || !text::IsDigits(fields[1]) || fields[1] == "00") {
        return;
    }
    const int seq = text::ToInt(fields[1]);
    // Other workstations' announcements concern a server only.
    if (fields[0] != "Server" || fields.size() < 4) {
        return;
    }
    NetStatus status(fields[2]);
    status.seq = seq;
    const std::string& body = fields[3];
    std::lock_guard<std::mutex> lock(discoveryLock);
    // A server without configuration leaves the stored one (and the file) as it is.
    if (!body.empty() && body != configText) {
        Log(2, configText.empty() ? "New config: %s" : "Update config: %s", body.c_str());
        configText = body;
        WriteConfigFile(body);
        OnConfig(body);
    }
    if (servers.size() == 1) {
        if (!servers.front().SameIdentity(status)) {
            Log(2, "Server changed: %s", status.ToJsonText().c_str());
            servers.front() = status;
        }
        servers.front().seq = seq;
    } else {
        servers.clear();
        servers.push_back(status);
        Log(2, "Server found: %s", status.ToJsonText().c_str());
        OnServerStatus(fields[2]);
    }
}
