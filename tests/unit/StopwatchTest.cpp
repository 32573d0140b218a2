#include "watch/Stopwatch.h"
#include "WatchTestSupport.h"
#include "watch/FaceReading.h"
#include "platform/Controls.h"
#include "watch/WatchButtons.h"

#include <gtest/gtest.h>

#include <vector>

namespace kadrill::test {
namespace {

// The main window in stopwatch mode, stopped, at a quiet time of day.
class StopwatchFixture : public ::testing::Test {
protected:
    StopwatchFixture() {
        f.showAt(10, 0, 0);
        Click(f.main.face().ModeBtn);
    }
    std::string shown() {
        f.desk.loop.advance(1);
        const std::string digits = ReadDigits(f.main.face(), watch::kLitGreen);
        EXPECT_EQ(ReadDigits(f.digitalFace(), watch::kLitGreen), digits) << "both faces show the stopwatch";
        return digits;
    }
    void press(platform::PictureButton* watch::WatchFace::*button) { ASSERT_TRUE(Click(f.main.face().*button)); }
    void wait(int ms) { f.desk.loop.advance(ms); }

    MainFixture f;
};

struct ReadingRow {
    std::int32_t elapsed;
    const char* shown;
    const char* spoken; // stopped, as a screen reader reads it
};

void PrintTo(const ReadingRow& r, std::ostream* os) { *os << r.elapsed << " ms"; }

class Readings : public StopwatchFixture, public ::testing::WithParamInterface<ReadingRow> {};

TEST_P(Readings, MinutesSecondsAndHundredths) {
    f.state.watch.StopwatchAccumulated = GetParam().elapsed;
    EXPECT_EQ(shown(), GetParam().shown);
    EXPECT_EQ(watch::stopwatchReading(GetParam().elapsed, false, false),
              std::string("ｽﾄｯﾌﾟｳｫｯﾁ 停止中 ") + GetParam().spoken);
}

INSTANTIATE_TEST_SUITE_P(Stopwatch, Readings,
                         ::testing::Values(ReadingRow{0, "000000", "0分0秒00"}, ReadingRow{61234, "010123", "1分1秒23"},
                                           ReadingRow{999, "000099", "0分0秒99"}, ReadingRow{3600000, "000000", "0分0秒00"},
                                           ReadingRow{3725678, "020567", "2分5秒67"}, ReadingRow{3599999, "595999", "59分59秒99"},
                                           // The largest time kept: 24 days 20:31:23.647.
                                           ReadingRow{watch::kStopwatchLimit, "312364", "31分23秒64"}));

TEST_F(StopwatchFixture, StartStopTwiceSumsBothRunsAndResetClearsOnlyWhenStopped) {
    press(&watch::WatchFace::StartBtn);
    wait(1500);
    press(&watch::WatchFace::StopBtn);
    wait(10000); // stopped time does not count
    EXPECT_EQ(shown(), "000150");
    press(&watch::WatchFace::StartBtn);
    wait(2250);
    press(&watch::WatchFace::StopBtn);
    EXPECT_EQ(f.state.watch.StopwatchAccumulated, 3750);
    EXPECT_EQ(shown(), "000375");

    press(&watch::WatchFace::ResetBtn);
    EXPECT_EQ(shown(), "000000");

    press(&watch::WatchFace::StartBtn);
    wait(700);
    watch::PressReset(f.state, f.main.controls()); // no button for it while running
    EXPECT_EQ(shown(), "000070") << "a running stopwatch is not reset";
}

TEST_F(StopwatchFixture, LapFreezesTheReadingWhileTheCountGoesOnAndStopReleasesTheHold) {
    press(&watch::WatchFace::StartBtn);
    wait(1234);
    press(&watch::WatchFace::LapBtn);
    const std::string held = shown();
    EXPECT_EQ(held, "000123");
    wait(5000);
    EXPECT_EQ(shown(), held) << "held while the count goes on";
    press(&watch::WatchFace::LapBtn);
    EXPECT_EQ(shown(), "000623") << "the second Lap follows the running time again";

    press(&watch::WatchFace::LapBtn);
    wait(1000);
    press(&watch::WatchFace::StopBtn);
    EXPECT_FALSE(f.state.watch.LapHeld);
    EXPECT_EQ(shown(), "000723") << "Stop shows the full time, not the lap";
}

TEST_F(StopwatchFixture, TimeSpentInClockModeCountsWhenTheStopwatchComesBack) {
    press(&watch::WatchFace::StartBtn);
    wait(2000);
    press(&watch::WatchFace::ModeBtn);
    wait(63000);
    EXPECT_EQ(ReadDigits(f.main.face(), watch::kLitGreen), "100105") << "the clock shows the time of day";
    press(&watch::WatchFace::ModeBtn);
    EXPECT_EQ(shown(), "010500");
}

TEST_F(StopwatchFixture, CounterWrapInTheMiddleOfARunDoesNotDisturbTheReading) {
    // The counter wraps at 2^32 ms (49.7 days); a run across the wrap reads right.
    f.desk.clock.setTickCount(0xFFFFFFFFLL - 300);
    press(&watch::WatchFace::StartBtn);
    wait(1000);
    EXPECT_EQ(shown(), "000100");
    press(&watch::WatchFace::LapBtn);
    EXPECT_EQ(f.state.watch.LapTime, 1001);
    press(&watch::WatchFace::StopBtn);
    EXPECT_EQ(f.state.watch.StopwatchAccumulated, 1001);
}

TEST_F(StopwatchFixture, PastTheLargestTimeTheReadingHolds) {
    f.state.watch.StopwatchAccumulated = watch::kStopwatchLimit - 500;
    press(&watch::WatchFace::StartBtn);
    wait(400);
    EXPECT_EQ(shown(), "312354");
    wait(2000);
    EXPECT_EQ(shown(), "312364");
    press(&watch::WatchFace::StopBtn);
    EXPECT_EQ(f.state.watch.StopwatchAccumulated, watch::kStopwatchLimit);
    EXPECT_EQ(watch::addElapsed(watch::kStopwatchLimit, 0xFFFFFFFFU), watch::kStopwatchLimit);
}

TEST_F(StopwatchFixture, ARunningStopwatchTicksAtDisplayRateAStoppedOneOnlyWhenSomethingChanges) {
    EXPECT_EQ(f.main.CountTimer->pacing(), platform::TimerPacing::PollsTimeOfDay);
    press(&watch::WatchFace::StartBtn);
    EXPECT_EQ(f.main.CountTimer->pacing(), platform::TimerPacing::DisplayRate);
    press(&watch::WatchFace::StopBtn);
    EXPECT_EQ(f.main.CountTimer->pacing(), platform::TimerPacing::PollsTimeOfDay);
}

TEST_F(StopwatchFixture, TheAlarmCheckRunsOncePerSecondOfTheTimeOfDayEvenWhileHeld) {
    const int before = f.alarmChecks;
    press(&watch::WatchFace::StartBtn);
    press(&watch::WatchFace::LapBtn);
    wait(3000);
    EXPECT_EQ(f.alarmChecks, before + 3);
    EXPECT_EQ(f.lastAlarmCheck, "10:00:03");
    f.state.watch.LastTimeText.clear();
    wait(1);
    EXPECT_EQ(f.alarmChecks, before + 4) << "an emptied text repeats the check within the second";
}

TEST_F(StopwatchFixture, AnAlarmCheckThatWaitedWhileTheClockCameBackDrawsNoStopwatchDigits) {
    f.state.watch.StopwatchAccumulated = 61234;
    f.main.timeShown.setHandler([this](const platform::TimeOfDay&) {
        // The user goes back to the clock while a message box waits.
        f.main.timeShown.setHandler(nullptr);
        Click(f.main.face().ModeBtn);
        f.desk.loop.advance(5);
    });
    wait(1000);
    EXPECT_EQ(ReadDigits(f.main.face(), watch::kLitGreen), "100001") << "the clock's digits stay";
}

TEST_F(StopwatchFixture, TheDimOptionReachesTheStopwatchDigitsAtTheNextTick) {
    EXPECT_EQ(shown(), "000000");
    Choose(f.main.mnuVisibleDigital);
    f.desk.loop.advance(1);
    EXPECT_EQ(f.main.face().digits[0][3]->color(), watch::kUnlitDimGrey) << "middle segment of a 0";
}

} // namespace
} // namespace kadrill::test
