#pragma once

#include "WatchControls.h"
#include "state/WatchState.h"

// The routines behind the watch buttons. The buttons of both watch windows call the
// same routine, and every routine keeps the buttons of both windows alike, main window
// first. None of them lets other handlers run before it returns.
namespace kadrill::watch {

/// Switches between clock mode (MainTimer runs) and stopwatch mode (CountTimer runs).
void PressMode(state::WatchState& state, const WatchControls& controls);
/// Toggles the 12-hour option.
void PressDisplaySwitch(state::WatchState& state, const WatchControls& controls);
/// Starts the stopwatch.
void PressStart(state::WatchState& state, const WatchControls& controls);
/// Stops the stopwatch, adding the run to the accumulated time and releasing a lap hold.
void PressStop(state::WatchState& state, const WatchControls& controls);
/// Stops a running alarm action, or else arms or disarms the alarm.
void PressAlarmOn(state::WatchState& state, const WatchControls& controls);
/// Clears a stopped stopwatch.
void PressReset(state::WatchState& state, const WatchControls& controls);
/// Freezes the stopwatch display at the moment of the press, or lets it run again.
void PressLap(state::WatchState& state, const WatchControls& controls);

/// Connects the seven watch buttons of a face to the routines above. The controls are
/// kept by reference, so a face added to them later is reached too.
void connectWatchButtons(WatchFace& face, state::WatchState& state, const WatchControls& controls);

} // namespace kadrill::watch
