#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace kadrill::state {

/// How many keys a sequence holds at most.
inline constexpr std::size_t kMaxKeys = 500;

/// A row of the special-key table: the name the key list shows, and the key code.
struct SpecialKey {
    std::string name;
    std::string code;
};

/// The alarm's settings and run state, shared by the watch, the alarm check and the
/// alarm dialog.
struct AlarmFields {
    bool AlarmEnabled = false;
    /// Second of the day at which the alarm fires.
    std::int32_t AlarmTime = 0;
    /// 0 plays a sound file, 1 starts a program and sends keys to it.
    std::int16_t AlarmActionType = 0;
    std::string AlarmSoundFile;
    std::string AlarmProgramFile;
    /// The key sequence: entries up to the first empty name, names and codes alike.
    std::array<std::string, kMaxKeys> AlarmKeyNames{};
    std::array<std::string, kMaxKeys> AlarmKeyCodes{};

    /// An alarm action runs; no second one starts meanwhile.
    bool AlarmInProgress = false;
    /// The number of the action that runs or ran last; each firing takes the next.
    std::uint64_t AlarmRun = 0;
    /// The user asked to stop: every action up to this number ends (0: none). A number
    /// rather than a flag, so that an action fired while a stopped one winds down cannot
    /// take the stop back.
    std::uint64_t AlarmStopRequested = 0;
    /// The second (time text) in which the user stopped an action: the alarm does not fire
    /// again until that second has passed.
    std::string AlarmStoppedTimeText;

    /// The 409 named keys the alarm dialog offers, built at start-up.
    std::vector<SpecialKey> SpecialKeyTable;
};

// The run state is written by the watch's alarm button, the alarm runner and the main
// window alike; each kind of write is one function here, so no writer can forget half of it.

/// Start-up: no action runs and none has been stopped.
inline void clearAlarmRuns(AlarmFields& a) {
    a.AlarmInProgress = false;
    a.AlarmStopRequested = 0;
}

/// An action starts: it takes the next run number, which it returns.
inline std::uint64_t beginAlarmRun(AlarmFields& a) {
    a.AlarmInProgress = true;
    return ++a.AlarmRun;
}

/// The action that runs has ended by itself (played out, keys sent, failed).
inline void endAlarmRun(AlarmFields& a) { a.AlarmInProgress = false; }

/// The user stopped the action that runs, in the second `timeText`: it and every earlier
/// one end, and the alarm does not fire again within that second.
inline void stopAlarmByUser(AlarmFields& a, const std::string& timeText) {
    a.AlarmStopRequested = a.AlarmRun;
    a.AlarmStoppedTimeText = timeText;
    a.AlarmInProgress = false;
}

/// The program ends: every action, running or yet to come, stops.
inline void stopEveryAlarmRun(AlarmFields& a) { a.AlarmStopRequested = std::numeric_limits<std::uint64_t>::max(); }

/// Whether the action numbered `run` has been told to stop.
inline bool alarmRunStopped(const AlarmFields& a, std::uint64_t run) { return a.AlarmStopRequested >= run; }

/// Whether `timeText` is still the second in which the user stopped an action; once
/// another second has come, that one is forgotten.
inline bool withinStoppedSecond(AlarmFields& a, const std::string& timeText) {
    if (a.AlarmStoppedTimeText.empty()) {
        return false;
    }
    if (a.AlarmStoppedTimeText == timeText) {
        return true;
    }
    a.AlarmStoppedTimeText.clear();
    return false;
}

} // namespace kadrill::state
