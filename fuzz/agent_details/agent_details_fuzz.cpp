// AgentDetails.txt as an installer may write it.
#include <map>

#include "FuzzSupport.h"
#include "config/AgentDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::map<int, std::string> requisites;
    AgentDetails::Parse(fuzz::Text(data, size), requisites);
    fuzz::Require(requisites.count(0) == 0, "code 0 names no agent");
    for (const auto& entry : requisites) {
        fuzz::Require(entry.second.find('\n') == std::string::npos, "requisites stay within their line");
    }
    return 0;
}
