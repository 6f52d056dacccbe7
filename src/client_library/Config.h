#pragma once

#include <cstdint>
#include <string>

#include "shared/JsonHelper.h"

// The library's settings as kept in LGXConfig.json and as a server sends them (reader only).
class Config : public JsonHelper {
public:
    std::string serveraddress;  // dotted IPv4 address of the check-database server
    int32_t keepdays = 400;     // kept; the library makes no use of it

    Config() = default;
    explicit Config(const std::string& json);
};
