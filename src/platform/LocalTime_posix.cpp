#include "platform/LocalTime.h"

namespace platform {

std::tm LocalCalendar(std::time_t moment) {
    std::tm tm{};
    localtime_r(&moment, &tm);
    return tm;
}

long UtcOffsetSeconds(std::time_t moment) { return LocalCalendar(moment).tm_gmtoff; }

}  // namespace platform
