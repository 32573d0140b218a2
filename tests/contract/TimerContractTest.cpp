#include "ContractTest.h"


namespace kadrill::contract {
namespace {

using platform::MouseButton;
using platform::Timer;
using platform::TimerPacing;

template <class B> class TimerContract : public ContractTest<B> {};
TYPED_TEST_SUITE(TimerContract, Backends, BackendNames);

TYPED_TEST(TimerContract, AnIntervalTimerTicksOnlyWhileEnabled) {
    auto w = this->backend.windows().createWindow(plainWindow());
    Timer& on = w->addTimer({.interval = 20, .enabled = true, .pacing = TimerPacing::Interval});
    Timer& off = w->addTimer({.interval = 20, .enabled = false, .pacing = TimerPacing::Interval});
    int ticks = 0;
    int offTicks = 0;
    on.tick.setHandler([&] { ++ticks; });
    off.tick.setHandler([&] { ++offTicks; });

    EXPECT_TRUE(this->backend.waitUntil([&] { return ticks >= 3; }, 1000));
    on.setEnabled(false);
    EXPECT_FALSE(on.isEnabled());
    const int stopped = ticks;
    this->backend.wait(150);
    EXPECT_EQ(ticks, stopped);
    EXPECT_EQ(offTicks, 0);
}

TYPED_TEST(TimerContract, AnIntervalOfZeroNeverTicksWhateverThePacing) {
    for (TimerPacing pacing : {TimerPacing::Interval, TimerPacing::PollsTimeOfDay, TimerPacing::DisplayRate}) {
        SCOPED_TRACE(static_cast<int>(pacing));
        auto w = this->shownWindow();
        Timer& zero = w->addTimer({.interval = 0, .enabled = true, .pacing = pacing});
        Timer& stopping = w->addTimer({.interval = 20, .enabled = true, .pacing = pacing});
        platform::PictureButton& button = w->addPictureButton(buttonAt(300, 300));
        int zeroTicks = 0;
        int stoppingTicks = 0;
        zero.tick.setHandler([&] { ++zeroTicks; });
        stopping.tick.setHandler([&] { ++stoppingTicks; });
        ASSERT_TRUE(this->backend.waitUntil([&] { return stoppingTicks > 0; }, 1500));
        stopping.setInterval(0);
        const int stopped = stoppingTicks;

        // Across a second edge, and after a handler has run.
        this->backend.wait(600);
        this->backend.click(button, MouseButton::Left);
        this->backend.wait(600);
        EXPECT_EQ(zeroTicks, 0);
        EXPECT_EQ(stoppingTicks, stopped);
    }
}

TYPED_TEST(TimerContract, EnablingADisabledTimerStartsANewInterval) {
    auto w = this->backend.windows().createWindow(plainWindow());
    Timer& t = w->addTimer({.interval = 600, .enabled = true, .pacing = TimerPacing::Interval});
    int ticks = 0;
    t.tick.setHandler([&] { ++ticks; });
    this->backend.wait(300);
    t.setEnabled(false);
    t.setEnabled(true);
    // The old interval would have ended 300 ms from here, the new one ends at 600.
    this->backend.wait(400);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(this->backend.waitUntil([&] { return ticks > 0; }, 1000));
}

TYPED_TEST(TimerContract, AnEnabledTimerGoesOnTickingWhenItsPacingChanges) {
    auto w = this->backend.windows().createWindow(plainWindow());
    Timer& t = w->addTimer({.interval = 50, .enabled = true, .pacing = TimerPacing::Interval});
    int ticks = 0;
    t.tick.setHandler([&] { ++ticks; });
    for (TimerPacing pacing : {TimerPacing::DisplayRate, TimerPacing::PollsTimeOfDay, TimerPacing::Interval,
                               TimerPacing::PollsTimeOfDay, TimerPacing::DisplayRate, TimerPacing::Interval}) {
        SCOPED_TRACE(static_cast<int>(pacing));
        t.setPacing(pacing);
        EXPECT_EQ(t.pacing(), pacing);
        ticks = 0;
        // A polling timer may wait for the next second edge.
        EXPECT_TRUE(this->backend.waitUntil([&] { return ticks >= 2; }, 2500));
    }
}

// What a user does in each case; each handler of the program marks that it ran.
enum class Action { Click, Space, Choose, PressWindow, PressLabel, PressPicture, TrayLeft, TrayRight };

TYPED_TEST(TimerContract, APollingTimerSeesWhatAUserActionChangedWithinAMillisecond) {
    auto w = this->shownWindow(mainWindow());
    auto& button = w->addPictureButton(buttonAt(300, 300));
    auto& label = w->addLabel(labelAt({1200, 300, 600, 300}, "午前"));
    auto& picture = w->addPicture(pictureAt({2400, 300, 600, 600}));
    auto& item = w->addMenu("表示(&V)").addItem("12時間表示(&W)", platform::MenuItemKind::Command);
    platform::NotifyIconRecord record{.id = 1, .tip = "Kadrill", .icon = "kadrill"};
    (void)this->backend.tray().add(record);

    int changed = 0;
    int seen = -1;
    Timer& poll = w->addTimer({.interval = 1, .enabled = true, .pacing = TimerPacing::PollsTimeOfDay});
    poll.tick.setHandler([&] { seen = changed; });
    auto mark = [&] { ++changed; };
    auto markMouse = [&](const platform::MouseEvent&) { ++changed; };
    button.clicked.setHandler(mark);
    item.chosen.setHandler(mark);
    w->mouseDown.setHandler(markMouse);
    label.mouseDown.setHandler(markMouse);
    picture.mouseDown.setHandler(markMouse);
    this->backend.tray().activated.setHandler([&](platform::TrayActivation) { ++changed; });
    ASSERT_TRUE(this->backend.activate(*w));

    for (Action a : {Action::Click, Action::Space, Action::Choose, Action::PressWindow, Action::PressLabel,
                     Action::PressPicture, Action::TrayLeft, Action::TrayRight}) {
        SCOPED_TRACE(static_cast<int>(a));
        const int before = changed;
        switch (a) {
        case Action::Click:
            this->backend.click(button, MouseButton::Left);
            break;
        case Action::Space:
            button.setFocus();
            this->backend.pressSpace();
            break;
        case Action::Choose:
            this->backend.choose(item);
            break;
        case Action::PressWindow:
            this->backend.pressMouse(*w, MouseButton::Left, {4500, 300});
            this->backend.releaseMouse(*w, MouseButton::Left, {4500, 300});
            break;
        case Action::PressLabel:
            this->backend.clickLabel(label, MouseButton::Left, {15, 15});
            break;
        case Action::PressPicture:
            this->backend.pressMouse(picture, MouseButton::Left, {15, 15});
            this->backend.releaseMouse(picture, MouseButton::Left, {15, 15});
            break;
        case Action::TrayLeft:
            this->backend.pressTray(TrayPress::Left);
            break;
        case Action::TrayRight:
            this->backend.pressTray(TrayPress::Right);
            break;
        }
        this->backend.wait(1);
        ASSERT_EQ(changed, before + 1) << "the action reached its handler";
        EXPECT_EQ(seen, changed);
    }
    (void)this->backend.tray().remove(record);
}

TYPED_TEST(TimerContract, TheClockGivesATimeOfDayAndACounterThatMovesWithTime) {
    const platform::TimeOfDay now = this->backend.clock().timeOfDay();
    EXPECT_TRUE(now.hour >= 0 && now.hour <= 23 && now.minute >= 0 && now.minute <= 59 && now.second >= 0 &&
                now.second <= 59)
        << platform::formatTimeText(now);
    const std::uint32_t before = this->backend.clock().tickCount();
    this->backend.wait(60);
    const std::uint32_t elapsed = platform::ticksBetween(before, this->backend.clock().tickCount());
    EXPECT_GE(elapsed, 59U);
    EXPECT_LT(elapsed, 2000U);
}

} // namespace
} // namespace kadrill::contract
