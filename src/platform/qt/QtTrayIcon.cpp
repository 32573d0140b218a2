#include "QtTrayIcon.h"

#include "Assets.h"
#include "QtDispatcher.h"
#include "platform/x11/TrayHostWatcher.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace kadrill::platform::qt {

QtTrayIcon::QtTrayIcon(QtDispatcher& dispatcher) : dispatcher_(dispatcher) {
    // The X11 tray selection is watched so that the program hears at once when a panel
    // starts or goes away; elsewhere Qt is asked at every use.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        watcher_ = std::make_unique<x11::TrayHostWatcher>([this] { dispatcher_.deliver(availabilityChanged); });
        if (!watcher_->isWatching()) {
            watcher_.reset();
        }
    }
}

QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::isAvailable() const {
    return watcher_ ? watcher_->present() : QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTrayIcon::add(const NotifyIconRecord& record) {
    if (icon_) {
        return false;
    }
    icon_ = std::make_unique<QSystemTrayIcon>(assetIcon(record.icon));
    // The tip is a fixed-width text; what the user sees ends at its NUL.
    const std::string tip = record.tip.substr(0, record.tip.find('\0'));
    icon_->setToolTip(QString::fromStdString(tip));
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger) {
                             dispatcher_.deliver(leftPressed);
                         } else if (reason == QSystemTrayIcon::Context) {
                             dispatcher_.deliver(rightPressed);
                         }
                     });
    id_ = record.id;
    // Shown even without a tray host now: Qt puts the icon in as soon as one appears. Not
    // so off X11, where Qt's only fallback is the X11 tray, which cannot work there.
    if (QGuiApplication::platformName() == QLatin1String("xcb") || QSystemTrayIcon::isSystemTrayAvailable()) {
        icon_->show();
    }
    return isAvailable();
}

bool QtTrayIcon::showMessage(const std::string& title, const std::string& text, MessageIcon icon) {
    if (!icon_ || !isAvailable() || !QSystemTrayIcon::supportsMessages()) {
        return false;
    }
    QSystemTrayIcon::MessageIcon qicon = QSystemTrayIcon::NoIcon;
    switch (icon) {
    case MessageIcon::Information:
    case MessageIcon::Question:
        qicon = QSystemTrayIcon::Information;
        break;
    case MessageIcon::Exclamation:
        qicon = QSystemTrayIcon::Warning;
        break;
    case MessageIcon::Critical:
        qicon = QSystemTrayIcon::Critical;
        break;
    case MessageIcon::None:
        break;
    }
    icon_->showMessage(QString::fromStdString(title), QString::fromStdString(text), qicon);
    return true;
}

bool QtTrayIcon::remove(const NotifyIconRecord& record) {
    if (!icon_ || record.id != id_) {
        return false;
    }
    icon_->hide();
    icon_.reset();
    return true;
}

} // namespace kadrill::platform::qt
