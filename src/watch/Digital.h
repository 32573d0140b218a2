#pragma once

#include "WatchFace.h"
#include "platform/Event.h"
#include "platform/Geometry.h"
#include "platform/Mouse.h"

#include <memory>

namespace kadrill::platform {
class Window;
class WindowSystem;
} // namespace kadrill::platform

namespace kadrill::watch {

/// The frameless copy of the watch that stands in for the main window while its menu
/// bar is hidden. It has no display logic of its own: the watch routines write both
/// faces. Having no title bar, it is moved by dragging its face with the left button.
class Digital {
public:
    /// Creates the window hidden, with the same face and buttons as the main window.
    explicit Digital(platform::WindowSystem& windows);
    Digital(const Digital&) = delete;
    Digital& operator=(const Digital&) = delete;
    ~Digital();

    platform::Window& window() { return *window_; }
    WatchFace& face() { return face_; }

    /// A right press on the face asks for the main window's display menu at the pointer.
    platform::Event<> displayMenuRequested;
    /// The window system closed the window (Alt+F4, the task bar).
    platform::Event<> closedBySystem;

    /// Ends a drag under way, if any.
    void endDrag() { Dragging = false; }
    bool isDragging() const { return Dragging; }

private:
    void mouseDown(const platform::MouseEvent& e);
    void mouseMove(const platform::MouseEvent& e);
    void popupMenu();

    std::unique_ptr<platform::Window> window_;
    WatchFace face_;
    /// A drag that this window carries out itself (the window system would not).
    bool Dragging = false;
    /// Pointer minus the window's top-left corner when the drag began, screen twips.
    platform::Point GrabOffset;
};

} // namespace kadrill::watch
