#pragma once

#include "WatchControls.h"
#include "platform/Event.h"
#include "platform/TimeOfDay.h"
#include "state/WatchState.h"

#include <cstdint>
#include <string>

namespace kadrill::watch {

/// The largest elapsed time the stopwatch keeps, in milliseconds: 24 days 20:31:23.647.
/// Past it the reading holds there instead of wrapping into nonsense.
inline constexpr std::int32_t kStopwatchLimit = INT32_MAX;

/// Adds milliseconds to an elapsed time, holding at kStopwatchLimit.
std::int32_t addElapsed(std::int32_t elapsed, std::uint32_t milliseconds);

/// The elapsed time of the current run plus the completed ones, from the counter reading now.
std::int32_t runningElapsed(const state::WatchFields& fields, std::uint32_t now);

/// What the stopwatch shows: the lap time while held, else the elapsed time.
std::int32_t shownElapsed(const state::WatchFields& fields, std::uint32_t now);

/// Minutes within the hour, seconds and hundredths of an elapsed time, as six digit codes.
DigitCodes stopwatchDigits(std::int32_t elapsed);

/// One tick of CountTimer: the alarm check when a new second of the time of day has
/// begun (this is the only alarm check in stopwatch mode), then the stopwatch reading.
/// `timeShown` is raised with the new second's time of day for the alarm check.
void CountTimerTick(state::WatchState& state, const WatchControls& controls,
                    const platform::Event<const platform::TimeOfDay&>& timeShown);

} // namespace kadrill::watch
