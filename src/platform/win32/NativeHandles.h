#pragma once

#include <windows.h>

namespace kadrill::platform {
class Control;
class MenuItem;
class TrayIcon;
class Window;
} // namespace kadrill::platform

// What a test driver needs to act on the Win32 backend's objects as a person would: the
// native windows behind them. Only tests use these.
namespace kadrill::platform::win32 {

/// The top-level window.
HWND nativeWindow(const platform::Window& window);
/// The control's own child window; null for a line, which is drawn on its container.
HWND nativeControl(const platform::Control& control);

/// Where a menu item lives: the window whose menu bar holds it, its drop-down menu and its
/// command id (WM_COMMAND).
struct NativeMenuItem {
    HWND owner = nullptr;
    HMENU menu = nullptr;
    UINT id = 0;
};
NativeMenuItem nativeMenuItem(const platform::MenuItem& item);

/// The hidden window that receives the notification-area icon's callback message, as the
/// shell sends it, and that message's number (lParam carries WM_LBUTTONUP and the like).
HWND nativeTrayWindow(const platform::TrayIcon& tray);
UINT trayCallbackMessage();

} // namespace kadrill::platform::win32
