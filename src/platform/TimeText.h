#pragma once

#include <string>

namespace kadrill::platform {

/// Formats a time of day as time text ("9:05:03", "21:05:03"), independent of the
/// locale, since every reader of the text relies on this exact form.
std::string formatTimeText(int hour, int minute, int second);

/// The time text of a number of milliseconds since midnight (taken modulo one day).
std::string timeTextOfDayMs(long long msSinceMidnight);

} // namespace kadrill::platform
