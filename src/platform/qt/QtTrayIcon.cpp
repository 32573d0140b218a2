#include "QtTrayIcon.h"

#include "platform/log/LogCategories.h"

#include "Assets.h"
#include "QtControls.h"
#include "QtDispatcher.h"
#include "platform/dbus/StatusNotifierHostWatcher.h"

#include <QApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace kadrill::platform::qt {

namespace {

enum class Protocol { XEmbed, StatusNotifier };

// Qt settles this once per process, when the first tray icon is created.
std::optional<Protocol> qtProtocol;

const char* word(bool present) { return present ? "present" : "absent"; }

} // namespace

QtTrayIcon::QtTrayIcon(QtDispatcher& dispatcher) : dispatcher_(dispatcher) {
    // Both kinds of area are watched so that the program hears at once when a panel starts
    // or goes away.
    x11Watcher_ = NativeDesktop::installed().trayWatch([this] { areaChanged(); });
    const QString platform = QGuiApplication::platformName();
    // Qt shows an icon through the session bus on the desktop platforms only.
    if (platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"))) {
        busWatcher_ = std::make_unique<dbus::StatusNotifierHostWatcher>(
            QDBusConnection::sessionBus(), [this] { areaChanged(); }, [this] { busWatcherStarted(); });
        if (!busWatcher_->isWatching()) {
            busWatcher_.reset();
        }
    }
    wasAvailable_ = isAvailable();
    qCInfo(lcTray) << "watching the X11 tray:" << (x11Watcher_ != nullptr)
                   << "the session bus:" << (busWatcher_ != nullptr);
}

QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::isAvailable() const {
    // Not before the icon exists: a watch hidden meanwhile would have no icon to come back
    // by. Nor while a box of the program is open: Qt keeps every click from the icon then.
    if (!icon_ || QApplication::activeModalWidget() != nullptr) {
        return false;
    }
    if (!x11Watcher_ && !busWatcher_) {
        return QSystemTrayIcon::isSystemTrayAvailable(); // nothing to watch: Qt is asked at every use
    }
    return areaPresent();
}

bool QtTrayIcon::areaPresent() const {
    const bool xembed = x11Watcher_ && x11Watcher_->present();
    const bool bus = busWatcher_ && busWatcher_->present();
    if (!qtProtocol) {
        return xembed || bus;
    }
    // An area of the other kind would not show this icon: hiding the watch there would
    // leave the user no way back.
    return *qtProtocol == Protocol::StatusNotifier ? bus : xembed;
}

bool QtTrayIcon::add(const NotifyIconRecord& record) {
    if (record_) {
        return false;
    }
    record_ = record;
    if ((!x11Watcher_ && !busWatcher_) || mayCreateIcon()) {
        createIcon(); // without watchers Qt puts the icon in once an area appears
    }
    wasAvailable_ = isAvailable();
    return wasAvailable_;
}

bool QtTrayIcon::mayCreateIcon() const {
    // No earlier than an area is there, and than the bus has told whether it has one: Qt
    // asks the bus too as it creates the icon, and its answer is the one that stays.
    return record_ && !icon_ && (!busWatcher_ || busWatcher_->answered()) && areaPresent();
}

void QtTrayIcon::createIcon() {
    if ((x11Watcher_ || busWatcher_) && !qtProtocol) {
        qtProtocol = busWatcher_ && busWatcher_->present() ? Protocol::StatusNotifier : Protocol::XEmbed;
        qCInfo(lcTray) << "icon shown through"
                       << (*qtProtocol == Protocol::StatusNotifier ? "the session bus" : "the X11 tray");
    }
    icon_ = std::make_unique<QSystemTrayIcon>(assetIcon(record_->icon));
    icon_->setToolTip(QString::fromStdString(record_->tip));
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger) {
                             dispatcher_.deliver(activated, TrayActivation::Activated);
                         } else if (reason == QSystemTrayIcon::Context) {
                             dispatcher_.deliver(activated, TrayActivation::ContextRequested);
                         }
                     });
    publishMenu();
    icon_->show();
}

MenuItem& QtTrayIcon::offerMenu(Menu& menu, const std::string& caption) {
    menu_ = std::make_unique<QMenu>();
    ownItem_ = std::make_unique<QtMenuItem>(dispatcher_, menu_->addAction(QString::fromStdString(caption)),
                                            MenuItemKind::Check);
    menu_->addSeparator();
    // The same actions: their checks, enabled states and choices are the menu bar's.
    menu_->addActions(dynamic_cast<QtMenu&>(menu).menu()->actions());
    publishMenu();
    return *ownItem_;
}

void QtTrayIcon::publishMenu() {
    // Given to an icon in the X11 tray, Qt would pop the menu up by itself at a right click,
    // besides the program's own popup.
    if (icon_ && menu_ && qtProtocol == Protocol::StatusNotifier) {
        icon_->setContextMenu(menu_.get());
    }
}

void QtTrayIcon::areaChanged() {
    const bool busHost = busWatcher_ && busWatcher_->present();
    qCInfo(lcTray) << "X11 tray" << word(x11Watcher_ && x11Watcher_->present()) << "| session-bus host"
                   << word(busHost);
    if (mayCreateIcon()) {
        createIcon();
    } else if (busHost && !busHostWas_) {
        // A host has come (a panel starting up, or started again): the icon registers now.
        busWatcherStarted();
    }
    busHostWas_ = busHost;
    const bool available = isAvailable();
    if (available != wasAvailable_) {
        wasAvailable_ = available;
        qCInfo(lcTray) << "notification area" << word(available);
        dispatcher_.deliver(availabilityChanged);
    }
}

void QtTrayIcon::busWatcherStarted() {
    // A new watcher knows nothing of icons registered with the one before, and Qt does not
    // tell it: showing the icon again registers it. Not before a host is there, which
    // registers it then: each registration makes a panel drop the icon and draw it anew,
    // and a click meanwhile goes nowhere.
    if (icon_ && qtProtocol == Protocol::StatusNotifier && busWatcher_->present()) {
        qCInfo(lcTray) << "registering the icon with a new watcher";
        icon_->hide();
        icon_->show();
    }
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
    if (!record_ || record.id != record_->id) {
        return false;
    }
    if (icon_) {
        icon_->hide();
        icon_.reset();
    }
    record_.reset();
    wasAvailable_ = false;
    return true;
}

} // namespace kadrill::platform::qt
