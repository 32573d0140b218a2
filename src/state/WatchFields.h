#pragma once

#include "platform/Color.h"

#include <array>
#include <cstdint>
#include <string>

namespace kadrill::state {

/// Code of the digit with every segment unlit.
inline constexpr std::int16_t BlankDigit = 10;

/// The watch engine's share of the program state: display tables, redraw control and
/// the stopwatch counters. The mode and the display options are not here: they are held
/// by the main window's timers and menu check marks.
struct WatchFields {
    /// The next clock tick redraws although the time text has not changed.
    bool RedrawRequested = false;
    /// Time text of the second the last tick handled; emptying it makes the next tick
    /// treat the current second as new.
    std::string LastTimeText;
    /// Seven characters "0"/"1" per digit code 0..9 and BlankDigit; character i+1 is segment i.
    std::array<std::string, 11> SegmentPatterns{};
    /// Colour of an unlit (0) and a lit (1) segment or mark.
    std::array<platform::Color, 2> SegmentColors{};

    bool StopwatchRunning = false;
    bool LapHeld = false;
    /// Millisecond-counter reading at the last Start.
    std::uint32_t StopwatchStartTick = 0;
    /// Milliseconds of all completed runs since the last reset, 0..kStopwatchLimit.
    std::int32_t StopwatchAccumulated = 0;
    /// Elapsed milliseconds captured by the last Lap press.
    std::int32_t LapTime = 0;
};

// Several routines ask the clock tick for work; each kind of request is one function here.

/// The next tick redraws although the second has not changed.
inline void requestRedraw(WatchFields& w) { w.RedrawRequested = true; }

/// The next tick treats the current second as new: it shows it and checks the alarm again.
inline void recheckThisSecond(WatchFields& w) { w.LastTimeText.clear(); }

/// A tick has handled the second `timeText`; the next one waits for another second.
inline void secondHandled(WatchFields& w, const std::string& timeText) { w.LastTimeText = timeText; }

} // namespace kadrill::state
