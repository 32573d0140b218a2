// Stands in for the system's time service in tests: owns org.freedesktop.timedate1 on the
// bus that DBUS_SYSTEM_BUS_ADDRESS names, writes down every SetTime it receives and answers
// as its mode file says. It never touches the clock.
//
//   kadrill_fake_timedated --calls FILE [--mode-file FILE]
//
// (or FAKE_TIMEDATED_CALLS and FAKE_TIMEDATED_MODE_FILE). Each SetTime appends the line
// "usec_utc relative interactive interactive_authorization_allowed" (numbers, 0 or 1).
// The mode file is read afresh on every call, so a test can switch between calls:
//   accept (or no file)  plain reply
//   automatic-sync       org.freedesktop.timedate1.AutomaticTimeSyncEnabled
//   access-denied        org.freedesktop.DBus.Error.AccessDenied
//   password-not-asked   org.freedesktop.DBus.Error.InteractiveAuthorizationRequired
//   failed               org.freedesktop.DBus.Error.Failed, as when the clock itself refuses
//   no-reply             never answers
// Once it owns the name it prints "ready" on a line of its own.

#include "PrivateSystemBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QFile>
#include <QObject>
#include <QStringList>

#include <cstdio>
#include <utility>

namespace {

class FakeTimedated : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.timedate1")
    Q_PROPERTY(bool NTP READ ntp)

public:
    FakeTimedated(QString callsFile, QString modeFile)
        : callsFile_(std::move(callsFile)), modeFile_(std::move(modeFile)) {}

    bool ntp() const { return mode() == QLatin1String("automatic-sync"); }

public slots:
    void SetTime(qlonglong usecUtc, bool relative, bool interactive) {
        // Written before the answer, so a caller that has its answer finds the line.
        record(QStringLiteral("%1 %2 %3 %4\n")
                   .arg(usecUtc)
                   .arg(relative ? 1 : 0)
                   .arg(interactive ? 1 : 0)
                   .arg(message().isInteractiveAuthorizationAllowed() ? 1 : 0));
        const QString how = mode();
        if (how.isEmpty() || how == QLatin1String("accept")) {
            return;
        }
        if (how == QLatin1String("automatic-sync")) {
            sendErrorReply(QStringLiteral("org.freedesktop.timedate1.AutomaticTimeSyncEnabled"),
                           QStringLiteral("Automatic time synchronization is enabled"));
        } else if (how == QLatin1String("access-denied")) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Access denied"));
        } else if (how == QLatin1String("password-not-asked")) {
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired"),
                           QStringLiteral("Interactive authentication required."));
        } else if (how == QLatin1String("failed")) {
            sendErrorReply(QDBusError::Failed, QString::fromUtf8(kadrill::testsupport::kFakeTimeServiceFailure));
        } else if (how == QLatin1String("no-reply")) {
            setDelayedReply(true);
        } else {
            sendErrorReply(QDBusError::Failed, QStringLiteral("fake time service: unknown mode '%1'").arg(how));
        }
    }

private:
    QString mode() const {
        QFile file(modeFile_);
        if (modeFile_.isEmpty() || !file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).trimmed();
    }

    void record(const QString& line) const {
        QFile file(callsFile_);
        if (!file.open(QIODevice::Append | QIODevice::WriteOnly)) {
            std::fprintf(stderr, "fake_timedated: cannot write %s\n", qPrintable(callsFile_));
            return;
        }
        file.write(line.toUtf8());
    }

    QString callsFile_;
    QString modeFile_;
};

QString option(const QStringList& args, const QString& name, const char* environmentName) {
    const auto at = args.indexOf(name);
    if (at >= 0 && at + 1 < args.size()) {
        return args.at(at + 1);
    }
    return qEnvironmentVariable(environmentName);
}

} // namespace

int main(int argc, char* argv[]) {
    // Without the variable the bus library falls back to the machine's own system bus.
    if (qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS")) {
        std::fputs("fake_timedated: DBUS_SYSTEM_BUS_ADDRESS is not set; refusing the real system bus\n", stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString callsFile = option(args, QStringLiteral("--calls"), "FAKE_TIMEDATED_CALLS");
    if (callsFile.isEmpty()) {
        std::fputs("usage: fake_timedated --calls FILE [--mode-file FILE]\n", stderr);
        return 2;
    }
    FakeTimedated service(callsFile, option(args, QStringLiteral("--mode-file"), "FAKE_TIMEDATED_MODE_FILE"));

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "fake_timedated: no bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/timedate1"), &service,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)) {
        std::fputs("fake_timedated: cannot export the object\n", stderr);
        return 1;
    }
    if (!bus.registerService(QStringLiteral("org.freedesktop.timedate1"))) {
        std::fprintf(stderr, "fake_timedated: cannot own the name: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "fake_timedated.moc"
