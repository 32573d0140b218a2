// A notification area on the private bus: a small stand-in for a panel's watcher, which
// comes, takes a host, loses it and goes away as panels do.

#include "platform/dbus/StatusNotifierHostWatcher.h"
#include "BusTestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using kadrill::platform::dbus::StatusNotifierHostWatcher;

const QString kService = QString::fromLatin1(StatusNotifierHostWatcher::kWatcherService);

// The watcher's side of the protocol, as far as a program's icon sees it, and its panel's
// host, which holds a name of its own while it lives.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

public:
    // Each start is a process of its own to the bus: a connection of its own.
    explicit FakeWatcher(const QString& connectionName)
        : name_(connectionName),
          bus_(QDBusConnection::connectToBus(QString::fromStdString(kadrill::testsupport::sharedBus().address()),
                                             connectionName)) {
        bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                            QDBusConnection::ExportAllProperties | QDBusConnection::ExportAllSignals);
        bus_.registerService(kService);
    }
    ~FakeWatcher() override { QDBusConnection::disconnectFromBus(name_); } // the name goes with it

    bool hostRegistered() const { return host_; }
    void setHost(bool registered) {
        host_ = registered;
        if (registered) {
            bus_.registerService(hostName());
            Q_EMIT StatusNotifierHostRegistered();
        } else {
            bus_.unregisterService(hostName());
            Q_EMIT StatusNotifierHostUnregistered();
        }
    }
    // The host dies, and the watcher goes on listing it (as KDE's does).
    void loseHostUnawares() { bus_.unregisterService(hostName()); }
    // The host lives in the watcher's process and takes no name (Xfce's panel, GNOME's
    // AppIndicator extension).
    void hostWithin() {
        host_ = true;
        Q_EMIT StatusNotifierHostRegistered();
    }

Q_SIGNALS:
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    QString hostName() const { return QStringLiteral("org.kde.StatusNotifierHost-") + name_; }

    QString name_;
    QDBusConnection bus_;
    bool host_ = false;
};

class StatusNotifierHostWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus_ = QDBusConnection::connectToBus(QString::fromStdString(kadrill::testsupport::sharedBus().address()),
                                             QStringLiteral("kadrill"));
        watcher_ = std::make_unique<StatusNotifierHostWatcher>(
            bus_, [this] { seen_.push_back(watcher_->present()); }, [this] { ++newWatchers_; });
    }
    void TearDown() override {
        watcher_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("kadrill"));
    }

    static bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 10'000); }

    QDBusConnection bus_{QString()};
    std::unique_ptr<StatusNotifierHostWatcher> watcher_;
    std::vector<bool> seen_; // present() as each onChange call found it, the first answer included
    int newWatchers_ = 0;
};

TEST_F(StatusNotifierHostWatcherTest, CountsAWatcherOnlyWithAHostAndFollowsItsComingsAndGoings) {
    ASSERT_TRUE(watcher_->isWatching());
    ASSERT_TRUE(waitFor([&] { return watcher_->answered(); }));
    EXPECT_FALSE(watcher_->present());

    auto panel = std::make_unique<FakeWatcher>(QStringLiteral("panel-1"));
    ASSERT_TRUE(waitFor([&] { return newWatchers_ == 1; })) << "a watcher that came after the start went unseen";
    QTest::qWait(100);
    EXPECT_FALSE(watcher_->present()) << "a watcher without a host shows no icon";

    panel->setHost(true);
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 2; }));
    panel->setHost(false); // the host quits, its watcher stays
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 3; }));
    panel->setHost(true);
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 4; }));

    panel.reset(); // the panel crashes: watcher and host at once
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 5; }));

    // Restarted, with its host up before Kadrill hears of it.
    panel = std::make_unique<FakeWatcher>(QStringLiteral("panel-2"));
    panel->setHost(true);
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 6; }));
    EXPECT_EQ(newWatchers_, 2) << "the icon must register again with a restarted watcher";

    panel->loseHostUnawares();
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 7; })) << "a host that died still counts";

    QTest::qWait(100); // room for a stray extra call
    EXPECT_EQ(seen_, (std::vector<bool>{false, true, false, true, false, true, false}));
}

TEST_F(StatusNotifierHostWatcherTest, CountsAWatcherThatHostsInItsOwnProcessUntilItGoes) {
    ASSERT_TRUE(waitFor([&] { return watcher_->answered(); }));
    auto panel = std::make_unique<FakeWatcher>(QStringLiteral("panel-within"));
    panel->hostWithin();
    ASSERT_TRUE(waitFor([&] { return watcher_->present(); })) << "a panel without a host name shows no icon";
    panel.reset();
    EXPECT_TRUE(waitFor([&] { return !watcher_->present(); }));
}

} // namespace

#include "StatusNotifierHostWatcherTest.moc"
