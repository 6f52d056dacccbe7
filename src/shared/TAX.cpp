#include "shared/TAX.h"

void TAX::FromJson(const std::string& json) {
    ReadMembers(json, [this](const std::string& key, const std::string& value) {
        if (key == "type") {
            type = FirstChar(value);
        } else if (key == "taxnum") {
            taxnum = ToInt32(value);
        } else if (key == "name") {
            name = JsonUnescape(value);
        } else if (key == "rate") {
            rate = ToDouble(value);
        } else if (key == "ttl") {
            ttl = JsonUnescape(value);
        } else if (key == "txbl") {
            txbl = JsonUnescape(value);
        }
    });
}

char* TAX::ToJson(char* buffer, size_t size) {
    BeginObject(buffer, size);
    WriteCharText("type", type);
    WriteInt("taxnum", taxnum);
    WriteText("name", name);
    WriteDouble("rate", rate);
    WriteText("ttl", ttl);
    WriteText("txbl", txbl);
    EndObject();
    return buffer;
}
