#include "Win32Clock.h"

#include <windows.h>

namespace kadrill::platform::win32 {

TimeOfDay Win32Clock::timeOfDay() const {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond};
}

std::uint32_t Win32Clock::tickCount() const {
    // The tick count goes on in sleep and hibernation (the unbiased interrupt time does not),
    // so a stopwatch left running over a suspend counts that time too. Truncated, it wraps
    // like a 32-bit counter; callers only take differences.
    return static_cast<std::uint32_t>(::GetTickCount64());
}

} // namespace kadrill::platform::win32
