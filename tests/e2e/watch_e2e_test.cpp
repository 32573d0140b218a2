// The whole watch driven as a person would: clicks on its real buttons, its menus by
// their access keys, the swap to the frameless window and back, the notification
// area and the help, all read back from the screen.

#include "kadrill_fixture.h"
#include "status_notifier.h"

#include <X11/Xlib.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

using namespace e2e;

// Seconds and hundredths of a stopwatch reading such as "000153" (1.53 s).
double stopwatchSeconds(const std::string& digits) {
    const auto minutes = face::fieldValue(std::string_view(digits).substr(0, 2));
    const auto seconds = face::fieldValue(std::string_view(digits).substr(2, 2));
    const auto hundredths = face::fieldValue(std::string_view(digits).substr(4, 2));
    if (!minutes || !seconds || !hundredths)
        return -1;
    return *minutes * 60 + *seconds + *hundredths / 100.0;
}

class WatchTest : public KadrillTest {
protected:
    // Starts the program and waits for a readable face on the screen.
    FaceGrab start(EnvChanges env = {}) {
        startKadrill(std::move(env));
        const Window w = mainWindow();
        EXPECT_NE(w, Window(None));
        auto shown = waitForFace(w);
        EXPECT_TRUE(shown);
        auto onScreen = pollFor<FaceGrab>(kStartTimeout, [&] { return faceOnScreen(); });
        EXPECT_TRUE(onScreen) << "the face is not on the screen"
                              << screenshotNote(*x_.grab(x_.root()), "not-on-screen");
        return onScreen ? std::move(*onScreen) : FaceGrab{Image(1, 1), {}, ""};
    }

    // Swaps the windows through the display menu popped up on the face: a right press on
    // the bare face, then the menu's access key, the same with or without a window manager
    // giving the keyboard to the watch.
    void swapFromTheFace(face::Point faceAt) {
        clickFace(faceAt, face::kBareFace, 3);
        std::this_thread::sleep_for(300ms);
        x_.keyChord({"h"});
    }

    // Waits until the face on the screen reads as `wanted` says.
    std::optional<FaceGrab> waitForReading(const std::function<bool(const std::string&)>& wanted,
                                           std::chrono::milliseconds timeout = 5s) {
        return pollFor<FaceGrab>(timeout, [&]() -> std::optional<FaceGrab> {
            auto f = faceOnScreen();
            if (f && wanted(f->digits))
                return f;
            return std::nullopt;
        });
    }
};

// ---------------------------------------------------------------- stopwatch

class StopwatchByButtons : public WatchTest {};

TEST_F(StopwatchByButtons, StartStopShowsTheTimeBetweenTheClicksAndResetClearsIt) {
    const FaceGrab first = start();
    const face::Point at = first.origin;

    clickFace(at, face::kModeButton);
    ASSERT_TRUE(waitForReading([](const std::string& d) { return d == "000000"; }))
        << "Mode did not bring up a cleared stopwatch";

    const auto started = Clock::now();
    clickFace(at, face::kLeftSharedButton); // Start
    std::this_thread::sleep_for(1500ms);
    const auto running = faceOnScreen();
    ASSERT_TRUE(running);
    clickFace(at, face::kLeftSharedButton); // Stop, in Start's place
    const double between = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_GT(stopwatchSeconds(running->digits), 1.0) << "running, the reading was \"" << running->digits << "\"";

    std::this_thread::sleep_for(300ms);
    const auto stopped = faceOnScreen();
    ASSERT_TRUE(stopped);
    const double shown = stopwatchSeconds(stopped->digits);
    // The clicks take a few tens of milliseconds to travel; the reading lies between.
    EXPECT_GT(shown, between - 0.25) << "reads \"" << stopped->digits << "\"" << screenshotNote(stopped->image, "stop");
    EXPECT_LE(shown, between + 0.05) << "reads \"" << stopped->digits << "\"" << screenshotNote(stopped->image, "stop");
    std::this_thread::sleep_for(1000ms);
    const auto later = faceOnScreen();
    ASSERT_TRUE(later);
    EXPECT_EQ(later->digits, stopped->digits) << "a stopped stopwatch stands";

    clickFace(at, face::kRightSharedButton); // Reset
    EXPECT_TRUE(waitForReading([](const std::string& d) { return d == "000000"; })) << "Reset did not clear";

    clickFace(at, face::kModeButton);
    EXPECT_TRUE(waitForReading([](const std::string& d) { return d.substr(2, 2) != "00" || d[0] != '0'; }))
        << "Mode did not bring the clock back";
}

// ---------------------------------------------------------------- menus

class MenusByAccessKeys : public WatchTest {};

TEST_F(MenusByAccessKeys, TwelveHourDisplayFromTheViewMenu) {
    ASSERT_FALSE(configured("KADRILL_E2E_FAKETIME_LIB").empty()) << "libfaketime was not found at configure time";
    startWindowManager();
    const FaceGrab first = start(fakeClock("2026-12-08 21:47:10"));
    ASSERT_EQ(first.digits.substr(0, 4), "2147") << screenshotNote(first.image, "24h");
    clickFace(first.origin, face::kBareFace); // the window has the keyboard

    x_.keyChord({"Alt_L", "v"});
    std::this_thread::sleep_for(200ms);
    x_.keyChord({"w"});
    // The marks stand where the hour tens would have its left segments: read the hour units on.
    const auto twelve = waitForReading([](const std::string& d) { return d.substr(1, 3) == "947"; });
    ASSERT_TRUE(twelve) << "the 12-hour display did not show" << screenshotNote(*x_.grab(x_.root()), "keys");
    EXPECT_TRUE(face::markLit(twelve->image, twelve->origin, face::kPmBox)) << screenshotNote(twelve->image, "pm");
    EXPECT_FALSE(face::markLit(twelve->image, twelve->origin, face::kAmBox)) << screenshotNote(twelve->image, "pm");

    x_.keyChord({"Alt_L", "v"});
    std::this_thread::sleep_for(200ms);
    x_.keyChord({"w"});
    EXPECT_TRUE(waitForReading([](const std::string& d) { return d.substr(0, 4) == "2147"; }))
        << "the 24-hour display did not come back";
}

TEST_F(MenusByAccessKeys, TheHelpOpensInItsOwnWindow) {
    startWindowManager();
    start();
    expectHelpWindowOpens();
}

// ---------------------------------------------------------------- window swap

class WindowSwap : public WatchTest, public ::testing::WithParamInterface<bool> {};

TEST_P(WindowSwap, TheFramelessWindowTakesTheFacesPlaceFollowsADragAndGivesItBack) {
    if (GetParam())
        startWindowManager();
    const FaceGrab main = start();

    swapFromTheFace(main.origin);
    const auto digital = pollFor<Window>(kStartTimeout, [&] { return findDigitalWindow(); });
    ASSERT_TRUE(digital) << "the frameless window did not appear";
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return !findMainWindow(); })) << "the main window stayed";
    const auto swapped = pollFor<FaceGrab>(kStartTimeout, [&] { return faceOnScreen(); });
    ASSERT_TRUE(swapped);
    EXPECT_EQ(swapped->origin.x, main.origin.x) << screenshotNote(swapped->image, "swapped");
    EXPECT_EQ(swapped->origin.y, main.origin.y) << screenshotNote(swapped->image, "swapped");

    // Drag it by a digit.
    const int grabX = swapped->origin.x + 200, grabY = swapped->origin.y + 40;
    x_.movePointer(grabX, grabY);
    std::this_thread::sleep_for(50ms);
    x_.pressButton(1);
    for (int step = 1; step <= 10; ++step) {
        std::this_thread::sleep_for(20ms);
        x_.movePointer(grabX + step * 12, grabY + step * 8);
    }
    std::this_thread::sleep_for(100ms);
    x_.releaseButton(1);
    const auto dragged = pollFor<FaceGrab>(kStartTimeout, [&]() -> std::optional<FaceGrab> {
        auto f = faceOnScreen();
        if (f && f->origin.x == swapped->origin.x + 120 && f->origin.y == swapped->origin.y + 80)
            return f;
        return std::nullopt;
    });
    ASSERT_TRUE(dragged) << "the grabbed point did not stay under the pointer";
    x_.movePointer(10, 700); // after the release the window stays where it is
    std::this_thread::sleep_for(200ms);
    const auto still = faceOnScreen();
    ASSERT_TRUE(still);
    EXPECT_EQ(still->origin.x, dragged->origin.x);

    swapFromTheFace(dragged->origin);
    ASSERT_TRUE(pollFor<Window>(kStartTimeout, [&] { return findMainWindow(); })) << "the main window came not back";
    const auto back = pollFor<FaceGrab>(kStartTimeout, [&]() -> std::optional<FaceGrab> {
        auto f = faceOnScreen();
        if (f && !findDigitalWindow())
            return f;
        return std::nullopt;
    });
    ASSERT_TRUE(back);
    EXPECT_EQ(back->origin.x, dragged->origin.x) << screenshotNote(back->image, "back");
    EXPECT_EQ(back->origin.y, dragged->origin.y) << screenshotNote(back->image, "back");
}

INSTANTIATE_TEST_SUITE_P(Desktops, WindowSwap, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return std::string(p.param ? "WithWindowManager" : "Bare");
                         });

// At a fractional or double scale Qt's own pixels reach only some device pixels: the two
// faces must still cover the same ones. Scaled faces are not read as digits; the frameless
// window's row of buttons is found in the main window's picture instead.
class SwapAtScale : public WatchTest, public ::testing::WithParamInterface<const char*> {
protected:
    double scale() const { return std::stod(GetParam()); }

    // Where the frameless face's button row lies in the main window's picture.
    static std::optional<face::Point> faceIn(const Image& main, const Image& digital, double scale) {
        const int top = static_cast<int>(100 * scale), rows = static_cast<int>(10 * scale);
        for (int dy = 0; dy + top + rows <= main.height(); ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                bool same = true;
                for (int y = top; y < top + rows && same; ++y)
                    for (int x = 3; x + 3 < digital.width() && same; ++x)
                        same = main.contains(x + dx, y + dy) && main.at(x + dx, y + dy) == digital.at(x, y);
                if (same)
                    return face::Point{dx, dy};
            }
        return std::nullopt;
    }

    // Right-clicks the bare face of a window whose face starts at `faceAt`, then the swap's key.
    void swapAt(face::Point faceAt) {
        x_.click(faceAt.x + static_cast<int>(face::kBareFace.x * scale()),
                 faceAt.y + static_cast<int>(face::kBareFace.y * scale()), 3);
        std::this_thread::sleep_for(300ms);
        x_.keyChord({"h"});
    }

    std::optional<Window> findScaled(bool digital) const {
        const int w = static_cast<int>(400 * scale()), h = static_cast<int>(126 * scale());
        return digital ? x_.findTopLevel("Kadrill", app_->pid(), {w, h - 3}, {w, h})
                       : x_.findTopLevel("Kadrill", app_->pid(), {w, h + 1});
    }
};

TEST_P(SwapAtScale, TheFacesCoverTheSameDevicePixels) {
    startWindowManager();
    startKadrill({{"QT_SCALE_FACTOR", GetParam()}});
    const auto main = pollFor<Window>(kStartTimeout, [&] { return findScaled(false); });
    ASSERT_TRUE(main) << "no scaled main window";
    std::this_thread::sleep_for(1s); // drawn
    const auto mainAt = x_.rootPosition(*main);
    const auto mainSize = x_.size(*main);
    const auto mainImage = x_.grab(*main);
    ASSERT_TRUE(mainAt && mainSize && mainImage);
    const face::Point guess{mainAt->first, mainAt->second + mainSize->second - static_cast<int>(126 * scale())};
    swapAt(guess);
    const auto digital = pollFor<Window>(kStartTimeout, [&] { return findScaled(true); });
    ASSERT_TRUE(digital) << "the frameless window did not appear";
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !x_.isViewable(*main); }));
    std::this_thread::sleep_for(500ms);
    const auto digitalImage = x_.grab(*digital);
    ASSERT_TRUE(digitalImage);
    const auto inMain = faceIn(*mainImage, *digitalImage, scale());
    ASSERT_TRUE(inMain) << "the frameless face is not the main window's" << screenshotNote(*mainImage, "main")
                        << screenshotNote(*digitalImage, "digital");
    const auto digitalAt = x_.rootPosition(*digital);
    ASSERT_TRUE(digitalAt);
    EXPECT_EQ(digitalAt->first, mainAt->first + inMain->x) << "swapped";
    EXPECT_EQ(digitalAt->second, mainAt->second + inMain->y) << "swapped";

    swapAt({digitalAt->first, digitalAt->second});
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return x_.isViewable(*main) && !x_.isViewable(*digital); }))
        << "the main window came not back";
    std::this_thread::sleep_for(500ms);
    const auto back = x_.rootPosition(*main);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->first + inMain->x, digitalAt->first) << "swapped back";
    EXPECT_EQ(back->second + inMain->y, digitalAt->second) << "swapped back";
}

INSTANTIATE_TEST_SUITE_P(Scales, SwapAtScale, ::testing::Values("1.5", "2"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             return std::string(p.param[1] == '.' ? "OneAndAHalf" : "Two");
                         });

class FramelessWindow : public WatchTest {};

TEST_F(FramelessWindow, ClosedByTheWindowSystemItEndsTheProgramLikeTheMainWindow) {
    startWindowManager();
    swapFromTheFace(start().origin);
    const auto digital = pollFor<Window>(kStartTimeout, [&] { return findDigitalWindow(); });
    ASSERT_TRUE(digital) << "the frameless window did not appear";
    // What Alt+F4 or the task bar's close sends: the program must not go on invisibly.
    closeAndExpectCleanExit(*digital);
}

// ---------------------------------------------------------------- notification area

class TrayAndMinimise : public WatchTest {};

TEST_F(TrayAndMinimise, MinimiseHidesToTheTrayAndTheIconBringsTheWatchBack) {
    startWindowManager();
    startTrayHost();
    const FaceGrab shown = start();
    const auto icon = pollFor<Window>(kStartTimeout, [&] { return dockedTrayIcon(); });
    ASSERT_TRUE(icon) << "the icon never docked";
    const auto iconAt = x_.rootPosition(*icon);
    const auto iconSize = x_.size(*icon);
    ASSERT_TRUE(iconAt && iconSize);
    const int iconX = iconAt->first + iconSize->first / 2, iconY = iconAt->second + iconSize->second / 2;
    const Window main = *findMainWindow();

    // While a box of the program is open the icon takes no click: minimised then, the
    // watch stays on the task bar. (The box: 設定 > ﾛｸﾞｲﾝ時に起動 with no settings saved.)
    x_.keyChord({"Alt_L", "s"});
    std::this_thread::sleep_for(200ms);
    x_.keyChord({"l"});
    const auto box = pollFor<Window>(kStartTimeout, [&]() -> std::optional<Window> {
        for (Window w : x_.topLevels("Kadrill", app_->pid()))
            if (w != main)
                return w;
        return std::nullopt;
    });
    ASSERT_TRUE(box) << "no box came up";
    x_.iconify(main);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return x_.wmState(main) == 3; })) << "not minimised";
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(x_.wmState(main), 3) << "hidden where no click on the icon would bring it back";
    x_.sendDeleteWindow(*box);
    XMapWindow(x_.dpy(), main); // out of the task bar
    XFlush(x_.dpy());
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return x_.isViewable(main); }));

    x_.iconify(main);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !x_.isViewable(main) && !x_.wmState(main); }))
        << "minimised, the watch was not hidden to the notification area";

    x_.click(iconX, iconY);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return x_.isViewable(main); }))
        << "the icon at " << iconX << "," << iconY << " did not bring it back"
        << screenshotNote(*x_.grab(x_.root()), "tray");
    const auto back = pollFor<FaceGrab>(kStartTimeout, [&] { return faceOnScreen(); });
    ASSERT_TRUE(back) << screenshotNote(*x_.grab(x_.root()), "back");
    EXPECT_EQ(back->origin.x, shown.origin.x);
    EXPECT_EQ(back->origin.y, shown.origin.y);
    // A late minimise report must not hide it again.
    std::this_thread::sleep_for(1000ms);
    EXPECT_TRUE(x_.isViewable(main));

    x_.click(iconX, iconY);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !x_.isViewable(main); })) << "the icon did not hide it";

    // The panel goes away while the watch is hidden: the watch comes back.
    kill(trayHost_->pid(), SIGKILL);
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return x_.isViewable(main); }))
        << "with no notification area left, the hidden watch stayed hidden";
}

// Only a notification area on the session bus, as KDE Plasma or GNOME's AppIndicator
// extension offer: a real StatusNotifierItem panel that starts after the watch, and later
// restarts. Minimise and the icon must work there as with the X11 tray.
class OnTheSessionBus : public TrayAndMinimise {
protected:
    void startPanel() {
        // Its watcher first, on its own: the panel's own watcher at times takes its name only
        // after the panel has asked it for the icons, and the panel then ends. What they say
        // goes to a file of their own, for a failure to show; the panel's windows are its
        // process's.
        panel_.emplace(
            std::vector<std::string>{"sh", "-c",
                                     "exec >>\"$0\" 2>&1; status-notifier-watcher &\n"
                                     "until dbus-send --print-reply --dest=org.freedesktop.DBus "
                                     "/org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "
                                     "string:org.kde.StatusNotifierWatcher | grep -q true; do sleep 0.05; done\n"
                                     "exec gtk-sni-tray-standalone --top --size 32",
                                     panelLog().string()},
            Process::Options{.env = {{"DISPLAY", x_.displayName()},
                                     {"DBUS_SESSION_BUS_ADDRESS", bus_->address()},
                                     {"HOME", home_.path().string()}}});
    }
    std::filesystem::path panelLog() const { return home_.path() / "panel.log"; }
    // For a failure: whether the panel runs, and what it said.
    std::string panelNote() {
        std::ifstream in(panelLog());
        const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return std::string("\n  the panel ") + (panel_ && panel_->running() ? "runs" : "has ended") +
               (said.empty() ? ", silent" : ", and said:\n" + said);
    }

    // The middle of whatever the panel draws besides its own ground: with one program on
    // the bus, that is our icon.
    std::optional<std::pair<int, int>> iconInPanel() const {
        for (Window w : x_.descendants(x_.root())) {
            const auto size = x_.size(w);
            if (x_.pid(w) != static_cast<unsigned long>(panel_->pid()) || !x_.isViewable(w) || !size ||
                size->first < 100)
                continue;
            const auto image = x_.grab(w);
            const auto at = x_.rootPosition(w);
            if (!image || !at)
                continue;
            const Rgb ground = image->at(0, 0);
            int left = image->width(), right = -1, top = image->height(), bottom = -1;
            for (int y = 0; y < image->height(); ++y)
                for (int x = 0; x < image->width(); ++x)
                    if (image->at(x, y) != ground) {
                        left = std::min(left, x), right = std::max(right, x);
                        top = std::min(top, y), bottom = std::max(bottom, y);
                    }
            // Icon-sized: a panel still being drawn differs from its ground all over.
            if (right >= 0 && right - left < 64 && bottom - top < 64)
                return std::pair{at->first + (left + right) / 2, at->second + (top + bottom) / 2};
        }
        return std::nullopt;
    }

    // The menu the icon publishes, as the panel reads it: every label in its layout.
    std::string publishedMenu() const {
        const auto item = itemOf(bus_->address(), app_->pid());
        return item ? e2e::publishedMenu(bus_->address(), *item) : "no item registered";
    }

    std::optional<PrivateSessionBus> bus_;
    std::optional<Process> panel_;
};

TEST_F(OnTheSessionBus, TheIconComesToALatePanelHidesTheWatchAndFollowsARestart) {
    startWindowManager();
    bus_.emplace(configured("KADRILL_E2E_SESSION_BUS_CONFIG"));
    start({{"DBUS_SESSION_BUS_ADDRESS", bus_->address()}});
    const Window main = *findMainWindow();

    startPanel();
    auto icon = pollFor<std::pair<int, int>>(kStartTimeout, [&] { return iconInPanel(); });
    ASSERT_TRUE(icon) << "no icon in a panel started after the watch" << panelNote()
                      << screenshotNote(*x_.grab(x_.root()), "late");
    // Such a panel shows the icon's menu by itself: the display menu, after the icon's own
    // item, which does what a click does (some panels give an icon no plain click).
    const std::string menu = publishedMenu();
    for (const char* label : {"時計を隠す(_K)", "12時間表示(_W)", "全ての文字を表示(_A)", "ﾒﾆｭｰﾊﾞｰを隠す(_H)"})
        EXPECT_NE(menu.find(label), std::string::npos) << label << " is not in the icon's menu:\n" << menu;

    x_.iconify(main);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !x_.isViewable(main) && !x_.wmState(main); }))
        << "minimised, the watch stayed on the task bar";
    x_.click(icon->first, icon->second);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return x_.isViewable(main); }))
        << "the icon did not bring the watch back" << screenshotNote(*x_.grab(x_.root()), "activate");
    std::this_thread::sleep_for(1000ms); // two quick clicks would be a double click
    x_.click(icon->first, icon->second);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !x_.isViewable(main); })) << "the icon did not hide the watch";

    panel_.reset(); // the panel quits with the watch hidden: it comes back
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return x_.isViewable(main); }))
        << "with the panel gone, the hidden watch stayed hidden";

    // The bus may drop the panel's names one by one; a panel started before the watcher's
    // name is free finds no watcher and ends.
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] {
        return busCall(bus_->address(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                       "org.freedesktop.DBus.NameHasOwner", "string:org.kde.StatusNotifierWatcher")
                   .find("boolean false") != std::string::npos;
    }));
    startPanel();
    icon = pollFor<std::pair<int, int>>(kStartTimeout, [&] { return iconInPanel(); });
    ASSERT_TRUE(icon) << "the icon did not come to the restarted panel" << panelNote()
                      << screenshotNote(*x_.grab(x_.root()), "restart");
    x_.click(icon->first, icon->second);
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return !x_.isViewable(main); }))
        << "the icon in the restarted panel did not hide the watch";
}

TEST_F(TrayAndMinimise, WithoutANotificationAreaMinimisingLeavesItToTheWindowManager) {
    startWindowManager();
    start();
    const Window main = *findMainWindow();
    x_.iconify(main);
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return x_.wmState(main) == 3L; }))
        << "the window should stay minimised under the window manager's care (IconicState)";
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(x_.wmState(main), 3L) << "withdrawn by the program with no icon to bring it back";
}

} // namespace
