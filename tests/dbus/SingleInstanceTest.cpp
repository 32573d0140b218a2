// One Kadrill per session, on the private bus: each start here is a connection of its own,
// as each program would have.

#include "platform/dbus/SingleInstance.h"
#include "BusTestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using kadrill::platform::dbus::SingleInstance;
using Outcome = SingleInstance::Outcome;

const QString kId = QStringLiteral("io.github.kadrill.KadrillTest");

class SingleInstanceTest : public ::testing::Test {
protected:
    // A connection of its own to the private bus, like a program's.
    QDBusConnection connect(const QString& name) {
        names_.push_back(name);
        return QDBusConnection::connectToBus(QString::fromStdString(kadrill::testsupport::sharedBus().address()), name);
    }
    void TearDown() override {
        for (const QString& name : names_)
            QDBusConnection::disconnectFromBus(name);
    }
    static QString ownerOf(QDBusConnection& bus) { return bus.interface()->serviceOwner(kId).value(); }

    std::vector<QString> names_;
};

// The first start answers from its own event loop, here a thread of its own, while the
// second start waits for the answer.
class RunningFirst {
public:
    explicit RunningFirst(const QDBusConnection& bus) {
        thread_.start();
        context_.moveToThread(&thread_);
        QMetaObject::invokeMethod(
            &context_,
            [this, bus] {
                instance_ = std::make_unique<SingleInstance>(kId, bus, 5s);
                instance_->activated = [this](const QVariantMap& data) {
                    std::lock_guard lock(mutex_);
                    received_.push_back(data);
                };
                instance_->opened = [this](const QStringList& uris, const QVariantMap&) {
                    std::lock_guard lock(mutex_);
                    opened_.push_back(uris);
                };
                outcome_ = instance_->claim();
            },
            Qt::BlockingQueuedConnection);
    }
    ~RunningFirst() {
        QMetaObject::invokeMethod(
            &context_, [this] { instance_.reset(); }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    Outcome outcome() const { return outcome_; }
    std::vector<QVariantMap> received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    std::vector<QStringList> opened() {
        std::lock_guard lock(mutex_);
        return opened_;
    }

private:
    QThread thread_;
    QObject context_;
    std::unique_ptr<SingleInstance> instance_;
    Outcome outcome_ = Outcome::NoBus;
    std::mutex mutex_;
    std::vector<QVariantMap> received_;
    std::vector<QStringList> opened_;
};

TEST_F(SingleInstanceTest, ALaterStartHandsItsRequestToTheFirstAndTheFirstKeepsTheName) {
    QDBusConnection firstBus = connect(QStringLiteral("first"));
    RunningFirst first(firstBus);
    ASSERT_EQ(first.outcome(), Outcome::First);
    EXPECT_EQ(ownerOf(firstBus), firstBus.baseService());

    QDBusConnection secondBus = connect(QStringLiteral("second"));
    SingleInstance second(kId, secondBus, 5s);
    const QVariantMap launch{{QStringLiteral("desktop-startup-id"), QStringLiteral("launcher-1_TIME42")}};
    EXPECT_EQ(second.claim(launch), Outcome::Forwarded) << second.error().toStdString();
    ASSERT_EQ(first.received().size(), 1U);
    EXPECT_EQ(first.received().front(), launch);
    EXPECT_EQ(ownerOf(secondBus), firstBus.baseService()) << "the later start must not take the name";

    // Again, from another start with a file: it is handed over to be opened.
    SingleInstance third(kId, connect(QStringLiteral("third")), 5s);
    const QStringList file{QStringLiteral("file:///home/u/%E6%9C%9D%20a.alm")};
    EXPECT_EQ(third.claim({}, file), Outcome::Forwarded);
    EXPECT_EQ(first.received().size(), 1U);
    EXPECT_EQ(first.opened(), std::vector<QStringList>{file});
    // What the handed addresses name on this computer: a name is bytes, not always UTF-8.
    EXPECT_EQ(SingleInstance::uriOfLocalFile("/home/u/\xE6\x9C\x9D a.alm"), file.front());
    const std::pair<QString, QByteArray> handed[] = {
        {file.front(), "/home/u/\xE6\x9C\x9D a.alm"},
        {SingleInstance::uriOfLocalFile("/tmp/\xFF.alm"), "/tmp/\xFF.alm"},
        {QStringLiteral("file://localhost/home/u/a.alm"), "/home/u/a.alm"},
        {QStringLiteral("file://elsewhere/home/u/a.alm"), ""},
        {QStringLiteral("https://example.org/a.alm"), ""},
    };
    for (const auto& [uri, local] : handed)
        EXPECT_EQ(SingleInstance::localFileOfUri(uri), local) << uri.toStdString();
}

// (A crashed owner's name goes with its connection; the end-to-end tests kill one.)
TEST_F(SingleInstanceTest, TheNameIsFreeOnceItsOwnerHasEnded) {
    {
        SingleInstance ended(kId, connect(QStringLiteral("ended")), 5s);
        ASSERT_EQ(ended.claim(), Outcome::First);
    }
    SingleInstance afterEnd(kId, connect(QStringLiteral("after-end")), 5s);
    EXPECT_EQ(afterEnd.claim(), Outcome::First);
}

TEST_F(SingleInstanceTest, AnOwnerThatDoesNotAnswerIsReportedAndNotJoined) {
    // The owner's event loop is this thread's, which waits in the second claim: no answer.
    SingleInstance stuck(kId, connect(QStringLiteral("stuck")), 5s);
    ASSERT_EQ(stuck.claim(), Outcome::First);

    SingleInstance second(kId, connect(QStringLiteral("impatient")), 300ms);
    EXPECT_EQ(second.claim(), Outcome::NoAnswer);
    EXPECT_TRUE(second.error().contains(QStringLiteral("did not answer"))) << second.error().toStdString();
}

TEST_F(SingleInstanceTest, WithoutABusEveryStartRunsAlone) {
    QDBusConnection nowhere =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/kadrill-bus"), QStringLiteral("nowhere"));
    names_.push_back(QStringLiteral("nowhere"));
    SingleInstance alone(kId, nowhere, 5s);
    EXPECT_EQ(alone.claim(), Outcome::NoBus);
    EXPECT_TRUE(alone.error().isEmpty()) << "no bus is no fault: " << alone.error().toStdString();
}

} // namespace
