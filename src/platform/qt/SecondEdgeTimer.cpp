#include "SecondEdgeTimer.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    if (edgeFd_ < 0 || watchdogFd_ < 0 || std::getenv("KADRILL_NO_TIMERFD") != nullptr) {
        const int error = errno;
        std::fprintf(stderr, "kadrill: no timerfd for the second edges (%s); using an ordinary timer\n",
                     edgeFd_ < 0 || watchdogFd_ < 0 ? std::strerror(error) : "disabled by KADRILL_NO_TIMERFD");
        for (int* fd : {&edgeFd_, &watchdogFd_}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
        fallback_ = new QTimer(this);
        fallback_->setSingleShot(true);
        fallback_->setTimerType(Qt::PreciseTimer);
        connect(fallback_, &QTimer::timeout, this, [this] {
            if (active_) {
                armFallback();
                onEdge_();
            }
        });
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
    if (active == active_) {
        return;
    }
    if (fallback_ != nullptr) {
        active_ = active;
        if (active) {
            armFallback();
        } else {
            fallback_->stop();
        }
        return;
    }
    if (edgeNotifier_ == nullptr) {
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
    if (active_ && fallback_ != nullptr) {
        armFallback();
    } else if (active_) {
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

void SecondEdgeTimer::armFallback() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // A millisecond past the edge, so the time text has surely turned over.
    const long msToEdge = (1'000'000'000L - now.tv_nsec) / 1'000'000L + 1;
    fallback_->start(static_cast<int>(msToEdge));
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
