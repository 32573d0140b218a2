#pragma once

#include "platform/qt/NativeDesktop.h"

#include <functional>
#include <memory>

namespace kadrill::platform::x11 {

/// Knows whether a notification area (an XEmbed system-tray host) runs on the X display,
/// and says so when one appears or goes away.
///
/// A tray host announces itself by owning the selection _NET_SYSTEM_TRAY_S<screen>. The
/// watcher keeps its own connection to the display and asks the server (XFixes) to report
/// every change of that owner, including the owner's window or client vanishing when a
/// panel crashes. Those reports arrive on the connection's socket, which Qt's event loop
/// watches: nothing wakes the program while the tray stays as it is.
///
/// Only meaningful where Qt itself draws on X11 (platform "xcb"): under Wayland a DISPLAY
/// may still lead to Xwayland, whose tray is not the one the desktop shows. Should the X
/// server go away, Xlib ends the program, as it does through Qt's own connection.
class TrayHostWatcher final : public qt::NativeDesktop::TrayWatch {
public:
    /// onChange is called on the UI thread whenever the answer of present() changes.
    /// displayName null means the display named by the DISPLAY environment variable.
    /// Needs a QCoreApplication.
    explicit TrayHostWatcher(std::function<void()> onChange, const char* displayName = nullptr);
    ~TrayHostWatcher() override; // closes the connection

    TrayHostWatcher(const TrayHostWatcher&) = delete;
    TrayHostWatcher& operator=(const TrayHostWatcher&) = delete;

    /// False where there is no X display to watch (Wayland-only, offscreen, no XFixes);
    /// present() is then false.
    bool isWatching() const;
    /// Whether a tray host owns the selection right now.
    bool present() const override;

private:
    struct Connection;

    void readEvents();

    std::function<void()> onChange_;
    std::unique_ptr<Connection> connection_; // null while not watching
    bool present_ = false;
};

} // namespace kadrill::platform::x11
