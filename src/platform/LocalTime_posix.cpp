#include "platform/LocalTime.h"

namespace platform {

std::time_t LocalTime::ToEpoch() const {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

LocalTime LocalTime::FromEpoch(std::time_t seconds, int millisecond) {
    std::tm tm{};
    localtime_r(&seconds, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = millisecond;
    t.weekday = tm.tm_wday;
    return t;
}

long UtcOffsetSeconds(std::time_t moment) {
    std::tm tm{};
    localtime_r(&moment, &tm);
    return tm.tm_gmtoff;
}

}  // namespace platform
