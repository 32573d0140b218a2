// A storm of random input on the real program, as an impatient person with two hands
// would give it: clicks on the face's buttons, menus by their access keys, the dialogs
// opened, typed into, dragged about and closed, the windows swapped and dragged, the
// notification-area icon clicked. Afterwards the program must still run with nothing
// held down, only the watch left on the screen showing the time, and (in the sanitizer
// build) nothing to report when it ends. KADRILL_E2E_STORM_SEED repeats a storm,
// KADRILL_E2E_STORM_SECONDS makes it longer or shorter; `make storm` runs a campaign.
//
// The storm is the program's, not the desktop's: a button is pressed only where a window of
// the program (or, for its icon, the notification area) is on top, and keys meant for a menu
// are typed once the menu is on the screen. What fails is told at once, with the seed.

#include "kadrill_fixture.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>

#include <poll.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <deque>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace e2e;

constexpr const char* kFakeStart = "2026-12-08 10:20:00"; // before noon: 12- and 24-hour faces agree
constexpr int kFakeStartSecond = (10 * 60 + 20) * 60;
constexpr int kDefaultStormSeconds = 40;
constexpr int kMaxActionsPerSecond = 250;
// How long a menu may take to come up after the program has taken the press: in the storm
// a short look (where a modal box is open none comes, and the storm goes on), at the check
// afterwards long enough for the sanitized program.
constexpr auto kStormPopupTimeout = 300ms;
constexpr auto kPopupTimeout = 3s;
// Longer than any pause of the program's own (the help's first opening under the
// sanitizers takes seconds), shorter than a hang would have to be.
constexpr auto kAnswerTimeout = 20s;

// Menus by their access keys and the items in each; no item ends the program.
const std::vector<std::pair<const char*, std::vector<const char*>>> kMenus = {
    {"s", {"t", "a"}}, {"v", {"w", "a", "h"}}, {"t", {"n"}}, {"h", {"h"}}};
// Keys typed into whatever has the keyboard: all on the unshifted level.
const std::vector<const char*> kKeys = {"0",      "1",     "2",   "5",         "9",      "a",      "z",  "minus",
                                        "period", "space", "Tab", "BackSpace", "Return", "Escape", "Up", "Down"};

class InputStorm : public KadrillTest {
protected:
    bool ours(Window w) const {
        return x_.isViewable(w) && !x_.name(w).empty() && x_.pid(w) == static_cast<unsigned long>(app_->pid());
    }

    // The top-level window at a point of the screen: a frame, a menu, the notification area.
    Window topLevelAt(int x, int y) const {
        Window child = None;
        int wx = 0, wy = 0;
        XTranslateCoordinates(x_.dpy(), x_.root(), x_.root(), x, y, &wx, &wy, &child);
        return child;
    }
    bool holds(Window top, unsigned long owner) const {
        if (x_.pid(top) == owner)
            return true;
        const auto inside = x_.descendants(top);
        return std::any_of(inside.begin(), inside.end(), [&](Window w) { return x_.pid(w) == owner; });
    }
    // Whether a press at this point reaches the program: a window of its own is on top there,
    // or (for the icon) the notification area. Anywhere else it would reach the desktop, whose
    // menus start programs, or another program.
    bool reachesProgram(int x, int y, bool trayIcon = false) const {
        const Window top = topLevelAt(x, y);
        if (top == None)
            return false;
        return holds(top, static_cast<unsigned long>(trayIcon ? trayHost_->pid() : app_->pid()));
    }

    // A menu of the program on the screen, which has the keyboard: waits for one to come up.
    bool popupShown() const {
        for (Window top : x_.children(x_.root())) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(x_.dpy(), top, &a) && a.override_redirect && a.map_state == IsViewable &&
                x_.pid(top) == static_cast<unsigned long>(app_->pid()))
                return true;
        }
        return false;
    }
    bool waitForPopup(std::chrono::milliseconds timeout = kPopupTimeout) const {
        return pollUntil(timeout, [&] { return popupShown(); });
    }

    // Every viewable top-level window of the program with a title, inside a frame or not;
    // not the notification-area icon, which is the tray host's to hold (and which a close
    // request would take away for good).
    std::vector<Window> programWindows() const {
        const auto host = static_cast<unsigned long>(trayHost_->pid());
        std::vector<Window> out;
        for (Window top : x_.children(x_.root())) {
            if (ours(top)) {
                out.push_back(top);
                continue;
            }
            if (!x_.isViewable(top) || !x_.name(top).empty())
                continue;
            for (Window inner : x_.descendants(top)) {
                if (x_.pid(inner) == host)
                    break;
                if (ours(inner)) {
                    out.push_back(inner);
                    break;
                }
            }
        }
        return out;
    }

    // The windows the window manager lists as the program's, but the watch: a quick look
    // for the storm, where walking the whole window tree would cost more than an action.
    std::vector<Window> managedDialogs(bool viewableOnly = true) const {
        std::vector<Window> out;
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(x_.dpy(), x_.root(), x_.atom("_NET_CLIENT_LIST"), 0, 1024, False, XA_WINDOW, &type,
                               &format, &items, &after, &data) != Success ||
            !data)
            return out;
        const auto* clients = reinterpret_cast<const unsigned long*>(data); // 32-bit items come back as longs
        for (unsigned long i = 0; i < items; ++i)
            if (!isWatch(clients[i]) &&
                (viewableOnly ? ours(clients[i]) : x_.pid(clients[i]) == static_cast<unsigned long>(app_->pid())))
                out.push_back(clients[i]);
        XFree(data);
        return out;
    }

    // The program's windows but the watch: a message box may be as large as the main
    // window, so that one is known by its id.
    std::vector<Window> dialogs() const {
        std::vector<Window> out = programWindows();
        std::erase_if(out, [&](Window w) { return isWatch(w); });
        return out;
    }

    // One of the two watch windows: a close request to either ends the program. The
    // frameless one is known by its size until it has been seen.
    bool isWatch(Window w) const {
        if (w == main_ || (digital_ && w == *digital_))
            return true;
        const auto size = x_.size(w);
        if (!size || size->first != face::kWidth || size->second < 120 || size->second > 126 || x_.name(w) != "Kadrill")
            return false;
        digital_ = w;
        return true;
    }
    mutable std::optional<Window> digital_;

    // The program's file dialogs browse the real file system, where random clicks and keys
    // (on a test machine, maybe as root) would rename, move or delete what is there, or save
    // anywhere: the storm opens them and puts them away, nothing more. Also those out of sight
    // (iconic with the window they belong to), which, modal, would keep every other dialog
    // from closing.
    static bool isFileDialog(const std::string& title) {
        return title == "設定の保存" || title == "設定の読込み" || title == "参照";
    }
    int putAwayFileDialogs() const {
        int found = 0;
        for (Window w : managedDialogs(false))
            if (isFileDialog(x_.name(w))) {
                x_.sendDeleteWindow(w);
                ++found;
            }
        Window focus = None;
        int revert = 0;
        XGetInputFocus(x_.dpy(), &focus, &revert);
        if (focus != None && focus != PointerRoot && isFileDialog(x_.name(focus))) {
            x_.sendDeleteWindow(focus);
            ++found;
        }
        return found;
    }

    Window main_ = None;

    // Waits until the program has handled everything sent to it so far: a ping through
    // the X server behind the input, which the program answers to the root window. The
    // storm goes as fast as the program takes it, with no backlog to spill past its end.
    bool answersPing(std::chrono::milliseconds timeout) {
        Display* listener = pingListener_.get();
        if (!listener) {
            pingListener_.reset(XOpenDisplay(x_.displayName().c_str()));
            listener = pingListener_.get();
            if (!listener)
                return false;
            XSelectInput(listener, DefaultRootWindow(listener), StructureNotifyMask);
            XSync(listener, False);
        }
        const long stamp = ++pings_;
        XEvent ping{};
        ping.xclient.type = ClientMessage;
        ping.xclient.window = main_;
        ping.xclient.message_type = x_.atom("WM_PROTOCOLS");
        ping.xclient.format = 32;
        ping.xclient.data.l[0] = long(x_.atom("_NET_WM_PING"));
        ping.xclient.data.l[1] = stamp;
        ping.xclient.data.l[2] = long(main_);
        XSendEvent(x_.dpy(), main_, False, NoEventMask, &ping);
        XFlush(x_.dpy());
        const auto deadline = Clock::now() + timeout;
        const long pingAtom = long(XInternAtom(listener, "_NET_WM_PING", False));
        for (;;) {
            while (XPending(listener) > 0) {
                XEvent e;
                XNextEvent(listener, &e);
                if (e.type == ClientMessage && e.xclient.data.l[0] == pingAtom && e.xclient.data.l[1] == stamp)
                    return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left <= 0ms)
                return false;
            pollfd fd{.fd = ConnectionNumber(listener), .events = POLLIN, .revents = 0};
            (void)::poll(&fd, 1, int(left.count()));
        }
    }
    std::unique_ptr<Display, decltype(&XCloseDisplay)> pingListener_{nullptr, XCloseDisplay};
    long pings_ = 0;

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
    // A press and release where the program is on top; false, with nothing pressed, elsewhere.
    bool clickProgram(int x, int y, unsigned b, bool trayIcon = false) const {
        if (!reachesProgram(x, y, trayIcon))
            return false;
        button(x, y, b, true);
        button(x, y, b, false);
        return true;
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

// The face read with dim unlit segments taken as dark: the storm may leave them dim, and
// while the stopwatch stands they keep the colour they were drawn in.
void readUndimmed(FaceGrab& f) {
    constexpr Rgb kDimGrey{64, 64, 64};
    for (int y = f.origin.y; y < f.origin.y + face::kReadableHeight; ++y)
        for (int x = f.origin.x; x < f.origin.x + face::kWidth; ++x)
            if (f.image.contains(x, y) && f.image.at(x, y) == kDimGrey)
                f.image.set(x, y, face::kBlack);
    f.digits = face::readDigits(f.image, f.origin);
}

TEST_F(InputStorm, LeavesTheWatchRunningAloneOnTimeWithNothingHeld) {
    std::uint32_t seed = std::random_device{}();
    if (const std::string given = configured("KADRILL_E2E_STORM_SEED"); !given.empty())
        seed = static_cast<std::uint32_t>(std::stoul(given));
    int stormSeconds = kDefaultStormSeconds;
    if (const std::string given = configured("KADRILL_E2E_STORM_SECONDS"); !given.empty())
        stormSeconds = std::max(1, std::stoi(given));
    const auto stormTime = std::chrono::seconds(stormSeconds);
    const int maxActions = kMaxActionsPerSecond * stormSeconds;
    std::cout << "storm seed " << seed << " (KADRILL_E2E_STORM_SEED repeats it)" << std::endl;
    SCOPED_TRACE("storm seed " + std::to_string(seed) + " (KADRILL_E2E_STORM_SEED repeats it)");
    std::mt19937 rng(seed);
    const auto pick = [&](int n) { return static_cast<int>(std::uniform_int_distribution<int>(0, n - 1)(rng)); };

    startWindowManager();
    startTrayHost();
    const auto launched = WallClock::now();
    startKadrill(fakeClock(kFakeStart));
    main_ = mainWindow();
    ASSERT_NE(main_, Window(None));
    ASSERT_TRUE(waitForFace(main_));
    std::optional<Window> icon = pollFor<Window>(kStartTimeout, [&] { return dockedTrayIcon(); });
    ASSERT_TRUE(icon) << "the icon never docked";
    // The tray host moves the icon about as it rearranges itself; the icon's window stays.
    const auto trayIconCentre = [&]() -> std::optional<face::Point> {
        if (!icon || !x_.isViewable(*icon))
            icon = dockedTrayIcon();
        const auto at = icon ? x_.rootPosition(*icon) : std::nullopt;
        const auto size = icon ? x_.size(*icon) : std::nullopt;
        if (!at || !size)
            return std::nullopt;
        return face::Point{at->first + size->first / 2, at->second + size->second / 2};
    };
    const auto screen = [&](const char* tag) { return screenshotNote(*x_.grab(x_.root()), tag); };
    const auto ended = [&]() -> std::string {
        if (app_->running())
            return "";
        const auto code = app_->waitForExit(0ms);
        return " (it ended with " + (code ? std::to_string(*code) : std::string("?")) + ")";
    };
    const auto settle = [&] { return answersPing(kAnswerTimeout); };
    // The right button on the bare face, and the display menu on the screen; false when the
    // face was not on top there or no menu came. The program may pop the menu up after it
    // has answered the press's ping: a second ping, then a look.
    const auto popUpDisplayMenu = [&](face::Point faceAt, std::chrono::milliseconds timeout) {
        if (!clickProgram(faceAt.x + face::kBareFace.x, faceAt.y + face::kBareFace.y, 3))
            return false;
        (void)settle();
        (void)settle();
        return waitForPopup(timeout); // the menu holds the keyboard from here on
    };

    const auto firstFace = pollFor<FaceGrab>(kStartTimeout, [&] { return faceOnScreen(); });
    ASSERT_TRUE(firstFace) << "the face is not on the screen";
    // Where the face is, as last seen; unknown after anything that may have moved it.
    face::Point faceAt = firstFace->origin;
    bool faceKnown = true;
    const std::array<face::Point, 6> faceSpots = {face::kModeButton,       face::kSetButton,         face::kAlarmButton,
                                                  face::kLeftSharedButton, face::kRightSharedButton, face::kBareFace};
    std::map<std::string, int> counts;
    // The last actions, for a failure: a storm is repeated by its seed only roughly, since
    // the program's pace decides what each click meets.
    std::deque<std::string> recent;
    const auto done = [&](const std::string& what, const std::string& detail) {
        ++counts[what];
        recent.push_back(what + " " + detail);
        if (recent.size() > 12)
            recent.pop_front();
    };
    const auto lastActions = [&] {
        std::string out = "\n  last actions:";
        for (const auto& a : recent)
            out += "\n    " + a;
        return out;
    };
    const auto describe = [&](Window w) {
        const auto size = x_.size(w);
        return "\"" + x_.name(w) + "\"" +
               (size ? " " + std::to_string(size->first) + "x" + std::to_string(size->second) : "");
    };
    const auto point = [](int x, int y) { return std::to_string(x) + "," + std::to_string(y); };
    std::vector<Window> open;
    const auto stormStart = Clock::now();
    int actions = 0;
    for (; actions < maxActions && Clock::now() - stormStart < stormTime; ++actions) {
        if (actions % 25 == 0) {
            ASSERT_TRUE(app_->running()) << "kadrill stopped after " << actions << " actions" << ended()
                                         << lastActions();
            if (auto f = faceOnScreen()) {
                faceAt = f->origin;
                faceKnown = true;
            }
        }
        if (putAwayFileDialogs() > 0) {
            (void)settle();
            done("file dialog closed", "");
            continue;
        }
        if (actions % 4 == 0)
            open = managedDialogs();
        const int kind = pick(100);
        if (kind < 30 && faceKnown) {
            const face::Point at = faceSpots[std::size_t(pick(int(faceSpots.size())))];
            if (!clickProgram(faceAt.x + at.x, faceAt.y + at.y, 1)) {
                faceKnown = false;
                continue;
            }
            done("face click", point(at.x, at.y));
        } else if (kind < 42) {
            const auto& [menu, items] = kMenus[std::size_t(pick(int(kMenus.size())))];
            const char* item = items[std::size_t(pick(int(items.size())))];
            tap({"Alt_L", menu});
            (void)settle();
            (void)settle();
            // The access key may have gone to a dialog, where it presses a button instead.
            if (!popupShown()) {
                done("access key", menu);
                continue;
            }
            tap({item});
            done("menu by access keys", std::string(menu) + " " + item);
        } else if (kind < 62 && !open.empty()) { // a click or a drag in a dialog
            const Window w = open[std::size_t(pick(int(open.size())))];
            const auto at = x_.rootPosition(w);
            const auto size = x_.size(w);
            if (!at || !size)
                continue;
            const auto spot = [&] {
                return std::pair{at->first + pick(std::max(size->first, 1)),
                                 at->second + pick(std::max(size->second, 1))};
            };
            const unsigned b = pick(3) == 0 ? 3 : 1;
            auto [x, y] = spot();
            if (!reachesProgram(x, y))
                continue;
            button(x, y, b, true);
            const int moves = pick(2) == 0 ? 0 : 1 + pick(5);
            for (int m = 0; m < moves; ++m) {
                std::tie(x, y) = spot();
                XTestFakeMotionEvent(x_.dpy(), -1, x, y, CurrentTime);
                (void)settle();
            }
            button(x, y, b, false);
            done(moves == 0 ? "dialog click" : "dialog drag", describe(w) + " button " + std::to_string(b));
        } else if (kind < 78) {
            std::string typed;
            for (int n = 1 + pick(4); n > 0; --n) {
                const char* k = kKeys[std::size_t(pick(int(kKeys.size())))];
                tap({k});
                typed += std::string(" ") + k;
            }
            done("typing", typed);
        } else if (kind < 84 && faceKnown) { // drag the watch by its face
            int x = faceAt.x + 200, y = faceAt.y + 40;
            faceKnown = false;
            if (!reachesProgram(x, y))
                continue;
            button(x, y, 1, true);
            for (int m = 0; m < 4; ++m) {
                // Kept where the whole face stays on the screen, to be found again.
                x = std::clamp(x + pick(61) - 30, 210, 800);
                y = std::clamp(y + pick(61) - 30, 40, 700);
                XTestFakeMotionEvent(x_.dpy(), -1, x, y, CurrentTime);
                (void)settle();
            }
            button(x, y, 1, false);
            done("window drag", "");
        } else if (kind < 89) { // swap windows through the face's menu
            const auto f = faceOnScreen();
            if (!f)
                continue;
            faceKnown = false;
            if (!popUpDisplayMenu(f->origin, kStormPopupTimeout))
                continue;
            tap({"h"});
            done("window swap", "");
        } else if (kind < 94) {
            const unsigned b = pick(3) == 0 ? 3 : 1;
            const auto at = trayIconCentre();
            if (!at || !clickProgram(at->x, at->y, b, true))
                continue;
            faceKnown = false;
            done("tray click", "button " + std::to_string(b));
        } else if (!open.empty()) {
            const Window w = open[std::size_t(pick(int(open.size())))];
            done("dialog closed", describe(w));
            x_.sendDeleteWindow(w);
        }
        ASSERT_TRUE(settle()) << "kadrill stopped answering after " << actions << " actions" << ended() << lastActions()
                              << screen("silent");
    }
    const double stormTook = std::chrono::duration<double>(Clock::now() - stormStart).count();
    std::cout << "storm: " << actions << " actions in " << stormTook << " s, seed " << seed << ":";
    for (const auto& [what, n] : counts)
        std::cout << " " << what << " " << n << ";";
    std::cout << std::endl;
    ASSERT_TRUE(app_->running()) << "kadrill died in the storm" << ended() << lastActions();

    // Put away what the storm left open: menus, dialogs, message boxes; then the watch
    // comes back from the notification area or the frameless window, through the icon as
    // a person would (the frameless window may have been dragged half off the screen).
    const auto clickIcon = [&](unsigned b) {
        const auto at = trayIconCentre();
        if (!at || !clickProgram(at->x, at->y, b, true))
            return false;
        done("tidying: tray click", "button " + std::to_string(b));
        return settle();
    };
    const bool tidy = pollUntil(60s, [&] {
        tap({"Escape"});
        (void)putAwayFileDialogs();
        for (Window w : dialogs())
            x_.sendDeleteWindow(w);
        (void)settle();
        std::this_thread::sleep_for(300ms); // the window manager's share
        const bool closed = dialogs().empty();
        if (findDigitalWindow()) {
            if (clickIcon(3) && waitForPopup()) {
                tap({"h"});
                done("tidying: swap back", "");
            }
        } else if (!x_.isViewable(main_)) {
            (void)clickIcon(1);
        } else {
            return closed;
        }
        (void)settle();
        std::this_thread::sleep_for(300ms);
        return false;
    });
    std::string managed;
    for (Window w : managedDialogs(false))
        managed += "\n    " + describe(w) + (x_.isViewable(w) ? " shown" : " hidden") + " WM_STATE " +
                   std::to_string(x_.wmState(w).value_or(-1));
    ASSERT_TRUE(tidy) << dialogs().size() << " dialogs would not close, or the watch would not come back" << managed
                      << (x_.isViewable(main_) || trayIconCentre() ? "" : " (hidden, with no icon to bring it back)")
                      << lastActions() << screen("untidy");
    EXPECT_TRUE(dockedTrayIcon()) << "the icon is gone from the notification area" << screen("icon");
    EXPECT_EQ(programWindows(), std::vector<Window>{main_}) << screen("windows");
    EXPECT_EQ(heldDown(), "") << "still held down after the storm";

    // Clock mode again (the storm may have left the stopwatch on), then the face must read
    // the fake clock's time. The watch is alone on the screen now: a face not found is a
    // fault, told at once.
    int unreadable = 0;
    bool faceLost = false;
    std::string lastRead;
    std::optional<Image> lastSeen;
    const bool onTime = pollUntil(30s, [&] {
        auto f = faceOnScreen();
        if (!f) {
            faceLost = true;
            return true;
        }
        readUndimmed(*f);
        const double reckoned = kFakeStartSecond + secondsSince(launched);
        // The lit "AM" of the 12-hour face reaches into the hour's first digit. Only the
        // marks' first letters are looked at: the hour's first digit reaches into their boxes.
        constexpr face::Point kFirstLetter{18, face::kMarkBoxSize.y};
        if (face::markLit(f->image, f->origin, face::kAmBox, kFirstLetter) ||
            face::markLit(f->image, f->origin, face::kPmBox, kFirstLetter)) {
            if (popUpDisplayMenu(f->origin, kPopupTimeout)) {
                tap({"w"});
                done("checking: 24-hour face", "");
            }
            (void)settle();
            return false;
        }
        const auto h = face::fieldValue(std::string_view(f->digits).substr(0, 2));
        const auto m = face::fieldValue(std::string_view(f->digits).substr(2, 2));
        const auto s = face::fieldValue(std::string_view(f->digits).substr(4, 2));
        // Caught in the middle of a flip; but a running stopwatch may flip at every look.
        const bool readable = f->digits.find('?') == std::string::npos && h && m && s;
        if (readable && std::abs(*h * 3600 + *m * 60 + *s - reckoned) < 4)
            return true;
        if (!readable && ++unreadable % 10 != 0)
            return false;
        // Another mode, or a fault: what was seen before the mode button goes with a failure.
        lastSeen = f->image;
        lastRead = f->digits + "\" at the fake clock's " + std::to_string(int(reckoned) / 3600) + ":" +
                   std::to_string(int(reckoned) / 60 % 60) + ":" + std::to_string(int(reckoned) % 60);
        if (clickProgram(f->origin.x + face::kModeButton.x, f->origin.y + face::kModeButton.y, 1))
            done("checking: mode button", "");
        (void)settle();
        std::this_thread::sleep_for(500ms);
        return false;
    });
    ASSERT_FALSE(faceLost) << "the face is not on the screen" << lastActions() << screen("no-face");
    EXPECT_TRUE(onTime) << "the face does not show the time; last read \"" << lastRead << lastActions()
                        << (lastSeen ? screenshotNote(*lastSeen, "time") : screen("time"));

    closeAndExpectCleanExit(main_);
}

} // namespace
