#pragma once

#include <ctime>
#include <string>

#include "client_library/ClientLog.h"
#include "client_library/ClientTiming.h"
#include "client_library/CsdChannel.h"
#include "client_library/NetConf.h"
#include "shared/GetCheckResult.h"

// Everything behind the GetCheck export: the discovery, the server channel and the one result
// record. The library holds one instance; it serves one caller thread at a time.
class LgxClient {
public:
    static constexpr int kServerPort = 5196;
    static constexpr size_t kRequestSize = 100;
    static constexpr size_t kDumpSize = 1024;

    explicit LgxClient(ClientLog& log, const ClientTiming& timing = ClientTiming(), int discoveryPort = NetConf::kPort,
                       int serverPort = kServerPort);
    // Stops the channel and the discovery and closes the log.
    ~LgxClient();
    LgxClient(const LgxClient&) = delete;
    LgxClient& operator=(const LgxClient&) = delete;

    // Asks the server for one check; the result stays owned here and is overwritten by the next
    // call. Throws std::out_of_range for an opening time with a part out of range.
    GetCheckResult* GetCheck(int rvc, int cknum, const char* openTime);

    // "MM/DD/YY HH:MM:SS" as local time; 0 (no time) for null or any other length than 17.
    static std::time_t ParseOpenTime(const char* openTime);
    // "Build: dd-mm-yyyy" of this build.
    static std::string BuildLabel();

    CsdChannel& Channel() { return channel; }
    NetConf& Discovery() { return discovery; }

private:
    void Initialize();
    // Takes the server's address from discovery or from the configuration file and starts the
    // channel.
    void StartChannel();
    void Exchange(ChannelMessage& request);

    ClientLog& log;
    ClientTiming timing;
    int serverPort;
    NetConf discovery;
    CsdChannel channel;
    GetCheckResult result;
};
