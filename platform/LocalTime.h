#pragma once

namespace platform {

struct LocalTime {
    int year;    // four digits
    int month;   // 1-12
    int day;     // 1-31
    int hour;    // 0-23
    int minute;  // 0-59
    int second;  // 0-60
};

LocalTime GetLocalTime();

}  // namespace platform
