#include "SystemClock.h"

#include <ctime>

namespace kadrill::platform::posix {

TimeOfDay SystemClock::timeOfDay() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    // A leap second (tm_sec 60) shows as the minute's last one.
    return {local.tm_hour, local.tm_min, local.tm_sec < 60 ? local.tm_sec : 59};
}

std::uint32_t SystemClock::tickCount() const {
    timespec now{};
    // A stopwatch left running over a suspend must count the time asleep too.
    clock_gettime(CLOCK_BOOTTIME, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000U + static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
    // Wraps like a 32-bit counter: callers only take differences.
    return static_cast<std::uint32_t>(ms);
}

} // namespace kadrill::platform::posix
