#pragma once

#include "platform/Geometry.h"

#include <windows.h>

namespace kadrill::platform::win32 {

class Win32Dispatcher;
class Win32WindowControls;

/// A container as its children see it: the window, a frame or a picture.
class Win32Host {
public:
    Win32Host() = default;
    Win32Host(const Win32Host&) = delete;
    Win32Host& operator=(const Win32Host&) = delete;
    virtual ~Win32Host() = default;

    /// The native window the children live in.
    virtual HWND hostWindow() const = 0;
    virtual int dpi() const = 0;
    /// Paints what a transparent child shows at `area` (pixels of this host's client area)
    /// into `dc`, whose coordinates are this host's.
    virtual void paintGround(HDC dc, const RECT& area) = 0;
    /// The host and every host around it are enabled (the window's own state aside).
    virtual bool enabledWithin() const = 0;
    /// The host and every host around it are shown (the window's own visibility aside).
    virtual bool shownWithin() const = 0;
    virtual Win32WindowControls& windowControls() = 0;
    virtual Win32Dispatcher& dispatcher() = 0;
    /// Gives the control the focus now if its window is active, else when it next becomes so.
    virtual void requestFocus(HWND control) = 0;
    /// The window's tool tips, which picture buttons add themselves to.
    virtual HWND toolTips() = 0;
};

/// A native child window of a host; its native window carries a pointer to it, so the host
/// hands it the notifications meant for it (WM_COMMAND, WM_DRAWITEM).
class Win32Child {
public:
    Win32Child(Win32Host& host, const Rect& bounds) : host_(host), bounds_(bounds) {}
    Win32Child(const Win32Child&) = delete;
    Win32Child& operator=(const Win32Child&) = delete;
    virtual ~Win32Child();

    HWND hwnd() const { return hwnd_; }
    Win32Host& host() const { return host_; }
    /// Places the window at its bounds for the DPI, and takes the fonts of that DPI.
    virtual void applyDpi(int dpi);
    /// A notification code of WM_COMMAND from this child.
    virtual void onCommand(WORD /*code*/) {}
    virtual void onDrawItem(const DRAWITEMSTRUCT& /*item*/) {}
    /// The host was enabled or disabled: enable the window if its own setting allows.
    virtual void hostEnabledChanged() {}

    /// The child the native window belongs to, or null.
    static Win32Child* of(HWND hwnd);

protected:
    /// Keeps `hwnd` and marks it as this child's.
    void adopt(HWND hwnd);
    /// Shown, by its own setting and every host around it.
    bool shownWithin() const;

    Win32Host& host_;
    Rect bounds_;
    HWND hwnd_ = nullptr;
};

/// Registers a window class of ours once; the name is returned for CreateWindowExW.
const wchar_t* registerClass(const wchar_t* name, WNDPROC proc, HBRUSH background = nullptr, UINT style = 0);

/// What the host windows do with their children's notifications; true when handled.
bool forwardToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

/// Hands the keyboard focus on from `within` (the window or a control in it) when it hides.
void dropFocusWithin(HWND within);

} // namespace kadrill::platform::win32
