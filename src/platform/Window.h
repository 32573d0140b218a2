#pragma once

#include "Color.h"
#include "Controls.h"
#include "Event.h"
#include "Geometry.h"

#include <memory>
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
    std::string picture; ///< background picture drawn at the client area's top left
    std::string icon;    ///< window icon
};

struct LineProperties {
    Point from; ///< twips
    Point to;   ///< twips
    int thicknessPixels = 1;
    Color color = 0;
};

struct LabelProperties {
    Rect bounds; ///< twips
    std::string text;
    std::string fontName;
    double fontPoints = 9.0;
    Color foreColor = 0;
    bool visible = true;
};

struct PictureButtonProperties {
    Rect bounds; ///< twips
    std::string picture;
    std::string toolTip;
    int tabIndex = 0;
    bool visible = true;
};

struct TimerProperties {
    int interval = 0; ///< milliseconds
    bool enabled = false;
    TimerPacing pacing = TimerPacing::Interval;
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
};

/// A top-level window and the factory of its controls. Controls, menus and timers
/// belong to the window and live as long as it does.
class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;

    /// Outer top-left corner on the screen, twips.
    virtual Point position() const = 0;
    virtual void setPosition(Point topLeft) = 0;

    virtual WindowState windowState() const = 0;
    virtual void setWindowState(WindowState state) = 0;

    virtual LineShape& addLine(const LineProperties& props) = 0;
    virtual Label& addLabel(const LabelProperties& props) = 0;
    virtual PictureButton& addPictureButton(const PictureButtonProperties& props) = 0;
    virtual Timer& addTimer(const TimerProperties& props) = 0;
    virtual Menu& addMenu(const std::string& caption) = 0;

    /// Raised once when the user or the system closes the window; it cannot be cancelled.
    Event<> closed;
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
};

} // namespace kadrill::platform
