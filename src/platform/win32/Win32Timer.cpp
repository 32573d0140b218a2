#include "Win32Timer.h"

#include "Win32Dispatcher.h"

#include <algorithm>

namespace kadrill::platform::win32 {

Win32Timer::Win32Timer(Win32Dispatcher& dispatcher, const TimerProperties& props)
    : dispatcher_(dispatcher), id_(dispatcher.newTimerId()), pacing_(props.pacing), interval_(props.interval),
      enabled_(props.enabled) {
    dispatcher_.addTimer(this);
    restart();
    dispatcher_.timerChanged(this);
}

Win32Timer::~Win32Timer() {
    *alive_ = false;
    dispatcher_.removeTimer(this);
}

void Win32Timer::setInterval(int milliseconds) {
    const bool ran = runs();
    interval_ = milliseconds;
    restart();
    if (runs() != ran) {
        dispatcher_.timerChanged(this);
    }
}

void Win32Timer::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    restart();
    dispatcher_.timerChanged(this);
}

void Win32Timer::setPacing(TimerPacing pacing) {
    if (pacing == pacing_) {
        return;
    }
    pacing_ = pacing;
    restart();
    dispatcher_.timerChanged(this);
}

int Win32Timer::period() const {
    return pacing_ == TimerPacing::DisplayRate ? std::max(interval_, kFrameMs) : interval_;
}

void Win32Timer::restart() {
    if (!runs() || pacing_ == TimerPacing::PollsTimeOfDay || dispatcher_.stopped()) {
        dispatcher_.killSystemTimer(id_);
        return;
    }
    due_ = Clock::now() + std::chrono::milliseconds(period());
    dispatcher_.armSystemTimer(id_, period());
}

void Win32Timer::onSystemTimer() {
    if (!runs() || pacing_ == TimerPacing::PollsTimeOfDay || dispatcher_.stopped()) {
        dispatcher_.killSystemTimer(id_);
        return;
    }
    const Clock::time_point now = Clock::now();
    using std::chrono::milliseconds;
    if (now + milliseconds(1) < due_) {
        // Early, or an old expiry after a restart: wait out the rest.
        dispatcher_.armSystemTimer(id_, static_cast<int>(std::chrono::ceil<milliseconds>(due_ - now).count()));
        return;
    }
    // The next tick is due a whole number of periods on: ticks missed while the thread was
    // busy are dropped, not made up in a burst.
    const milliseconds step(period());
    do {
        due_ += step;
    } while (due_ <= now);
    dispatcher_.armSystemTimer(id_, static_cast<int>(std::chrono::ceil<milliseconds>(due_ - now).count()));
    if (ticking_) {
        return;
    }
    ticking_ = true;
    const std::shared_ptr<bool> alive = alive_;
    dispatcher_.deliverTick(this);
    if (*alive) {
        ticking_ = false;
    }
}

} // namespace kadrill::platform::win32
