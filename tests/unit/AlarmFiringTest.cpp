#include "WatchTestSupport.h"
#include "alarm/AlarmRunner.h"
#include "alarm/AlarmSettings.h"
#include "platform/Controls.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace kadrill::test {
namespace {

using platform::MessageIcon;

constexpr const char* kBusy = "ｱﾗｰﾑ処理実行中のため、新たなｱﾗｰﾑ処理はできませんでした。";
constexpr const char* kProgramMissing = "ｱﾗｰﾑの設定で指定されたﾌｧｲﾙが見つかりませんでした。";
constexpr const char* kCannotPlay = "ｱﾗｰﾑの設定で指定されたﾌｧｲﾙを再生できませんでした。";
constexpr const char* kNoSoundPart = "ｱﾗｰﾑの音を鳴らすのに必要な部品が見つかりません。";
constexpr const char* kCannotRun = "ｱﾗｰﾑの設定で指定されたﾌｧｲﾙを実行できませんでした。";
constexpr const char* kNoKeySending = "この環境ではｷｰを送信できないため、ｷｰを送信しませんでした。";
constexpr const char* kSessionChord = "ｼｽﾃﾑ全体に作用するｷｰは送信できません。";
constexpr const char* kNoWindow = "ｱﾌﾟﾘｹｰｼｮﾝのｳｨﾝﾄﾞｳが見つからないため、ｷｰを送信しませんでした。";
constexpr const char* kNotFocused = "ｱﾌﾟﾘｹｰｼｮﾝのｳｨﾝﾄﾞｳにﾌｫｰｶｽを移せないため、ｷｰを送信しませんでした。";
constexpr const char* kFocusLost = "ｱﾌﾟﾘｹｰｼｮﾝのｳｨﾝﾄﾞｳからﾌｫｰｶｽが外れたため、ｷｰの送信を中止しました。";

constexpr int kSevenThirty = (7 * 60 + 30) * 60;

// The main window with its own alarm runner, the clock a little before 7:30.
struct AlarmDesk {
    AlarmDesk() {
        main.Start();
        window().activate();
        desk.clock.setTimeOfDay(7, 29, 58);
        desk.loop.advance(1);
    }

    MemoryWindow& window() { return dynamic_cast<MemoryWindow&>(main.window()); }

    void arm(std::int16_t action, std::vector<alarm::KeyEntry> keys = {}) {
        alarm::AlarmSettings s;
        s.time = kSevenThirty;
        s.enabled = true;
        s.actionType = action;
        s.soundFile = "/home/user/alarm.wav";
        s.programFile = "/usr/bin/editor";
        s.keys = std::move(keys);
        alarm::applySettings(state.alarm, s);
        desk.files.addProgramFile(s.programFile);
        desk.files.addReadableFile(s.soundFile);
    }

    /// Lets the clock run into 7:30:00 and a little beyond.
    void reachAlarmSecond(int extraMs = 10) { desk.loop.advance(2000 + extraMs); }

    /// The next morning, a moment before the alarm second and then into it (the day in
    /// between needs no ticking through: only the time of day counts).
    void nextMorning() {
        desk.loop.advance(2000);
        desk.clock.setTimeOfDay(7, 29, 59);
        desk.loop.advance(1010);
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& m : desk.messages.shown()) {
            out.push_back(m.text);
        }
        return out;
    }

    bool blinking() const { return main.OneSec->isEnabled(); }

    static std::vector<alarm::KeyEntry> letters(int count) {
        std::vector<alarm::KeyEntry> keys;
        for (int i = 0; i < count; ++i) {
            const char c = static_cast<char>('a' + i % 26);
            keys.push_back({std::string(1, c), std::string("{") + c + "}"});
        }
        return keys;
    }

    platform::memory::MemoryPlatform desk;
    state::WatchState state;
    mainwin::CMain main{desk.platform, state};
};

class AlarmFixture : public ::testing::Test, public AlarmDesk {};

// ------------------------------------------------------------------ the failure table

struct FailureRow {
    const char* name;
    std::int16_t action;
    std::function<void(AlarmDesk&)> arrange;
    std::vector<std::string> messages;
};

void PrintTo(const FailureRow& r, std::ostream* os) { *os << r.name; }

class FailureTable : public AlarmFixture, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(FailureTable, EachFailureTellsItsMessagesAndLeavesTheAlarmIdle) {
    arm(GetParam().action, {{"a", "{a}"}});
    GetParam().arrange(*this);
    bool busyBehindError = false;
    desk.messages.whileShown = [&](const platform::memory::MemoryMessageBoxes::Shown& m) {
        busyBehindError = busyBehindError || (m.text == "Error" && (state.alarm.AlarmInProgress || blinking()));
    };
    reachAlarmSecond();
    EXPECT_EQ(texts(), GetParam().messages);
    EXPECT_FALSE(busyBehindError) << "the alarm is idle before \"Error\" waits for its OK";
    EXPECT_FALSE(state.alarm.AlarmInProgress);
    EXPECT_FALSE(blinking());
    EXPECT_EQ(main.face().AlarmOn->foreColor(), watch::kLitGreen) << "the armed mark is restored, lit";
    EXPECT_EQ(desk.keys.typed(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Alarm, FailureTable,
    ::testing::Values(
        FailureRow{"ProgramFileMissing",
                   1,
                   [](AlarmDesk& f) { f.state.alarm.AlarmProgramFile = "/nowhere/editor"; },
                   {kProgramMissing}},
        FailureRow{"SoundCannotBePlayed",
                   0,
                   [](AlarmDesk& f) { f.desk.media.failNextWith(platform::MediaError::UnsupportedFormat); },
                   {kCannotPlay, "Error"}},
        FailureRow{"SoundModuleMissing",
                   0,
                   [](AlarmDesk& f) { f.desk.media.failNextWith(platform::MediaError::NoModule); },
                   {kNoSoundPart}},
        FailureRow{"NoSoundDevice",
                   0,
                   [](AlarmDesk& f) { f.desk.media.failNextWith(platform::MediaError::NoDevice); },
                   {std::string(kCannotPlay) + "\n音を出す装置を開けませんでした。", "Error"}},
        FailureRow{"ProgramNotFoundWhenStarted",
                   1,
                   [](AlarmDesk& f) {
                       f.desk.programs.setNextResult({platform::StartResult::Status::NotFound, 0, "gone"});
                   },
                   {kCannotRun, "Error"}},
        FailureRow{"ProgramWithoutItsExecuteBit",
                   1,
                   [](AlarmDesk& f) {
                       f.state.alarm.AlarmProgramFile = "/home/user/wake.sh";
                       f.desk.files.addReadableFile("/home/user/wake.sh");
                   },
                   {kCannotRun, "Error"}},
        FailureRow{"AKeyCannotBeTyped",
                   1,
                   [](AlarmDesk& f) { f.desk.keys.failure = "the X server refused a request"; },
                   {"Error"}},
        FailureRow{"ProgramCannotBeStarted",
                   1,
                   [](AlarmDesk& f) {
                       f.desk.programs.setNextResult({platform::StartResult::Status::Failed, 0, "denied"});
                   },
                   {"Error"}},
        FailureRow{"SessionChordRefusedBeforeAnything",
                   1,
                   [](AlarmDesk& f) {
                       f.state.alarm.AlarmKeyNames[1] = "Ctrl+Alt+F1";
                       f.state.alarm.AlarmKeyCodes[1] = "^%{F1}";
                   },
                   {kSessionChord}},
        FailureRow{
            "NoKeySendingOnThisDesktop", 1, [](AlarmDesk& f) { f.desk.keys.setAvailable(false); }, {kNoKeySending}},
        FailureRow{"TheProgramsWindowNeverComes",
                   1,
                   [](AlarmDesk& f) { f.desk.keys.hasFocus = [](std::int64_t) { return false; }; },
                   {kNoWindow}},
        FailureRow{"TheProgramsWindowNeverGetsTheFocus",
                   1,
                   [](AlarmDesk& f) {
                       f.desk.keys.hasFocus = [](std::int64_t) { return false; };
                       f.desk.keys.hasWindow = [](std::int64_t) { return true; };
                   },
                   {kNotFocused}}),
    [](const ::testing::TestParamInfo<FailureRow>& p) { return std::string(p.param.name); });

TEST_F(AlarmFixture, AFailedPlayLeavesNoDeviceOpenSoTheNextAlarmPlays) {
    arm(0);
    desk.media.failNextWith(platform::MediaError::PlayFailed);
    reachAlarmSecond();
    ASSERT_FALSE(desk.media.isPlaying());
    nextMorning();
    EXPECT_TRUE(desk.media.isPlaying());
    EXPECT_TRUE(state.alarm.AlarmInProgress);
}

// ------------------------------------------------------------------ sound

TEST_F(AlarmFixture, ASoundShorterThanItsSecondPlaysAgainWithinItButNotAfter) {
    arm(0);
    reachAlarmSecond();
    ASSERT_TRUE(desk.media.isPlaying());
    EXPECT_TRUE(blinking());
    int plays = 1;
    desk.media.finishPlayback();
    EXPECT_FALSE(blinking());
    desk.loop.advance(1);
    plays += desk.media.isPlaying() ? 1 : 0;
    EXPECT_EQ(plays, 2) << "the completion empties the time text: the same second fires again";
    desk.loop.advance(1000); // into 7:30:01
    desk.media.finishPlayback();
    desk.loop.advance(5);
    EXPECT_FALSE(desk.media.isPlaying()) << "once the second has passed it stays quiet";
    EXPECT_FALSE(state.alarm.AlarmInProgress);
}

TEST_F(AlarmFixture, AForcedRedrawDuringTheAlarmSecondTellsTheAlarmIsBusyAndLeavesTheSound) {
    arm(0);
    reachAlarmSecond();
    Click(main.face().HyoujiKirikae);
    desk.loop.advance(1);
    EXPECT_EQ(texts(), std::vector<std::string>{kBusy});
    EXPECT_EQ(desk.messages.shown().front().icon, MessageIcon::Critical);
    EXPECT_TRUE(desk.media.isPlaying());
}

TEST_F(AlarmFixture, StoppedInItsSecondTheAlarmDoesNotFireAgainAndAStaleCompletionIsDropped) {
    arm(0);
    reachAlarmSecond();
    Click(main.face().AlarmOnBtn);
    EXPECT_FALSE(desk.media.isPlaying());
    desk.loop.advance(1);
    EXPECT_FALSE(desk.media.isPlaying()) << "the emptied text repeats the check, but the stop is for good";
    EXPECT_TRUE(state.alarm.AlarmEnabled);

    state.watch.LastTimeText = "stale";
    desk.media.finished.raise(); // a completion the mixer still reports for the halted sound
    EXPECT_EQ(state.watch.LastTimeText, "stale");

    nextMorning();
    EXPECT_TRUE(desk.media.isPlaying()) << "the next day it fires";
}

TEST_F(AlarmFixture, ASoundStoppedByTheButtonDoesNotCutTheNextProgramAlarmShort) {
    arm(0);
    reachAlarmSecond();
    Click(main.face().AlarmOnBtn);
    arm(1, letters(3));
    nextMorning();
    EXPECT_EQ(desk.keys.typed(), "abc");
}

TEST_F(AlarmFixture, ItFiresInStopwatchModeTooButNeverDisarmed) {
    arm(0);
    Click(main.face().ModeBtn);
    reachAlarmSecond();
    EXPECT_TRUE(desk.media.isPlaying());

    AlarmDesk quiet;
    quiet.arm(0);
    quiet.state.alarm.AlarmEnabled = false;
    quiet.reachAlarmSecond();
    EXPECT_FALSE(quiet.desk.media.isPlaying());
}

// ------------------------------------------------------------------ program and keys

TEST_F(AlarmFixture, TheProgramStartsAndGetsEveryKeyOneAtATimeWithEventsBetween) {
    arm(1, {{"a", "{a}"}, {"Enter", "{ENTER}"}, {"Shift+F1", "+{F1}"}, {"Ctrl+C", "^C"}, {"あ", "{あ}"}});
    reachAlarmSecond();
    EXPECT_EQ(desk.programs.started(), std::vector<std::string>{"/usr/bin/editor"});
    EXPECT_EQ(desk.keys.typed(), "a[Enter][Shift+F1][Ctrl+C]あ");
    EXPECT_GE(desk.app.processEventsCount(), 5);
    EXPECT_FALSE(state.alarm.AlarmInProgress);
    EXPECT_FALSE(blinking());
    EXPECT_TRUE(texts().empty());
}

TEST_F(AlarmFixture, FiveHundredKeysAreAllSentAndAnEmptySequenceSendsNone) {
    arm(1, letters(500));
    reachAlarmSecond();
    EXPECT_EQ(desk.keys.keysTyped(), 500);

    AlarmDesk empty;
    empty.arm(1);
    empty.reachAlarmSecond();
    EXPECT_EQ(empty.desk.programs.started().size(), 1U);
    EXPECT_EQ(empty.desk.keys.keysTyped(), 0);
    EXPECT_FALSE(empty.state.alarm.AlarmInProgress);
}

TEST_F(AlarmFixture, KeysWaitForTheProgramsWindowAndStopWhenTheFocusLeavesIt) {
    arm(1, letters(10));
    // The program's window takes the focus 700 ms after the alarm second begins; after the
    // fourth key the user clicks another window.
    const std::int64_t focusAt = desk.loop.now() + 2000 + 700;
    bool lost = false;
    std::int64_t firstKeyAt = -1;
    desk.keys.hasFocus = [&](std::int64_t pid) {
        return !lost && desk.loop.now() >= focusAt && pid == desk.programs.lastPid();
    };
    desk.keys.afterKey = [&](const platform::KeyStroke&) {
        firstKeyAt = firstKeyAt < 0 ? desk.loop.now() : firstKeyAt;
        lost = lost || desk.keys.keysTyped() == 4;
    };
    reachAlarmSecond();
    EXPECT_GE(firstKeyAt, focusAt) << "nothing typed before the program's window has the focus";
    EXPECT_EQ(desk.keys.typed(), "abcd");
    EXPECT_EQ(texts(), std::vector<std::string>{kFocusLost});
    EXPECT_FALSE(state.alarm.AlarmInProgress);
}

TEST_F(AlarmFixture, TheButtonStopsALongSequenceAfterTheCurrentKeyForGood) {
    arm(1, letters(200));
    desk.keys.afterKey = [&](const platform::KeyStroke&) {
        if (desk.keys.keysTyped() == 50) {
            Click(main.face().AlarmOnBtn);
        }
    };
    reachAlarmSecond(3000); // ticks run between keys: the alarm second is over meanwhile
    EXPECT_EQ(desk.keys.keysTyped(), 50);
    EXPECT_EQ(desk.programs.started().size(), 1U) << "the emptied time text does not start it again";
    EXPECT_FALSE(blinking());
    EXPECT_FALSE(state.alarm.AlarmInProgress);
}

TEST_F(AlarmFixture, AStopInsideTheSecondIsNotUndoneByATickInsideTheKeyLoop) {
    arm(1, letters(20));
    desk.keys.setKeyDuration(1);
    desk.keys.afterKey = [&](const platform::KeyStroke&) {
        if (desk.keys.keysTyped() == 3) {
            Click(main.face().AlarmOnBtn); // the key loop's events then run a tick of the same second
        }
    };
    reachAlarmSecond();
    EXPECT_EQ(desk.programs.started().size(), 1U);
    EXPECT_EQ(desk.keys.keysTyped(), 3);
}

TEST_F(AlarmFixture, AStopStaysWithItsActionWhenAnotherFiresInTheSameBatchOfEvents) {
    arm(1, letters(20));
    desk.keys.afterKey = [&](const platform::KeyStroke&) {
        if (desk.keys.keysTyped() == 3) {
            // Stopped, and before the key loop looks again a tick fires a sound alarm.
            Click(main.face().AlarmOnBtn);
            state.alarm.AlarmActionType = 0;
            state.alarm.AlarmTime = kSevenThirty + 5;
            desk.clock.setTimeOfDay(7, 30, 5);
            desk.loop.advance(1);
        }
    };
    reachAlarmSecond();
    EXPECT_EQ(desk.keys.keysTyped(), 3);
    EXPECT_TRUE(desk.media.isPlaying());
    EXPECT_TRUE(state.alarm.AlarmInProgress) << "the stopped program's end leaves the sound's run alone";
    EXPECT_TRUE(blinking());
}

TEST_F(AlarmFixture, ClosingTheWatchDuringTheKeysStopsThem) {
    arm(1, letters(30));
    desk.keys.afterKey = [&](const platform::KeyStroke&) {
        if (desk.keys.keysTyped() == 5) {
            window().close();
        }
    };
    reachAlarmSecond();
    EXPECT_EQ(desk.keys.keysTyped(), 5);
    EXPECT_EQ(desk.app.quitCount(), 1);
}

TEST_F(AlarmFixture, SettingsLoadedDuringTheKeyLoopDoNotChangeWhatIsTyped) {
    arm(1, letters(6));
    desk.keys.afterKey = [&](const platform::KeyStroke&) {
        if (desk.keys.keysTyped() == 2) {
            alarm::AlarmSettings other = alarm::settingsOf(state.alarm);
            other.keys = {{"x", "{x}"}};
            other.programFile = "/usr/bin/other";
            alarm::applySettings(state.alarm, other);
        }
    };
    reachAlarmSecond();
    EXPECT_EQ(desk.keys.typed(), "abcdef");
}

// ------------------------------------------------------------------ late and skipped seconds

TEST_F(AlarmFixture, ASecondSkippedByALateTickStillFires) {
    arm(0);
    desk.loop.advance(1500); // 7:29:59.5
    main.MainTimer->setEnabled(false);
    desk.loop.advance(3000); // a loaded machine: no tick until 7:30:02.5
    main.MainTimer->setEnabled(true);
    desk.loop.advance(1);
    EXPECT_TRUE(desk.media.isPlaying());
}

TEST_F(AlarmFixture, ALongGapOverTheAlarmTellsOnceInsteadOfRunningLate) {
    arm(1, letters(3));
    main.MainTimer->setEnabled(false);
    desk.clock.setTimeOfDay(8, 15, 0); // resumed from a suspend
    main.MainTimer->setEnabled(true);
    desk.loop.advance(2000);
    EXPECT_TRUE(desk.programs.started().empty());
    ASSERT_EQ(desk.tray.messages().size(), 1U);
    EXPECT_EQ(desk.tray.messages().front().text, "ｱﾗｰﾑの時刻 7:30:00 を過ぎていました。");
    // The evening, then asleep through the next day's alarm too, until 8:15: told again.
    desk.clock.setTimeOfDay(23, 0, 0);
    desk.loop.advance(10);
    main.MainTimer->setEnabled(false);
    desk.clock.setTickCount(desk.clock.tickCount() + std::int64_t{24} * 60 * 60 * 1000);
    desk.clock.setTimeOfDay(8, 15, 0);
    main.MainTimer->setEnabled(true);
    desk.loop.advance(2000);
    EXPECT_EQ(desk.tray.messages().size(), 2U) << "one notice per missed day";

    AlarmDesk noTray;
    noTray.desk.tray.setAvailable(false);
    noTray.arm(0);
    noTray.main.MainTimer->setEnabled(false);
    noTray.desk.clock.setTimeOfDay(9, 0, 0);
    noTray.main.MainTimer->setEnabled(true);
    noTray.desk.loop.advance(1);
    EXPECT_EQ(noTray.texts(), std::vector<std::string>{"ｱﾗｰﾑの時刻 7:30:00 を過ぎていました。"});
    EXPECT_EQ(noTray.desk.messages.shown().front().icon, MessageIcon::Information);
}

TEST_F(AlarmFixture, AClockSetBackPastTheAlarmLetsItFireAgain) {
    arm(0);
    reachAlarmSecond(1500); // the sound outlasts its second
    desk.media.finishPlayback();
    desk.loop.advance(5000);
    ASSERT_FALSE(desk.media.isPlaying());
    desk.clock.setTimeOfDay(7, 29, 59);
    desk.loop.advance(1001);
    EXPECT_TRUE(desk.media.isPlaying());
}

// ------------------------------------------------------------------ fifty days

// Fifty days of one watch: the millisecond counter passes its sign point (24.8 days) and
// its wrap (49.7 days). Between ticks the watch sleeps, as on the desktop; around the
// alarm and the counter's two points it ticks every millisecond.
TEST_F(AlarmFixture, FiftyDaysAcrossTheCountersSignAndWrap) {
    constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;
    constexpr std::uint32_t kSignPoint = 1U << 31;
    constexpr std::uint32_t kWrap = 0;
    arm(1);
    // The sign point falls on day 24 in the afternoon, the wrap on day 49 in the morning.
    desk.clock.setTickCount(std::int64_t{kSignPoint} - 24 * kDayMs - 6 * 3600 * 1000);
    const std::vector<int> jumpDays = {3, 17, 24, 40};
    const auto notices = [&] {
        std::size_t n = 0;
        for (const auto& m : desk.tray.messages()) {
            n += m.text.find("を過ぎていました") != std::string::npos ? 1 : 0;
        }
        return n;
    };
    const auto sleepFor = [&](std::int64_t ms) {
        for (; ms > 60'000; ms -= 60'000) {
            desk.clock.advance(59'999);
            desk.loop.advance(1);
        }
        desk.loop.advance(ms);
    };
    const auto press = [&](platform::PictureButton* watch::WatchFace::*button) {
        ASSERT_TRUE(Click(main.face().*button));
    };
    // From 90 s before the point: a stopwatch run of 181.234 s, counted on in clock mode,
    // and the ramen timer's three minutes.
    const auto acrossPoint = [&](std::uint32_t point) {
        sleepFor(platform::ticksBetween(desk.clock.tickCount(), point) - 90'000);
        press(&watch::WatchFace::ModeBtn);
        press(&watch::WatchFace::StartBtn);
        press(&watch::WatchFace::ModeBtn);
        ASSERT_TRUE(Choose(main.mnuTimerNoodle));
        ramen::NoodleTimer& noodles = main.noodleTimer();
        ASSERT_TRUE(dynamic_cast<platform::memory::MemoryCommandButton&>(*noodles.StartButton).click());
        desk.loop.advance(179'500);
        EXPECT_NE(noodles.Label1->text(), "３分たったよ。") << "the ramen timer ended early";
        desk.loop.advance(1'000);
        EXPECT_EQ(noodles.Label1->text(), "３分たったよ。") << "the ramen timer did not end at 180 s";
        ASSERT_TRUE(dynamic_cast<platform::memory::MemoryCommandButton&>(*noodles.EndButton).click());
        desk.loop.advance(181'234 - 180'500);
        press(&watch::WatchFace::ModeBtn);
        press(&watch::WatchFace::StopBtn);
        desk.loop.advance(1);
        EXPECT_EQ(ReadDigits(main.face(), watch::kLitGreen), "030123");
        press(&watch::WatchFace::ResetBtn);
        press(&watch::WatchFace::ModeBtn);
    };

    for (int day = 0; day < 50; ++day) {
        SCOPED_TRACE("day " + std::to_string(day));
        const bool jump = std::find(jumpDays.begin(), jumpDays.end(), day) != jumpDays.end();
        const std::size_t started = desk.programs.started().size();
        const std::size_t told = notices();
        if (jump) {
            desk.loop.advance(1000);
            desk.clock.setTimeOfDay(7, 30, 30); // the clock set over the alarm second
        }
        desk.loop.advance(3000);
        EXPECT_EQ(desk.programs.started().size() - started, jump ? 0U : 1U) << "alarms fired";
        EXPECT_EQ(notices() - told, jump ? 1U : 0U) << "missed-alarm notices";
        if (day == 24) {
            acrossPoint(kSignPoint);
        }
        if (day == 49) {
            acrossPoint(kWrap);
        }
        sleepFor((day + 1) * kDayMs + (kSevenThirty - 2) * 1000 - desk.clock.wallMs());
    }
}

} // namespace
} // namespace kadrill::test
