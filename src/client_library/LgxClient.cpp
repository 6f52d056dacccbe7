#include "client_library/LgxClient.h"

#include <cstring>
#include <optional>
#include <stdexcept>

#include "client_library/Config.h"
#include "client_library/GetRequest.h"
#include "platform/LocalTime.h"
#include "platform/Socket.h"
#include "platform/Text.h"

namespace {

constexpr const char* kLogName = "LGXClient.log";
constexpr int64_t kLogMaxSize = 10240000;
constexpr int kLogGenerations = 10;
constexpr int kLogOptions = ClientLog::kMilliseconds | ClientLog::kClosingThread;
constexpr int kLogLevel = 4;

// The parts of text cut at separator, as numbers; a missing part counts as 0.
void SplitNumbers(const std::string& text, char separator, int* parts, int count) {
    const std::vector<std::string> pieces = text::Split(text, separator);
    for (int i = 0; i < count; ++i) {
        parts[i] = i < static_cast<int>(pieces.size()) ? text::ToInt(pieces[i]) : 0;
    }
}

}  // namespace

LgxClient::LgxClient(ClientLog& clientLog, const ClientTiming& clientTiming, int discoveryPort, int port)
    : log(clientLog),
      timing(clientTiming),
      serverPort(port),
      discovery(clientLog, clientTiming, discoveryPort),
      channel(clientLog, clientTiming) {}

LgxClient::~LgxClient() {
    channel.Stop();
    discovery.StopDiscovery();
    log.Close();
}

std::string LgxClient::BuildLabel() {
    // __DATE__ is "Mmm dd yyyy".
    static const char* const months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char* date = __DATE__;
    const char* found = std::strstr(months, std::string(date, 3).c_str());
    const int month = found ? static_cast<int>((found - months) / 3) + 1 : 0;
    return text::Format("Build: %02d-%02d-%s", text::ToInt(std::string(date + 4, 2)), month, date + 7);
}

std::time_t LgxClient::ParseOpenTime(const char* openTime) {
    if (!openTime || std::strlen(openTime) != 17) {
        return 0;
    }
    const std::string text = openTime;
    const size_t blank = text.find(' ');
    const std::string datePart = text.substr(0, blank);
    const std::string timePart = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    int date[3];  // month, day, year of the 2000s
    int clock[3];
    SplitNumbers(datePart, '/', date, 3);
    SplitNumbers(timePart, ':', clock, 3);
    platform::LocalTime t;
    t.year = 2000 + date[2];
    t.month = date[0];
    t.day = date[1];
    t.hour = clock[0];
    t.minute = clock[1];
    t.second = clock[2];
    if (t.year < 1900 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 || t.hour > 23 ||
        t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59) {
        throw std::out_of_range("GetCheck: opening time out of range: " + text);
    }
    return t.ToEpoch();
}

void LgxClient::Initialize() {
    log.Open(kLogName, kLogMaxSize, kLogGenerations, kLogOptions, kLogLevel);
    log.LogLine(1, "LGXClient initialization. %s", BuildLabel().c_str());
    // Windows Sockets 2.2 (nothing to start on Linux); a failure is only logged: the channel then
    // cannot connect and every call ends with code 1.
    if (int error = platform::Socket::StartUp()) {
        log.LogLine(1, "WSAStartup failed with error: %d", error);
    }
    discovery.StartDiscovery();
    log.LogLine(1, "NetConf: This Role: %s", discovery.IsServer() ? "Server" : "Workstation");
    log.LogLine(1, "NetConf: This Host: %s", discovery.SelfName().c_str());
    log.LogLine(1, "NetConf: This Address: %s", discovery.SelfAddress().c_str());
    log.LogLine(1, "NetConf: IP Port: %d", serverPort);
    log.LogLine(1, "NetConf: Peers count: %d", static_cast<int>(discovery.ServerCount()));
}

GetCheckResult* LgxClient::GetCheck(int rvc, int cknum, const char* openTime) {
    if (log.Level() == 0) {
        Initialize();
    }
    GetRequest request;
    request.rvc = rvc;
    request.cknum = cknum;
    request.open_time = ParseOpenTime(openTime);
    char body[kRequestSize];
    ChannelMessage message;
    message.command = "Get";
    message.body = request.ToJson(body, sizeof body);

    result.code = 0;
    result.replyError.clear();
    result.jsonText.clear();
    result.check.Clear();

    if (!channel.IsRunning()) {
        StartChannel();
    }
    if (channel.IsConnected()) {
        Exchange(message);
    } else {
        log.LogLine(1, "==> %s", message.Format().c_str());
        result.code = 1;
        result.replyError = "Ledgix server is not available";
        log.LogLine(1, "<== %s", result.replyError.c_str());
    }
    return &result;
}

void LgxClient::StartChannel() {
    std::string address = discovery.FirstServerAddress();
    if (!address.empty()) {
        // An announcement may list several addresses; the channel takes one dotted address.
        address = address.substr(0, address.find(';'));
        log.LogLine(1, "Server is detected on the network: %s", address.c_str());
    } else {
        log.LogLine(1, "Server not found on the network!");
        const std::string config = discovery.ConfigText();
        if (!config.empty()) {
            address = Config(config).serveraddress;
            log.LogLine(1, "Server address from the LGXConfig.json: %s", address.c_str());
        }
    }
    if (address.empty()) {
        return;
    }
    channel.SetHost(address);
    channel.SetPort(serverPort);
    channel.logPrefix = "IP Channel: ";
    channel.ResetReply();
    channel.Start();
    channel.WaitConnected(timing.connectWaitMs);
}

void LgxClient::Exchange(ChannelMessage& request) {
    std::optional<ChannelMessage> reply;
    {
        std::lock_guard<std::mutex> lock(channel.sendLock);
        channel.ResetReply();
        if (channel.Send(request)) {
            reply = channel.WaitReply();
            if (!reply) {
                log.LogLine(2, "timeout...");
            }
        }
    }
    if (!reply) {
        result.code = 2;
        result.replyError = "No reply from Ledgix server";
    } else if (reply->body.empty() || reply->body[0] != '{') {
        result.code = 3;
        result.replyError = reply->body;
    } else {
        result.jsonText = reply->body;
        result.check.FromJson(reply->body);
        if (log.Level() >= 6) {
            char dump[kDumpSize];
            log.LogLine(6, "check: %s", result.check.ToJson(dump, sizeof dump));
        }
    }
}
