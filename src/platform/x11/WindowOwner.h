#pragma once
// Who would receive a key typed now: the focused window, its client and that client's
// process. Calls need an ErrorTrap on the display: windows may vanish at any moment.

#include <X11/Xlib.h>

#include <cstdint>
#include <optional>

namespace kadrill::platform::x11 {

/// The window the user sees as focused: the nearest ancestor of the focus window (itself
/// included) that a window manager marked as a client (WM_STATE), else the top-level
/// window that holds the focus. Follows the pointer where the focus does. Empty while no
/// window has the focus.
///
/// Nothing is searched below the focus: a focused frame belongs to the window manager,
/// and keys typed there do not reach the client inside.
std::optional<Window> focusedClientWindow(Display* display);

/// The process of the client that created `window`, as the X server recorded it when the
/// client connected (X-Resource client ids), so it holds for toolkits that do not set
/// _NET_WM_PID. Needs X-Resource 1.2 on the server. Empty for clients on other machines and
/// for a window that is gone.
std::optional<std::int64_t> windowOwnerPid(Display* display, Window window);

/// Whether process `pid` is `ancestor` or descends from it, by the parent links in /proc.
bool isSameOrDescendant(std::int64_t pid, std::int64_t ancestor);

/// Whether another client holds an active keyboard grab (a screen locker, an open menu).
/// `unmappedWindow` is a window of this connection that is never mapped: see the definition.
bool keyboardGrabbedElsewhere(Display* display, Window unmappedWindow);

} // namespace kadrill::platform::x11
