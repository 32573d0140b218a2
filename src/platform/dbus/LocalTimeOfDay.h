#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace kadrill::platform::dbus {

/// Microseconds since the epoch (UTC) of the given local time of day on the local date
/// that holds at `now`. A time that the change of summer time skips or repeats is resolved
/// as mktime does with the summer-time flag left open. Empty for an hour outside 0..23, a
/// minute or second outside 0..59, or a time the C library cannot represent.
std::optional<std::int64_t> usecForLocalTimeOfDay(std::time_t now, int hour, int minute, int second);

} // namespace kadrill::platform::dbus
