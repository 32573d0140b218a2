#pragma once
// Top-level windows placed to the device pixel. Qt places windows in its own pixels, which
// at a fractional or double scale reach only some device pixels; two faces meant to cover
// the same place would be a pixel apart.

#include "platform/qt/NativeDesktop.h"

#include <QPoint>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>

namespace kadrill::platform::x11 {

/// Where the top-left corner of the X window `window` is on the screen, in device pixels;
/// empty off X11.
std::optional<QPoint> screenOrigin(WId window);

/// Asks for the client area of the top-level `window` at `devicePos`: straight where no
/// window manager holds it, else through the window manager (_NET_MOVERESIZE_WINDOW with
/// static gravity, so that the position is the client's whatever the frame). False off X11.
bool moveClientTo(WId window, QPoint devicePos);

/// From the corner of the frame the window manager has put around the top-level `window` to
/// the corner of the window, in device pixels, as the window manager tells it
/// (_NET_FRAME_EXTENTS); empty while the window is not in a frame or not yet told.
std::optional<QPoint> frameMargin(WId window);

/// Whether the running window manager tells each window its frame (_NET_FRAME_EXTENTS): only
/// then is a frame not yet told one still to come. False without one, or off X11.
bool framesAreTold();

/// Calls `told` each time the window manager tells `window` its frame, for as long as it lives.
class FrameWatch final : public qt::NativeDesktop::FrameWatch {
public:
    FrameWatch(WId window, std::function<void()> told);
    ~FrameWatch() override;
    FrameWatch(const FrameWatch&) = delete;
    FrameWatch& operator=(const FrameWatch&) = delete;

private:
    class Filter;
    std::unique_ptr<Filter> filter_;
};

} // namespace kadrill::platform::x11
