#pragma once
// Who would receive a key typed now: the focused window, its client and that client's
// process. Calls need an ErrorTrap on the display: windows may vanish at any moment.

#include <X11/Xlib.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace kadrill::platform::x11 {

/// The windows a key typed now passes on its way up to a client, innermost first: from the
/// window under the pointer where that lies inside the focus window, else from the focus
/// window, up to the focus window itself or the nearest window a window manager marked as
/// a client (WM_STATE), whichever comes first; up to the top-level window where the focus
/// follows the pointer. Any of their owners may receive the key. Empty while no window has
/// the focus.
///
/// Nothing is searched below the focus: a focused frame belongs to the window manager,
/// and keys typed there do not reach the client inside.
std::vector<Window> keyPath(Display* display);

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
