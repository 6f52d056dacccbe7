#include "platform/LocalTime.h"

#include <cstdio>

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
    const std::tm tm = LocalCalendar(seconds);
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

std::string LocalTime::DateText() const {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", day, month, year);
    return buffer;
}

}  // namespace platform
