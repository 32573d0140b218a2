#pragma once

#include "platform/TrayIcon.h"

#include <QObject>

class QSystemTrayIcon;

namespace kadrill::platform::qt {

class QtDispatcher;

class QtTrayIcon final : public QObject, public TrayIcon {
public:
    explicit QtTrayIcon(QtDispatcher& dispatcher);
    ~QtTrayIcon() override;

    bool add(const NotifyIconRecord& record) override;
    bool remove(const NotifyIconRecord& record) override;

private:
    QtDispatcher& dispatcher_;
    QSystemTrayIcon* icon_ = nullptr;
    int id_ = 0;
};

} // namespace kadrill::platform::qt
