#include "AlarmRunner.h"

#include "KeyCode.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/FileSystem.h"
#include "platform/KeySender.h"
#include "platform/MediaControl.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramStarter.h"
#include "platform/TimeOfDay.h"
#include "platform/TrayIcon.h"
#include "watch/SevenSegment.h"

#include <variant>

namespace kadrill::alarm {

namespace {

constexpr const char* kTitle = "Kadrill";
constexpr int kDay = 24 * 60 * 60;

constexpr const char* kBusy = "ｱﾗｰﾑ処理実行中のため、新たなｱﾗｰﾑ処理はできませんでした。";
constexpr const char* kProgramMissing = "ｱﾗｰﾑの設定で指定されたﾌｧｲﾙが見つかりませんでした。";
constexpr const char* kCannotPlay = "ｱﾗｰﾑの設定で指定されたﾌｧｲﾙを再生できませんでした。";
constexpr const char* kNoSoundPart = "ｱﾗｰﾑの音を鳴らすのに必要な部品が見つかりません。";
// The reason under kCannotPlay when the file is not to blame.
constexpr const char* kNoSoundDevice = "音を出す装置を開けませんでした。";
constexpr const char* kCannotRun = "ｱﾗｰﾑの設定で指定されたﾌｧｲﾙを実行できませんでした。";
constexpr const char* kNoKeySending = "この環境ではｷｰを送信できないため、ｷｰを送信しませんでした。";
constexpr const char* kSessionChord = "ｼｽﾃﾑ全体に作用するｷｰは送信できません。";
constexpr const char* kNoWindow = "ｱﾌﾟﾘｹｰｼｮﾝのｳｨﾝﾄﾞｳが見つからないため、ｷｰを送信しませんでした。";
constexpr const char* kNotFocused = "ｱﾌﾟﾘｹｰｼｮﾝのｳｨﾝﾄﾞｳにﾌｫｰｶｽを移せないため、ｷｰを送信しませんでした。";
constexpr const char* kFocusLost = "ｱﾌﾟﾘｹｰｼｮﾝのｳｨﾝﾄﾞｳからﾌｫｰｶｽが外れたため、ｷｰの送信を中止しました。";

} // namespace

AlarmRunner::AlarmRunner(platform::Platform& platform, state::WatchState& state, const watch::WatchControls& controls)
    : platform_(platform), state_(state), controls_(controls) {}

bool AlarmRunner::FileExists(const std::string& path) const { return platform_.files.isReadableFile(path); }

void AlarmRunner::CheckAlarm(const platform::TimeOfDay& time) {
    state::AlarmFields& a = state_.alarm;
    const int now = time.secondOfDay();
    // The seconds this check stands for: the current one, and those a late tick skipped
    // when the gap is short. A long forward gap (a suspend, the clock set forward) never
    // runs the action late: a program typing into a desktop that just woke up is unsafe.
    const std::optional<int> last = lastChecked_;
    lastChecked_ = now;
    const int gap = last ? ((now - *last) % kDay + kDay) % kDay : 0;
    const bool forward = gap > 0 && gap < kDay / 2;
    bool due = a.AlarmEnabled && now == a.AlarmTime;
    if (a.AlarmEnabled && forward && !due) {
        const int sinceAlarm = ((now - a.AlarmTime) % kDay + kDay) % kDay;
        if (sinceAlarm < gap) {
            if (gap <= kCatchUpSeconds) {
                due = true;
            } else {
                const std::uint32_t tick = platform_.clock.tickCount();
                if (!missedTold_ || missedTold_->alarmTime != a.AlarmTime ||
                    platform::ticksBetween(missedTold_->tick, tick) >= kMissedNoticeSpanMs) {
                    missedTold_ = MissedNotice{a.AlarmTime, tick};
                    tellMissed(a.AlarmTime);
                }
            }
        }
    }

    // The second in which the user stopped an action is not fired again.
    if (state::withinStoppedSecond(a, platform::formatTimeText(time))) {
        return;
    }
    if (!due) {
        return;
    }
    if (a.AlarmInProgress) {
        platform_.messages.show(kBusy, kTitle, platform::MessageIcon::Critical);
        return;
    }
    fire();
}

void AlarmRunner::fire() {
    state::AlarmFields& a = state_.alarm;
    // A stop asked for an earlier action stays with it: that one may still be winding
    // down in a loop of events beneath this firing.
    const std::uint64_t run = state::beginAlarmRun(a);
    controls_.OneSec->setEnabled(true);
    if (a.AlarmActionType == 0) {
        soundAction(run);
    } else if (a.AlarmActionType == 1) {
        programAction(run);
    }
    // Any other action type only blinks until the alarm button ends it.
}

bool AlarmRunner::stopped(std::uint64_t run) const { return state::alarmRunStopped(state_.alarm, run); }

void AlarmRunner::soundAction(std::uint64_t run) {
    platform::MediaControl& mm = *controls_.MMControl;
    platform::MediaError error = mm.open(state_.alarm.AlarmSoundFile);
    if (error == platform::MediaError::None) {
        error = mm.play();
    }
    if (error == platform::MediaError::NoModule) {
        // The program is incomplete, not the file bad: no word of the file, and no "Error".
        tell(kNoSoundPart, platform::MessageIcon::Critical);
        mm.close();
        endAction(run);
        return;
    }
    if (error != platform::MediaError::None) {
        errorPath(run, error == platform::MediaError::NoDevice ? Failure::NoSoundDevice : Failure::PlaybackFailed);
        return;
    }
    soundPlaying_ = true;
}

void AlarmRunner::SoundCompleted() {
    // A playback already stopped by the alarm button, or ended by an error, is no news.
    if (!soundPlaying_ || !state_.alarm.AlarmInProgress) {
        soundPlaying_ = false;
        return;
    }
    soundPlaying_ = false;
    state::recheckThisSecond(state_.watch);
    state::endAlarmRun(state_.alarm);
    controls_.OneSec->setEnabled(false);
    restoreMarks();
    controls_.MMControl->close();
}

void AlarmRunner::programAction(std::uint64_t run) {
    // A copy: the key loop lets handlers run, and Load or OK may change the settings meanwhile.
    const std::string program = state_.alarm.AlarmProgramFile;
    std::vector<platform::KeyStroke> keys;
    for (std::size_t i = 0; i < state::kMaxKeys && !state_.alarm.AlarmKeyNames[i].empty(); ++i) {
        const auto parsed = parseKeyCode(state_.alarm.AlarmKeyCodes[i]);
        if (!std::holds_alternative<platform::KeyStroke>(parsed)) {
            errorPath(run, Failure::Other);
            return;
        }
        keys.push_back(std::get<platform::KeyStroke>(parsed));
    }

    if (!FileExists(program)) {
        tell(kProgramMissing, platform::MessageIcon::Critical);
        endAction(run);
        return;
    }
    for (const platform::KeyStroke& key : keys) {
        if (isSessionChord(key)) {
            tell(kSessionChord, platform::MessageIcon::Critical);
            endAction(run);
            return;
        }
    }

    const platform::StartResult started = platform_.programs.start(program);
    switch (started.status) {
    case platform::StartResult::Status::Started:
        break;
    case platform::StartResult::Status::NotFound:
    case platform::StartResult::Status::NotExecutable:
        errorPath(run, Failure::CannotRun);
        return;
    case platform::StartResult::Status::Failed:
        errorPath(run, Failure::Other);
        return;
    }
    if (!keys.empty()) {
        if (!platform_.keys.isAvailable()) {
            tell(kNoKeySending, platform::MessageIcon::Critical);
        } else if (sendKeys(run, started.pid, keys) == KeysOutcome::Failed) {
            errorPath(run, Failure::Other);
            return;
        }
    }
    endAction(run);
}

AlarmRunner::KeysOutcome AlarmRunner::sendKeys(std::uint64_t run, std::int64_t pid,
                                               const std::vector<platform::KeyStroke>& keys) {
    // Keys typed before the program's window has the focus would go to whatever window
    // has it, another program's perhaps: wait for the program, but not for ever.
    const std::uint32_t waitStart = platform_.clock.tickCount();
    while (!platform_.keys.targetHasFocus(pid)) {
        if (stopped(run)) {
            return KeysOutcome::Done;
        }
        if (platform::ticksBetween(waitStart, platform_.clock.tickCount()) >=
            static_cast<std::uint32_t>(kFocusWaitMs)) {
            // There, maybe, but kept from the focus (a window manager that guards it).
            tell(platform_.keys.targetHasWindow(pid) ? kNotFocused : kNoWindow, platform::MessageIcon::Critical);
            return KeysOutcome::Done;
        }
        platform_.app.waitForEvents(kFocusPollMs);
    }
    for (const platform::KeyStroke& key : keys) {
        if (stopped(run)) {
            return KeysOutcome::Done;
        }
        // The sender looks at the focus itself, right before the press.
        const platform::KeySendResult sent = platform_.keys.send(key, pid);
        switch (sent.status) {
        case platform::KeySendResult::Status::Sent:
            break;
        case platform::KeySendResult::Status::FocusLost:
            tell(kFocusLost, platform::MessageIcon::Critical);
            return KeysOutcome::Done;
        case platform::KeySendResult::Status::Unavailable:
            tell(kNoKeySending, platform::MessageIcon::Critical);
            return KeysOutcome::Done;
        case platform::KeySendResult::Status::Failed:
            return KeysOutcome::Failed;
        }
        platform_.app.processEvents();
    }
    return KeysOutcome::Done;
}

void AlarmRunner::endAction(std::uint64_t run) {
    // An action fired since (this one was stopped and a handler ran meanwhile) owns the
    // run state now.
    if (run != state_.alarm.AlarmRun) {
        return;
    }
    state::endAlarmRun(state_.alarm);
    controls_.OneSec->setEnabled(false);
    restoreMarks();
}

void AlarmRunner::errorPath(std::uint64_t run, Failure failure) {
    if (failure == Failure::PlaybackFailed) {
        tell(kCannotPlay, platform::MessageIcon::Critical);
    }
    if (failure == Failure::NoSoundDevice) {
        tell(std::string(kCannotPlay) + "\n" + kNoSoundDevice, platform::MessageIcon::Critical);
    }
    if (failure == Failure::CannotRun) {
        tell(kCannotRun, platform::MessageIcon::Critical);
    }
    // A failed play leaves no device open, so the next alarm's open works.
    soundPlaying_ = false;
    controls_.MMControl->close();
    // Idle before "Error" waits for its OK: the marks stop blinking, and a tick meanwhile
    // finds no action to call busy.
    endAction(run);
    platform_.messages.show("Error", kTitle, platform::MessageIcon::None);
}

void AlarmRunner::restoreMarks() {
    const auto& colors = state_.watch.SegmentColors;
    watch::colorMark(controls_, &watch::WatchFace::AlarmOn, colors[state_.alarm.AlarmEnabled ? 1 : 0]);
}

void AlarmRunner::tell(const std::string& text, platform::MessageIcon icon) {
    platform_.messages.show(text, kTitle, icon);
}

void AlarmRunner::tellMissed(int second) {
    const std::string text =
        "ｱﾗｰﾑの時刻 " + platform::formatTimeText(platform::TimeOfDay::ofSecond(second)) + " を過ぎていました。";
    if (!platform_.tray.showMessage(kTitle, text, platform::MessageIcon::Information)) {
        tell(text, platform::MessageIcon::Information);
    }
}

} // namespace kadrill::alarm
