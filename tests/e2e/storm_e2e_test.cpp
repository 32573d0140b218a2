// A storm of random input on the real program, as an impatient person with two hands
// would give it: clicks on the face's buttons, menus by their access keys, the dialogs
// opened, typed into, dragged about and closed, the windows swapped and dragged, the
// notification-area icon clicked. Afterwards the program must still run with nothing
// held down, only the watch left on the screen showing the time, and (in the sanitizer
// build) nothing to report when it ends. KADRILL_E2E_STORM_SEED repeats a storm.

#include "kadrill_fixture.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace e2e;

constexpr const char* kFakeStart = "2026-12-08 10:20:00"; // before noon: 12- and 24-hour faces agree
constexpr int kFakeStartSecond = (10 * 60 + 20) * 60;
constexpr auto kStormTime = 40s;
constexpr int kMaxActions = 5000;

// Menus by their access keys and the items in each; no item ends the program.
const std::vector<std::pair<const char*, std::vector<const char*>>> kMenus = {
    {"s", {"t", "a"}}, {"v", {"w", "a", "h"}}, {"t", {"n"}}, {"h", {"h"}}};
// Keys typed into whatever has the keyboard: all on the unshifted level.
const std::vector<const char*> kKeys = {"0", "1", "2", "5", "9", "a", "z",  "minus", "period", "space", "Tab",
                                        "BackSpace", "Return", "Escape", "Up", "Down"};

class InputStorm : public KadrillTest {
protected:
    // Every viewable top-level window of the program with a title, inside a frame or not.
    std::vector<Window> programWindows() const {
        const auto ours = [&](Window w) {
            return x_.isViewable(w) && !x_.name(w).empty() && x_.pid(w) == static_cast<unsigned long>(app_->pid());
        };
        std::vector<Window> out;
        for (Window top : x_.children(x_.root())) {
            if (ours(top)) {
                out.push_back(top);
                continue;
            }
            if (x_.isViewable(top) && x_.name(top).empty())
                for (Window inner : x_.descendants(top))
                    if (ours(inner)) {
                        out.push_back(inner);
                        break;
                    }
        }
        return out;
    }

    // The program's windows but the watch: a message box may be as large as the main
    // window, so that one is known by its id.
    std::vector<Window> dialogs() const {
        std::vector<Window> out = programWindows();
        const auto digital = findDigitalWindow();
        std::erase_if(out, [&](Window w) { return w == main_ || w == digital; });
        return out;
    }

    Window main_ = None;

    // XTest without the harness's pauses: a storm, not a person reading the screen.
    void key(const char* keysym, bool down) const {
        XTestFakeKeyEvent(x_.dpy(), XKeysymToKeycode(x_.dpy(), XStringToKeysym(keysym)), down, CurrentTime);
    }
    void tap(std::initializer_list<const char*> chord) const {
        for (const char* k : chord)
            key(k, true);
        for (auto k = std::rbegin(chord); k != std::rend(chord); ++k)
            key(*k, false);
        XFlush(x_.dpy());
    }
    void button(int x, int y, unsigned b, bool down) const {
        XTestFakeMotionEvent(x_.dpy(), -1, x, y, CurrentTime);
        XTestFakeButtonEvent(x_.dpy(), b, down, CurrentTime);
        XFlush(x_.dpy());
    }

    // Keys or buttons the server still holds down; empty when none.
    std::string heldDown() const {
        std::string held;
        std::array<char, 32> keys{};
        XQueryKeymap(x_.dpy(), keys.data());
        XModifierKeymap* map = XGetModifierMapping(x_.dpy());
        for (int i = 0; i < 8 * map->max_keypermod; ++i) {
            const KeyCode code = map->modifiermap[i];
            if (code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0)
                held += " " + std::string(XKeysymToString(XkbKeycodeToKeysym(x_.dpy(), code, 0, 0)));
        }
        XFreeModifiermap(map);
        Window root, child;
        int rx, ry, wx, wy;
        unsigned mask = 0;
        XQueryPointer(x_.dpy(), x_.root(), &root, &child, &rx, &ry, &wx, &wy, &mask);
        if ((mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) != 0)
            held += " a pointer button";
        return held;
    }
};

TEST_F(InputStorm, LeavesTheWatchRunningAloneOnTimeWithNothingHeld) {
    std::uint32_t seed = std::random_device{}();
    if (const std::string given = configured("KADRILL_E2E_STORM_SEED"); !given.empty())
        seed = static_cast<std::uint32_t>(std::stoul(given));
    std::cout << "storm seed " << seed << " (KADRILL_E2E_STORM_SEED repeats it)" << std::endl;
    SCOPED_TRACE("storm seed " + std::to_string(seed) + " (KADRILL_E2E_STORM_SEED repeats it)");
    std::mt19937 rng(seed);
    const auto pick = [&](int n) { return static_cast<int>(std::uniform_int_distribution<int>(0, n - 1)(rng)); };

    startWindowManager();
    startTrayHost();
    const auto launched = Clock::now();
    startKadrill(fakeClock(kFakeStart));
    main_ = mainWindow();
    ASSERT_NE(main_, Window(None));
    ASSERT_TRUE(waitForFace(main_));
    const auto icon = pollFor<Window>(kStartTimeout, [&] { return dockedTrayIcon(); });
    ASSERT_TRUE(icon) << "the icon never docked";
    // The tray host rearranges itself as icons come and go: the icon is looked up each time.
    const auto trayIconCentre = [&]() -> std::optional<face::Point> {
        const auto docked = dockedTrayIcon();
        const auto at = docked ? x_.rootPosition(*docked) : std::nullopt;
        const auto size = docked ? x_.size(*docked) : std::nullopt;
        if (!at || !size)
            return std::nullopt;
        return face::Point{at->first + size->first / 2, at->second + size->second / 2};
    };

    const auto firstFace = pollFor<FaceGrab>(kStartTimeout, [&] { return faceOnScreen(); });
    ASSERT_TRUE(firstFace) << "the face is not on the screen";
    // Where the face is, as last seen; unknown after anything that may have moved it.
    face::Point faceAt = firstFace->origin;
    bool faceKnown = true;
    const std::array<face::Point, 6> faceSpots = {face::kModeButton,         face::kSetButton,
                                                  face::kAlarmButton,        face::kLeftSharedButton,
                                                  face::kRightSharedButton, face::kBareFace};
    std::map<std::string, int> counts;
    std::vector<Window> open;
    const auto stormStart = Clock::now();
    int actions = 0;
    for (; actions < kMaxActions && Clock::now() - stormStart < kStormTime; ++actions) {
        if (actions % 25 == 0) {
            ASSERT_TRUE(app_->running()) << "kadrill died after " << actions << " actions";
            if (auto f = faceOnScreen()) {
                faceAt = f->origin;
                faceKnown = true;
            }
        }
        if (actions % 8 == 0)
            open = dialogs(); // walking the window tree costs more than an action
        const int kind = pick(100);
        // The right button only where the face was just seen: on the desktop it would open
        // the window manager's menu.
        if (kind < 30 && faceKnown) {
            const face::Point at = faceSpots[std::size_t(pick(int(faceSpots.size())))];
            button(faceAt.x + at.x, faceAt.y + at.y, 1, true);
            button(faceAt.x + at.x, faceAt.y + at.y, 1, false);
            ++counts["face click"];
        } else if (kind < 42) {
            const auto& [menu, items] = kMenus[std::size_t(pick(int(kMenus.size())))];
            tap({"Alt_L", menu});
            std::this_thread::sleep_for(30ms);
            tap({items[std::size_t(pick(int(items.size())))]});
            ++counts["menu by access keys"];
        } else if (kind < 62 && !open.empty()) { // a click or a drag in a dialog
            const Window w = open[std::size_t(pick(int(open.size())))];
            const auto at = x_.rootPosition(w);
            const auto size = x_.size(w);
            if (!at || !size)
                continue;
            const auto spot = [&] {
                return std::pair{at->first + pick(std::max(size->first, 1)), at->second + pick(std::max(size->second, 1))};
            };
            const unsigned b = pick(3) == 0 ? 3 : 1;
            auto [x, y] = spot();
            button(x, y, b, true);
            const int moves = pick(2) == 0 ? 0 : 1 + pick(5);
            for (int m = 0; m < moves; ++m) {
                std::tie(x, y) = spot();
                XTestFakeMotionEvent(x_.dpy(), -1, x, y, CurrentTime);
                XFlush(x_.dpy());
                std::this_thread::sleep_for(10ms);
            }
            button(x, y, b, false);
            ++counts[moves == 0 ? "dialog click" : "dialog drag"];
        } else if (kind < 78) {
            for (int n = 1 + pick(4); n > 0; --n)
                tap({kKeys[std::size_t(pick(int(kKeys.size())))]});
            ++counts["typing"];
        } else if (kind < 84 && faceKnown) { // drag the watch by its face
            int x = faceAt.x + 200, y = faceAt.y + 40;
            button(x, y, 1, true);
            for (int m = 0; m < 4; ++m) {
                // Kept where the whole face stays on the screen, to be found again.
                x = std::clamp(x + pick(61) - 30, 210, 800);
                y = std::clamp(y + pick(61) - 30, 40, 700);
                XTestFakeMotionEvent(x_.dpy(), -1, x, y, CurrentTime);
                XFlush(x_.dpy());
                std::this_thread::sleep_for(10ms);
            }
            button(x, y, 1, false);
            faceKnown = false;
            ++counts["window drag"];
        } else if (kind < 89) { // swap windows through the face's menu
            const auto f = faceOnScreen();
            if (!f)
                continue;
            faceAt = f->origin;
            button(faceAt.x + face::kBareFace.x, faceAt.y + face::kBareFace.y, 3, true);
            button(faceAt.x + face::kBareFace.x, faceAt.y + face::kBareFace.y, 3, false);
            std::this_thread::sleep_for(50ms);
            tap({"h"});
            faceKnown = false;
            ++counts["window swap"];
        } else if (kind < 94) {
            const unsigned b = pick(3) == 0 ? 3 : 1;
            const auto at = trayIconCentre();
            if (!at)
                continue;
            button(at->x, at->y, b, true);
            button(at->x, at->y, b, false);
            faceKnown = false;
            ++counts["tray click"];
        } else if (!open.empty()) {
            x_.sendDeleteWindow(open[std::size_t(pick(int(open.size())))]);
            ++counts["dialog closed"];
        }
        std::this_thread::sleep_for(5ms);
    }
    const double stormSeconds = std::chrono::duration<double>(Clock::now() - stormStart).count();
    std::cout << "storm: " << actions << " actions in " << stormSeconds << " s, seed " << seed << ":";
    for (const auto& [what, n] : counts)
        std::cout << " " << what << " " << n << ";";
    std::cout << std::endl;
    XSync(x_.dpy(), False);
    ASSERT_TRUE(app_->running()) << "kadrill died in the storm";

    // Put away what the storm left open: menus, dialogs, message boxes; then the watch
    // comes back from the notification area or the frameless window.
    const bool tidy = pollUntil(60s, [&] {
        tap({"Escape"});
        for (Window w : dialogs())
            x_.sendDeleteWindow(w);
        std::this_thread::sleep_for(300ms);
        if (!dialogs().empty())
            return false;
        if (const auto digital = findDigitalWindow()) {
            if (const auto at = x_.rootPosition(*digital)) {
                const int x = at->first + face::kBareFace.x, y = at->second + face::kBareFace.y;
                button(x, y, 3, true);
                button(x, y, 3, false);
                std::this_thread::sleep_for(300ms);
                tap({"h"});
            }
            return false;
        }
        if (!x_.isViewable(main_)) {
            const auto at = trayIconCentre();
            if (!at)
                return false;
            button(at->x, at->y, 1, true);
            button(at->x, at->y, 1, false);
            std::this_thread::sleep_for(300ms);
            return false;
        }
        return true;
    });
    const auto screen = [&](const char* tag) { return screenshotNote(*x_.grab(x_.root()), tag); };
    ASSERT_TRUE(tidy) << dialogs().size() << " dialogs would not close, or the watch would not come back"
                      << (x_.isViewable(main_) || trayIconCentre() ? "" : " (hidden, with no icon to bring it back)")
                      << screen("untidy");
    EXPECT_EQ(programWindows(), std::vector<Window>{main_}) << screen("windows");
    EXPECT_EQ(heldDown(), "") << "still held down after the storm";

    // Clock mode again (the storm may have left the stopwatch on), unlit segments dark
    // again (the face is read by its lit ones), then the face must read the fake clock's time.
    int unreadable = 0;
    const bool onTime = pollUntil(30s, [&] {
        const auto f = faceOnScreen();
        if (!f || f->digits.find('?') != std::string::npos) {
            if (++unreadable % 25 == 0) {
                tap({"Alt_L", "v"});
                std::this_thread::sleep_for(300ms);
                tap({"a"});
            }
            return false;
        }
        const auto h = face::fieldValue(std::string_view(f->digits).substr(0, 2));
        const auto m = face::fieldValue(std::string_view(f->digits).substr(2, 2));
        const auto s = face::fieldValue(std::string_view(f->digits).substr(4, 2));
        const double reckoned = kFakeStartSecond + std::chrono::duration<double>(Clock::now() - launched).count();
        if (!h || !m || !s)
            return false; // caught in the middle of a flip
        if (std::abs(*h * 3600 + *m * 60 + *s - reckoned) < 4)
            return true;
        clickFace(f->origin, face::kModeButton);
        std::this_thread::sleep_for(500ms);
        return false;
    });
    EXPECT_TRUE(onTime) << "the face does not show the time" << screen("time");

    closeAndExpectCleanExit(main_);
}

} // namespace
