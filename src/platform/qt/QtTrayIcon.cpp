#include "QtTrayIcon.h"

#include "QtControls.h"
#include "QtDispatcher.h"

#include <QSystemTrayIcon>

namespace kadrill::platform::qt {

QtTrayIcon::QtTrayIcon(QtDispatcher& dispatcher) : dispatcher_(dispatcher) {}

QtTrayIcon::~QtTrayIcon() { delete icon_; }

bool QtTrayIcon::add(const NotifyIconRecord& record) {
    if (icon_ != nullptr) {
        return false;
    }
    QIcon icon;
    icon.addPixmap(assetPixmap(record.icon + "-16"));
    icon.addPixmap(assetPixmap(record.icon + "-32"));
    icon_ = new QSystemTrayIcon(icon, this);
    // The tip is a fixed-width text; what the user sees ends at its NUL.
    const std::string tip = record.tip.substr(0, record.tip.find('\0'));
    icon_->setToolTip(QString::fromStdString(tip));
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            dispatcher_.deliver(leftPressed);
        } else if (reason == QSystemTrayIcon::Context) {
            dispatcher_.deliver(rightPressed);
        }
    });
    id_ = record.id;
    // Shown even without a tray host now: Qt puts the icon in as soon as one appears.
    icon_->show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTrayIcon::remove(const NotifyIconRecord& record) {
    if (icon_ == nullptr || record.id != id_) {
        return false;
    }
    icon_->hide();
    delete icon_;
    icon_ = nullptr;
    return true;
}

} // namespace kadrill::platform::qt
