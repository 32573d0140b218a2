#pragma once

#include "platform/Event.h"

#include <QObject>

#include <vector>

namespace kadrill::platform::qt {

class QtTimer;
class SecondEdgeTimer;

/// Runs the program's handlers for Qt's events. After each handler it ticks the timers
/// that poll the time of day, so that whatever a handler asked of them shows within the
/// same turn of the event loop; between handlers such timers wake only at second edges.
class QtDispatcher final : public QObject {
public:
    QtDispatcher();
    ~QtDispatcher() override;

    /// Raises the event, then ticks the polling timers.
    template <typename... Args> void deliver(const Event<Args...>& event, Args... args) {
        event.raise(args...);
        tickPollingTimers();
    }

    void addPollingTimer(QtTimer* timer);
    void removePollingTimer(QtTimer* timer);
    /// A polling timer was enabled or disabled.
    void pollingTimerChanged(QtTimer* timer);

private:
    void tickPollingTimers();
    void updateEdgeTimer();

    std::vector<QtTimer*> pollingTimers_;
    SecondEdgeTimer* edgeTimer_ = nullptr;
    bool tickQueued_ = false;
};

} // namespace kadrill::platform::qt
