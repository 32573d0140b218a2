#include "QtDispatcher.h"

#include "QtTimer.h"
#include "SecondEdgeTimer.h"

#include <QMetaObject>

#include <algorithm>

namespace kadrill::platform::qt {

QtDispatcher::QtDispatcher() {
    edgeTimer_ = new SecondEdgeTimer([this] { tickPollingTimers(); }, this);
}

QtDispatcher::~QtDispatcher() = default;

void QtDispatcher::addPollingTimer(QtTimer* timer) {
    pollingTimers_.push_back(timer);
    pollingTimerChanged(timer);
}

void QtDispatcher::removePollingTimer(QtTimer* timer) {
    std::erase(pollingTimers_, timer);
    updateEdgeTimer();
}

void QtDispatcher::pollingTimerChanged(QtTimer* timer) {
    updateEdgeTimer();
    // A freshly enabled timer gets its first tick right away, as a 1 ms timer would.
    if (timer->isEnabled() && !tickQueued_) {
        tickQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                tickQueued_ = false;
                tickPollingTimers();
            },
            Qt::QueuedConnection);
    }
}

void QtDispatcher::tickPollingTimers() {
    // Ticks may nest: a handler that waits in a message box lets later ticks run inside
    // it. The copy keeps iteration safe if a handler adds or removes timers.
    const std::vector<QtTimer*> timers = pollingTimers_;
    for (QtTimer* timer : timers) {
        if (std::find(pollingTimers_.begin(), pollingTimers_.end(), timer) != pollingTimers_.end() &&
            timer->isEnabled()) {
            timer->tick.raise();
        }
    }
}

void QtDispatcher::updateEdgeTimer() {
    const bool anyEnabled =
        std::any_of(pollingTimers_.begin(), pollingTimers_.end(), [](const QtTimer* t) { return t->isEnabled(); });
    edgeTimer_->setActive(anyEnabled);
}

} // namespace kadrill::platform::qt
