#pragma once

#include "platform/Controls.h"

#include <windows.h>

#include <chrono>
#include <memory>

namespace kadrill::platform::win32 {

class Win32Dispatcher;

/// A window timer on a system timer of the dispatcher's hidden window. Interval timers keep
/// to a steady schedule (each tick is due an interval after the last was due, so late
/// wake-ups do not add up); timers that poll the time of day are ticked by the dispatcher
/// at second edges and after handlers; display-rate timers get both, at the frame rate.
class Win32Timer final : public Timer {
public:
    /// How often a display-rate timer ticks at most, in milliseconds (about 60 Hz).
    static constexpr int kFrameMs = 16;

    Win32Timer(Win32Dispatcher& dispatcher, const TimerProperties& props);
    ~Win32Timer() override;

    void setInterval(int milliseconds) override;
    int interval() const override { return interval_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    void setPacing(TimerPacing pacing) override;
    TimerPacing pacing() const override { return pacing_; }

    bool isPolled() const { return pacing_ != TimerPacing::Interval; }
    /// Enabled with an interval: an interval of 0 stops a timer of any pacing.
    bool runs() const { return enabled_ && interval_ > 0; }
    UINT_PTR id() const { return id_; }
    /// The system timer fired.
    void onSystemTimer();

private:
    using Clock = std::chrono::steady_clock;
    /// Starts a new period from now, or stops the system timer.
    void restart();
    int period() const;

    Win32Dispatcher& dispatcher_;
    UINT_PTR id_;
    TimerPacing pacing_;
    int interval_;
    bool enabled_;
    Clock::time_point due_{};
    /// A tick of this timer runs: a loop nested in it does not tick it again.
    bool ticking_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace kadrill::platform::win32
