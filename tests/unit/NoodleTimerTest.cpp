#include "ramen/NoodleTimer.h"

#include "WatchTestSupport.h"
#include "memory/MemoryPlatform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kadrill::ramen {
namespace {

using platform::Point;
using platform::memory::MemoryCommandButton;
using platform::memory::MemoryWindow;

constexpr const char* kFirstHint = "お湯を入れたら開始ボタンをおしてね。";
constexpr const char* kSecondHint = "お湯は熱湯じゃないとおいしいラーメンはできないよ。";
constexpr const char* kOneMinute = "１分経過。";
constexpr const char* kFirm = "かためが好みならそろそろいいんじゃないかな。";
constexpr const char* kTwoMinutes = "２分経過。";
constexpr const char* kDone = "３分たったよ。";

/// What the bubble says and where, as one comparable line: "" while it is hidden.
std::string said(NoodleTimer& t) {
    if (!t.Picture[5]->isVisible()) {
        EXPECT_FALSE(t.Picture[7]->isVisible()) << "the character speaks only with its bubble";
        return "";
    }
    EXPECT_TRUE(t.Picture[7]->isVisible()) << "the bubble shows with the speaking character";
    const Point at = t.Label1->position();
    return t.Label1->text() + " @" + std::to_string(at.x) + "," + std::to_string(at.y);
}

std::string line(const char* text, int left, int top) {
    return std::string(text) + " @" + std::to_string(left) + "," + std::to_string(top);
}

/// The uppermost cup picture shown: "cup", "steam1", "steam2", "ready1", "ready2".
std::string cup(NoodleTimer& t) {
    static const char* const kNames[] = {"cup", "steam1", "steam2", "ready1", "ready2"};
    EXPECT_TRUE(t.Picture[0]->isVisible()) << "the closed cup lies beneath everything";
    for (int i = 4; i >= 0; --i) {
        if (t.Picture[i]->isVisible()) {
            return kNames[i];
        }
    }
    return "none";
}

class NoodleTimerTest : public testing::Test {
protected:
    void open() {
        timer.Show();
        ASSERT_TRUE(timer.isOpen());
    }
    MemoryWindow& window() { return dynamic_cast<MemoryWindow&>(*timer.window()); }
    static bool click(platform::CommandButton* b) { return dynamic_cast<MemoryCommandButton&>(*b).click(); }
    /// Another window of the desktop, to put in front.
    std::unique_ptr<platform::Window> otherWindow() {
        platform::WindowProperties props;
        props.caption = "other";
        return desk.windows.createWindow(props);
    }
    /// Lets whole seconds pass, tick by tick.
    void seconds(int n) { desk.loop.advance(std::int64_t{n} * 1000); }
    /// Holds the event loop up: the counter moves on, no tick runs meanwhile.
    void stall(std::int64_t ms) { desk.clock.advance(ms); }
    /// Opens the timer and presses Start part-way through a second, as a user would.
    void openAndStart() {
        open();
        desk.loop.advance(2400);
        ASSERT_TRUE(click(timer.StartButton));
    }

    platform::memory::MemoryPlatform desk;
    state::NoodleFields fields;
    NoodleTimer timer{desk.platform, fields};
};

TEST_F(NoodleTimerTest, OpensIdleAndAlternatesTheTwoHintsEveryTenSeconds) {
    open();
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(window().isActive());
    EXPECT_TRUE(timer.StartButton->isEnabled());
    EXPECT_FALSE(timer.ResetButton->isEnabled());
    EXPECT_EQ(cup(timer), "cup");
    EXPECT_TRUE(timer.Picture[6]->isVisible());
    desk.loop.advance(999);
    EXPECT_EQ(said(timer), "") << "nothing is said before the first tick";

    desk.loop.advance(1);
    for (int tick = 1; tick <= 45; ++tick) {
        SCOPED_TRACE("tick " + std::to_string(tick));
        const bool first = (tick - 1) / 10 % 2 == 0;
        EXPECT_EQ(said(timer), first ? line(kFirstHint, 360, 360) : line(kSecondHint, 360, 240));
        EXPECT_EQ(cup(timer), "cup") << "the pictures rest while idle";
        seconds(1);
    }
}

TEST_F(NoodleTimerTest, StartHushesAtOnceAndTheRemarksComeAtFixedMoments) {
    openAndStart();
    EXPECT_EQ(said(timer), "");
    EXPECT_EQ(timer.Label1->text(), "");
    EXPECT_FALSE(timer.StartButton->isEnabled());
    EXPECT_TRUE(timer.ResetButton->isEnabled());
    EXPECT_EQ(fields.NoodleClock, "0:03:00");

    // Every change of the bubble over the whole countdown, by the tick it came with.
    std::vector<std::string> changes;
    std::string before = said(timer);
    for (int tick = 1; tick <= 200; ++tick) {
        seconds(1);
        if (tick == 1) {
            EXPECT_EQ(fields.NoodleClock, "0:02:59");
        }
        const std::string now = said(timer);
        if (now != before) {
            changes.push_back(std::to_string(tick) + " " + now);
            before = now;
        }
    }
    EXPECT_EQ(changes, (std::vector<std::string>{
                           "60 " + line(kOneMinute, 840, 480),
                           "65 ",
                           "90 " + line(kFirm, 360, 240),
                           "95 ",
                           "120 " + line(kTwoMinutes, 840, 480),
                           "125 ",
                           "180 " + line(kDone, 600, 480),
                       }));
    EXPECT_EQ(fields.NoodleClock, "0:00:00");
}

TEST_F(NoodleTimerTest, SteamAlternatesWhileCountingThenTheOpenedCupOverTheLastSteamFrame) {
    openAndStart();
    std::vector<std::string> frames;
    for (int tick = 1; tick <= 4; ++tick) {
        seconds(1);
        frames.push_back(cup(timer));
    }
    EXPECT_EQ(frames, (std::vector<std::string>{"steam2", "steam1", "steam2", "steam1"}));

    seconds(175);
    EXPECT_EQ(cup(timer), "steam2") << "tick 179";
    seconds(1);
    EXPECT_EQ(cup(timer), "ready1") << "tick 180: zero";
    EXPECT_TRUE(timer.Picture[2]->isVisible()) << "the last steam frame stays beneath";
    EXPECT_FALSE(timer.Picture[1]->isVisible());
    frames.clear();
    for (int tick = 0; tick < 4; ++tick) {
        seconds(1);
        frames.push_back(cup(timer));
    }
    EXPECT_EQ(frames, (std::vector<std::string>{"ready2", "ready1", "ready2", "ready1"}));
}

TEST_F(NoodleTimerTest, TheFinishedStateLastsUntilReset) {
    openAndStart();
    seconds(180 + 15 * 60);
    EXPECT_EQ(said(timer), line(kDone, 600, 480));
    EXPECT_TRUE(fields.NoodleRunning);
    EXPECT_EQ(fields.NoodleClock, "0:00:00");
    EXPECT_FALSE(timer.StartButton->isEnabled());
    EXPECT_FALSE(click(timer.StartButton)) << "no restart without a reset";
    EXPECT_TRUE(timer.ResetButton->isEnabled());
}

TEST_F(NoodleTimerTest, ResetReturnsToTheCupAndTheFirstHintFollowsWithinASecond) {
    openAndStart();
    seconds(92);
    ASSERT_EQ(said(timer), line(kFirm, 360, 240));
    desk.loop.advance(300);
    ASSERT_TRUE(click(timer.ResetButton));
    EXPECT_EQ(cup(timer), "cup");
    EXPECT_EQ(said(timer), line(kFirm, 360, 240)) << "the bubble keeps its words until the next tick";
    EXPECT_TRUE(timer.StartButton->isEnabled());
    EXPECT_FALSE(timer.ResetButton->isEnabled());
    EXPECT_FALSE(fields.NoodleRunning);

    desk.loop.advance(700);
    EXPECT_EQ(said(timer), line(kFirstHint, 360, 360));
    seconds(10);
    EXPECT_EQ(said(timer), line(kSecondHint, 360, 240));

    // A second countdown runs its full three minutes again.
    ASSERT_TRUE(click(timer.StartButton));
    seconds(179);
    EXPECT_NE(said(timer), line(kDone, 600, 480));
    seconds(1);
    EXPECT_EQ(said(timer), line(kDone, 600, 480));
}

TEST_F(NoodleTimerTest, KeyboardUseStaysOnTheButtonRow) {
    open();
    timer.StartButton->setFocus();
    ASSERT_TRUE(window().pressAccessKey('s'));
    EXPECT_TRUE(timer.ResetButton->hasFocus()) << "Start was disabled under the focus";
    ASSERT_TRUE(window().pressSpace());
    EXPECT_FALSE(fields.NoodleRunning);
    EXPECT_TRUE(timer.StartButton->hasFocus());
    EXPECT_FALSE(window().pressAccessKey('r')) << "Reset is disabled while idle";
}

TEST_F(NoodleTimerTest, ClosingStopsEverythingAndReopeningStartsAfreshButTheFramePhase) {
    enum class Way { EndButton, CloseBox, AccessKey };
    for (Way way : {Way::EndButton, Way::CloseBox, Way::AccessKey}) {
        SCOPED_TRACE(static_cast<int>(way));
        openAndStart();
        seconds(61); // an odd number of frames: the next one is the first
        ASSERT_TRUE(fields.NoodleFramePhase);
        switch (way) {
        case Way::EndButton:
            ASSERT_TRUE(click(timer.EndButton));
            break;
        case Way::CloseBox:
            window().close();
            break;
        case Way::AccessKey:
            ASSERT_TRUE(window().pressAccessKey('e'));
            break;
        }
        EXPECT_FALSE(timer.isOpen());
        EXPECT_EQ(timer.StartButton, nullptr);
        const std::string clock = fields.NoodleClock;
        seconds(30);
        EXPECT_EQ(fields.NoodleClock, clock) << "no tick runs once closed";

        open();
        EXPECT_FALSE(fields.NoodleRunning);
        EXPECT_EQ(cup(timer), "cup");
        EXPECT_EQ(said(timer), "");
        EXPECT_TRUE(timer.StartButton->isEnabled());
        seconds(1);
        EXPECT_EQ(said(timer), line(kFirstHint, 360, 360)) << "the hints start over";
        ASSERT_TRUE(click(timer.StartButton));
        seconds(1);
        EXPECT_EQ(cup(timer), "steam1") << "the animation goes on where it left off";
        ASSERT_TRUE(click(timer.EndButton));
        desk.loop.runPosted();
        fields.NoodleFramePhase = false;
    }
}

TEST_F(NoodleTimerTest, OneWindowOnlyAndShowingItAgainBringsItBack) {
    open();
    platform::Window* first = timer.window();
    window().setWindowState(platform::WindowState::Minimized);
    auto other = otherWindow();
    other->show();
    other->activate();

    timer.Show();
    EXPECT_EQ(timer.window(), first);
    EXPECT_EQ(window().windowState(), platform::WindowState::Normal);
    EXPECT_TRUE(window().isActive());
}

// Ticks the event loop could not deliver on time (a busy handler, a suspend): the time
// left is what the counter says, and the bubble is what that moment calls for.
TEST_F(NoodleTimerTest, LateTicksNeitherStretchTheCountdownNorLoseTheBubblesState) {
    struct Case {
        const char* what;
        int ticksBefore;
        std::int64_t stallMs;
        const char* clock; // after the next tick
        std::string bubble;
    };
    const Case cases[] = {
        {"held up half a minute", 10, 30000, "0:02:19", ""},
        {"a remark's first second passed over", 58, 3000, "0:01:58", line(kOneMinute, 840, 480)},
        {"a remark's end passed over", 62, 5000, "0:01:52", ""},
        {"asleep past the end", 30, 10 * 60 * 1000, "0:00:00", line(kDone, 600, 480)},
        {"a tick 400 ms late still counts one second", 20, 400, "0:02:39", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        openAndStart();
        seconds(c.ticksBefore);
        stall(c.stallMs);
        seconds(1);
        EXPECT_EQ(fields.NoodleClock, c.clock);
        EXPECT_EQ(said(timer), c.bubble);
        ASSERT_TRUE(click(timer.EndButton));
        desk.loop.runPosted();
    }
}

TEST_F(NoodleTimerTest, ALateTickDoesNotShiftTheSecondsAfterIt) {
    openAndStart();
    seconds(20);
    stall(400);
    std::vector<std::string> clocks;
    for (int i = 0; i < 3; ++i) {
        seconds(1);
        clocks.push_back(fields.NoodleClock);
    }
    EXPECT_EQ(clocks, (std::vector<std::string>{"0:02:39", "0:02:38", "0:02:37"}));
}

TEST_F(NoodleTimerTest, TheCountdownRunsAcrossTheCountersWrap) {
    desk.clock.setTickCount((std::int64_t{1} << 32) - 2500);
    openAndStart();
    seconds(179);
    EXPECT_EQ(fields.NoodleClock, "0:00:01");
    seconds(1);
    EXPECT_EQ(fields.NoodleClock, "0:00:00");
    EXPECT_EQ(said(timer), line(kDone, 600, 480));
}

TEST_F(NoodleTimerTest, TheEndAsksForAttentionWhenTheTimerIsNotInFront) {
    for (bool inFront : {false, true}) {
        SCOPED_TRACE(inFront ? "in front" : "behind another window");
        openAndStart();
        auto other = otherWindow();
        other->show();
        if (!inFront) {
            other->activate();
        }
        seconds(179);
        EXPECT_FALSE(window().isDemandingAttention());
        seconds(1);
        EXPECT_EQ(window().isDemandingAttention(), !inFront);
        window().activate();
        EXPECT_FALSE(window().isDemandingAttention()) << "looked at, it is satisfied";
        other->activate();
        seconds(5);
        EXPECT_FALSE(window().isDemandingAttention()) << "asked once, at the end";
        ASSERT_TRUE(click(timer.EndButton));
        desk.loop.runPosted();
    }
}

TEST(NoodleTimerFromTheMenu, TheTimerMenuOpensOneTimerAndTheWatchRunsOn) {
    test::MainFixture f;
    f.showAt(10, 0, 0);
    ASSERT_TRUE(test::Choose(f.main.mnuTimerNoodle));
    NoodleTimer& timer = f.main.noodleTimer();
    ASSERT_TRUE(timer.isOpen());
    platform::Window* window = timer.window();
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(test::Choose(f.main.mnuTimerNoodle));
    EXPECT_EQ(timer.window(), window);

    ASSERT_TRUE(dynamic_cast<MemoryCommandButton&>(*timer.StartButton).click());
    f.desk.loop.advance(3000);
    EXPECT_EQ(f.state.ramen.NoodleClock, "0:02:57");
    EXPECT_EQ(test::ReadDigits(f.main.face(), f.state.watch.SegmentColors[1]), "100003");
}

} // namespace
} // namespace kadrill::ramen

namespace kadrill::ramen {
namespace {

TEST_F(NoodleTimerTest, OnlyANewSecondStepsTheTimerAndTheWallClockMovesNothing) {
    openAndStart();
    seconds(30);
    const std::string clock = fields.NoodleClock;
    const std::string shown = cup(timer);
    // Ticks that come right after other handlers, within the same second, change nothing.
    for (int i = 0; i < 5; ++i) {
        timer.Timer1->tick.raise();
    }
    EXPECT_EQ(fields.NoodleClock, clock);
    EXPECT_EQ(cup(timer), shown);

    // The clock set an hour either way (the set-time dialog, a time sync) moves no second.
    for (const int hour : {13, 11}) {
        desk.clock.setTimeOfDay(hour, 0, 0);
        timer.Timer1->tick.raise();
        EXPECT_EQ(fields.NoodleClock, clock);
    }
    seconds(1);
    EXPECT_EQ(fields.NoodleClock, "0:02:29");
}

} // namespace
} // namespace kadrill::ramen
