#pragma once

#include "platform/SystemTimeSetter.h"

#include <QDBusConnection>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QObject;

namespace kadrill::platform::dbus {

/// Sets the clock through the system's time service (org.freedesktop.timedate1 on the
/// system bus). The service asks polkit, which may put a password question to the user;
/// the call waits for that answer without holding up the program.
class TimedatedTimeSetter final : public SystemTimeSetter {
public:
    /// Long enough for someone to read the password question and type the password.
    static constexpr std::chrono::milliseconds kDefaultReplyTimeout = std::chrono::minutes(3);

    /// `clockMoved` runs after the service has set the clock and before `done`, so that
    /// the timers that follow the wall clock are re-armed before anything reads them.
    /// The system bus is first connected at the first request: a clock whose time is
    /// never set keeps no connection to it.
    explicit TimedatedTimeSetter(std::function<void()> clockMoved);
    /// The same on the given bus and with the given reply timeout; for tests.
    TimedatedTimeSetter(std::function<void()> clockMoved, const QDBusConnection& bus,
                        std::chrono::milliseconds replyTimeout);
    /// Answers still on their way are dropped: their `done` never runs.
    ~TimedatedTimeSetter() override;

    void setLocalTimeOfDay(int hour, int minute, int second, std::function<void(SetTimeResult)> done) override;

private:
    void answerLater(SetTimeResult result, std::function<void(SetTimeResult)> done);
    void answer(SetTimeResult result, const std::function<void(SetTimeResult)>& done);

    std::function<void()> clockMoved_;
    std::optional<QDBusConnection> bus_;
    int replyTimeoutMs_;
    // Owns the calls in flight; going with it, they can no longer answer.
    std::unique_ptr<QObject> calls_;
};

} // namespace kadrill::platform::dbus
