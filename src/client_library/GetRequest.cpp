#include "client_library/GetRequest.h"

#include <cstdio>

#include "platform/LocalTime.h"

char* GetRequest::ToJson(char* buffer, size_t size) {
    BeginObject(buffer, size);
    WriteInt("rvc", rvc);
    WriteInt("cknum", cknum);
    if (open_time != 0) {
        const platform::LocalTime t = platform::LocalTime::FromEpoch(open_time);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second);
        WriteText("open_time", text);
    }
    EndObject();
    return buffer;
}
