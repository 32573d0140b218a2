#pragma once

#include "Color.h"
#include "Event.h"
#include "Mouse.h"

#include <string>

// The controls that the windows of the program carry. Each is owned by the window
// (or frame) that created it and lives as long as that container.
namespace kadrill::platform {

class Control {
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    /// Shows or hides the control; a hidden control neither draws nor takes input.
    virtual void setVisible(bool visible) = 0;
    /// The control's own visibility setting, whether or not its window is on screen.
    virtual bool isVisible() const = 0;
};

/// A straight line drawn on its container's surface; it takes no mouse input.
class LineShape : public Control {
public:
    virtual void setColor(Color color) = 0;
    virtual Color color() const = 0;
};

/// A caption on a transparent background, lit or unlit only through its text colour.
/// It takes every mouse press over it, so none reaches the surface beneath.
class Label : public Control {
public:
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
    virtual void setForeColor(Color color) = 0;
    virtual Color foreColor() const = 0;

    /// Raised when a mouse button goes down over the label.
    Event<MouseEvent> mouseDown;
};

/// A push button that shows a picture instead of a caption. Presses of buttons other
/// than the left one are taken and ignored.
class PictureButton : public Control {
public:
    /// Gives the button the keyboard focus; if its window is not active, the button
    /// gets the focus when the window next becomes active.
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
    /// As PollsTimeOfDay, and the handler also shows a value that moves continuously
    /// (a running stopwatch): the backend ticks about once per display frame, never
    /// faster, since nobody could see the values in between.
    DisplayRate,
};

struct TimerProperties {
    int interval = 0; ///< milliseconds
    bool enabled = false;
    TimerPacing pacing = TimerPacing::Interval;
};

/// A window timer. It ticks on the user-interface thread, and only while enabled.
class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    virtual ~Timer() = default;

    /// An interval of 0 stops the timer, whatever its pacing, until it is given another.
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    /// Enabling a disabled timer starts a new interval; disabling drops pending ticks.
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    /// May change at any time; an enabled timer goes on ticking at the new pace.
    virtual void setPacing(TimerPacing pacing) = 0;
    virtual TimerPacing pacing() const = 0;

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
