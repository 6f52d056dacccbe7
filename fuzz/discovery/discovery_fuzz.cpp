// Discovery datagrams as any host of the LAN may send them to the client library.
#include <unistd.h>

#include <cstdlib>

#include "FuzzSupport.h"
#include "client_library/ChannelMessage.h"
#include "client_library/NetConf.h"

namespace {

// The discovery object with its datagram handling open to the fuzzer.
class Discovery : public NetConf {
public:
    using NetConf::NetConf;
    using NetConf::HandleDatagram;
    int found = 0;

protected:
    void OnServerStatus(const std::string& status) override { ++found; }
};

// The sequence field of a datagram's content, cut the simple way.
std::string SequenceField(const std::string& content) {
    const size_t first = content.find(ChannelMessage::kSeparator);
    if (first == std::string::npos) {
        return "";
    }
    return content.substr(first + 1, content.find(ChannelMessage::kSeparator, first + 1) - first - 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The handler rewrites LGXConfig.json in the current folder.
    if (chdir(fuzz::ScratchFolder("discovery").c_str()) != 0) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As the receiver takes a datagram: more than two bytes, start and end byte in place.
    if (size <= 2 || size > NetConf::kReceiveSize || data[0] != ChannelMessage::kStart ||
        data[size - 1] != ChannelMessage::kEnd) {
        return 0;
    }
    static ClientLog log;
    Discovery discovery(log, ClientTiming());
    const std::string content = fuzz::Text(data + 1, size - 2);
    discovery.HandleDatagram(content);
    fuzz::Require(discovery.ServerCount() <= 1, "a workstation keeps at most one server");
    if (discovery.found > 0) {
        const std::string seq = SequenceField(content);
        const bool digits = seq.size() == 2 && seq[0] >= '0' && seq[0] <= '9' && seq[1] >= '0' && seq[1] <= '9';
        fuzz::Require(digits && seq != "00", "only a sequence of two digits 01..99 is taken");
    }
    return 0;
}
