#pragma once

#include <cstdint>
#include <string>

// Host, port and mode of one socket channel, filled from a printer's configuration entry.
struct ConnectionSettings {
    std::string name;
    std::string host;
    std::string extra;
    std::string extra2;
    int32_t port = 0;
    int32_t options[8] = {};
    int32_t mode = 1;  // 1 client (connect), 0 server (listen and accept)
    std::string text;
};
