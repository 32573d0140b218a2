#pragma once
// Top-level windows placed to the device pixel. Qt places windows in its own pixels, which
// at a fractional or double scale reach only some device pixels; two faces meant to cover
// the same place would be a pixel apart.

#include <QPoint>
#include <QWindow>

#include <optional>

namespace kadrill::platform::x11 {

/// Where the top-left corner of the X window `window` is on the screen, in device pixels;
/// empty off X11.
std::optional<QPoint> ScreenOrigin(WId window);

/// Asks for the client area of the top-level `window` at `devicePos`: straight where no
/// window manager holds it, else through the window manager (_NET_MOVERESIZE_WINDOW with
/// static gravity, so that the position is the client's whatever the frame). False off X11.
bool MoveClientTo(WId window, QPoint devicePos);

} // namespace kadrill::platform::x11
