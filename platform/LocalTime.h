#pragma once

#include <string>

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

// A date and a time of day in the user's short formats: on Windows the
// user's own settings; elsewhere those of the calling thread's locale, which
// a thread that shows windows takes from the user's environment
// (UseUserTimeFormats).
std::string FormatDate(int year, int month, int day);
std::string FormatTime(int hour, int minute, int second);

// Makes the calling thread format dates and times as the user's environment
// says, leaving the process's locale as the host set it.
void UseUserTimeFormats();

}  // namespace platform
