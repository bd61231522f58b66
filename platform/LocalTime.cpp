#include "platform/LocalTime.h"

#include <locale.h>

#include <ctime>

namespace platform {

LocalTime GetLocalTime() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

namespace {

std::string Format(const char* format, const std::tm& parts) {
    char text[128];
    const size_t length = std::strftime(text, sizeof text, format, &parts);
    return std::string(text, length);
}

// The process's locale with the user's date and time formats; null when the
// environment names no installed locale.
locale_t MakeUserTimeLocale() {
    const locale_t base = ::duplocale(LC_GLOBAL_LOCALE);
    if (base == nullptr) {
        return nullptr;
    }
    const locale_t user = ::newlocale(LC_TIME_MASK, "", base);
    if (user == nullptr) {
        ::freelocale(base);
    }
    return user;
}

}  // namespace

std::string FormatDate(int year, int month, int day) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    return Format("%x", parts);
}

std::string FormatTime(int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return Format("%X", parts);
}

void UseUserTimeFormats() {
    // Made once and kept for the process: a thread that uses it may run until
    // the process ends.
    static const locale_t user = MakeUserTimeLocale();
    if (user != nullptr) {
        ::uselocale(user);
    }
}

}  // namespace platform
