#pragma once

#include "platform/TrayIcon.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

namespace kadrill::platform::win32 {

/// The icon in the notification area (Shell_NotifyIconW, NOTIFYICON_VERSION_4). A hidden
/// window of its own takes the shell's callback message: a click (NIN_SELECT after the left
/// button's release) or Enter on the icon (NIN_KEYSELECT) reports an activation, the right
/// button or the Menu key (WM_CONTEXTMENU) a request for the context menu; the middle
/// button and a double click's second click nothing. Windows leaves the menu to the
/// program, so the item offerMenu returns is never shown.
///
/// The icon comes back by itself when the shell starts again (the "TaskbarCreated"
/// broadcast), and an icon the shell would not take yet is offered again every few
/// seconds; availabilityChanged tells of both, and of a task bar that went away.
///
/// Construct on the user-interface thread, as Win32TrayIcon tray(run); `run` runs the
/// program's handler for an event (the dispatcher's way, so its follow-up work happens
/// too); empty, events are raised directly.
class Win32TrayIcon final : public TrayIcon {
public:
    using RunHandler = std::function<void(const std::function<void()>&)>;

    explicit Win32TrayIcon(RunHandler run = {});
    ~Win32TrayIcon() override;

    /// The picture is record.icon in the size of a small icon ("kadrill" gives
    /// "kadrill-16" at 96 dpi).
    bool add(const NotifyIconRecord& record) override;
    bool remove(const NotifyIconRecord& record) override;
    /// While the icon is added: whether the shell took it. Before: whether there is a task bar.
    bool isAvailable() const override;
    /// A balloon (or a toast, as Windows shows them now) at the icon.
    bool showMessage(const std::string& title, const std::string& text, MessageIcon icon) override;
    MenuItem& offerMenu(Menu& menu, const std::string& caption) override;

    /// The hidden window the shell sends the icon's callback message to.
    HWND window() const { return window_; }
    /// The number of that message. The low word of lParam carries the event, as the shell
    /// sends them: a click is WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT; a double click then
    /// adds WM_LBUTTONDBLCLK, WM_LBUTTONUP (and NIN_SELECT); a right click is
    /// WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU.
    static UINT callbackMessage();

private:
    class OwnItem;

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool notify(DWORD what);
    bool addToShell();
    void offerAgain();
    void setShown(bool shown);
    void raise(TrayActivation what);

    RunHandler run_;
    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    UINT taskbarCreated_ = 0;
    std::optional<NotifyIconRecord> record_; // added and not removed
    bool shown_ = false;                     // the shell took the icon
    bool taskBarSeen_ = false;               // a task bar was there while the icon was shown
    bool version4_ = false;                  // the shell sends NIN_SELECT and WM_CONTEXTMENU
    bool afterDoubleClick_ = false;          // a double click's second release is no click
    std::unique_ptr<OwnItem> ownItem_;
};

} // namespace kadrill::platform::win32
