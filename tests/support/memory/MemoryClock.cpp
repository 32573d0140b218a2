#include "MemoryClock.h"

#include "MemoryControls.h"

#include <algorithm>

namespace kadrill::platform::memory {

TimeOfDay FakeClock::timeOfDay() const { return TimeOfDay::ofMs(wallMs_); }

void FakeClock::setTimeOfDay(int hour, int minute, int second, int millisecond) {
    constexpr std::int64_t kDay = 24LL * 3600 * 1000;
    const std::int64_t day = wallMs_ >= 0 ? wallMs_ / kDay : (wallMs_ - kDay + 1) / kDay;
    wallMs_ = day * kDay + ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
}

void MemoryEventLoop::runPosted() {
    while (!posted_.empty()) {
        auto function = std::move(posted_.front());
        posted_.pop_front();
        function();
    }
}

void MemoryEventLoop::advance(std::int64_t milliseconds) {
    const std::int64_t target = now_ + milliseconds;
    runPosted();
    for (;;) {
        MemoryTimer* next = nullptr;
        for (MemoryTimer* t : timers_) {
            if (t->isEnabled() && t->interval() > 0 && t->nextDue() <= target &&
                (next == nullptr || t->nextDue() < next->nextDue())) {
                next = t;
            }
        }
        if (next == nullptr) {
            break;
        }
        clock_.advance(next->nextDue() - now_);
        now_ = next->nextDue();
        next->setNextDue(now_ + next->interval());
        next->tick.raise();
        runPosted();
    }
    if (now_ < target) {
        clock_.advance(target - now_);
        now_ = target;
    }
}

void MemoryEventLoop::remove(MemoryTimer* timer) { std::erase(timers_, timer); }

} // namespace kadrill::platform::memory
