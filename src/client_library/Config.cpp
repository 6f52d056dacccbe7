#include "client_library/Config.h"

Config::Config(const std::string& json) {
    ReadMembers(json, [this](const std::string& key, const std::string& value) {
        if (key == "serveraddress") {
            serveraddress = JsonUnescape(value);
        } else if (key == "keepdays") {
            keepdays = ToInt32(value);
        }
    });
}
