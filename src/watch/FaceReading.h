#pragma once

#include "WatchControls.h"
#include "platform/TimeOfDay.h"
#include "state/WatchState.h"

#include <cstdint>
#include <string>

namespace kadrill::watch {

/// The time as the face shows it, worded as a person reads it aloud: "15時4分5秒", or in
/// the 12-hour look "午後3時4分5秒" (midnight "午前12時0分0秒").
std::string clockReading(const platform::TimeOfDay& time, bool twelveHour);

/// The stopwatch as the face shows it, with its state: stopped or held at a lap it reads
/// to the hundredth; while it runs, to the second, since a listener could follow no more.
std::string stopwatchReading(std::int32_t elapsed, bool running, bool lapHeld);

/// Tells a screen reader what both faces show: the reading as the face's own text, and
/// for each mark whether it is lit (the ♪ also whether the alarm rings). Only worth its
/// work while an assistive technology listens.
void describeWatch(const WatchControls& controls, const state::WatchState& state, const std::string& reading);

} // namespace kadrill::watch
