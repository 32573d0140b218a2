#pragma once

#include "TimeOfDay.h"

#include <cstdint>

namespace kadrill::platform {

/// The system clock as the program reads it.
class Clock {
public:
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    virtual ~Clock() = default;

    /// The local time of day.
    virtual TimeOfDay timeOfDay() const = 0;

    /// Milliseconds of a counter that never jumps with the wall clock and goes on while
    /// the computer sleeps. It wraps around at 2^32; take differences with ticksBetween.
    virtual std::uint32_t tickCount() const = 0;
};

/// Milliseconds from one counter reading to a later one, right across the wrap point as
/// long as less than 2^32 ms (49.7 days) lie between them.
constexpr std::uint32_t ticksBetween(std::uint32_t earlier, std::uint32_t later) { return later - earlier; }

} // namespace kadrill::platform
