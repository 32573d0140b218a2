#pragma once

#include "platform/Geometry.h"

namespace kadrill::platform {
class Window;
}

namespace kadrill::mainwin {

/// From the main window's outer top-left corner to its face where the window system has
/// not told the real frame: a title bar, a menu bar and a border at 96 dpi.
inline constexpr platform::Point kFallbackFaceOffset{50, 610};

/// From the main window's outer top-left corner to its face, so that the frameless
/// window placed there covers the same place on screen.
platform::Point faceOffset(const platform::Window& main);

/// Moves the window, if need be, so that its title bar and client area lie inside the
/// part of the nearest screen that windows may use.
void keepOnScreen(platform::Window& window);

} // namespace kadrill::mainwin
