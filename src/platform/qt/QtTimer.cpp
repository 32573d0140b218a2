#include "QtTimer.h"

#include "QtDispatcher.h"

#include <QTimer>

#include <algorithm>

namespace kadrill::platform::qt {

QtTimer::QtTimer(QtDispatcher& dispatcher, const TimerProperties& props)
    : dispatcher_(dispatcher), pacing_(props.pacing), interval_(props.interval), enabled_(props.enabled),
      qtimer_(std::make_unique<QTimer>()) {
    QObject::connect(qtimer_.get(), &QTimer::timeout, qtimer_.get(), [this] { dispatcher_.deliverTick(this); });
    dispatcher_.addTimer(this);
    apply();
}

QtTimer::~QtTimer() { dispatcher_.removeTimer(this); }

void QtTimer::setInterval(int milliseconds) {
    const bool ran = runs();
    interval_ = milliseconds;
    apply();
    if (runs() != ran) {
        dispatcher_.timerChanged(this);
    }
}

void QtTimer::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    apply();
    dispatcher_.timerChanged(this);
}

void QtTimer::setPacing(TimerPacing pacing) {
    if (pacing == pacing_) {
        return;
    }
    pacing_ = pacing;
    apply();
    dispatcher_.timerChanged(this);
}

void QtTimer::apply() {
    switch (pacing_) {
    case TimerPacing::Interval:
        // Short intervals drive visible changes; long ones may be coalesced by the system.
        qtimer_->setTimerType(interval_ < 100 ? Qt::PreciseTimer : Qt::CoarseTimer);
        qtimer_->setInterval(interval_);
        break;
    case TimerPacing::DisplayRate:
        qtimer_->setTimerType(Qt::PreciseTimer);
        qtimer_->setInterval(std::max(interval_, kFrameMs));
        break;
    case TimerPacing::PollsTimeOfDay:
        qtimer_->stop();
        return;
    }
    if (runs() && !qtimer_->isActive()) {
        qtimer_->start();
    } else if (!runs()) {
        qtimer_->stop();
    }
}

} // namespace kadrill::platform::qt
