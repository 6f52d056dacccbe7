#include "platform/LocalTime.h"

#include <cstdio>

namespace platform {

std::string LocalTime::DateText() const {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", day, month, year);
    return buffer;
}

}  // namespace platform
