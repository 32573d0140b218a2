#include "QtDispatcher.h"

#include "NativeDesktop.h"
#include "QtTimer.h"
#include "SecondEdgeTimer.h"

#include <QMetaObject>

#include <algorithm>

namespace kadrill::platform::qt {

QtDispatcher::QtDispatcher()
    : context_(std::make_unique<QObject>()), edgeTimer_(std::make_unique<SecondEdgeTimer>([this] {
          tickPolledTimers();
          flushDrawing();
      })) {}

QtDispatcher::~QtDispatcher() = default;

void QtDispatcher::addTimer(QtTimer* timer) {
    timers_.push_back(timer);
    timerChanged(timer);
}

void QtDispatcher::removeTimer(QtTimer* timer) {
    std::erase(timers_, timer);
    updateEdgeTimer();
}

void QtDispatcher::timerChanged(QtTimer* timer) {
    updateEdgeTimer();
    // A freshly enabled timer gets its first tick right away, as a 1 ms timer would.
    if (timer->isPolled() && timer->runs() && !tickQueued_) {
        tickQueued_ = true;
        QMetaObject::invokeMethod(
            context_.get(),
            [this] {
                tickQueued_ = false;
                tickPolledTimers();
                flushDrawing();
            },
            Qt::QueuedConnection);
    }
}

void QtDispatcher::resyncSecondEdges() { edgeTimer_->resync(); }

void QtDispatcher::deliverTick(QtTimer* timer) {
    timer->tick.raise();
    tickPolledTimers(timer);
    flushDrawing();
}

void QtDispatcher::flushDrawing() {
    // Lines drawn straight to the screen change only in handlers: send them as one write.
    NativeDesktop::installed().flushLineLayers();
}

void QtDispatcher::tickPolledTimers(const QtTimer* except) {
    // Ticks may nest: a handler that waits in a message box lets later ticks run inside
    // it. The copy keeps iteration safe if a handler adds or removes timers.
    const std::vector<QtTimer*> timers = timers_;
    for (QtTimer* timer : timers) {
        if (timer != except && std::find(timers_.begin(), timers_.end(), timer) != timers_.end() && timer->isPolled() &&
            timer->runs()) {
            timer->tick.raise();
        }
    }
}

void QtDispatcher::updateEdgeTimer() {
    // Display-rate timers tick often enough by themselves.
    const bool edgesWanted = std::any_of(timers_.begin(), timers_.end(), [](const QtTimer* t) {
        return t->runs() && t->pacing() == TimerPacing::PollsTimeOfDay;
    });
    edgeTimer_->setActive(edgesWanted);
}

} // namespace kadrill::platform::qt
