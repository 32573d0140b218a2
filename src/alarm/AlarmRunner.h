#pragma once

#include "platform/KeyStroke.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "state/WatchState.h"
#include "platform/TimeOfDay.h"
#include "watch/WatchControls.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kadrill::alarm {

/// Fires the alarm at its second and runs its action: a sound, or a program that is
/// started and given the stored keys. It belongs to the main window, which calls CheckAlarm
/// once per displayed second and hands it the sound's completion.
class AlarmRunner {
public:
    AlarmRunner(platform::Platform& platform, state::WatchState& state, const watch::WatchControls& controls);
    AlarmRunner(const AlarmRunner&) = delete;
    AlarmRunner& operator=(const AlarmRunner&) = delete;

    /// Fires the alarm when its second has come with the time text `timeText`, or came in
    /// the few seconds a late tick skipped.
    void CheckAlarm(const platform::TimeOfDay& now);

    /// The sound of a sound action has played to its end.
    void SoundCompleted();

    /// Whether `path` names a file the alarm can use: existing, regular and readable.
    bool FileExists(const std::string& path) const;

    /// How long the program action waits for the started program's window, milliseconds.
    static constexpr int kFocusWaitMs = 30'000;
    /// How long it sleeps between looks for that window, milliseconds.
    static constexpr int kFocusPollMs = 50;
    /// The widest gap between two checked seconds that still counts every second between.
    static constexpr int kCatchUpSeconds = 5;

    /// How long a missed alarm keeps its notice from being given again, milliseconds: a
    /// gap is told within half a day of the second it passed over, so notices further
    /// apart are of different days.
    static constexpr std::uint32_t kMissedNoticeSpanMs = 12U * 60 * 60 * 1000;

private:
    enum class Failure { Other, PlaybackFailed, NoSoundDevice, CannotRun };
    enum class KeysOutcome { Done, Failed };

    void fire();
    void soundAction(std::uint64_t run);
    void programAction(std::uint64_t run);
    KeysOutcome sendKeys(std::uint64_t run, std::int64_t pid, const std::vector<platform::KeyStroke>& keys);
    bool stopped(std::uint64_t run) const;
    void endAction(std::uint64_t run);
    void errorPath(std::uint64_t run, Failure failure);
    void restoreMarks();
    void tell(const std::string& text, platform::MessageIcon icon);
    void tellMissed(int second);

    platform::Platform& platform_;
    state::WatchState& state_;
    const watch::WatchControls& controls_;
    /// The second of day of the last check, to catch up seconds a late tick skipped.
    std::optional<int> lastChecked_;
    /// A sound action is playing; its completion ends it.
    bool soundPlaying_ = false;
    /// The missed alarm last told of, and when: each missed day is told once.
    struct MissedNotice {
        int alarmTime;
        std::uint32_t tick;
    };
    std::optional<MissedNotice> missedTold_;
};

} // namespace kadrill::alarm
