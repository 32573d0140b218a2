#pragma once

#include "Win32Accessible.h"
#include "Win32Container.h"
#include "Win32Host.h"
#include "Win32Surface.h"
#include "Win32WindowControls.h"
#include "platform/Window.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

namespace kadrill::platform::win32 {

class Win32Application;
class Win32Menu;
class Win32MenuItem;
class Win32Timer;

/// A top-level window: its client area is the container of its controls, drawn by its
/// surface (the picture at the top left, the lines over it).
class Win32Window final : public Win32HostedContainer<Window>, public Win32Host {
public:
    Win32Window(Win32Application& app, const WindowProperties& props);
    ~Win32Window() override;

    void show() override;
    void hide() override;
    bool isVisible() const override;
    void activate() override;
    void requestAttention() override;
    bool isDemandingAttention() const override { return demandsAttention_; }
    Point position() const override;
    void setPosition(Point topLeft) override;
    Rect frameRect() const override;
    std::optional<Point> clientOffset() const override;
    Rect availableArea() const override;
    WindowState windowState() const override;
    void setWindowState(WindowState state) override;
    bool startSystemMove() override;
    void setAccessibleText(const AccessibleText& text) override { accessible_.set(hwnd_, text); }
    AccessibleText accessibleText() const override { return accessible_.text(); }
    Timer& addTimer(const TimerProperties& props) override;
    Menu& addMenu(const std::string& caption) override;

    // Win32Host
    HWND hostWindow() const override { return hwnd_; }
    int dpi() const override { return dpi_; }
    void paintGround(HDC dc, const RECT& area) override;
    bool enabledWithin() const override { return true; }
    bool shownWithin() const override { return true; }
    Win32WindowControls& windowControls() override { return keys_; }
    Win32Dispatcher& dispatcher() override;
    void requestFocus(HWND control) override;
    HWND toolTips() override { return toolTips_; }

    HWND hwnd() const { return hwnd_; }
    UINT newMenuId() { return nextMenuId_++; }
    /// Pops the menu up at the pointer once the current handler has returned.
    void popUp(Win32Menu& menu);
    /// The menu item of that command id, or null.
    Win32MenuItem* menuItem(UINT id) const;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void activated(bool active);
    void reportState();
    /// Makes the client area the size asked for, whatever the menu bar takes.
    void fitClientArea();
    void noteClientOffset() const;
    void applyDpi(int dpi, const RECT* suggested);
    void setIcons();
    void trackPopup(std::size_t menuIndex);
    /// The outer rectangle in pixels where the window is when not minimised.
    RECT outerRect() const;

    Win32Application& app_;
    Win32WindowControls keys_;
    Win32Surface surface_;
    HWND hwnd_ = nullptr;
    HMENU menuBar_ = nullptr;
    HWND toolTips_ = nullptr;
    DWORD style_;
    DWORD exStyle_;
    SIZE clientTwips_;
    std::string iconName_;
    HICON smallIcon_ = nullptr;
    HICON bigIcon_ = nullptr;
    int dpi_;
    UINT nextMenuId_ = 1000;
    std::vector<std::unique_ptr<Win32Timer>> timers_;
    std::vector<std::unique_ptr<Win32Menu>> menus_;
    AccessibleWords accessible_;
    bool closedRaised_ = false;
    bool demandsAttention_ = false;
    /// Minimised while hidden: shown again minimised.
    bool minimizedHidden_ = false;
    WindowState reportedState_ = WindowState::Normal;
    mutable std::optional<Point> clientOffset_;
    /// Where the focus goes when the window is next activated.
    HWND pendingFocus_ = nullptr;
};

} // namespace kadrill::platform::win32
