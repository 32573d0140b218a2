#pragma once

#include "Color.h"
#include "Event.h"

#include <string>

// The controls that the windows of the program carry. Each is owned by the window
// that created it and lives as long as that window.
namespace kadrill::platform {

class Control {
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    /// Shows or hides the control; a hidden control neither draws nor takes input.
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
};

/// A straight line drawn over the window's picture; it takes no mouse input.
class LineShape : public Control {
public:
    virtual void setColor(Color color) = 0;
    virtual Color color() const = 0;
};

/// A caption on a transparent background, lit or unlit only through its text colour.
class Label : public Control {
public:
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
    virtual void setForeColor(Color color) = 0;
    virtual Color foreColor() const = 0;
};

/// A push button that shows a picture instead of a caption.
class PictureButton : public Control {
public:
    /// Gives the button the keyboard focus (when its window is shown).
    virtual void setFocus() = 0;
    virtual bool hasFocus() const = 0;

    /// Raised when the user presses and releases the button, or presses Space on it.
    Event<> clicked;
};

/// How the backend may deliver the ticks of a timer.
enum class TimerPacing {
    /// Tick every interval.
    Interval,
    /// The handler only reacts to a change of the time-of-day text or to flags other
    /// handlers set. The backend may tick at each wall-clock second edge and right
    /// after any other handler has run instead of at every interval: the handler sees
    /// every change as soon as a 1 ms timer would, without waking a thousand times a second.
    PollsTimeOfDay,
};

/// A window timer. It ticks on the user-interface thread, and only while enabled.
class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    virtual ~Timer() = default;

    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    /// Enabling a disabled timer starts a new interval; disabling drops pending ticks.
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;

    Event<> tick;
};

/// A menu item: a command, a check item or a separator.
class MenuItem {
public:
    MenuItem() = default;
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;
    virtual ~MenuItem() = default;

    /// The check mark changes only through this call, never by itself when chosen.
    virtual void setChecked(bool checked) = 0;
    virtual bool isChecked() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;

    /// Raised when the user chooses the item.
    Event<> chosen;
};

} // namespace kadrill::platform
