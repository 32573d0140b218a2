#include "TimeOfDay.h"

namespace kadrill::platform {

TimeOfDay TimeOfDay::ofSecond(long long secondOfDay) {
    constexpr long long kDay = 24LL * 60 * 60;
    const long long s = (secondOfDay % kDay + kDay) % kDay;
    return {static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60), static_cast<int>(s % 60)};
}

TimeOfDay TimeOfDay::ofMs(long long msSinceMidnight) {
    // Floored, so that the last millisecond before midnight is still the day's last second.
    constexpr long long kDayMs = 24LL * 60 * 60 * 1000;
    return ofSecond((msSinceMidnight % kDayMs + kDayMs) % kDayMs / 1000);
}

std::string formatTimeText(const TimeOfDay& time) {
    std::string t;
    t.reserve(8);
    if (time.hour >= 10) {
        t += static_cast<char>('0' + time.hour / 10);
    }
    t += static_cast<char>('0' + time.hour % 10);
    t += ':';
    t += static_cast<char>('0' + time.minute / 10);
    t += static_cast<char>('0' + time.minute % 10);
    t += ':';
    t += static_cast<char>('0' + time.second / 10);
    t += static_cast<char>('0' + time.second % 10);
    return t;
}

} // namespace kadrill::platform
