#pragma once

#include "NativeDesktop.h"
#include "platform/TrayIcon.h"

#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;

namespace kadrill::platform::dbus {
class StatusNotifierHostWatcher;
}

namespace kadrill::platform::qt {

class QtDispatcher;
class QtMenuItem;

/// The notification-area icon. A left click reports an activation, the context click a
/// request for the context menu; the icon has no menu of its own, so only the program's
/// popup opens.
///
/// Two kinds of notification area exist: the X11 tray selection (XEmbed) and a
/// StatusNotifierItem host on the session bus. Qt picks the bus when a host is registered
/// as the process creates its first tray icon, and keeps that choice for good; so the
/// icon is created only once some area is there, and from then on only an area of the
/// kind Qt chose counts as present.
class QtTrayIcon final : public TrayIcon {
public:
    explicit QtTrayIcon(QtDispatcher& dispatcher);
    ~QtTrayIcon() override;

    /// True only once the icon exists in an area: until the session bus has told whether it
    /// has one, the icon waits, and availabilityChanged says when it is there.
    bool add(const NotifyIconRecord& record) override;
    bool remove(const NotifyIconRecord& record) override;
    /// Whether the icon is shown in a notification area now and takes clicks: not while a
    /// modal box of the program is open.
    bool isAvailable() const override;
    bool showMessage(const std::string& title, const std::string& text, MessageIcon icon) override;
    /// Shown at the icon by a panel of the session bus, which reads it from there; the X11
    /// tray leaves the menu to the program.
    MenuItem& offerMenu(Menu& menu, const std::string& caption) override;

    /// Null until a notification area has been there since add().
    QSystemTrayIcon* icon() const { return icon_.get(); }

private:
    /// Whether an area that would show the icon is there.
    bool areaPresent() const;
    bool mayCreateIcon() const;
    void createIcon();
    void publishMenu();
    void areaChanged();
    void busWatcherStarted();

    QtDispatcher& dispatcher_;
    std::unique_ptr<NativeDesktop::TrayWatch> x11Watcher_;
    std::unique_ptr<dbus::StatusNotifierHostWatcher> busWatcher_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QtMenuItem> ownItem_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::optional<NotifyIconRecord> record_; // added and not removed
    bool wasAvailable_ = false;
    bool busHostWas_ = false; // a session-bus host was registered at the last look
};

} // namespace kadrill::platform::qt
