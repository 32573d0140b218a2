#include "WindowOwner.h"

#include "XlibHandles.h"

#include <X11/extensions/XRes.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace kadrill::platform::x11 {

namespace {

// Bounds for walks that a misbehaving server or a racing process could make endless.
constexpr int kMaxWindowDepth = 64;
constexpr int kMaxGenerations = 1024;

// The window and its ancestors up to the root, innermost first; empty when a window on the
// way is gone.
std::vector<Window> ancestry(Display* display, Window window) {
    std::vector<Window> chain;
    for (int depth = 0; depth < kMaxWindowDepth && window != None; ++depth) {
        chain.push_back(window);
        Window root = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count)) {
            return {};
        }
        const XFreed<Window> freeChildren(children);
        if (window == root) {
            return chain;
        }
        window = parent;
    }
    return {};
}

// The innermost window under the pointer, or `root` when the pointer is on another screen.
Window windowUnderPointer(Display* display, Window root) {
    Window window = root;
    for (int depth = 0; depth < kMaxWindowDepth; ++depth) {
        Window rootReturn = None;
        Window child = None;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        if (!XQueryPointer(display, window, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask) || child == None) {
            break;
        }
        window = child;
    }
    return window;
}

bool hasProperty(Display* display, Window window, Atom property) {
    return readProperty(display, window, property, AnyPropertyType, 0).has_value();
}

struct ClientIds {
    long count = 0;
    XResClientIdValue* ids = nullptr;

    ClientIds() = default;
    ClientIds(const ClientIds&) = delete;
    ClientIds& operator=(const ClientIds&) = delete;
    ~ClientIds() {
        if (ids) {
            XResClientIdsDestroy(count, ids);
        }
    }
};

std::optional<std::int64_t> parentOf(std::int64_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    // The command name in parentheses may itself hold blanks and parentheses; the state and
    // the parent's id follow the last closing one.
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream rest(stat.substr(nameEnd + 1));
    char state = 0;
    std::int64_t parent = 0;
    if (!(rest >> state >> parent)) {
        return std::nullopt;
    }
    return parent;
}

} // namespace

std::vector<Window> keyPath(Display* display) {
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    if (focus == None) {
        return {};
    }
    const Window root = DefaultRootWindow(display);
    if (focus == PointerRoot) {
        focus = root;
    }
    // Keys go to the window under the pointer when that lies inside the focus window.
    std::vector<Window> chain = ancestry(display, windowUnderPointer(display, root));
    if (std::find(chain.begin(), chain.end(), focus) == chain.end()) {
        chain = ancestry(display, focus);
    }
    if (chain.size() < 2) {
        return {}; // the root itself: nobody's window
    }
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    std::vector<Window> path;
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        path.push_back(chain[i]);
        if (chain[i] == focus || hasProperty(display, chain[i], wmState)) {
            break;
        }
    }
    return path;
}

std::optional<std::int64_t> windowOwnerPid(Display* display, Window window) {
    XResClientIdSpec wanted{window, XRES_CLIENT_ID_PID_MASK};
    ClientIds result;
    if (XResQueryClientIds(display, 1, &wanted, &result.count, &result.ids) != Success) {
        return std::nullopt;
    }
    for (long i = 0; i < result.count; ++i) {
        if (XResGetClientIdType(&result.ids[i]) == XRES_CLIENT_ID_PID) {
            const pid_t pid = XResGetClientPid(&result.ids[i]);
            if (pid > 0) {
                return pid;
            }
        }
    }
    return std::nullopt;
}

bool isSameOrDescendant(std::int64_t pid, std::int64_t ancestor) {
    if (ancestor <= 0) {
        return false;
    }
    for (int generation = 0; generation < kMaxGenerations && pid > 0; ++generation) {
        if (pid == ancestor) {
            return true;
        }
        const auto parent = parentOf(pid);
        if (!parent) {
            return false;
        }
        pid = *parent;
    }
    return false;
}

bool keyboardGrabbedElsewhere(Display* display, Window unmappedWindow) {
    // The server checks a grab request in a fixed order: another client's grab first
    // (AlreadyGrabbed), then whether the window is viewable (GrabNotViewable). A request for
    // a window that is never mapped thus learns of other grabs without ever taking one. A
    // real grab on the root would send the focused window a FocusOut and a FocusIn, on which
    // some toolkits close their menus or drop a selection.
    const int status = XGrabKeyboard(display, unmappedWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status == GrabSuccess) {
        XUngrabKeyboard(display, CurrentTime); // not expected; never keep one
        return false;
    }
    return status == AlreadyGrabbed || status == GrabFrozen;
}

} // namespace kadrill::platform::x11
