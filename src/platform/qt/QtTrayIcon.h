#pragma once

#include "platform/TrayIcon.h"

#include <memory>

class QSystemTrayIcon;

namespace kadrill::platform::x11 {
class TrayHostWatcher;
}

namespace kadrill::platform::qt {

class QtDispatcher;

/// The notification-area icon. A left click reports a left press, the context click a
/// right press; the icon has no menu of its own, so only the program's popup opens.
class QtTrayIcon final : public TrayIcon {
public:
    explicit QtTrayIcon(QtDispatcher& dispatcher);
    ~QtTrayIcon() override;

    bool add(const NotifyIconRecord& record) override;
    bool remove(const NotifyIconRecord& record) override;
    bool isAvailable() const override;
    bool showMessage(const std::string& title, const std::string& text, MessageIcon icon) override;

    QSystemTrayIcon* icon() const { return icon_.get(); }

private:
    QtDispatcher& dispatcher_;
    std::unique_ptr<x11::TrayHostWatcher> watcher_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    int id_ = 0;
};

} // namespace kadrill::platform::qt
