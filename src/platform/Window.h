#pragma once

#include "Container.h"
#include "Event.h"
#include "Geometry.h"
#include "Mouse.h"

#include <memory>
#include <optional>
#include <string>

namespace kadrill::platform {

enum class BorderStyle {
    FixedSingle, ///< title bar and a border that cannot be dragged to resize
    None,        ///< no title bar and no border
};

enum class WindowState { Normal, Minimized };

struct WindowProperties {
    std::string caption;
    int clientWidth = 0;  ///< twips
    int clientHeight = 0; ///< twips
    BorderStyle border = BorderStyle::FixedSingle;
    bool minimizeButton = true;
    bool maximizeButton = false;
    /// Only the program's main window has a menu bar.
    bool menuBar = false;
    std::string picture; ///< background picture drawn at the client area's top left
    std::string icon;    ///< window icon
};

enum class MenuItemKind { Command, Check };

/// A drop-down menu of a window's menu bar.
class Menu {
public:
    Menu() = default;
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;
    virtual ~Menu() = default;

    virtual MenuItem& addItem(const std::string& caption, MenuItemKind kind) = 0;
    virtual MenuItem& addSeparator() = 0;

    /// Pops the menu up at the mouse pointer and returns at once; a choice arrives later
    /// as the item's chosen event. Any earlier popup closes first.
    virtual void popupAtPointer() = 0;
};

/// A top-level window, the container of its client area's controls, and the owner of
/// its menus and timers, which live as long as it does.
class Window : public Container {
public:
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;
    /// Brings the window to the front and gives it the keyboard.
    virtual void activate() = 0;
    /// Asks the desktop to draw the user's eye to the window (a task-bar entry that
    /// flashes or is marked) until the user activates it; nothing for the active window.
    virtual void requestAttention() = 0;
    /// A request for attention stands: made, and the window not activated since.
    virtual bool isDemandingAttention() const = 0;

    /// Outer top-left corner on the screen, twips.
    virtual Point position() const = 0;
    virtual void setPosition(Point topLeft) = 0;
    /// The outer rectangle on the screen, frame and menu bar included, twips.
    virtual Rect frameRect() const = 0;
    /// From the outer top-left corner to the client area's, twips; empty while the window
    /// system has not told how large the frame is (a window never shown).
    virtual std::optional<Point> clientOffset() const = 0;
    /// The part of the screen nearest to the window that windows may use (without
    /// panels and docks), twips.
    virtual Rect availableArea() const = 0;

    virtual WindowState windowState() const = 0;
    /// Raises stateChanged when the state changes.
    virtual void setWindowState(WindowState state) = 0;

    /// Hands the move that a left press just began to the window system, which then
    /// follows the pointer itself. False where it cannot (the caller moves the window).
    virtual bool startSystemMove() = 0;

    /// What a screen reader reads of the client area itself, beneath its controls (the face
    /// of the watch); an unchanged text tells it nothing new.
    virtual void setAccessibleText(const AccessibleText& text) = 0;
    virtual AccessibleText accessibleText() const = 0;

    virtual Timer& addTimer(const TimerProperties& props) = 0;
    /// A drop-down menu of the menu bar; only for windows made with a menu bar.
    virtual Menu& addMenu(const std::string& caption) = 0;

    /// Raised once when the user or the system closes the window; it cannot be cancelled.
    Event<> closed;
    /// Raised when the window is minimised or restored, by the user or by the program.
    Event<> stateChanged;
    /// Raised when the window stops being the active window.
    Event<> deactivated;
    /// The user asks for the window's context menu from the keyboard (the Menu key or
    /// Shift+F10) and no control took the key.
    Event<> contextMenuKey;
    /// Mouse events over the bare client area (not over a control that takes them).
    Event<MouseEvent> mouseDown;
    Event<MouseEvent> mouseMove;
    Event<MouseEvent> mouseUp;
};

/// Creates top-level windows.
class WindowSystem {
public:
    WindowSystem() = default;
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;
    virtual ~WindowSystem() = default;

    /// The window starts hidden.
    virtual std::unique_ptr<Window> createWindow(const WindowProperties& props) = 0;
    /// An assistive technology (a screen reader) reads the windows now; what only it would
    /// hear need not be kept up to date otherwise.
    virtual bool isAccessibilityActive() const = 0;
};

/// Brings a window forward as the user asked for it: out of the task bar if minimised,
/// shown, and active.
inline void bringForward(Window& window) {
    if (window.windowState() == WindowState::Minimized) {
        window.setWindowState(WindowState::Normal);
    }
    window.show();
    window.activate();
}

} // namespace kadrill::platform
