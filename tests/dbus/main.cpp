#include "BusTestSupport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>

#include <gtest/gtest.h>

#include <cstdio>
#include <exception>
#include <string>

namespace kadrill::testsupport {

namespace {

PrivateSystemBus* bus = nullptr;

// Started before any test touches QDBusConnection::systemBus(), and checked through the
// connection Qt really uses, so no call can reach the machine's own system bus.
class PrivateBusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        bus = new PrivateSystemBus;
        try {
            bus->start();
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
        std::string why;
        ASSERT_TRUE(bus->systemBusIsPrivate(&why)) << why;
        const QDBusReply<uint> daemon =
            QDBusConnection::systemBus().interface()->servicePid(QStringLiteral("org.freedesktop.DBus"));
        ASSERT_TRUE(daemon.isValid()) << daemon.error().message().toStdString();
        ASSERT_EQ(static_cast<pid_t>(daemon.value()), bus->daemonPid())
            << "the system bus Qt is connected to is not the private one";
    }
    void TearDown() override {
        delete bus;
        bus = nullptr;
    }
};

} // namespace

PrivateSystemBus& sharedBus() { return *bus; }

} // namespace kadrill::testsupport

int main(int argc, char* argv[]) {
    const std::string risk = kadrill::testsupport::clockSettingRisk();
    if (!risk.empty()) {
        std::fprintf(stderr, "Refusing to run: %s\n", risk.c_str());
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    ::testing::AddGlobalTestEnvironment(new kadrill::testsupport::PrivateBusEnvironment);
    return RUN_ALL_TESTS();
}
