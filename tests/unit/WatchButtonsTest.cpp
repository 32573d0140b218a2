#include "watch/WatchButtons.h"
#include "WatchTestSupport.h"
#include "platform/Controls.h"

#include <gtest/gtest.h>

namespace kadrill::test {
namespace {

using watch::WatchFace;

enum class Mode { Clock, Stopped, Running };
enum class Side { Main, Digital };

const char* buttonsOf(Mode m) {
    switch (m) {
    case Mode::Clock:
        return "Mode Set Alm Disp AlOn";
    case Mode::Stopped:
        return "Mode Set Alm Start Reset";
    case Mode::Running:
        return "Mode Set Alm Stop Lap";
    }
    return "";
}

struct TransitionRow {
    Mode from;
    platform::PictureButton* WatchFace::*button;
    const char* buttonName;
    Mode to;
};

void PrintTo(const TransitionRow& r, std::ostream* os) { *os << buttonsOf(r.from) << " + " << r.buttonName; }

class Transitions : public ::testing::TestWithParam<std::tuple<TransitionRow, Side>> {
protected:
    MainFixture f;

    WatchFace& face(Side side) { return side == Side::Main ? f.main.face() : f.digitalFace(); }

    void reach(Mode m, Side side) {
        if (m != Mode::Clock) {
            ASSERT_TRUE(Click(face(side).ModeBtn));
        }
        if (m == Mode::Running) {
            ASSERT_TRUE(Click(face(side).StartBtn));
        }
    }

    void expectMode(Mode m) {
        EXPECT_EQ(VisibleButtons(f.main.face()), buttonsOf(m));
        EXPECT_EQ(VisibleButtons(f.digitalFace()), buttonsOf(m)) << "both windows switch together";
        EXPECT_EQ(f.main.MainTimer->isEnabled(), m == Mode::Clock);
        EXPECT_EQ(f.main.CountTimer->isEnabled(), m != Mode::Clock);
        EXPECT_EQ(f.main.mnuVisibleTwelve->isEnabled(), m == Mode::Clock);
        if (m != Mode::Clock) { // in clock mode a stopwatch may run on unseen
            EXPECT_EQ(f.state.watch.StopwatchRunning, m == Mode::Running);
        }
    }
};

TEST_P(Transitions, EitherWindowsButtonMovesBothFacesToTheNextState) {
    const auto& [row, side] = GetParam();
    if (side == Side::Digital) {
        ASSERT_TRUE(Choose(f.main.mnuVisibleMenuBar)); // the frameless window is in use
    }
    reach(row.from, side);
    expectMode(row.from);
    // A button the state hides cannot be pressed at all.
    ASSERT_TRUE(Click(face(side).*row.button)) << row.buttonName << " is not on show in this state";
    expectMode(row.to);
}

INSTANTIATE_TEST_SUITE_P(
    WatchButtons, Transitions,
    ::testing::Combine(::testing::Values(TransitionRow{Mode::Clock, &WatchFace::ModeBtn, "Mode", Mode::Stopped},
                                         TransitionRow{Mode::Clock, &WatchFace::HyoujiKirikae, "Disp", Mode::Clock},
                                         TransitionRow{Mode::Clock, &WatchFace::AlarmOnBtn, "AlOn", Mode::Clock},
                                         TransitionRow{Mode::Stopped, &WatchFace::StartBtn, "Start", Mode::Running},
                                         TransitionRow{Mode::Stopped, &WatchFace::ResetBtn, "Reset", Mode::Stopped},
                                         TransitionRow{Mode::Stopped, &WatchFace::ModeBtn, "Mode", Mode::Clock},
                                         TransitionRow{Mode::Running, &WatchFace::StopBtn, "Stop", Mode::Stopped},
                                         TransitionRow{Mode::Running, &WatchFace::LapBtn, "Lap", Mode::Running},
                                         TransitionRow{Mode::Running, &WatchFace::ModeBtn, "Mode", Mode::Clock}),
                       ::testing::Values(Side::Main, Side::Digital)));

TEST(WatchButtons, ModeLeavesARunningStopwatchRunningAndComesBackToStopAndLap) {
    MainFixture f;
    Click(f.main.face().ModeBtn);
    Click(f.main.face().StartBtn);
    Click(f.main.face().ModeBtn);
    EXPECT_TRUE(f.state.watch.StopwatchRunning);
    EXPECT_EQ(VisibleButtons(f.main.face()), buttonsOf(Mode::Clock));
    Click(f.main.face().ModeBtn);
    EXPECT_EQ(VisibleButtons(f.main.face()), buttonsOf(Mode::Running));
}

TEST(WatchButtons, StartAndStopHandTheFocusToTheButtonInTheirPlaceOnTheWindowInUse) {
    MainFixture f;
    Click(f.main.face().ModeBtn);
    Click(f.main.face().StartBtn);
    EXPECT_TRUE(f.main.face().StopBtn->hasFocus());
    Click(f.main.face().StopBtn);
    EXPECT_TRUE(f.main.face().StartBtn->hasFocus());

    Choose(f.main.mnuVisibleMenuBar);
    Click(f.digitalFace().StartBtn);
    EXPECT_TRUE(f.digitalFace().StopBtn->hasFocus());
    EXPECT_FALSE(f.main.face().StopBtn->hasFocus());
    Click(f.digitalFace().StopBtn);
    EXPECT_TRUE(f.digitalFace().StartBtn->hasFocus());
}

TEST(WatchButtons, TwelveHourOptionCannotChangeInStopwatchModeAndItsMarksStayHidden) {
    MainFixture f;
    Click(f.main.face().HyoujiKirikae);
    ASSERT_TRUE(f.main.mnuVisibleTwelve->isChecked());
    ASSERT_TRUE(f.main.face().AM->isVisible());

    Click(f.main.face().ModeBtn);
    EXPECT_FALSE(Choose(f.main.mnuVisibleTwelve)) << "the menu item is disabled";
    EXPECT_FALSE(Click(f.main.face().HyoujiKirikae)) << "the button is hidden";
    EXPECT_TRUE(f.main.mnuVisibleTwelve->isChecked());
    for (const WatchFace* face : {&f.main.face(), &f.digitalFace()}) {
        EXPECT_FALSE(face->AM->isVisible());
        EXPECT_FALSE(face->PM->isVisible());
        EXPECT_TRUE(face->digits[0][0]->isVisible()) << "stopwatch minutes use the whole hour-tens digit";
    }

    Click(f.main.face().ModeBtn);
    EXPECT_TRUE(f.main.face().AM->isVisible()) << "the 12-hour look returns with the clock";
    EXPECT_TRUE(f.digitalFace().PM->isVisible());
}

TEST(WatchButtons, AlarmOnArmsAndDisarmsWithTheMarkOnBothFaces) {
    MainFixture f;
    Click(f.main.face().AlarmOnBtn);
    EXPECT_TRUE(f.state.alarm.AlarmEnabled);
    EXPECT_EQ(f.main.face().AlarmOn->foreColor(), watch::kLitGreen);
    EXPECT_EQ(f.digitalFace().AlarmOn->foreColor(), watch::kLitGreen);
    Click(f.main.face().AlarmOnBtn);
    EXPECT_FALSE(f.state.alarm.AlarmEnabled);
    EXPECT_EQ(f.digitalFace().AlarmOn->foreColor(), watch::kUnlitBlack);
}

TEST(WatchButtons, AlarmOnStopsARunningActionWithoutTouchingTheArmedSetting) {
    MainFixture f;
    f.showAt(7, 0, 0);
    Click(f.main.face().AlarmOnBtn); // armed, the mark lit
    f.state.alarm.AlarmInProgress = true;
    f.state.alarm.AlarmRun = 4;
    f.main.OneSec->setEnabled(true);
    (void)f.desk.media.open("alarm.wav");
    (void)f.desk.media.play();
    f.desk.loop.advance(500); // the mark blinks off
    ASSERT_EQ(f.main.face().AlarmOn->foreColor(), watch::kUnlitBlack);

    Click(f.main.face().AlarmOnBtn);
    EXPECT_EQ(f.state.alarm.AlarmStopRequested, 4U) << "the running action is asked to stop";
    EXPECT_FALSE(f.state.alarm.AlarmInProgress);
    EXPECT_TRUE(f.state.alarm.AlarmEnabled) << "stopping an action leaves the alarm armed";
    EXPECT_FALSE(f.main.OneSec->isEnabled());
    EXPECT_FALSE(f.desk.media.isOpen());
    EXPECT_EQ(f.main.face().AlarmOn->foreColor(), watch::kLitGreen);
    EXPECT_EQ(f.digitalFace().AlarmOn->foreColor(), watch::kLitGreen);
    EXPECT_TRUE(f.state.watch.LastTimeText.empty()) << "the next tick checks this second again";

    Click(f.main.face().AlarmOnBtn);
    EXPECT_FALSE(f.state.alarm.AlarmEnabled) << "the next press toggles again";
}

TEST(WatchButtons, ModeAndDisplaySwitchAskForARedraw) {
    MainFixture f;
    f.showAt(15, 0, 0);
    const int checks = f.alarmChecks;
    Click(f.main.face().HyoujiKirikae);
    f.desk.loop.advance(1);
    EXPECT_EQ(ReadDigits(f.main.face(), watch::kLitGreen), " 30000");
    EXPECT_EQ(ReadDigits(f.digitalFace(), watch::kLitGreen), " 30000");
    EXPECT_EQ(f.alarmChecks, checks + 1);
}

} // namespace
} // namespace kadrill::test
