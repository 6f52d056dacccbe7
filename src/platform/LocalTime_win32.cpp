#include "platform/LocalTime.h"

namespace platform {

std::tm LocalCalendar(std::time_t moment) {
    std::tm tm{};
    ::localtime_s(&tm, &moment);
    return tm;
}

long UtcOffsetSeconds(std::time_t moment) {
    // The local calendar time read back as if it were UTC is ahead of the moment by the offset.
    std::tm tm = LocalCalendar(moment);
    return static_cast<long>(::_mkgmtime(&tm) - moment);
}

}  // namespace platform
