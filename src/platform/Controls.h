#pragma once

#include "Color.h"
#include "Event.h"
#include "Geometry.h"
#include "Mouse.h"

#include <string>

// The controls that the windows of the program carry. Each is owned by the window
// (or frame) that created it and lives as long as that container.
namespace kadrill::platform {

/// What a screen reader says of a control that shows something only in pixels or colour:
/// what it is, and what it shows now.
struct AccessibleText {
    std::string name;
    std::string description;
    friend bool operator==(const AccessibleText&, const AccessibleText&) = default;
};

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
    /// Moves the end point (twips, in the container); the start point stays where it was made.
    virtual void setEnd(PointF to) = 0;
    virtual PointF end() const = 0;
};

/// A caption on a transparent background, lit or unlit only through its text colour.
/// It takes every mouse press over it, so none reaches the surface beneath. A text too
/// long for one line wraps at the label's width; what does not fit its height is cut off.
class Label : public Control {
public:
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
    /// Moves the label's top-left corner (twips, in its container); its size stays.
    virtual void setPosition(Point topLeft) = 0;
    virtual Point position() const = 0;
    virtual void setForeColor(Color color) = 0;
    virtual Color foreColor() const = 0;
    /// A disabled label is drawn greyed out, as the desktop greys a caption it disables.
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    /// Read instead of the caption, for a mark whose meaning lies in its colour.
    virtual void setAccessibleText(const AccessibleText& text) = 0;
    virtual AccessibleText accessibleText() const = 0;

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

/// A control the user works with by mouse and keyboard. A disabled one is greyed out and
/// takes neither; Tab passes it by.
class InputControl : public Control {
public:
    virtual void setEnabled(bool enabled) = 0;
    /// The control's own setting, whatever its container's.
    virtual bool isEnabled() const = 0;
    /// Gives the control the keyboard focus (when its window is active).
    virtual void setFocus() = 0;
    virtual bool hasFocus() const = 0;
};

/// A one-line text box.
class TextBox : public InputControl {
public:
    /// Raises `changed` when the text differs from the box's text; never `edited`.
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
    /// The most characters (not bytes) the user can type in; 0 for no limit. Text already
    /// in the box stays, and the program may still set a longer one.
    virtual void setMaxLength(int characters) = 0;
    virtual int maxLength() const = 0;

    /// Every change of the text, typed by the user or set by the program.
    Event<> changed;
    /// Only the changes the user makes (typing, deleting, pasting), raised before `changed`.
    Event<> edited;
    /// A press of the left button into the box; the box has the focus by then.
    Event<> clicked;
};

/// A push button with a caption. An "&" in the caption marks its access key (Alt+letter).
class CommandButton : public InputControl {
public:
    /// Raised by a click, Space, the access key, Enter on the focused button or else on the
    /// window's default button, and Escape on its cancel button; only while it is enabled.
    Event<> clicked;
};

/// One of a group of option buttons: the options of one container form a group, and only
/// one of them is selected at a time.
class OptionButton : public InputControl {
public:
    /// Selecting one deselects the others of its group. Raises nothing.
    virtual void setChecked(bool checked) = 0;
    virtual bool isChecked() const = 0;

    /// Raised when the user selects the option (mouse, arrow keys, access key), also when
    /// it was selected already; never by setChecked.
    Event<> clicked;
};

/// A list of text lines, one of which may be selected.
class ListBox : public InputControl {
public:
    virtual void addItem(const std::string& text) = 0;
    /// Inserts in front of line `index`; `index` == count() appends. A selection moves
    /// with its line.
    virtual void insertItem(int index, const std::string& text) = 0;
    /// Removing the selected line leaves no line selected.
    virtual void removeItem(int index) = 0;
    virtual void clear() = 0;
    virtual int count() const = 0;
    virtual std::string item(int index) const = 0;
    /// The selected line, -1 for none.
    virtual int currentIndex() const = 0;
    /// -1 clears the selection. The line is scrolled into view.
    virtual void setCurrentIndex(int index) = 0;

    /// Raised whenever the selected line changes, by the user (mouse or keyboard) or by
    /// the program (setCurrentIndex, or a removal or clear that takes the selection away).
    Event<> selectionChanged;
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
