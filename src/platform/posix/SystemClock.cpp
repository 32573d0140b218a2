#include "SystemClock.h"

#include "platform/TimeText.h"

#include <ctime>

namespace kadrill::platform::posix {

std::string SystemClock::timeText() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return formatTimeText(local.tm_hour, local.tm_min, local.tm_sec);
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
