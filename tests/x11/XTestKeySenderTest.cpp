#include "platform/x11/XTestKeySender.h"
#include "platform/x11/LaunchActivation.h"

// GoogleTest before Xlib: Xlib's macros (Bool, Status, None) break its headers.
#include <gtest/gtest.h>

#include "x_harness.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

using kadrill::platform::describe;
using kadrill::platform::KeyStroke;
using kadrill::platform::NamedKey;
using kadrill::platform::x11::LaunchActivation;
using kadrill::platform::x11::XTestKeySender;
using namespace std::chrono_literals;

namespace {

using SendStatus = decltype(kadrill::platform::KeySendResult::status);

KeyStroke character(char32_t c) { return {.key = c}; }
KeyStroke named(NamedKey key, bool shift = false) { return {.shift = shift, .key = key}; }
std::vector<KeyStroke> text(std::u32string_view characters) {
    std::vector<KeyStroke> strokes;
    for (char32_t c : characters) {
        strokes.push_back(character(c));
    }
    return strokes;
}

class XTestKeySenderTest : public ::testing::Test {
protected:
    e2e::XServer x_;
    e2e::TempDir dir_;
    std::optional<e2e::Process> receiver_;
    XTestKeySender sender_{x_.displayName().c_str()};

    std::filesystem::path output() const { return dir_.path() / "keys.txt"; }

    // The receiver, started directly or through a shell that stays its parent.
    void startReceiver(bool throughShell = false, e2e::EnvChanges env = {}) {
        const char* program = std::getenv("KADRILL_KEY_RECEIVER");
        ASSERT_TRUE(program) << "KADRILL_KEY_RECEIVER is not set";
        std::vector<std::string> argv{program, output().string()};
        if (throughShell) {
            argv = {"sh", "-c", "\"$0\" \"$1\"; exit $?", program, output().string()};
        }
        env.emplace_back("DISPLAY", x_.displayName());
        receiver_.emplace(argv, e2e::Process::Options{.env = env});
        ASSERT_TRUE(e2e::pollUntil(10s, [&] { return std::filesystem::exists(output()); }))
            << "the receiver never took the focus";
    }

    static std::string contents(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string received() const { return contents(output()); }

    Window focusedWindow() const {
        Window focus = None;
        int revertTo = 0;
        XGetInputFocus(x_.dpy(), &focus, &revertTo);
        return focus;
    }

    // Everything the receiver got, once `expected` has arrived or a while has passed.
    std::string receivedAfter(const std::string& expected) const {
        e2e::pollUntil(5s, [&] { return received().size() >= expected.size(); });
        std::this_thread::sleep_for(50ms); // room for a stray extra key
        return received();
    }

    void type(const std::vector<KeyStroke>& strokes) {
        for (const KeyStroke& stroke : strokes) {
            const auto result = sender_.send(stroke, receiver_->pid());
            ASSERT_EQ(result.status, SendStatus::Sent) << describe(stroke) << ": " << result.error;
        }
    }

    std::vector<KeySym> keyboardMapping() const {
        int first = 0, last = 0, perKeycode = 0;
        XDisplayKeycodes(x_.dpy(), &first, &last);
        KeySym* syms = XGetKeyboardMapping(x_.dpy(), KeyCode(first), last - first + 1, &perKeycode);
        std::vector<KeySym> out(syms, syms + (last - first + 1) * perKeycode);
        XFree(syms);
        return out;
    }

    bool anyKeyDown() const {
        char keys[32] = {};
        XQueryKeymap(x_.dpy(), keys);
        for (char byte : keys) {
            if (byte != 0) {
                return true;
            }
        }
        return false;
    }

    void setKey(KeySym sym, bool down) const {
        XTestFakeKeyEvent(x_.dpy(), XKeysymToKeycode(x_.dpy(), sym), down, CurrentTime);
        XSync(x_.dpy(), False);
    }

    void setLayout(const std::string& layout) const {
        e2e::Process setxkbmap({"setxkbmap", "-display", x_.displayName(), "-layout", layout}, {});
        ASSERT_EQ(setxkbmap.waitForExit(10s), 0) << "setxkbmap -layout " << layout;
    }
};

TEST_F(XTestKeySenderTest, TypesASequenceAsAskedAndLeavesTheKeyboardAsItWas) {
    startReceiver();
    const auto mappingBefore = keyboardMapping();
    // Without modifiers a character is itself, Shift or not; with them it names a key.
    std::vector<KeyStroke> strokes = text(U"ab");
    strokes.push_back(named(NamedKey::Enter));
    strokes.push_back(named(NamedKey::F1, true));
    strokes.push_back({.ctrl = true, .key = U'c'});
    strokes.push_back({.shift = true, .ctrl = true, .alt = true, .key = U'z'});
    const auto plain = text(U"A+!あ𠮷é~ ");
    strokes.insert(strokes.end(), plain.begin(), plain.end());
    type(strokes);

    EXPECT_EQ(receivedAfter("ab[Enter][Shift+F1][Ctrl+C][Ctrl+Alt+Shift+Z]A+!あ𠮷é~ "),
              "ab[Enter][Shift+F1][Ctrl+C][Ctrl+Alt+Shift+Z]A+!あ𠮷é~ ");
    EXPECT_EQ(keyboardMapping(), mappingBefore) << "a borrowed keycode was not given back";
    EXPECT_FALSE(anyKeyDown());
}

TEST_F(XTestKeySenderTest, TypesEveryNamedKey) {
    startReceiver();
    const auto mappingBefore = keyboardMapping();
    std::string expected;
    for (int k = 0; k <= static_cast<int>(NamedKey::F16); ++k) {
        const auto key = static_cast<NamedKey>(k);
        type({named(key)});
        // Break is Ctrl with the Pause key, as on a PC keyboard.
        expected += key == NamedKey::Break ? "[Ctrl+Break]" : describe(named(key));
    }
    EXPECT_EQ(receivedAfter(expected), expected);
    EXPECT_EQ(keyboardMapping(), mappingBefore);
    EXPECT_FALSE(anyKeyDown());
}

TEST_F(XTestKeySenderTest, CapsLockOnStillGivesTheAskedCase) {
    startReceiver();
    ASSERT_TRUE(XkbLockModifiers(x_.dpy(), XkbUseCoreKbd, LockMask, LockMask));
    XSync(x_.dpy(), False);
    type(text(U"aAéÉ1+ёЁ"));
    EXPECT_EQ(receivedAfter("aAéÉ1+ёЁ"), "aAéÉ1+ёЁ");
    XkbStateRec state{};
    XkbGetState(x_.dpy(), XkbUseCoreKbd, &state);
    EXPECT_TRUE(state.locked_mods & LockMask) << "Caps Lock was switched off";
}

// Shift where this layout needs it, and borrowed keys where it has none (de: "@" is on
// AltGr); in the second group of "us,ru" even a Latin letter is on no key in reach.
class XTestKeySenderLayoutTest : public XTestKeySenderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(XTestKeySenderLayoutTest, TypesTheSameTextOnAnotherLayout) {
    const std::string layout = GetParam();
    setLayout(layout);
    if (layout.find(',') != std::string::npos) {
        ASSERT_TRUE(XkbLockGroup(x_.dpy(), XkbUseCoreKbd, 1));
        XSync(x_.dpy(), False);
    }
    startReceiver();
    const auto mappingBefore = keyboardMapping();
    type(text(U"aZy+@:_жあ"));
    EXPECT_EQ(receivedAfter("aZy+@:_жあ"), "aZy+@:_жあ");
    EXPECT_EQ(keyboardMapping(), mappingBefore);
}

INSTANTIATE_TEST_SUITE_P(Layouts, XTestKeySenderLayoutTest, ::testing::Values("jp", "de", "us,ru"));

TEST_F(XTestKeySenderTest, WaitsForAModifierTheUserHoldsAndThenTypesUnmodified) {
    startReceiver();
    setKey(XK_Shift_L, true);
    std::thread hand([name = x_.displayName()] {
        std::this_thread::sleep_for(300ms);
        Display* own = XOpenDisplay(name.c_str());
        XTestFakeKeyEvent(own, XKeysymToKeycode(own, XK_Shift_L), False, CurrentTime);
        XCloseDisplay(own);
    });
    const auto start = e2e::Clock::now();
    type(text(U"a"));
    const auto waited = e2e::Clock::now() - start;
    hand.join();
    EXPECT_GE(waited, 250ms);
    EXPECT_EQ(receivedAfter("a"), "a");
}

TEST_F(XTestKeySenderTest, AKeyHeldUpByAModifierGoesNowhereWhenTheUserSwitchedWindowsMeanwhile) {
    startReceiver();
    const Window target = focusedWindow();
    // Another client, which takes the focus as it starts; then back to the receiver.
    const auto otherOutput = dir_.path() / "other.txt";
    e2e::Process other({std::getenv("KADRILL_KEY_RECEIVER"), otherOutput.string()},
                       {.env = {{"DISPLAY", x_.displayName()}}});
    ASSERT_TRUE(e2e::pollUntil(10s, [&] { return std::filesystem::exists(otherOutput); }));
    const Window otherWindow = focusedWindow();
    XSetInputFocus(x_.dpy(), target, RevertToParent, CurrentTime);
    XSync(x_.dpy(), False);
    ASSERT_TRUE(sender_.targetHasFocus(receiver_->pid()));
    ASSERT_TRUE(e2e::pollUntil(5s, [&] { return contents(otherOutput) == "[FocusOut]"; }));

    // Alt+Tab: Alt down, the focus moves to the other window, Alt up.
    setKey(XK_Alt_L, true);
    std::thread hand([name = x_.displayName(), otherWindow] {
        std::this_thread::sleep_for(300ms);
        Display* own = XOpenDisplay(name.c_str());
        XSetInputFocus(own, otherWindow, RevertToParent, CurrentTime);
        XTestFakeKeyEvent(own, XKeysymToKeycode(own, XK_Alt_L), False, CurrentTime);
        XCloseDisplay(own);
    });
    const auto result = sender_.send(character(U'q'), receiver_->pid());
    hand.join();
    EXPECT_EQ(result.status, SendStatus::FocusLost) << result.error;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(contents(otherOutput), "[FocusOut]") << "a key reached the window switched to";
    EXPECT_FALSE(anyKeyDown());
}

TEST_F(XTestKeySenderTest, RefusesToTypeIntoAModifierThatStaysDown) {
    startReceiver();
    setKey(XK_Control_L, true);
    const auto result = sender_.send(character(U'w'), receiver_->pid());
    setKey(XK_Control_L, false);
    EXPECT_EQ(result.status, SendStatus::Failed);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(received(), "");
}

TEST_F(XTestKeySenderTest, FailsCleanlyWhenNoKeycodeIsFreeToBorrow) {
    startReceiver();
    // Give every unused keycode a symbol, as a keyboard with all keycodes taken would.
    int first = 0, last = 0;
    XDisplayKeycodes(x_.dpy(), &first, &last);
    auto mapping = keyboardMapping();
    const auto perKeycode = mapping.size() / std::size_t(last - first + 1);
    for (std::size_t i = 0; i < mapping.size(); i += perKeycode) {
        if (std::all_of(mapping.begin() + long(i), mapping.begin() + long(i + perKeycode),
                        [](KeySym s) { return s == NoSymbol; })) {
            mapping[i] = XK_F35;
        }
    }
    XChangeKeyboardMapping(x_.dpy(), first, int(perKeycode), mapping.data(), last - first + 1);
    XSync(x_.dpy(), False);
    mapping = keyboardMapping(); // as the server keeps it

    const auto failed = sender_.send(character(U'あ'), receiver_->pid());
    EXPECT_EQ(failed.status, SendStatus::Failed);
    EXPECT_NE(failed.error.find("no unused keycode"), std::string::npos) << failed.error;
    EXPECT_FALSE(anyKeyDown());
    type(text(U"a"));
    EXPECT_EQ(receivedAfter("a"), "a");
    EXPECT_EQ(keyboardMapping(), mapping);
}

TEST_F(XTestKeySenderTest, TheFocusBelongsToTheReceiverAndItsParentsButNotToOthers) {
    startReceiver(true);
    const pid_t shell = receiver_->pid();
    e2e::Process bystander({"sleep", "60"}, {});
    EXPECT_TRUE(sender_.targetHasFocus(shell)) << "the shell that started the receiver";
    EXPECT_TRUE(sender_.targetHasFocus(getpid())) << "the test, which started the shell";
    EXPECT_FALSE(sender_.targetHasFocus(bystander.pid()));
    EXPECT_TRUE(sender_.targetHasWindow(shell));
    EXPECT_FALSE(sender_.targetHasWindow(bystander.pid())) << "no window at all";

    // Asking leaves the focused window alone: it sees no focus change, and keys still arrive.
    type(text(U"x"));
    EXPECT_EQ(receivedAfter("x"), "x");
}

TEST_F(XTestKeySenderTest, NotWhileAnotherClientGrabsTheKeyboard) {
    startReceiver();
    ASSERT_TRUE(sender_.targetHasFocus(receiver_->pid()));
    ASSERT_EQ(XGrabKeyboard(x_.dpy(), x_.root(), False, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
    EXPECT_FALSE(sender_.targetHasFocus(receiver_->pid())) << "a screen locker or a menu holds the keyboard";
    XUngrabKeyboard(x_.dpy(), CurrentTime);
    XSync(x_.dpy(), False);
    EXPECT_TRUE(sender_.targetHasFocus(receiver_->pid()));
}

TEST_F(XTestKeySenderTest, FollowsTheFocusToOtherWindows) {
    startReceiver();
    const pid_t receiver = receiver_->pid();
    Window receiverWindow = None;
    int revertTo = 0;
    XGetInputFocus(x_.dpy(), &receiverWindow, &revertTo);

    // Another client's window.
    const Window other = XCreateSimpleWindow(x_.dpy(), x_.root(), 400, 0, 100, 100, 0, 0, 0);
    XMapWindow(x_.dpy(), other);
    ASSERT_TRUE(e2e::pollUntil(5s, [&] { return x_.isViewable(other); }));
    XSetInputFocus(x_.dpy(), other, RevertToNone, CurrentTime);
    XSync(x_.dpy(), False);
    EXPECT_FALSE(sender_.targetHasFocus(receiver));

    XSetInputFocus(x_.dpy(), None, RevertToNone, CurrentTime);
    XSync(x_.dpy(), False);
    EXPECT_FALSE(sender_.targetHasFocus(receiver)) << "nobody has the focus";

    // Put into a frame of another client, as a window manager does: the client window is the
    // one marked with WM_STATE, and it stays the receiver's.
    const Window frame = XCreateSimpleWindow(x_.dpy(), x_.root(), 0, 300, 320, 220, 0, 0, 0);
    XReparentWindow(x_.dpy(), receiverWindow, frame, 10, 10);
    const long normal[2] = {1, None};
    XChangeProperty(x_.dpy(), receiverWindow, x_.atom("WM_STATE"), x_.atom("WM_STATE"), 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(normal), 2);
    XMapWindow(x_.dpy(), frame);
    ASSERT_TRUE(e2e::pollUntil(5s, [&] { return x_.isViewable(receiverWindow); }));
    XSetInputFocus(x_.dpy(), receiverWindow, RevertToNone, CurrentTime);
    XSync(x_.dpy(), False);
    EXPECT_TRUE(sender_.targetHasFocus(receiver));
    XSetInputFocus(x_.dpy(), frame, RevertToNone, CurrentTime);
    XSync(x_.dpy(), False);
    EXPECT_FALSE(sender_.targetHasFocus(receiver)) << "keys typed into a frame go to the window manager";

    // Another client's window embedded in the receiver's, as a plug-in's would be.
    const Window embedded = XCreateSimpleWindow(x_.dpy(), receiverWindow, 0, 0, 50, 50, 0, 0, 0);
    XMapWindow(x_.dpy(), embedded);
    ASSERT_TRUE(e2e::pollUntil(5s, [&] { return x_.isViewable(embedded); }));
    XSetInputFocus(x_.dpy(), embedded, RevertToNone, CurrentTime);
    XSync(x_.dpy(), False);
    EXPECT_FALSE(sender_.targetHasFocus(receiver)) << "the embedded window is not the receiver's";
}

// What a window manager sees of a start: the announcement with its time, the activation of
// the program's first window with that time, and the end of the start's feedback.
TEST_F(XTestKeySenderTest, AStartIsAnnouncedAndItsFirstWindowActivatedWithTheStartsTime) {
    XSelectInput(x_.dpy(), x_.root(), PropertyChangeMask | SubstructureNotifyMask);
    XSync(x_.dpy(), False);
    LaunchActivation activation(x_.displayName().c_str());
    const std::string id = activation.announce("/opt/wake up/key-receiver");
    const unsigned long time = LaunchActivation::timeOf(id);
    ASSERT_GT(time, 0UL) << id;
    startReceiver(false, {{"DESKTOP_STARTUP_ID", id}});
    activation.watch(receiver_->pid(), id, 10s);
    // The window manager lists a client of somebody else's first, then the receiver's.
    const Window listed[] = {XCreateSimpleWindow(x_.dpy(), x_.root(), 0, 0, 10, 10, 0, 0, 0), focusedWindow()};
    XChangeProperty(x_.dpy(), x_.root(), x_.atom("_NET_CLIENT_LIST"), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(listed), 2);
    XSync(x_.dpy(), False);
    ASSERT_TRUE(e2e::pollUntil(5s, [&] { return !activation.poll(); }));

    std::vector<std::string> startup;
    std::vector<XClientMessageEvent> activations;
    XSync(x_.dpy(), False);
    while (XPending(x_.dpy()) > 0) {
        XEvent event;
        XNextEvent(x_.dpy(), &event);
        if (event.type != ClientMessage) {
            continue;
        }
        const XClientMessageEvent& m = event.xclient;
        if (m.message_type == x_.atom("_NET_ACTIVE_WINDOW")) {
            activations.push_back(m);
        } else if (m.message_type == x_.atom("_NET_STARTUP_INFO_BEGIN") ||
                   m.message_type == x_.atom("_NET_STARTUP_INFO")) {
            if (m.message_type == x_.atom("_NET_STARTUP_INFO_BEGIN")) {
                startup.emplace_back();
            }
            ASSERT_FALSE(startup.empty());
            startup.back() += std::string(m.data.b, strnlen(m.data.b, sizeof m.data.b));
        }
    }
    ASSERT_EQ(startup.size(), 2U);
    EXPECT_EQ(startup[0].rfind("new: ID=" + id + " NAME=key-receiver ", 0), 0U) << startup[0];
    EXPECT_NE(startup[0].find(" TIMESTAMP=" + std::to_string(time)), std::string::npos) << startup[0];
    EXPECT_EQ(startup[1], "remove: ID=" + id);
    ASSERT_EQ(activations.size(), 1U);
    EXPECT_EQ(activations[0].window, listed[1]);
    EXPECT_EQ(activations[0].data.l[0], 2) << "on the user's behalf, as a task bar asks";
    EXPECT_EQ(static_cast<unsigned long>(activations[0].data.l[1]), time);
}

TEST(XTestKeySenderWithoutDisplay, IsUnavailable) {
    XTestKeySender sender(":65500");
    EXPECT_FALSE(sender.isAvailable());
    EXPECT_FALSE(sender.targetHasFocus(getpid()));
    EXPECT_EQ(sender.send(character(U'a'), getpid()).status, SendStatus::Unavailable);
}

TEST_F(XTestKeySenderTest, IsAvailableOnADisplayWithXTest) { EXPECT_TRUE(sender_.isAvailable()); }

} // namespace
