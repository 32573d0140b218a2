#include "WatchTestSupport.h"
#include "mainwin/WindowPlacement.h"
#include "platform/Controls.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace kadrill::test {
namespace {

using platform::Point;
using platform::WindowState;

// The four window states of the watch, read off both windows, the menu item and the flag.
struct Look {
    bool mainVisible;
    bool mainMinimized;
    bool digitalVisible;
    bool digitalMinimized;
    bool swapChecked;
    bool swapEnabled;
    bool hiddenInTray;
    bool trayHideChecked; // the icon's own item in the menu a panel shows
    friend bool operator==(const Look&, const Look&) = default;
};

std::ostream& operator<<(std::ostream& os, const Look& l) {
    return os << "main " << (l.mainVisible ? "shown" : "hidden") << (l.mainMinimized ? "/min" : "") << ", digital "
              << (l.digitalVisible ? "shown" : "hidden") << (l.digitalMinimized ? "/min" : "") << ", swap "
              << (l.swapChecked ? "checked" : "unchecked") << (l.swapEnabled ? "" : "/disabled")
              << (l.hiddenInTray ? ", in tray" : "") << (l.trayHideChecked ? ", icon's item checked" : "");
}

constexpr Look kMainShown{true, false, false, false, false, true, false, false};
constexpr Look kDigitalShown{false, false, true, false, true, true, false, false};
constexpr Look kMainInTray{false, true, false, false, false, false, true, true};
constexpr Look kDigitalInTray{false, false, false, true, true, false, true, true};

Look lookOf(MainFixture& f) {
    return {f.window().isVisible(),
            f.window().windowState() == WindowState::Minimized,
            f.digitalWindow().isVisible(),
            f.digitalWindow().windowState() == WindowState::Minimized,
            f.main.mnuVisibleMenuBar->isChecked(),
            f.main.mnuVisibleMenuBar->isEnabled(),
            f.state.mainwin.HiddenInTray,
            f.desk.tray.ownItem()->isChecked()};
}

enum class Action { Swap, TrayLeft, TrayMenuItem, Minimize, SecondStart };

struct StateRow {
    const char* name;
    std::vector<Action> before; // from the start state
    Action action;
    Look from;
    Look to;
};

void PrintTo(const StateRow& r, std::ostream* os) { *os << r.name; }

void perform(MainFixture& f, Action a) {
    switch (a) {
    case Action::Swap:
        ASSERT_TRUE(Choose(f.main.mnuVisibleMenuBar));
        break;
    case Action::TrayLeft:
        f.desk.tray.pressLeft();
        break;
    case Action::TrayMenuItem: // where a panel gives the icon no plain click
        ASSERT_TRUE(f.desk.tray.ownItem()->choose());
        break;
    case Action::Minimize:
        f.window().setWindowState(WindowState::Minimized); // the minimise button
        break;
    case Action::SecondStart:
        f.main.bringToFront();
        break;
    }
}

class WindowStates : public ::testing::TestWithParam<StateRow> {};

TEST_P(WindowStates, MenuChoicesAndTrayPressesMoveBetweenTheFourStates) {
    const StateRow& row = GetParam();
    MainFixture f;
    for (Action a : row.before) {
        perform(f, a);
    }
    ASSERT_EQ(lookOf(f), row.from);
    perform(f, row.action);
    EXPECT_EQ(lookOf(f), row.to);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowStates,
    ::testing::Values(
        StateRow{"MainShownSwap", {}, Action::Swap, kMainShown, kDigitalShown},
        StateRow{"DigitalShownSwap", {Action::Swap}, Action::Swap, kDigitalShown, kMainShown},
        StateRow{"MainShownMinimise", {}, Action::Minimize, kMainShown, kMainInTray},
        StateRow{"MainShownTrayLeft", {}, Action::TrayLeft, kMainShown, kMainInTray},
        StateRow{"MainInTrayTrayLeft", {Action::Minimize}, Action::TrayLeft, kMainInTray, kMainShown},
        StateRow{"DigitalShownTrayLeft", {Action::Swap}, Action::TrayLeft, kDigitalShown, kDigitalInTray},
        StateRow{
            "DigitalInTrayTrayLeft", {Action::Swap, Action::TrayLeft}, Action::TrayLeft, kDigitalInTray, kDigitalShown},
        StateRow{"MainShownTrayMenuItem", {}, Action::TrayMenuItem, kMainShown, kMainInTray},
        StateRow{"DigitalInTrayTrayMenuItem",
                 {Action::Swap, Action::TrayLeft},
                 Action::TrayMenuItem,
                 kDigitalInTray,
                 kDigitalShown},
        // Starting the program again brings the running watch forward.
        StateRow{"MainShownSecondStart", {}, Action::SecondStart, kMainShown, kMainShown},
        StateRow{"MainInTraySecondStart", {Action::Minimize}, Action::SecondStart, kMainInTray, kMainShown},
        StateRow{"DigitalShownSecondStart", {Action::Swap}, Action::SecondStart, kDigitalShown, kDigitalShown},
        StateRow{"DigitalInTraySecondStart",
                 {Action::Swap, Action::TrayLeft},
                 Action::SecondStart,
                 kDigitalInTray,
                 kDigitalShown}),
    [](const ::testing::TestParamInfo<StateRow>& p) { return std::string(p.param.name); });

TEST(WindowBehaviour, RestoringFromTheTrayActivatesTheWindowWhereItWas) {
    MainFixture f;
    f.window().setPosition({3000, 4500});
    f.desk.tray.pressLeft();
    f.desk.tray.pressLeft();
    EXPECT_TRUE(f.window().isActive());
    EXPECT_EQ(f.window().position(), (Point{3000, 4500}));
    EXPECT_EQ(f.window().windowState(), WindowState::Normal);
}

TEST(WindowBehaviour, ASecondStartActivatesTheWatchWindowInUseWhereItWas) {
    for (bool digital : {false, true}) {
        for (bool inTray : {false, true}) {
            MainFixture f;
            if (digital) {
                ASSERT_TRUE(Choose(f.main.mnuVisibleMenuBar));
            }
            MemoryWindow& inUse = digital ? f.digitalWindow() : f.window();
            inUse.setPosition({3000, 4500});
            f.desk.windows.setActive(nullptr); // another program has the focus
            if (inTray) {
                f.desk.tray.pressLeft();
            }
            f.main.bringToFront();
            SCOPED_TRACE(std::string(digital ? "frameless" : "main") + (inTray ? ", from the tray" : ""));
            EXPECT_TRUE(inUse.isActive());
            EXPECT_EQ(inUse.position(), (Point{3000, 4500}));
            EXPECT_FALSE((digital ? f.window() : f.digitalWindow()).isVisible());
        }
    }
}

TEST(WindowBehaviour, ASecondStartRestoresAWatchMinimisedOnTheTaskBar) {
    MainFixture f;
    f.desk.tray.setAvailable(false);
    f.window().setWindowState(WindowState::Minimized);
    f.main.bringToFront();
    EXPECT_EQ(lookOf(f), kMainShown);
    EXPECT_EQ(f.window().windowState(), WindowState::Normal);
    EXPECT_TRUE(f.window().isActive());
}

TEST(WindowBehaviour, TheRightTrayPressAndTheRightPressOnTheFaceOrAmPmPopUpTheDisplayMenu) {
    MainFixture f;
    auto popups = [&] { return f.desk.windows.popups().size(); };
    f.desk.tray.pressRight();
    ASSERT_EQ(popups(), 1U);
    EXPECT_EQ(f.desk.windows.popups().back(), f.window().menu("表示(&V)"));

    f.window().pressMouse(platform::MouseButton::Right, {1000, 1000});
    EXPECT_EQ(popups(), 2U);
    asLabel(f.main.face().AM).press(platform::MouseButton::Right);
    EXPECT_EQ(popups(), 2U) << "AM is hidden in the 24-hour look";
    Click(f.main.face().HyoujiKirikae);
    asLabel(f.main.face().PM).press(platform::MouseButton::Right);
    EXPECT_EQ(popups(), 3U);
    asLabel(f.main.face().AlarmOn).press(platform::MouseButton::Right);
    f.window().pressMouse(platform::MouseButton::Left, {1000, 1000});
    EXPECT_EQ(popups(), 3U) << "the ♪ mark and a left press offer nothing";

    f.desk.tray.pressLeft(); // hidden: the icon's menu still opens, the swap disabled
    f.desk.tray.pressRight();
    EXPECT_EQ(popups(), 4U);
    EXPECT_FALSE(Choose(f.main.mnuVisibleMenuBar));
    EXPECT_TRUE(Choose(f.main.mnuVisibleDigital)) << "the options still switch while hidden";
}

TEST(WindowBehaviour, WithoutANotificationAreaMinimisingLeavesTheWindowOnTheTaskBar) {
    MainFixture f;
    f.desk.tray.setAvailable(false);
    f.window().setWindowState(WindowState::Minimized);
    EXPECT_TRUE(f.window().isVisible());
    EXPECT_FALSE(f.state.mainwin.HiddenInTray);
    EXPECT_TRUE(f.main.mnuVisibleMenuBar->isEnabled());

    // A panel that starts later takes the watch from then on.
    f.window().setWindowState(WindowState::Normal);
    f.desk.tray.setAvailable(true);
    f.window().setWindowState(WindowState::Minimized);
    EXPECT_FALSE(f.window().isVisible());
    EXPECT_TRUE(f.state.mainwin.HiddenInTray);
}

TEST(WindowBehaviour, WhenTheNotificationAreaGoesAwayTheHiddenWatchComesBack) {
    for (bool digital : {false, true}) {
        MainFixture f;
        if (digital) {
            Choose(f.main.mnuVisibleMenuBar);
        }
        f.desk.tray.pressLeft();
        ASSERT_TRUE(f.state.mainwin.HiddenInTray);
        f.desk.tray.setAvailable(false);
        EXPECT_EQ(lookOf(f), digital ? kDigitalShown : kMainShown);
    }
}

TEST(WindowBehaviour, TheSwapPutsTheFacesOnTopOfEachOtherFromTheRealFrame) {
    MainFixture f;
    f.window().setPosition({1500, 3000});
    const Point offset = *f.window().clientOffset();
    ASSERT_NE(offset, mainwin::kFallbackFaceOffset) << "the in-memory frame differs from the fallback";
    Choose(f.main.mnuVisibleMenuBar);
    EXPECT_EQ(f.digitalWindow().position(), (Point{1500 + offset.x, 3000 + offset.y}));
    EXPECT_TRUE(f.digitalFace().ModeBtn->hasFocus());

    f.digitalWindow().setPosition({6000, 9000}); // dragged meanwhile
    Choose(f.main.mnuVisibleMenuBar);
    EXPECT_EQ(f.window().position(), (Point{6000 - offset.x, 9000 - offset.y}));
    EXPECT_TRUE(f.main.face().ModeBtn->hasFocus());
}

TEST(WindowBehaviour, WithTheFrameUnknownTheSwapUsesTheFixedOffsets) {
    platform::memory::MemoryPlatform desk;
    state::WatchState state;
    mainwin::CMain main(desk.platform, state);
    main.Load(); // never shown: the window system has told nothing of its frame
    main.window().setPosition({1500, 3000});
    Choose(main.mnuVisibleMenuBar);
    EXPECT_EQ(main.digital()->window().position(), (Point{1550, 3610}));
}

TEST(WindowBehaviour, AWatchWindowBeingShownIsKeptOnTheScreen) {
    MainFixture f;
    const platform::Rect area = f.desk.windows.availableArea();
    // Dragged up to the very top: back on the main window, its title bar would be off screen.
    Choose(f.main.mnuVisibleMenuBar);
    f.digitalWindow().setPosition({-3000, 0});
    Choose(f.main.mnuVisibleMenuBar);
    EXPECT_EQ(f.window().position(), (Point{area.left, area.top}));

    // Hidden to the tray, then the screen it was on went away.
    f.window().setPosition({area.left + area.width + 2000, 3000});
    f.desk.tray.pressLeft();
    f.desk.tray.pressLeft();
    const platform::Rect frame = f.window().frameRect();
    EXPECT_EQ(frame.left + frame.width, area.left + area.width);
    EXPECT_EQ(frame.top, 3000);
}

TEST(WindowBehaviour, ClosingTheFramelessWindowEndsTheProgramLikeTheMainWindow) {
    MainFixture f;
    Choose(f.main.mnuVisibleMenuBar);
    f.digitalWindow().close();
    EXPECT_EQ(f.desk.app.quitCount(), 1);
    EXPECT_FALSE(f.desk.tray.isAdded());
    f.window().close();
    EXPECT_EQ(f.desk.app.quitCount(), 1) << "the program ends once";
}

TEST(WindowBehaviour, TheDialogOpenersRunFromTheirButtonsOnBothFacesAndFromTheMenu) {
    MainFixture f;
    std::vector<std::string> opened;
    f.main.timeSetRequested.setHandler([&] { opened.push_back("TimeSet"); });
    f.main.alarmRequested.setHandler([&] { opened.push_back("Alarm"); });
    f.main.noodleTimerRequested.setHandler([&] { opened.push_back("NTimer"); });
    Click(f.main.face().SetBtn);
    Click(f.main.face().AlmBtn);
    Choose(f.main.mnuTime);
    Choose(f.main.mnuSetAlarm);
    Choose(f.main.mnuTimerNoodle);
    Choose(f.main.mnuVisibleMenuBar);
    Click(f.digitalFace().SetBtn);
    Click(f.digitalFace().AlmBtn);
    EXPECT_EQ(opened, (std::vector<std::string>{"TimeSet", "Alarm", "TimeSet", "Alarm", "NTimer", "TimeSet", "Alarm"}));
}

struct HelpRow {
    const char* name;
    platform::HelpResult result;
    std::vector<std::string> messages; // texts shown, each with the title Kadrill
    platform::MessageIcon icon;
};

void PrintTo(const HelpRow& r, std::ostream* os) { *os << r.name; }

class HelpOutcomes : public ::testing::TestWithParam<HelpRow> {};

TEST_P(HelpOutcomes, TheHelpOpensOrTheUserLearnsWhyNot) {
    MainFixture f;
    f.desk.help.setResult(GetParam().result);
    Choose(f.main.mnuHelpTopic);
    EXPECT_EQ(f.desk.help.requests(), 1);
    std::vector<std::string> texts;
    for (const auto& shown : f.desk.messages.shown()) {
        texts.push_back(shown.text);
        EXPECT_EQ(shown.title, "Kadrill");
        EXPECT_EQ(shown.icon, GetParam().icon);
        EXPECT_EQ(shown.buttons, platform::MessageButtons::Ok);
    }
    EXPECT_EQ(texts, GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Help, HelpOutcomes,
    ::testing::Values(HelpRow{"Shown", {platform::HelpResult::Status::Shown, ""}, {}, platform::MessageIcon::None},
                      HelpRow{"Missing",
                              {platform::HelpResult::Status::Missing, ""},
                              {"ﾍﾙﾌﾟの目次を表示できません。 このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。"},
                              platform::MessageIcon::Information},
                      HelpRow{"Failed",
                              {platform::HelpResult::Status::Failed, "ﾍﾙﾌﾟを開けません。"},
                              {"ﾍﾙﾌﾟを開けません。"},
                              platform::MessageIcon::None}),
    [](const ::testing::TestParamInfo<HelpRow>& p) { return std::string(p.param.name); });

} // namespace
} // namespace kadrill::test
