#include "LocalTimeOfDay.h"

#include <cerrno>
#include <limits>

namespace kadrill::platform::dbus {

std::optional<std::int64_t> usecForLocalTimeOfDay(std::time_t now, int hour, int minute, int second) {
    // mktime would carry an hour of 24 or a minute of 60 into the next day or hour and
    // quietly set a different time than the one asked for.
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    // localtime_r need not look at TZ again; tzset makes a changed zone count.
    tzset();
    std::tm day{};
    if (localtime_r(&now, &day) == nullptr) {
        return std::nullopt;
    }
    day.tm_hour = hour;
    day.tm_min = minute;
    day.tm_sec = second;
    // On the day summer time starts or ends, the flag that held at `now` may be wrong for
    // the hour asked for; left open, mktime picks the one in force at that hour.
    day.tm_isdst = -1;
    errno = 0;
    const std::time_t at = std::mktime(&day);
    if (at == static_cast<std::time_t>(-1) && errno != 0) {
        return std::nullopt;
    }
    constexpr std::int64_t kUsecPerSecond = 1'000'000;
    if (at > std::numeric_limits<std::int64_t>::max() / kUsecPerSecond ||
        at < std::numeric_limits<std::int64_t>::min() / kUsecPerSecond) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(at) * kUsecPerSecond;
}

} // namespace kadrill::platform::dbus
