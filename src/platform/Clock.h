#pragma once

#include <cstdint>
#include <string>

namespace kadrill::platform {

/// The system clock as the program reads it.
class Clock {
public:
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    virtual ~Clock() = default;

    /// The local time of day as time text: "H:MM:SS" on the 24-hour clock, no leading
    /// zero on the hour (7 characters before 10 o'clock, 8 from then on).
    virtual std::string timeText() const = 0;

    /// A millisecond counter that never jumps with the wall clock. It wraps around as
    /// a signed 32-bit number; only differences of its values are meaningful.
    virtual std::int32_t tickCount() const = 0;
};

} // namespace kadrill::platform
