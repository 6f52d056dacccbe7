#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace platform {

// A broken-down local date and time (month 1-12, day 1-31).
struct LocalTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 4;  // 0 = Sunday

    static LocalTime Of(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
        LocalTime t;
        t.year = year;
        t.month = month;
        t.day = day;
        t.hour = hour;
        t.minute = minute;
        t.second = second;
        return t;
    }
    // Seconds since the epoch of this local time (mktime), milliseconds dropped.
    std::time_t ToEpoch() const;
    static LocalTime FromEpoch(std::time_t seconds, int millisecond = 0);
    // "dd.mm.yyyy"
    std::string DateText() const;
};

// Offset of local time from UTC in seconds at the given moment.
long UtcOffsetSeconds(std::time_t moment);
// The local calendar fields of a moment (the system's thread-safe localtime).
std::tm LocalCalendar(std::time_t moment);

}  // namespace platform
