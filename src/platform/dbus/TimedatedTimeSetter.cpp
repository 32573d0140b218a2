#include "TimedatedTimeSetter.h"

#include "platform/log/LogCategories.h"

#include "LocalTimeOfDay.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QObject>

#include <ctime>
#include <limits>
#include <utility>

namespace kadrill::platform::dbus {

namespace {

constexpr auto kService = "org.freedesktop.timedate1";
constexpr auto kPath = "/org/freedesktop/timedate1";
constexpr auto kInterface = "org.freedesktop.timedate1";
// The refusals the service, polkit and the bus are known to send, in the program's terms.
constexpr struct {
    const char* name;
    SetTimeOutcome outcome;
} kKnownErrors[] = {
    {"org.freedesktop.timedate1.AutomaticTimeSyncEnabled", SetTimeOutcome::AutomaticSyncOn},
    {"org.freedesktop.DBus.Error.AccessDenied", SetTimeOutcome::Denied},
    {"org.freedesktop.PolicyKit1.Error.NotAuthorized", SetTimeOutcome::Denied},
    {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", SetTimeOutcome::PasswordNotAsked},
    {"org.freedesktop.DBus.Error.NoReply", SetTimeOutcome::NoAnswer},
    {"org.freedesktop.DBus.Error.Timeout", SetTimeOutcome::NoAnswer},
    {"org.freedesktop.DBus.Error.TimedOut", SetTimeOutcome::NoAnswer},
    {"org.freedesktop.DBus.Error.ServiceUnknown", SetTimeOutcome::NoService},
    {"org.freedesktop.DBus.Error.NameHasNoOwner", SetTimeOutcome::NoService},
    {"org.freedesktop.DBus.Error.Disconnected", SetTimeOutcome::NoService},
    {"org.freedesktop.DBus.Error.NoServer", SetTimeOutcome::NoService},
};

SetTimeResult resultOf(const QDBusPendingCall& call) {
    if (!call.isError()) {
        return {SetTimeOutcome::Done, {}};
    }
    const QDBusError error = call.error();
    qCInfo(lcTime) << "SetTime failed:" << error.name() << error.message();
    for (const auto& known : kKnownErrors) {
        if (error.name() == QLatin1String(known.name)) {
            return {known.outcome, {}};
        }
    }
    // Shown to the user after the program's own words, so never empty.
    std::string reason = error.message().toStdString();
    if (reason.empty()) {
        reason = error.name().toStdString();
    }
    if (reason.empty()) {
        return {SetTimeOutcome::NoAnswer, {}};
    }
    return {SetTimeOutcome::Failed, std::move(reason)};
}

int clampedMilliseconds(std::chrono::milliseconds timeout) {
    const auto count = timeout.count();
    if (count <= 0) {
        return 1;
    }
    return count > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(count);
}

} // namespace

TimedatedTimeSetter::TimedatedTimeSetter(std::function<void()> clockMoved)
    : clockMoved_(std::move(clockMoved)), replyTimeoutMs_(clampedMilliseconds(kDefaultReplyTimeout)),
      calls_(std::make_unique<QObject>()) {}

TimedatedTimeSetter::TimedatedTimeSetter(std::function<void()> clockMoved, const QDBusConnection& bus,
                                         std::chrono::milliseconds replyTimeout)
    : clockMoved_(std::move(clockMoved)), bus_(bus), replyTimeoutMs_(clampedMilliseconds(replyTimeout)),
      calls_(std::make_unique<QObject>()) {}

TimedatedTimeSetter::~TimedatedTimeSetter() = default;

void TimedatedTimeSetter::setLocalTimeOfDay(int hour, int minute, int second,
                                            std::function<void(SetTimeResult)> done) {
    const auto usec = usecForLocalTimeOfDay(std::time(nullptr), hour, minute, second);
    if (!usec) {
        qCInfo(lcTime, "%d:%02d:%02d is not a time of day", hour, minute, second);
        answerLater({SetTimeOutcome::InvalidTime, {}}, std::move(done));
        return;
    }

    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                                       QStringLiteral("SetTime"));
    const bool relative = false;
    const bool interactive = true;
    message << static_cast<qlonglong>(*usec) << relative << interactive;
    // Without this flag polkit refuses at once instead of asking for the password.
    message.setInteractiveAuthorizationAllowed(true);

    if (!bus_) {
        bus_ = QDBusConnection::systemBus();
    }
    const QDBusPendingCall call = bus_->asyncCall(message, replyTimeoutMs_);
    // Without a bus the call comes back finished, and a watcher would never report it.
    if (call.isFinished()) {
        answerLater(resultOf(call), std::move(done));
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(call, calls_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, calls_.get(),
                     [this, done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         // Out of calls_ first: `done` may destroy this setter, and with it
                         // calls_, while the watcher is still sending this signal.
                         finished->setParent(nullptr);
                         finished->deleteLater();
                         answer(resultOf(*finished), done);
                     });
}

void TimedatedTimeSetter::answerLater(SetTimeResult result, std::function<void(SetTimeResult)> done) {
    QMetaObject::invokeMethod(
        calls_.get(), [this, result = std::move(result), done = std::move(done)] { answer(result, done); },
        Qt::QueuedConnection);
}

void TimedatedTimeSetter::answer(SetTimeResult result, const std::function<void(SetTimeResult)>& done) {
    if (result.outcome == SetTimeOutcome::Done && clockMoved_) {
        clockMoved_();
    }
    // Last: `done` may destroy this setter.
    if (done) {
        done(std::move(result));
    }
}

} // namespace kadrill::platform::dbus
