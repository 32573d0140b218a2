#pragma once

#include "platform/Controls.h"
#include "platform/Window.h"

#include <QObject>

class QTimer;

namespace kadrill::platform::qt {

class QtDispatcher;

/// A window timer. Interval timers run on a QTimer; timers that poll the time of day are
/// ticked by the dispatcher at second edges and after other handlers.
class QtTimer final : public QObject, public Timer {
public:
    QtTimer(QtDispatcher& dispatcher, const TimerProperties& props, QObject* parent);
    ~QtTimer() override;

    void setInterval(int milliseconds) override;
    int interval() const override { return interval_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }

    TimerPacing pacing() const { return pacing_; }

private:
    void apply();

    QtDispatcher& dispatcher_;
    TimerPacing pacing_;
    int interval_;
    bool enabled_;
    QTimer* qtimer_ = nullptr;
};

} // namespace kadrill::platform::qt
