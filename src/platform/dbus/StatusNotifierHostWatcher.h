#pragma once

#include <QDBusConnection>

#include <functional>
#include <memory>

namespace kadrill::platform::dbus {

/// Knows whether a notification area on the session bus (a StatusNotifierItem host, as
/// KDE Plasma, many panels and GNOME's AppIndicator extension run) can show an icon now,
/// and says so when that changes.
///
/// Such an area is there while `org.kde.StatusNotifierWatcher` has an owner that reports
/// a registered host, and a host lives: it holds a `org.kde.StatusNotifierHost-…` name (a
/// watcher may go on listing a host that has died), unless no such name has been seen with
/// this watcher (a panel that hosts inside its watcher's process takes none). The watcher's
/// name and its host-registered signals are followed, and the property is read again after
/// each of them, never starting a watcher; every read is asynchronous, so a hung panel never
/// blocks the program. A new owner of the watcher's name (a panel started after
/// Kadrill, or restarted) knows none of the icons registered before: onNewWatcher is the
/// moment to register again.
class StatusNotifierHostWatcher {
public:
    /// Both callbacks run on the thread of the caller's event loop. onChange is called at
    /// the first answer and whenever the answer of present() changes.
    StatusNotifierHostWatcher(const QDBusConnection& bus, std::function<void()> onChange,
                              std::function<void()> onNewWatcher);
    StatusNotifierHostWatcher(const StatusNotifierHostWatcher&) = delete;
    StatusNotifierHostWatcher& operator=(const StatusNotifierHostWatcher&) = delete;
    ~StatusNotifierHostWatcher();

    /// False without a connected bus; present() is then false for good.
    bool isWatching() const;
    /// Whether a watcher with a registered host was there at the last answer. False until
    /// the first answer has come.
    bool present() const;
    /// Whether the first answer has come.
    bool answered() const;

    static const char* const kWatcherService;

private:
    class Listener;

    std::unique_ptr<Listener> listener_;
};

} // namespace kadrill::platform::dbus
