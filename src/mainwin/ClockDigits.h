#pragma once

#include "watch/SevenSegment.h"

#include <string_view>

namespace kadrill::mainwin {

enum class Meridiem { AM, PM };

/// The six digit codes of a time text in the 24-hour look: a 7-character text ("9:05:03")
/// has a blank hour tens. A character that is not a digit counts as 0.
watch::DigitCodes DigitsOfTimeText(std::string_view timeText);

/// Turns 24-hour codes of timeText into the 12-hour look in place (hour 0 shows 12,
/// 13..23 show 1..11) and says which mark is lit.
Meridiem ApplyTwelveHour(std::string_view timeText, watch::DigitCodes& codes);

} // namespace kadrill::mainwin
