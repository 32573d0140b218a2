#include "XTestKeySender.h"

#include "platform/log/LogCategories.h"

// Qt before Xlib: Xlib's macros (Bool, Status, None) break Qt's headers.

#include "WindowOwner.h"
#include "XTestKeyPlan.h"
#include "XlibHandles.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kadrill::platform::x11 {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How long a modifier the user holds may hold up a key. Typing meanwhile would make a chord
// nobody asked for (Ctrl with the next letter can close a window), so after this the key is
// refused instead; a hand lets go well within it.
constexpr auto kHeldModifierPatience = 1500ms;
constexpr auto kHeldModifierPoll = 10ms;

// How long the last look at the focus may hold the server. It walks a few windows and
// processes; longer means something stalls it, and the key is better not typed into a
// desktop that stood still meanwhile.
constexpr auto kServerGrabLimit = 250ms;

// How long a borrowed keycode keeps its character after the key went up. Clients read a
// changed mapping from the server when they get round to it (Xlib at the next lookup, Qt
// when it handles the notification), possibly after the key itself has arrived; restored at
// once, the mapping they read would be the empty one again.
constexpr auto kRemapSettle = 50ms;

KeyboardMap readKeyboardMap(Display* display) {
    KeyboardMap map;
    int first = 0;
    int last = 0;
    XDisplayKeycodes(display, &first, &last);
    const int count = last - first + 1;
    int perKeycode = 0;
    const XFreed<KeySym> syms(XGetKeyboardMapping(display, static_cast<KeyCode>(first), count, &perKeycode));
    if (syms && perKeycode > 0) {
        map.minKeycode = first;
        map.symsPerKeycode = perKeycode;
        map.syms.assign(syms.get(), syms.get() + static_cast<std::ptrdiff_t>(count) * perKeycode);
    }
    const ModifierMapPtr modifiers(XGetModifierMapping(display));
    if (modifiers) {
        for (std::size_t row = 0; row < map.modifiers.size(); ++row) {
            for (int i = 0; i < modifiers->max_keypermod; ++i) {
                const KeyCode code = modifiers->modifiermap[row * static_cast<std::size_t>(modifiers->max_keypermod) +
                                                            static_cast<std::size_t>(i)];
                if (code != 0) {
                    map.modifiers[row].push_back(code);
                }
            }
        }
    }
    return map;
}

KeyboardLocks readLocks(Display* display) {
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) {
        return {};
    }
    return {.capsLock = (state.locked_mods & LockMask) != 0, .group = state.group};
}

// Whether a key of Shift, Ctrl, Alt or the other modifiers is down. The Lock row is left
// out: Caps Lock acts when it is pressed, not while it is held.
bool modifierDown(Display* display, const KeyboardMap& map) {
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    for (std::size_t row = 0; row < map.modifiers.size(); ++row) {
        if (row == LockMapIndex) {
            continue;
        }
        for (const Keycode code : map.modifiers[row]) {
            if ((static_cast<unsigned char>(keys[code / 8]) >> (code % 8)) & 1U) {
                return true;
            }
        }
    }
    return false;
}

bool waitForModifiersUp(Display* display, const KeyboardMap& map) {
    const auto deadline = Clock::now() + kHeldModifierPatience;
    while (modifierDown(display, map)) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kHeldModifierPoll);
    }
    return true;
}

// Keys pressed through XTest; all of them go up again, last first, however the stroke ends.
class PressedKeys {
public:
    explicit PressedKeys(Display* display) : display_(display) {}
    PressedKeys(const PressedKeys&) = delete;
    PressedKeys& operator=(const PressedKeys&) = delete;
    ~PressedKeys() {
        for (auto key = pressed_.rbegin(); key != pressed_.rend(); ++key) {
            XTestFakeKeyEvent(display_, *key, False, CurrentTime);
        }
        XSync(display_, False); // the server has taken every release before send() returns
    }

    void press(Keycode key) {
        XTestFakeKeyEvent(display_, key, True, CurrentTime);
        pressed_.push_back(key);
    }

private:
    Display* display_;
    std::vector<Keycode> pressed_;
};

// An unused keycode that carries a symbol while this lives.
class BorrowedKeycode {
public:
    BorrowedKeycode(Display* display, const KeyboardMap& map, Keycode key, Keysym sym)
        : display_(display), key_(key), perKeycode_(map.symsPerKeycode) {
        for (int column = 0; column < perKeycode_; ++column) {
            saved_.push_back(map.sym(key, column));
        }
        // The symbol on both levels: given alone, the server would make a letter of it, with
        // a lower case the key types without Shift.
        std::array<KeySym, 2> both{sym, sym};
        XChangeKeyboardMapping(display_, key_, static_cast<int>(both.size()), both.data(), 1);
        XSync(display_, False); // the symbol is in place before the key goes down
    }
    BorrowedKeycode(const BorrowedKeycode&) = delete;
    BorrowedKeycode& operator=(const BorrowedKeycode&) = delete;
    ~BorrowedKeycode() {
        std::this_thread::sleep_for(kRemapSettle);
        XChangeKeyboardMapping(display_, key_, perKeycode_, saved_.data(), 1);
        XSync(display_, False);
    }

private:
    Display* display_;
    Keycode key_;
    int perKeycode_;
    std::vector<KeySym> saved_;
};

// The X server serves this connection alone while this lives: no other client (a window
// manager moving the focus among them) acts between the last look at the focus and the
// key's presses. Held for a handful of requests, never across a wait, and let go however
// the stroke ends.
class ServerGrab {
public:
    explicit ServerGrab(Display* display) : display_(display) { XGrabServer(display_); }
    ServerGrab(const ServerGrab&) = delete;
    ServerGrab& operator=(const ServerGrab&) = delete;
    ~ServerGrab() {
        XUngrabServer(display_);
        XFlush(display_);
    }

private:
    Display* display_;
};

// Caps Lock switched off while this lives, and on again afterwards.
class LiftedCapsLock {
public:
    explicit LiftedCapsLock(Display* display) : display_(display) {
        XkbLockModifiers(display_, XkbUseCoreKbd, LockMask, 0);
    }
    LiftedCapsLock(const LiftedCapsLock&) = delete;
    LiftedCapsLock& operator=(const LiftedCapsLock&) = delete;
    ~LiftedCapsLock() {
        XkbLockModifiers(display_, XkbUseCoreKbd, LockMask, LockMask);
        XSync(display_, False);
    }

private:
    Display* display_;
};

std::string serverRefused(int errorCode) {
    return "the X server refused a request (error code " + std::to_string(errorCode) + ")";
}

// decltype: Xlib defines Status as a macro.
KeySendResult notTyped(decltype(KeySendResult::status) outcome, std::string why) {
    qCInfo(lcKeys) << "key not typed:" << why.c_str();
    return {outcome, std::move(why)};
}

} // namespace

struct XTestKeySender::Connection {
    DisplayPtr display;
    bool hasClientIds = false; // X-Resource 1.2: which process a window's client is
    Window grabProbe = None;   // never mapped; see keyboardGrabbedElsewhere
};

XTestKeySender::XTestKeySender(const char* displayName) {
    if (displayName == nullptr) {
        displayName = std::getenv("DISPLAY");
    }
    if (displayName != nullptr) {
        displayName_ = displayName;
    }
}

XTestKeySender::Connection* XTestKeySender::connection() const {
    if (tried_) {
        return connection_.get();
    }
    tried_ = true;
    DisplayPtr display(XOpenDisplay(displayName_ ? displayName_->c_str() : nullptr));
    if (!display) {
        return nullptr;
    }
    Display* dpy = display.get();
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(dpy, &eventBase, &errorBase, &major, &minor)) {
        return nullptr;
    }
    auto connection = std::make_unique<Connection>();
    connection->hasClientIds = XResQueryExtension(dpy, &eventBase, &errorBase) &&
                               XResQueryVersion(dpy, &major, &minor) && (major > 1 || (major == 1 && minor >= 2));
    XSetWindowAttributes attributes{};
    connection->grabProbe =
        XCreateWindow(dpy, DefaultRootWindow(dpy), -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, &attributes);
    connection->display = std::move(display);
    connection_ = std::move(connection);
    return connection_.get();
}

XTestKeySender::~XTestKeySender() = default;

bool XTestKeySender::isAvailable() const { return connection() != nullptr; }

bool XTestKeySender::targetHasFocus(std::int64_t pid) const {
    if (connection() == nullptr) {
        return false;
    }
    ErrorTrap trap(connection_->display.get());
    return focusBelongsTo(pid);
}

bool XTestKeySender::targetHasWindow(std::int64_t pid) const {
    if (connection() == nullptr || !connection_->hasClientIds) {
        return false;
    }
    Display* display = connection_->display.get();
    ErrorTrap trap(display);
    const Window root = DefaultRootWindow(display);
    std::vector<Window> windows;
    if (const auto clients = readProperty(display, root, XInternAtom(display, "_NET_CLIENT_LIST", False), XA_WINDOW);
        clients && clients->format == 32) {
        const auto* listed = reinterpret_cast<const unsigned long*>(clients->data.get()); // 32-bit items as longs
        windows.assign(listed, listed + clients->items);
    } else {
        Window parent = None, unusedRoot = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, root, &unusedRoot, &parent, &children, &count) != 0 && children != nullptr) {
            for (unsigned i = 0; i < count; ++i) {
                XWindowAttributes attributes{};
                if (XGetWindowAttributes(display, children[i], &attributes) != 0 &&
                    attributes.map_state == IsViewable) {
                    windows.push_back(children[i]);
                }
            }
            XFree(children);
        }
    }
    for (const Window window : windows) {
        const auto owner = windowOwnerPid(display, window);
        if (owner && isSameOrDescendant(*owner, pid)) {
            return true;
        }
    }
    return false;
}

bool XTestKeySender::focusBelongsTo(std::int64_t pid) const {
    Display* display = connection_->display.get();
    if (!connection_->hasClientIds || keyboardGrabbedElsewhere(display, connection_->grabProbe)) {
        return false;
    }
    // Every window the key passes: a window of another program inside the target's (an
    // embedded one) would receive it.
    const std::vector<Window> path = keyPath(display);
    for (const Window window : path) {
        const auto owner = windowOwnerPid(display, window);
        if (!owner || !isSameOrDescendant(*owner, pid)) {
            return false;
        }
    }
    return !path.empty();
}

KeySendResult XTestKeySender::send(const KeyStroke& stroke, std::int64_t targetPid) {
    using Outcome = decltype(KeySendResult::status); // Xlib defines Status as a macro
    if (connection() == nullptr) {
        return notTyped(Outcome::Unavailable, "no X display with the XTest extension");
    }
    Display* display = connection_->display.get();
    ErrorTrap trap(display);
    const KeyboardMap map = readKeyboardMap(display);
    if (!waitForModifiersUp(display, map)) {
        return notTyped(Outcome::Failed, "a modifier key stayed held down");
    }
    const auto planned = planStroke(map, readLocks(display), stroke);
    if (const auto* why = std::get_if<std::string>(&planned)) {
        return notTyped(Outcome::Failed, *why);
    }
    const auto& plan = std::get<KeyPlan>(planned);
    {
        std::optional<BorrowedKeycode> borrowed;
        if (plan.remap) {
            borrowed.emplace(display, map, plan.key, *plan.remap);
            if (const int error = trap.sync()) {
                return notTyped(Outcome::Failed, serverRefused(error));
            }
        }
        // The waits above leave the user time to switch windows: the key goes only where
        // the focus is now, and with the server held nothing moves it before the presses.
        const ServerGrab grab(display);
        const auto looked = Clock::now();
        if (!focusBelongsTo(targetPid)) {
            return notTyped(Outcome::FocusLost, "the focus left the target's window before the key");
        }
        if (Clock::now() - looked > kServerGrabLimit) {
            return notTyped(Outcome::Failed, "the look at the focus took too long");
        }
        std::optional<LiftedCapsLock> lifted;
        if (plan.liftCapsLock) {
            lifted.emplace(display);
        }
        PressedKeys keys(display);
        for (const Keycode modifier : plan.modifiers) {
            keys.press(modifier);
        }
        keys.press(plan.key);
    }
    if (const int error = trap.sync()) {
        return notTyped(Outcome::Failed, serverRefused(error));
    }
    return {};
}

} // namespace kadrill::platform::x11
