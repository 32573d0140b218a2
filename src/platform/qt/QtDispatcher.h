#pragma once

#include "platform/Event.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace kadrill::platform::qt {

class QtTimer;
class SecondEdgeTimer;

/// Runs the program's handlers for Qt's events. After each handler it ticks the timers
/// that poll the time of day, so that whatever a handler asked of them shows within the
/// same turn of the event loop; between handlers such timers wake only at second edges.
class QtDispatcher {
public:
    QtDispatcher();
    QtDispatcher(const QtDispatcher&) = delete;
    QtDispatcher& operator=(const QtDispatcher&) = delete;
    ~QtDispatcher();

    /// Raises the event, then ticks the polling timers and sends what they drew.
    template <typename... Args> void deliver(const Event<Args...>& event, Args... args) {
        event.raise(args...);
        tickPolledTimers();
        flushDrawing();
    }

    /// Runs a function of the program's from the event loop, as a handler.
    void run(const std::function<void()>& function) {
        function();
        tickPolledTimers();
        flushDrawing();
    }

    /// Raises the timer's tick, then ticks the other polling timers.
    void deliverTick(QtTimer* timer);

    void addTimer(QtTimer* timer);
    void removeTimer(QtTimer* timer);
    /// A timer started or stopped running, or changed its pacing.
    void timerChanged(QtTimer* timer);

    /// Re-arms the second edges from the current time, after the program set the clock.
    void resyncSecondEdges();

private:
    void tickPolledTimers(const QtTimer* except = nullptr);
    static void flushDrawing();
    void updateEdgeTimer();

    std::unique_ptr<QObject> context_;
    std::vector<QtTimer*> timers_;
    std::unique_ptr<SecondEdgeTimer> edgeTimer_;
    bool tickQueued_ = false;
};

} // namespace kadrill::platform::qt
