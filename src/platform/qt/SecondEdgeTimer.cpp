#include "SecondEdgeTimer.h"

#include <QSocketNotifier>

#include <cstdint>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace kadrill::platform::qt {

namespace {

// Longer than any second can last between two edges, even on a clock slewed hard.
constexpr long kWatchdogNanoseconds = 1'250'000'000;

void drain(int fd) {
    std::uint64_t expirations = 0;
    while (::read(fd, &expirations, sizeof expirations) > 0) {
    }
}

void disarm(int fd) {
    itimerspec off{};
    timerfd_settime(fd, 0, &off, nullptr);
}

} // namespace

SecondEdgeTimer::SecondEdgeTimer(std::function<void()> onEdge, QObject* parent)
    : QObject(parent), onEdge_(std::move(onEdge)) {
    edgeFd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    watchdogFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (edgeFd_ < 0 || watchdogFd_ < 0) {
        return;
    }
    edgeNotifier_ = new QSocketNotifier(edgeFd_, QSocketNotifier::Read, this);
    watchdogNotifier_ = new QSocketNotifier(watchdogFd_, QSocketNotifier::Read, this);
    for (QSocketNotifier* n : {edgeNotifier_, watchdogNotifier_}) {
        n->setEnabled(false);
        connect(n, &QSocketNotifier::activated, this, &SecondEdgeTimer::onReadable);
    }
}

SecondEdgeTimer::~SecondEdgeTimer() {
    delete edgeNotifier_;
    delete watchdogNotifier_;
    for (int fd : {edgeFd_, watchdogFd_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void SecondEdgeTimer::setActive(bool active) {
    if (edgeNotifier_ == nullptr || active == active_) {
        return;
    }
    active_ = active;
    if (active) {
        arm();
    } else {
        disarm(edgeFd_);
        disarm(watchdogFd_);
    }
    edgeNotifier_->setEnabled(active);
    watchdogNotifier_->setEnabled(active);
}

void SecondEdgeTimer::resync() {
    if (active_) {
        drain(edgeFd_);
        drain(watchdogFd_);
        arm();
    }
}

void SecondEdgeTimer::arm() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    itimerspec edge{};
    edge.it_value.tv_sec = now.tv_sec + 1;
    timerfd_settime(edgeFd_, TFD_TIMER_ABSTIME, &edge, nullptr);

    itimerspec watchdog{};
    watchdog.it_value.tv_sec = kWatchdogNanoseconds / 1'000'000'000;
    watchdog.it_value.tv_nsec = kWatchdogNanoseconds % 1'000'000'000;
    timerfd_settime(watchdogFd_, 0, &watchdog, nullptr);
}

void SecondEdgeTimer::onReadable() {
    drain(edgeFd_);
    drain(watchdogFd_);
    if (!active_) {
        return;
    }
    arm();
    onEdge_();
}

} // namespace kadrill::platform::qt
