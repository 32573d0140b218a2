#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kadrill::platform::memory {

class MemoryTimer;

/// Fake wall clock and millisecond counter, both moved only by the event loop or the test.
class FakeClock final : public Clock {
public:
    TimeOfDay timeOfDay() const override;
    std::uint32_t tickCount() const override { return static_cast<std::uint32_t>(tick_); }

    /// Sets the wall clock without moving the millisecond counter, like a change of the system time.
    void setTimeOfDay(int hour, int minute, int second, int millisecond = 0);
    /// Sets the millisecond counter; it wraps at 2^32 like the real one.
    void setTickCount(std::int64_t tick) { tick_ = tick; }
    /// Both clocks move on together.
    void advance(std::int64_t milliseconds) {
        wallMs_ += milliseconds;
        tick_ += milliseconds;
    }
    std::int64_t wallMs() const { return wallMs_; }

private:
    std::int64_t wallMs_ = 0; // since midnight of day 0
    std::int64_t tick_ = 0;
};

/// Runs timers against the fake time.
class MemoryEventLoop {
public:
    explicit MemoryEventLoop(FakeClock& clock) : clock_(clock) {}

    /// Lets the given milliseconds pass, ticking every enabled timer whose interval ends
    /// meanwhile, in time order (timers created first go first at equal times). A handler
    /// may advance the loop itself, as a message box lets ticks run while it waits.
    void advance(std::int64_t milliseconds);
    /// Milliseconds since the loop was made.
    std::int64_t now() const { return now_; }

    void add(MemoryTimer* timer) { timers_.push_back(timer); }
    void remove(MemoryTimer* timer);

    /// Queues a function to run once the current handler has returned: at the next
    /// advance (before any tick) or runPosted.
    void post(std::function<void()> function) { posted_.push_back(std::move(function)); }
    /// Runs what is queued, including what those functions queue.
    void runPosted();
    bool hasPosted() const { return !posted_.empty(); }

private:
    FakeClock& clock_;
    std::int64_t now_ = 0;
    std::vector<MemoryTimer*> timers_;
    std::deque<std::function<void()>> posted_;
};

} // namespace kadrill::platform::memory
