#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace kadrill::platform::qt {

/// Wakes the event loop at every wall-clock second edge, and at once when the system
/// time is set. It arms a timerfd on CLOCK_REALTIME at an absolute time, so neither a
/// late wake-up nor a change of the clock can skip or repeat a second.
class SecondEdgeTimer final : public QObject {
public:
    explicit SecondEdgeTimer(std::function<void()> onEdge, QObject* parent = nullptr);
    ~SecondEdgeTimer() override;

    /// Starts or stops the wake-ups; starting again re-arms at the next edge.
    void setActive(bool active);
    bool isActive() const { return active_; }

private:
    void arm();
    void onReadable();

    std::function<void()> onEdge_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    bool active_ = false;
};

} // namespace kadrill::platform::qt
