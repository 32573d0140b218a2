#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kadrill::alarm {

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

} // namespace kadrill::alarm
