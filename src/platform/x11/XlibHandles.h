#pragma once
// Small owners for what Xlib hands out, so no code path has to remember a matching free.

#include <X11/Xlib.h>

#include <memory>
#include <optional>

namespace kadrill::platform::x11 {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};
/// Memory that Xlib allocated and XFree releases.
template <typename T> using XFreed = std::unique_ptr<T, XFreeDeleter>;

struct ModifierMapDeleter {
    void operator()(XModifierKeymap* map) const { XFreeModifiermap(map); }
};
using ModifierMapPtr = std::unique_ptr<XModifierKeymap, ModifierMapDeleter>;

/// One window property as the server returned it.
struct WindowProperty {
    Atom type = None;
    int format = 0; // 8, 16 or 32; 32-bit items come back as longs
    unsigned long items = 0;
    XFreed<unsigned char> data;
};

/// Reads up to maxLongs 32-bit units of a property; empty when the window has no such
/// property (or no longer exists).
std::optional<WindowProperty> readProperty(Display* display, Window window, Atom property, Atom type = AnyPropertyType,
                                           long maxLongs = 1024);

/// While it lives, X errors on `display` are collected here instead of reaching the
/// process-wide handler, whose default ends the program: a window may vanish between two
/// requests, and that is an answer, not a crash. Errors of other connections still go to
/// the handler installed before.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap(); // waits for outstanding replies, then puts the old handler back
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    /// Waits until the server has answered everything sent so far and returns the code of
    /// the first error seen since the trap was set (0: none). Events queued on the
    /// connection are dropped: nothing here reads them, and they would pile up.
    int sync();

private:
    static int handle(Display* display, XErrorEvent* error);

    Display* display_;
    ErrorTrap* outer_;
    XErrorHandler previous_;
    int firstError_ = 0;
};

} // namespace kadrill::platform::x11
