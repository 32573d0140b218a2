#pragma once

#include "platform/Color.h"

#include <array>
#include <cstdint>
#include <string>

namespace kadrill::watch {

/// Code of the digit with every segment unlit.
inline constexpr std::int16_t BlankDigit = 10;

/// The one record of state that the windows, timers and dialogs share. It lives for
/// the whole process and is never written to disk. The watch mode and the display
/// options are not here: they are held by the main window's timers and menu check marks.
struct WatchState {
    // Display
    /// The next clock tick redraws although the time text has not changed.
    bool RedrawRequested = false;
    /// Time text of the second the last tick handled; emptying it makes the next tick
    /// treat the current second as new.
    std::string LastTimeText;
    /// Seven characters "0"/"1" per digit code 0..9 and BlankDigit; character i+1 is segment i.
    std::array<std::string, 11> SegmentPatterns{};
    /// Colour of an unlit (0) and a lit (1) segment or mark.
    std::array<platform::Color, 2> SegmentColors{};

    // Stopwatch, signed 32-bit milliseconds of the millisecond counter
    bool StopwatchRunning = false;
    bool LapHeld = false;
    std::int32_t StopwatchStartTick = 0;
    std::int32_t StopwatchAccumulated = 0;
    std::int32_t LapTime = 0;

    // Alarm settings and run state
    bool AlarmEnabled = false;
    /// Second of the day at which the alarm fires.
    std::int32_t AlarmTime = 0;
    /// 0 plays a sound file, 1 starts a program and sends keys to it.
    std::int16_t AlarmActionType = 0;
    bool AlarmInProgress = false;
    bool AlarmStopRequested = false;

    /// The active watch window has been minimised and hidden; only the tray icon remains.
    bool HiddenInTray = false;
};

} // namespace kadrill::watch
