#pragma once

#include "Geometry.h"

namespace kadrill::platform {

/// Mouse buttons with the values a form's mouse events give them.
enum class MouseButton { None = 0, Left = 1, Right = 2, Middle = 4 };

/// A press, move or release of the mouse over a control or a window's client area.
struct MouseEvent {
    /// The button that went down or up; None for a move.
    MouseButton button = MouseButton::None;
    /// The buttons held after the event, as an OR of MouseButton values.
    int buttons = 0;
    /// Where the pointer is, in twips from the control's top-left corner.
    Point position;
    /// Where the pointer is on the screen, in twips.
    Point screen;

    bool isHeld(MouseButton b) const { return (buttons & static_cast<int>(b)) != 0; }
};

} // namespace kadrill::platform
