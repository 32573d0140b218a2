#include "QtTimer.h"

#include "QtDispatcher.h"

#include <QTimer>

namespace kadrill::platform::qt {

QtTimer::QtTimer(QtDispatcher& dispatcher, const TimerProperties& props, QObject* parent)
    : QObject(parent), dispatcher_(dispatcher), pacing_(props.pacing), interval_(props.interval),
      enabled_(props.enabled) {
    if (pacing_ == TimerPacing::PollsTimeOfDay) {
        dispatcher_.addPollingTimer(this);
    } else {
        qtimer_ = new QTimer(this);
        connect(qtimer_, &QTimer::timeout, this, [this] { dispatcher_.deliver(tick); });
        apply();
    }
}

QtTimer::~QtTimer() {
    if (pacing_ == TimerPacing::PollsTimeOfDay) {
        dispatcher_.removePollingTimer(this);
    }
}

void QtTimer::setInterval(int milliseconds) {
    interval_ = milliseconds;
    if (qtimer_ != nullptr) {
        apply();
    }
}

void QtTimer::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    if (qtimer_ != nullptr) {
        apply();
    } else {
        dispatcher_.pollingTimerChanged(this);
    }
}

void QtTimer::apply() {
    // Short intervals drive visible changes; long ones may be coalesced by the system.
    qtimer_->setTimerType(interval_ < 100 ? Qt::PreciseTimer : Qt::CoarseTimer);
    // As with window timers, an interval of 0 means the timer does not run.
    if (enabled_ && interval_ > 0) {
        qtimer_->start(interval_);
    } else {
        qtimer_->stop();
    }
}

} // namespace kadrill::platform::qt
