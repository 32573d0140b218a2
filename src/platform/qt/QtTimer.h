#pragma once

#include "platform/Controls.h"

#include <memory>

class QTimer;

namespace kadrill::platform::qt {

class QtDispatcher;

/// A window timer. Interval timers run on a QTimer; timers that poll the time of day are
/// ticked by the dispatcher at second edges and after other handlers; display-rate timers
/// get both: a QTimer at the frame rate and the dispatcher's ticks after handlers.
class QtTimer final : public Timer {
public:
    /// How often a display-rate timer ticks at most, in milliseconds (about 60 Hz).
    static constexpr int kFrameMs = 16;

    QtTimer(QtDispatcher& dispatcher, const TimerProperties& props);
    ~QtTimer() override;

    void setInterval(int milliseconds) override;
    int interval() const override { return interval_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    void setPacing(TimerPacing pacing) override;
    TimerPacing pacing() const override { return pacing_; }

    /// The dispatcher ticks this timer after handlers (and, polling, at second edges).
    bool isPolled() const { return pacing_ != TimerPacing::Interval; }
    /// Enabled with an interval: an interval of 0 stops a timer of any pacing.
    bool runs() const { return enabled_ && interval_ > 0; }

private:
    void apply();

    QtDispatcher& dispatcher_;
    TimerPacing pacing_;
    int interval_;
    bool enabled_;
    std::unique_ptr<QTimer> qtimer_;
};

} // namespace kadrill::platform::qt
