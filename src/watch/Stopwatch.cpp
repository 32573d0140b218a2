#include "Stopwatch.h"

#include "FaceReading.h"
#include "SevenSegment.h"
#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/Window.h"

#include <utility>

namespace kadrill::watch {

std::int32_t addElapsed(std::int32_t elapsed, std::uint32_t milliseconds) {
    const std::int64_t sum = std::int64_t{elapsed} + milliseconds;
    return sum > kStopwatchLimit ? kStopwatchLimit : static_cast<std::int32_t>(sum);
}

std::int32_t runningElapsed(const state::WatchFields& fields, std::uint32_t now) {
    return addElapsed(fields.StopwatchAccumulated, platform::ticksBetween(fields.StopwatchStartTick, now));
}

std::int32_t shownElapsed(const state::WatchFields& fields, std::uint32_t now) {
    if (!fields.StopwatchRunning) {
        return fields.StopwatchAccumulated;
    }
    return fields.LapHeld ? fields.LapTime : runningElapsed(fields, now);
}

DigitCodes stopwatchDigits(std::int32_t elapsed) {
    const std::int32_t e = elapsed < 0 ? 0 : elapsed;
    const std::int32_t s = e / 1000;
    const std::int32_t minutes = s % 3600 / 60;
    const std::int32_t seconds = s % 60;
    const std::int32_t hundredths = e % 1000 / 10;
    auto code = [](std::int32_t v) { return static_cast<std::int16_t>(v); };
    return {code(minutes / 10), code(minutes % 10),    code(seconds / 10),
            code(seconds % 10), code(hundredths / 10), code(hundredths % 10)};
}

void CountTimerTick(state::WatchState& state, const WatchControls& controls,
                    const platform::Event<const platform::TimeOfDay&>& timeShown) {
    state::WatchFields& w = state.watch;
    const platform::TimeOfDay now = controls.clock->timeOfDay();
    const std::string t = platform::formatTimeText(now);
    if (t != w.LastTimeText) {
        state::secondHandled(w, t);
        if (timeShown.hasHandler()) {
            timeShown.raise(now);
            // The check may have waited while the user went back to the clock; its
            // digits are already on the face and must stay.
            if (!controls.CountTimer->isEnabled()) {
                return;
            }
        }
    }
    const std::int32_t elapsed = shownElapsed(w, controls.clock->tickCount());
    ShowDigits(w, controls, stopwatchDigits(elapsed));
    if (controls.windows != nullptr && controls.windows->isAccessibilityActive()) {
        describeWatch(controls, state, stopwatchReading(elapsed, w.StopwatchRunning, w.LapHeld));
    }
}

} // namespace kadrill::watch
