#pragma once

#include <string>

namespace kadrill::platform {

/// A local time of day on the 24-hour clock, to the second.
struct TimeOfDay {
    int hour = 0;   ///< 0..23
    int minute = 0; ///< 0..59
    int second = 0; ///< 0..59

    /// Seconds since midnight.
    constexpr int secondOfDay() const { return (hour * 60 + minute) * 60 + second; }
    /// The time of day a number of seconds since midnight stands for (taken modulo one day).
    static TimeOfDay ofSecond(long long secondOfDay);
    /// The time of day a number of milliseconds since midnight stands for (modulo one day).
    static TimeOfDay ofMs(long long msSinceMidnight);

    friend constexpr bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

/// The time as time text ("9:05:03", "21:05:03"), independent of the locale: the stored
/// and shown texts of the program all have this exact form.
std::string formatTimeText(const TimeOfDay& time);

} // namespace kadrill::platform
