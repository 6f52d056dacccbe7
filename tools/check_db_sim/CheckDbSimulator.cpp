#include "CheckDbSimulator.h"

#include <chrono>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "shared/JsonHelper.h"

namespace {

constexpr char kStart = 0x01;
constexpr char kSeparator = 0x1C;
constexpr char kEnd = 0x04;

bool IsLoopback(uint32_t address) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);  // network order
    return bytes[0] == 127;
}

std::string QuotedMember(const char* key, const std::string& value) {
    return text::Format("\"%s\":\"%s\"", key, JsonHelper::JsonEscape(value).c_str());
}

}  // namespace

CheckDbSimulator::CheckDbSimulator(Options settings) : options(std::move(settings)) {}

CheckDbSimulator::~CheckDbSimulator() { Stop(); }

bool CheckDbSimulator::Start(std::string& error) {
    if (!platform::Socket::ParseAddress(options.bindAddress, bindAddress) || !IsLoopback(bindAddress)) {
        error = "the bind address must be a loopback address: " + options.bindAddress;
        return false;
    }
    if (!platform::Socket::ParseAddress(options.broadcastAddress, broadcastAddress) || !IsLoopback(broadcastAddress)) {
        error = "the broadcast address must be a loopback address: " + options.broadcastAddress;
        return false;
    }
    if (!listener.Create(platform::Socket::Kind::Tcp) || !listener.SetReuseAddress() ||
        !listener.Bind(bindAddress, static_cast<uint16_t>(options.tcpPort)) || !listener.Listen(4)) {
        error = text::Format("cannot listen on %s:%d (error %d)", options.bindAddress.c_str(), options.tcpPort,
                             listener.LastError());
        return false;
    }
    boundTcpPort = listener.LocalPort();
    if (options.udpPort > 0) {
        // Discovery datagrams arrive broadcast, so the socket binds any address of the host.
        if (!udp.Create(platform::Socket::Kind::Udp) || !udp.SetReuseAddress() || !udp.SetBroadcast() ||
            !udp.Bind(0, static_cast<uint16_t>(options.udpPort))) {
            error = text::Format("cannot bind the discovery port %d (error %d)", options.udpPort, udp.LastError());
            return false;
        }
    }
    running = true;
    stopEvent.Reset();
    waker.Clear();
    tcpThread.Start([this] { ServeTcp(); }, "sim-tcp");
    if (udp.IsOpen()) {
        udpThread.Start([this] { ServeUdp(); }, "sim-udp");
    }
    return true;
}

void CheckDbSimulator::Stop() {
    if (!running.exchange(false)) {
        return;
    }
    stopEvent.Set();
    waker.Fire();
    tcpThread.Join();
    udpThread.Join();
    listener.Close();
    udp.Close();
    std::lock_guard<std::mutex> lock(clientLock);
    client.Close();
}

void CheckDbSimulator::AddCheck(const std::string& json) {
    int rvc = 0;
    int cknum = 0;
    JsonHelper::ReadMembers(json, [&](const std::string& key, const std::string& value) {
        if (key == "rvc") {
            rvc = JsonHelper::ToInt32(value);
        } else if (key == "cknum") {
            cknum = JsonHelper::ToInt32(value);
        }
    });
    std::lock_guard<std::mutex> lock(stateLock);
    checks[{rvc, cknum}] = JsonHelper::TrimBlanks(json);
}

bool CheckDbSimulator::LoadChecks(const std::string& path, std::string& error) {
    std::string content;
    if (!platform::ReadFile(path, content)) {
        error = "cannot read " + path;
        return false;
    }
    content = JsonHelper::TrimBlanks(content);
    if (content.size() < 2 || content.front() != '[' || content.back() != ']') {
        error = path + " does not hold a JSON array of checks";
        return false;
    }
    std::vector<std::string> objects;
    JsonHelper::SplitJsonMembers(content.substr(1, content.size() - 2), SIZE_MAX, objects);
    for (const std::string& object : objects) {
        AddCheck(object);
    }
    return true;
}

void CheckDbSimulator::SetReplyMode(ReplyMode replyMode, int delayMs) {
    std::lock_guard<std::mutex> lock(stateLock);
    mode = replyMode;
    lateMs = delayMs;
}

void CheckDbSimulator::SetRawReply(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(stateLock);
    mode = ReplyMode::Raw;
    rawReply = bytes;
}

void CheckDbSimulator::SetConfigText(const std::string& configText) {
    std::lock_guard<std::mutex> lock(stateLock);
    options.configText = configText;
}

void CheckDbSimulator::SetIdentity(const std::string& name, const std::string& address) {
    std::lock_guard<std::mutex> lock(stateLock);
    options.name = name;
    options.address = address;
}

bool CheckDbSimulator::Announce() { return SendDatagram(); }

bool CheckDbSimulator::SendRaw(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(clientLock);
    return client.IsOpen() && client.SendAll(bytes.data(), bytes.size());
}

std::vector<CheckDbSimulator::Frame> CheckDbSimulator::Requests() {
    std::lock_guard<std::mutex> lock(stateLock);
    return requests;
}

std::vector<std::string> CheckDbSimulator::Datagrams() {
    std::lock_guard<std::mutex> lock(stateLock);
    return datagrams;
}

bool CheckDbSimulator::WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool CheckDbSimulator::WaitForRequests(size_t count, int timeoutMs) {
    return WaitFor([&] { return Requests().size() >= count; }, timeoutMs);
}

bool CheckDbSimulator::WaitForKeepAlives(int count, int timeoutMs) {
    return WaitFor([&] { return keepAlives.load() >= count; }, timeoutMs);
}

bool CheckDbSimulator::WaitForConnection(int count, int timeoutMs) {
    return WaitFor([&] { return connections.load() >= count; }, timeoutMs);
}

void CheckDbSimulator::ServeTcp() {
    std::string pending;
    char buffer[4096];
    while (running) {
        bool connected;
        {
            std::lock_guard<std::mutex> lock(clientLock);
            connected = client.IsOpen();
        }
        if (!connected) {
            if (listener.WaitReadable(-1, waker.Fd()) != platform::Socket::WaitResult::Ready) {
                continue;  // woken to stop
            }
            platform::Socket accepted;
            if (listener.Accept(accepted, nullptr, 0)) {
                accepted.SetNoDelay();
                std::lock_guard<std::mutex> lock(clientLock);
                client = std::move(accepted);
                ++connections;
                pending.clear();
            }
            continue;
        }
        // Only this thread closes the client socket, so it may wait on it without the lock.
        if (client.WaitReadable(-1, waker.Fd()) != platform::Socket::WaitResult::Ready) {
            continue;
        }
        const long received = client.Receive(buffer, sizeof buffer);
        if (received <= 0) {
            std::lock_guard<std::mutex> lock(clientLock);
            client.Close();
            continue;
        }
        HandleBytes(pending, buffer, static_cast<size_t>(received));
    }
}

void CheckDbSimulator::HandleBytes(std::string& pending, const char* data, size_t size) {
    pending.append(data, size);
    for (;;) {
        const size_t start = pending.find(kStart);
        if (start == std::string::npos) {
            pending.clear();
            return;
        }
        const size_t end = pending.find(kEnd, start);
        if (end == std::string::npos) {
            pending.erase(0, start);
            return;
        }
        const std::string inner = pending.substr(start + 1, end - start - 1);
        pending.erase(0, end + 1);
        const size_t first = inner.find(kSeparator);
        const size_t second = first == std::string::npos ? first : inner.find(kSeparator, first + 1);
        if (second == std::string::npos) {
            continue;  // not a frame of this protocol
        }
        HandleFrame({inner.substr(0, first), inner.substr(first + 1, second - first - 1), inner.substr(second + 1)});
    }
}

void CheckDbSimulator::HandleFrame(const Frame& frame) {
    if (frame.command.empty()) {
        ++keepAlives;
        return;
    }
    int rvc = 0;
    int cknum = 0;
    JsonHelper::ReadMembers(frame.body, [&](const std::string& key, const std::string& value) {
        if (key == "rvc") {
            rvc = JsonHelper::ToInt32(value);
        } else if (key == "cknum") {
            cknum = JsonHelper::ToInt32(value);
        }
    });
    std::string body;
    ReplyMode replyMode;
    int delayMs;
    {
        std::lock_guard<std::mutex> lock(stateLock);
        requests.push_back(frame);
        auto found = checks.find({rvc, cknum});
        body = found != checks.end() ? found->second : text::Format("Check %d of revenue centre %d not found", cknum, rvc);
        replyMode = mode;
        delayMs = lateMs;
        if (mode == ReplyMode::Raw) {
            body = std::move(rawReply);
            mode = ReplyMode::Normal;
        }
    }
    const int seq = text::ToInt(frame.sequence.substr(0, 2));
    std::string reply;
    switch (replyMode) {
        case ReplyMode::Silent:
            return;
        case ReplyMode::Late:
            if (stopEvent.Wait(delayMs)) {
                return;
            }
            [[fallthrough]];
        case ReplyMode::Normal:
            reply = text::Format("%cGet%c%02d%c", kStart, kSeparator, seq, kSeparator) + body + kEnd;
            break;
        case ReplyMode::StaleSequence:
            // Flag 'A' (odd) with the number of another request: the client must drop it.
            reply = text::Format("%cGet%c%02dA%c", kStart, kSeparator, seq % 99 + 1, kSeparator) + body + kEnd;
            break;
        case ReplyMode::Raw:
            reply = body;
            break;
    }
    std::lock_guard<std::mutex> lock(clientLock);
    if (client.IsOpen()) {
        client.SendAll(reply.data(), reply.size());
    }
}

void CheckDbSimulator::ServeUdp() {
    char buffer[2048];
    while (running) {
        if (udp.WaitReadable(-1, waker.Fd()) != platform::Socket::WaitResult::Ready) {
            continue;
        }
        const long received = udp.ReceiveDatagram(buffer, sizeof buffer);
        if (received < 3 || buffer[0] != kStart || buffer[received - 1] != kEnd) {
            continue;
        }
        const std::string datagram(buffer, static_cast<size_t>(received));
        {
            std::lock_guard<std::mutex> lock(stateLock);
            datagrams.push_back(datagram);
        }
        if (datagram.compare(1, 7, std::string("Client") + kSeparator) == 0) {
            ++clientDatagrams;
            SendDatagram();
        }
    }
}

bool CheckDbSimulator::SendDatagram() {
    if (!udp.IsOpen()) {
        return false;
    }
    std::string datagram;
    {
        std::lock_guard<std::mutex> lock(stateLock);
        udpSeq = udpSeq % 99 + 1;
        const std::string status = text::Format("{%s,%s,%s}", QuotedMember("Name", options.name).c_str(),
                                                QuotedMember("Address", options.address).c_str(),
                                                QuotedMember("OSVersion", options.osVersion).c_str());
        datagram = text::Format("%cServer%c%02d%c", kStart, kSeparator, udpSeq, kSeparator) + status + kSeparator +
                   options.configText + kEnd;
    }
    return udp.SendTo(datagram.data(), datagram.size(), broadcastAddress, static_cast<uint16_t>(options.udpPort));
}
