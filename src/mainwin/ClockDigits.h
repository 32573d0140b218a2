#pragma once

#include "platform/TimeOfDay.h"
#include "watch/SevenSegment.h"

namespace kadrill::mainwin {

enum class Meridiem { AM, PM };

/// The six digit codes of a time in the 24-hour look; an hour below 10 has a blank tens.
watch::DigitCodes digitsOfTime(const platform::TimeOfDay& time);

/// Turns the 24-hour codes of time into the 12-hour look in place (hour 0 shows 12,
/// 13..23 show 1..11) and says which mark is lit.
Meridiem applyTwelveHour(const platform::TimeOfDay& time, watch::DigitCodes& codes);

} // namespace kadrill::mainwin
