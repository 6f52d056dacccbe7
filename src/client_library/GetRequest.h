#pragma once

#include <cstdint>
#include <ctime>

#include "shared/JsonHelper.h"

// The request for one POS check, the body of a "Get" frame.
class GetRequest : public JsonHelper {
public:
    int32_t rvc = 0;
    int32_t cknum = 0;
    std::time_t open_time = 0;  // 0: no time given

    // {"rvc":5,"cknum":1234,"open_time":"2019-05-30T12:34:56"}; open_time as local time and only
    // when it is given.
    char* ToJson(char* buffer, size_t size) override;
};
