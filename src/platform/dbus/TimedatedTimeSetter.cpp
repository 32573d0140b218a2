#include "TimedatedTimeSetter.h"

#include "LocalTimeOfDay.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QObject>

#include <cstdio>
#include <ctime>
#include <limits>
#include <utility>

namespace kadrill::platform::dbus {

namespace {

constexpr auto kService = "org.freedesktop.timedate1";
constexpr auto kPath = "/org/freedesktop/timedate1";
constexpr auto kInterface = "org.freedesktop.timedate1";
constexpr auto kAutomaticSyncError = "org.freedesktop.timedate1.AutomaticTimeSyncEnabled";

SetTimeResult resultOf(const QDBusPendingCall& call) {
    if (!call.isError()) {
        return {SetTimeOutcome::Done, {}};
    }
    const QDBusError error = call.error();
    if (error.name() == QLatin1String(kAutomaticSyncError)) {
        return {SetTimeOutcome::AutomaticSyncOn, error.message().toStdString()};
    }
    // The reason is shown to the user, who must never be left with an empty failure.
    std::string reason = error.message().toStdString();
    if (reason.empty()) {
        reason = error.name().toStdString();
    }
    if (reason.empty()) {
        reason = "The time service did not answer.";
    }
    return {SetTimeOutcome::Failed, std::move(reason)};
}

std::string invalidTimeReason(int hour, int minute, int second) {
    char text[96];
    std::snprintf(text, sizeof text, "%d:%02d:%02d is not a time of day.", hour, minute, second);
    return text;
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
        answerLater({SetTimeOutcome::Failed, invalidTimeReason(hour, minute, second)}, std::move(done));
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
