#pragma once

#include "MemoryControls.h"

#include <optional>

namespace kadrill::platform::memory {

class MemoryEventLoop;
class MemoryWindowSystem;

class MemoryWindow final : public MemoryHostedContainer<Window> {
public:
    MemoryWindow(MemoryWindowSystem& system, MemoryEventLoop& loop, const WindowProperties& props);
    ~MemoryWindow() override;

    void show() override { visible_ = shownOnce_ = true; }
    void hide() override;
    bool isVisible() const override { return visible_; }
    void activate() override;
    void requestAttention() override;
    bool isDemandingAttention() const override { return demandsAttention_; }
    Point position() const override { return position_; }
    void setPosition(Point topLeft) override { position_ = topLeft; }
    Rect frameRect() const override;
    std::optional<Point> clientOffset() const override;
    Rect availableArea() const override;
    WindowState windowState() const override { return state_; }
    void setWindowState(WindowState state) override;
    bool startSystemMove() override;
    void setAccessibleText(const AccessibleText& text) override { accessible_ = text; }
    AccessibleText accessibleText() const override { return accessible_; }

    Timer& addTimer(const TimerProperties& props) override;
    Menu& addMenu(const std::string& caption) override;

    const WindowProperties& props() const { return props_; }
    const std::vector<std::unique_ptr<MemoryTimer>>& timers() const { return timers_; }
    const std::vector<std::unique_ptr<MemoryMenu>>& menus() const { return menus_; }
    /// The menu-bar menu with this caption; null when there is none.
    MemoryMenu* menu(const std::string& caption) const;
    bool isActive() const;
    /// The window system made it the active window.
    void noteActivated() { demandsAttention_ = false; }

    // What a user does to the window.
    /// Closes the window by its close box: the event is raised only the first time, then
    /// the window is hidden.
    void close();
    /// Mouse over the bare client area, at a screen position in twips; a hidden window
    /// takes nothing (false).
    bool pressMouse(MouseButton button, Point screen);
    bool moveMouse(Point screen, int heldButtons);
    bool releaseMouse(MouseButton button, Point screen);
    /// The Space key: the focused button of the active window clicks. False when no
    /// button took it.
    bool pressSpace();
    /// Enter: the focused button clicks, or else the enabled default button, unless the
    /// focus is in a list or a box that keeps Enter. False when no button took it.
    bool pressEnter();
    /// Escape: the enabled cancel button clicks. False when none took it.
    bool pressEscape();
    /// Tab (Shift+Tab with `back`): the focus moves to the next control the user can reach,
    /// in tab order, round the end.
    void pressTab(bool back = false);
    /// Alt and the letter: the button or option whose caption marks that letter with "&".
    bool pressAccessKey(char letter);
    /// The Menu key or Shift+F10, which no control here takes. False for a hidden window.
    bool pressContextMenuKey();

    /// The client area's top-left corner on the screen, twips.
    Point clientOrigin() const;

    MemoryFocusTarget* focused() const { return focused_; }
    void setFocused(MemoryFocusTarget* control) { focused_ = control; }
    /// Takes the focus from a control that is hidden, disabled, or lies in such a container.
    void dropHiddenFocus();
    /// Numbers the window's controls in the order they are made.
    int nextSerial() { return serial_++; }
    /// Every control that can take the focus, in tab order.
    std::vector<MemoryFocusTarget*> tabOrder() const;

private:
    MouseEvent mouseEvent(MouseButton button, int held, Point screen) const;
    Point decoration() const;

    MemoryWindowSystem& system_;
    MemoryEventLoop& loop_;
    WindowProperties props_;
    bool visible_ = false;
    bool shownOnce_ = false;
    bool closed_ = false;
    bool demandsAttention_ = false;
    AccessibleText accessible_;
    Point position_;
    WindowState state_ = WindowState::Normal;
    MemoryFocusTarget* focused_ = nullptr;
    int serial_ = 0;
    std::vector<std::unique_ptr<MemoryTimer>> timers_;
    std::vector<std::unique_ptr<MemoryMenu>> menus_;
};

/// Creates in-memory windows and plays the window system's part: which window is
/// active, the screen's usable area, popups shown.
class MemoryWindowSystem final : public WindowSystem {
public:
    explicit MemoryWindowSystem(MemoryEventLoop& loop) : loop_(loop) {}
    std::unique_ptr<Window> createWindow(const WindowProperties& props) override;
    bool isAccessibilityActive() const override { return accessibilityActive_; }
    /// As when a screen reader starts or stops listening (default: none listens).
    void setAccessibilityActive(bool active) { accessibilityActive_ = active; }

    /// The screen's usable area, twips (default: 1920 x 1040 pixels at the top left).
    void setAvailableArea(Rect area) { area_ = area; }
    Rect availableArea() const { return area_; }
    /// Whether the window system would carry out moves itself (default no).
    void setSystemMoveAvailable(bool available) { systemMove_ = available; }
    bool systemMoveAvailable() const { return systemMove_; }
    int systemMovesStarted() const { return systemMovesStarted_; }
    void noteSystemMove() { ++systemMovesStarted_; }

    MemoryWindow* activeWindow() const { return active_; }
    /// Makes the window the active one, deactivating the one before.
    void setActive(MemoryWindow* window);

    /// Popups shown so far, the latest last.
    const std::vector<const MemoryMenu*>& popups() const { return popups_; }
    void notePopup(const MemoryMenu* menu) { popups_.push_back(menu); }

private:
    MemoryEventLoop& loop_;
    Rect area_{0, 0, 1920 * kTwipsPerPixel, 1040 * kTwipsPerPixel};
    bool systemMove_ = false;
    bool accessibilityActive_ = false;
    int systemMovesStarted_ = 0;
    MemoryWindow* active_ = nullptr;
    std::vector<const MemoryMenu*> popups_;
};

} // namespace kadrill::platform::memory
