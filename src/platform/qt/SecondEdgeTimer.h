#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;
class QTimer;

namespace kadrill::platform::qt {

/// Wakes the event loop at every wall-clock second edge, and never in between.
///
/// The edge is a timerfd on CLOCK_REALTIME armed at an absolute time, so a late wake-up
/// can neither skip nor repeat a second, small corrections of the clock move the wake-up
/// with them, and a clock set forward past the edge fires it at once. A clock set back
/// would leave the edge far in the future, so a watchdog on CLOCK_MONOTONIC, re-armed at
/// every edge and otherwise silent, catches that within a second and a quarter.
///
/// The timer does not ask to be cancelled on every setting of the clock: clocks kept by a
/// host (virtual machines) are stepped by milliseconds many times a second, and each
/// step would wake the process.
///
/// Where timerfd is not to be had, an ordinary timer aimed at the next edge takes over:
/// less exact after a change of the clock, but the clock never stands still.
class SecondEdgeTimer final : public QObject {
public:
    explicit SecondEdgeTimer(std::function<void()> onEdge, QObject* parent = nullptr);
    ~SecondEdgeTimer() override;

    /// Starts or stops the wake-ups; starting again re-arms at the next edge.
    void setActive(bool active);
    bool isActive() const { return active_; }

    /// Re-arms at once from the current time, e.g. after the program set the clock itself.
    void resync();

    /// Whether the edges come from the ordinary timer because timerfd failed.
    bool usesFallback() const { return fallback_ != nullptr; }

private:
    void arm();
    void armFallback();
    void onReadable();

    std::function<void()> onEdge_;
    int edgeFd_ = -1;
    int watchdogFd_ = -1;
    QSocketNotifier* edgeNotifier_ = nullptr;
    QSocketNotifier* watchdogNotifier_ = nullptr;
    QTimer* fallback_ = nullptr;
    bool active_ = false;
};

} // namespace kadrill::platform::qt
