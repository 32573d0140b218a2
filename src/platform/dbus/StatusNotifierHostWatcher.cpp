#include "StatusNotifierHostWatcher.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <utility>

namespace kadrill::platform::dbus {

const char* const StatusNotifierHostWatcher::kWatcherService = "org.kde.StatusNotifierWatcher";

namespace {

const QString kService = QString::fromLatin1(StatusNotifierHostWatcher::kWatcherService);
const QString kPath = QStringLiteral("/StatusNotifierWatcher");
const QString kBus = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");

// The names a host takes on the bus while it lives (Plasma's and other panels' trays).
bool isHostName(const QString& name) {
    return name.startsWith(QLatin1String("org.kde.StatusNotifierHost-")) ||
           name.startsWith(QLatin1String("org.freedesktop.StatusNotifierHost-"));
}

} // namespace

class StatusNotifierHostWatcher::Listener : public QObject {
    Q_OBJECT

public:
    Listener(const QDBusConnection& bus, std::function<void()> onChange, std::function<void()> onNewWatcher)
        : bus_(bus), onChange_(std::move(onChange)), onNewWatcher_(std::move(onNewWatcher)),
          names_(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange) {
        // Signals are matched by the watcher's well-known name, so the bus keeps them coming
        // from whichever process owns it now.
        bus_.connect(kService, kPath, kService, QStringLiteral("StatusNotifierHostRegistered"), this,
                     SLOT(readHostRegistered()));
        bus_.connect(kService, kPath, kService, QStringLiteral("StatusNotifierHostUnregistered"), this,
                     SLOT(readHostRegistered()));
        connect(&names_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& newOwner) {
                    if (newOwner.isEmpty()) {
                        ++generation_; // an answer still on its way came from the old owner
                        watcherHasHost_ = false;
                        update();
                        return;
                    }
                    hostNameSeen_ = !hosts_.isEmpty();
                    readHostRegistered();
                    onNewWatcher_();
                });
        // A watcher may go on listing a host whose process has died (KDE's kded does after
        // plasmashell): the hosts' own names tell whether one lives.
        bus_.connect(kBus, kBusPath, kBus, QStringLiteral("NameOwnerChanged"), this,
                     SLOT(nameOwnerChanged(QString, QString, QString)));
        auto* list = new QDBusPendingCallWatcher(
            bus_.asyncCall(QDBusMessage::createMethodCall(kBus, kBusPath, kBus, QStringLiteral("ListNames"))), this);
        connect(list, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            const QDBusPendingReply<QStringList> reply = *done;
            for (const QString& name : reply.isError() ? QStringList() : reply.value()) {
                if (isHostName(name)) {
                    hosts_.insert(name);
                }
            }
            hostNameSeen_ = hostNameSeen_ || !hosts_.isEmpty();
            hostsListed_ = true;
            update();
        });
        readHostRegistered();
    }

    bool present() const { return present_; }
    bool answered() const { return answered_; }

public Q_SLOTS:
    void readHostRegistered() {
        QDBusMessage get = QDBusMessage::createMethodCall(
            kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get.setArguments({kService, QStringLiteral("IsStatusNotifierHostRegistered")});
        // A question, not a request to start a watcher where the session has none running.
        get.setAutoStartService(false);
        const unsigned generation = ++generation_;
        auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
        connect(call, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            // Answers may come back out of order; only the last question counts.
            if (generation != generation_) {
                return;
            }
            const QDBusPendingReply<QDBusVariant> reply = *done;
            // No watcher, or one that cannot say: no area to rely on.
            watcherHasHost_ = !reply.isError() && reply.value().variant().toBool();
            watcherAnswered_ = true;
            update();
        });
    }

    void nameOwnerChanged(const QString& name, const QString& /*oldOwner*/, const QString& newOwner) {
        if (!isHostName(name)) {
            return;
        }
        if (newOwner.isEmpty()) {
            hosts_.remove(name);
        } else {
            hosts_.insert(name);
            hostNameSeen_ = true;
        }
        update();
    }

private:
    void update() {
        if (!watcherAnswered_ || !hostsListed_) {
            return;
        }
        // Xfce's panel and GNOME's AppIndicator extension host the icons in the watcher's own
        // process and take no host name: their watcher is believed until a host name has
        // been seen beside it, and goes with its host.
        const bool present = watcherHasHost_ && (!hosts_.isEmpty() || !hostNameSeen_);
        if (present != present_ || !answered_) {
            present_ = present;
            answered_ = true;
            onChange_();
        }
    }

    QDBusConnection bus_;
    std::function<void()> onChange_;
    std::function<void()> onNewWatcher_;
    QDBusServiceWatcher names_;
    unsigned generation_ = 0;
    bool watcherHasHost_ = false;
    bool watcherAnswered_ = false;
    QSet<QString> hosts_; // the living hosts' names
    bool hostNameSeen_ = false; // with the present watcher
    bool hostsListed_ = false;
    bool present_ = false;
    bool answered_ = false;
};

StatusNotifierHostWatcher::StatusNotifierHostWatcher(const QDBusConnection& bus, std::function<void()> onChange,
                                                     std::function<void()> onNewWatcher) {
    if (bus.isConnected()) {
        listener_ = std::make_unique<Listener>(bus, std::move(onChange), std::move(onNewWatcher));
    }
}

StatusNotifierHostWatcher::~StatusNotifierHostWatcher() = default;

bool StatusNotifierHostWatcher::isWatching() const { return listener_ != nullptr; }

bool StatusNotifierHostWatcher::present() const { return listener_ && listener_->present(); }

bool StatusNotifierHostWatcher::answered() const { return listener_ && listener_->answered(); }

} // namespace kadrill::platform::dbus

#include "StatusNotifierHostWatcher.moc"
