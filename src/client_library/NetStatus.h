#pragma once

#include <cstdint>
#include <string>

#include "shared/JsonHelper.h"

// The identity of one host on the discovery network.
class NetStatus : public JsonHelper {
public:
    static constexpr size_t kJsonSize = 200;

    std::string name;
    std::string address;    // IPv4 addresses, dotted, joined by ';'
    std::string osversion;  // "major.minor.build"
    int32_t seq = 0;        // last datagram sequence seen from the host

    NetStatus() = default;
    explicit NetStatus(const std::string& json);

    bool SameIdentity(const NetStatus& other) const {
        return name == other.name && address == other.address && osversion == other.osversion;
    }
    // {"Name":..,"Address":..,"OSVersion":..}; read back case-insensitively.
    char* ToJson(char* buffer, size_t size) override;
    std::string ToJsonText();
};
