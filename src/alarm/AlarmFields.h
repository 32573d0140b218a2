#pragma once

#include <cstdint>

namespace kadrill::alarm {

/// The alarm's settings and run state, shared by the watch, the alarm check and the
/// alarm dialog.
struct AlarmFields {
    bool AlarmEnabled = false;
    /// Second of the day at which the alarm fires.
    std::int32_t AlarmTime = 0;
    /// 0 plays a sound file, 1 starts a program and sends keys to it.
    std::int16_t AlarmActionType = 0;
    /// An alarm action runs; no second one starts meanwhile.
    bool AlarmInProgress = false;
    /// The user asked a running action to stop.
    bool AlarmStopRequested = false;
};

} // namespace kadrill::alarm
