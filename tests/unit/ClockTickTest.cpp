#include "WatchTestSupport.h"
#include "platform/Controls.h"

#include <gtest/gtest.h>

#include <vector>

namespace kadrill::test {
namespace {

struct TickRow {
    int h, m, s;
    bool twelveHour;
    const char* shown;   // as ReadDigits gives it
    const char* litMark; // "AM", "PM" or "" when the marks are hidden
    const char* spoken;  // what a screen reader reads of the face
};

void PrintTo(const TickRow& r, std::ostream* os) {
    *os << r.h << ':' << r.m << ':' << r.s << (r.twelveHour ? " 12h" : " 24h") << " -> \"" << r.shown << '"';
}

class ClockFaceRows : public ::testing::TestWithParam<TickRow> {};

TEST_P(ClockFaceRows, ShowsTheTimeWithTheRightMark) {
    const TickRow& row = GetParam();
    MainFixture f;
    if (row.twelveHour) {
        f.main.mnuVisibleTwelve->setChecked(true);
        watch::RefreshHourMode(f.main.controls());
    }
    f.showAt(row.h, row.m, row.s);

    const watch::WatchFace& face = f.main.face();
    EXPECT_EQ(ReadDigits(face, watch::kLitGreen), row.shown);
    const std::string mark = row.litMark;
    EXPECT_EQ(face.AM->isVisible(), !mark.empty());
    EXPECT_EQ(face.PM->isVisible(), !mark.empty());
    if (!mark.empty()) {
        EXPECT_EQ(face.AM->foreColor(), mark == "AM" ? watch::kLitGreen : watch::kUnlitBlack);
        EXPECT_EQ(face.PM->foreColor(), mark == "PM" ? watch::kLitGreen : watch::kUnlitBlack);
    }

    // Nothing is worded for nobody; once a screen reader listens, both faces read alike.
    EXPECT_EQ(f.window().accessibleText().name, "");
    f.desk.windows.setAccessibilityActive(true);
    f.desk.loop.advance(1);
    for (const platform::Window* w : {&f.main.window(), &f.main.digital()->window()}) {
        EXPECT_EQ(w->accessibleText().name, row.spoken);
    }
    EXPECT_EQ(face.PM->accessibleText().description, mark == "PM" ? "点灯" : "消灯");
}

INSTANTIATE_TEST_SUITE_P(
    TwentyFourAndTwelveHour, ClockFaceRows,
    ::testing::Values(TickRow{9, 5, 3, false, " 90503", "", "9時5分3秒"}, TickRow{0, 0, 0, false, " 00000", "", "0時0分0秒"},
                      TickRow{10, 0, 0, false, "100000", "", "10時0分0秒"}, TickRow{23, 59, 59, false, "235959", "", "23時59分59秒"},
                      TickRow{0, 15, 0, true, "121500", "AM", "午前12時15分0秒"}, TickRow{1, 2, 3, true, " 10203", "AM", "午前1時2分3秒"},
                      TickRow{11, 59, 59, true, "115959", "AM", "午前11時59分59秒"}, TickRow{12, 0, 0, true, "120000", "PM", "午後12時0分0秒"},
                      TickRow{13, 5, 9, true, " 10509", "PM", "午後1時5分9秒"}, TickRow{21, 0, 0, true, " 90000", "PM", "午後9時0分0秒"},
                      TickRow{22, 30, 0, true, "103000", "PM", "午後10時30分0秒"}, TickRow{23, 0, 1, true, "110001", "PM", "午後11時0分1秒"}));

TEST(ClockTick, SameSecondTwiceDoesNothingNewSecondRedraws) {
    MainFixture f;
    f.showAt(9, 5, 3);
    ASSERT_EQ(f.alarmChecks, 1);
    const int writes = asLine(f.main.face().digits[5][0]).colorWrites();

    f.desk.loop.advance(500); // 500 more ticks inside the same second
    EXPECT_EQ(f.alarmChecks, 1);
    EXPECT_EQ(asLine(f.main.face().digits[5][0]).colorWrites(), writes);

    f.desk.loop.advance(500); // into 9:05:04
    EXPECT_EQ(f.alarmChecks, 2);
    EXPECT_EQ(f.lastAlarmCheck, "9:05:04");
    EXPECT_EQ(ReadDigits(f.main.face(), watch::kLitGreen), " 90504");
}

TEST(ClockTick, RedrawRequestAndEmptiedLastTimeTextRedrawWithinOneTick) {
    MainFixture f;
    f.showAt(14, 0, 0);
    ASSERT_EQ(f.alarmChecks, 1);

    f.state.watch.RedrawRequested = true;
    f.desk.loop.advance(1);
    EXPECT_EQ(f.alarmChecks, 2) << "a forced redraw repeats the alarm check for the same second";
    EXPECT_FALSE(f.state.watch.RedrawRequested);

    f.state.watch.LastTimeText.clear();
    f.desk.loop.advance(1);
    EXPECT_EQ(f.alarmChecks, 3);
    EXPECT_EQ(f.state.watch.LastTimeText, "14:00:00");
}

TEST(ClockTick, AnAlarmCheckThatWaitsLetsLaterSecondsShowAndDoesNotTurnTheClockBack) {
    MainFixture f;
    std::vector<std::string> checks;
    f.main.timeShown.setHandler([&](const platform::TimeOfDay& t) {
        checks.push_back(platform::formatTimeText(t));
        if (checks.size() == 1) {
            f.desk.loop.advance(1500); // waits in a message box while ticks go on
        }
    });
    f.showAt(9, 0, 0);
    EXPECT_EQ(checks, (std::vector<std::string>{"9:00:00", "9:00:01"}));
    EXPECT_EQ(ReadDigits(f.main.face(), watch::kLitGreen), " 90001");
    EXPECT_EQ(f.state.watch.LastTimeText, "9:00:01");
}

TEST(ClockTick, ARedrawRequestWaitsWhileTheClockTimerIsStopped) {
    MainFixture f;
    f.showAt(8, 0, 0);
    f.main.MainTimer->setEnabled(false);
    f.state.watch.RedrawRequested = true;
    f.desk.loop.advance(2000);
    EXPECT_EQ(f.alarmChecks, 1);
    f.main.MainTimer->setEnabled(true);
    f.desk.loop.advance(1);
    EXPECT_EQ(f.alarmChecks, 2);
    EXPECT_EQ(ReadDigits(f.main.face(), watch::kLitGreen), " 80002");
}

TEST(ClockTick, TwelveHourOptionFromTheMenuRedrawsAtTheNextTick) {
    MainFixture f;
    f.showAt(15, 30, 0);
    ASSERT_EQ(ReadDigits(f.main.face(), watch::kLitGreen), "153000");

    auto& twelve = dynamic_cast<platform::memory::MemoryMenuItem&>(*f.main.mnuVisibleTwelve);
    twelve.choose();
    EXPECT_TRUE(twelve.isChecked());
    f.desk.loop.advance(1);
    EXPECT_EQ(ReadDigits(f.main.face(), watch::kLitGreen), " 33000");
    EXPECT_EQ(f.alarmChecks, 2);
    EXPECT_EQ(f.main.face().PM->foreColor(), watch::kLitGreen);

    twelve.choose();
    f.desk.loop.advance(1);
    EXPECT_EQ(ReadDigits(f.main.face(), watch::kLitGreen), "153000");
    EXPECT_FALSE(f.main.face().PM->isVisible());
}

TEST(ClockTick, DimOptionShowsUnlitSegmentsGreyAndRecoloursTheAlarmMark) {
    MainFixture f;
    f.showAt(7, 0, 0);
    auto& dim = dynamic_cast<platform::memory::MemoryMenuItem&>(*f.main.mnuVisibleDigital);

    dim.choose();
    EXPECT_EQ(f.main.face().AlarmOn->foreColor(), watch::kUnlitDimGrey)
        << "disarmed mark follows the unlit colour at once";
    f.desk.loop.advance(1);
    EXPECT_EQ(f.main.face().digits[0][0]->color(), watch::kUnlitDimGrey) << "blank hour tens now visible grey";

    f.state.alarm.AlarmEnabled = true;
    dim.choose();
    EXPECT_EQ(f.main.face().AlarmOn->foreColor(), watch::kLitGreen) << "an armed alarm keeps its mark lit";
    f.desk.loop.advance(1);
    EXPECT_EQ(f.main.face().digits[0][0]->color(), watch::kUnlitBlack);
}

TEST(OneSec, BlinksTheAlarmMarkEveryHalfSecondBetweenTheCurrentColours) {
    MainFixture f;
    f.main.OneSec->setEnabled(true);
    const platform::Label* mark = f.main.face().AlarmOn;

    std::string seen;
    for (int i = 0; i < 4; ++i) {
        f.desk.loop.advance(500);
        seen += mark->foreColor() == watch::kLitGreen ? 'L' : 'u';
    }
    EXPECT_EQ(seen, "LuLu");

    // The unlit colour changes while blinking: the blink goes on with the new one.
    dynamic_cast<platform::memory::MemoryMenuItem&>(*f.main.mnuVisibleDigital).choose();
    f.desk.loop.advance(500);
    EXPECT_EQ(mark->foreColor(), watch::kLitGreen);
    f.desk.loop.advance(500);
    EXPECT_EQ(mark->foreColor(), watch::kUnlitDimGrey);

    f.main.OneSec->setEnabled(false);
    f.desk.loop.advance(5000);
    EXPECT_EQ(mark->foreColor(), watch::kUnlitDimGrey);
}

} // namespace
} // namespace kadrill::test
