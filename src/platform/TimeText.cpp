#include "TimeText.h"

namespace kadrill::platform {

std::string formatTimeText(int hour, int minute, int second) {
    std::string t;
    t.reserve(8);
    if (hour >= 10) {
        t += static_cast<char>('0' + hour / 10);
    }
    t += static_cast<char>('0' + hour % 10);
    t += ':';
    t += static_cast<char>('0' + minute / 10);
    t += static_cast<char>('0' + minute % 10);
    t += ':';
    t += static_cast<char>('0' + second / 10);
    t += static_cast<char>('0' + second % 10);
    return t;
}

std::string timeTextOfDayMs(long long msSinceMidnight) {
    constexpr long long kDay = 24LL * 60 * 60 * 1000;
    long long ms = msSinceMidnight % kDay;
    if (ms < 0) {
        ms += kDay;
    }
    const long long s = ms / 1000;
    return formatTimeText(static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
}

} // namespace kadrill::platform
