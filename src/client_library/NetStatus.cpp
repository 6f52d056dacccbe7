#include "client_library/NetStatus.h"

NetStatus::NetStatus(const std::string& json) {
    ReadMembers(json, [this](const std::string& key, const std::string& value) {
        if (key == "name") {
            name = JsonUnescape(value);
        } else if (key == "address") {
            address = JsonUnescape(value);
        } else if (key == "osversion") {
            osversion = JsonUnescape(value);
        }
    });
}

char* NetStatus::ToJson(char* buffer, size_t size) {
    BeginObject(buffer, size);
    WriteText("Name", name);
    WriteText("Address", address);
    WriteText("OSVersion", osversion);
    EndObject();
    return buffer;
}

std::string NetStatus::ToJsonText() {
    char buffer[kJsonSize];
    return ToJson(buffer, sizeof buffer);
}
