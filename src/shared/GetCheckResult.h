#pragma once

#include <cstdint>
#include <string>

#include "shared/CLGXCheck.h"

// What GetCheck of the client library returns: one record owned by the library, overwritten on
// every call and read in place by the service. code comes first (offset 0).
struct GetCheckResult {
    int32_t code = 0;  // 0 check read, 1 server not available, 2 no reply, 3 server's text reply
    std::string replyError;
    std::string jsonText;  // the reply body when it was a JSON object
    CLGXCheck check;
};

// The one export of the client library, looked up by the name "GetCheck". openTime is
// "MM/DD/YY HH:MM:SS" (or null / any other length for no time).
extern "C" {
typedef GetCheckResult* (*GetCheckFunction)(int rvc, int cknum, const char* openTime);
}
