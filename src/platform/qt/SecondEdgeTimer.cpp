#include "SecondEdgeTimer.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace kadrill::platform::qt {

SecondEdgeTimer::SecondEdgeTimer(std::function<void()> onEdge, QObject* parent)
    : QObject(parent), onEdge_(std::move(onEdge)) {
    fd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        notifier_->setEnabled(false);
        connect(notifier_, &QSocketNotifier::activated, this, &SecondEdgeTimer::onReadable);
    }
}

SecondEdgeTimer::~SecondEdgeTimer() {
    delete notifier_;
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void SecondEdgeTimer::setActive(bool active) {
    if (fd_ < 0 || active == active_) {
        return;
    }
    active_ = active;
    if (active) {
        arm();
    } else {
        itimerspec off{};
        timerfd_settime(fd_, 0, &off, nullptr);
    }
    notifier_->setEnabled(active);
}

void SecondEdgeTimer::arm() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    itimerspec at{};
    at.it_value.tv_sec = now.tv_sec + 1;
    at.it_value.tv_nsec = 0;
    // CANCEL_ON_SET makes a change of the system time end the wait at once, so the face
    // shows the new time immediately instead of at a now-wrong instant.
    timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &at, nullptr);
}

void SecondEdgeTimer::onReadable() {
    std::uint64_t expirations = 0;
    const ssize_t n = ::read(fd_, &expirations, sizeof expirations);
    if (n < 0 && errno == EAGAIN) {
        return; // spurious wake-up: still armed
    }
    // Either the edge came (n == 8) or the clock was set (ECANCELED): show the time now.
    if (active_) {
        arm();
    }
    onEdge_();
}

} // namespace kadrill::platform::qt
