#pragma once

#include "OutermostLoop.h"
#include "QtDispatcher.h"
#include "platform/Application.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <utility>

namespace kadrill::platform::qt {

class QtApplication final : public Application {
public:
    explicit QtApplication(QtDispatcher& dispatcher) : dispatcher_(dispatcher) {}

    // Leaving the event loop ends every window and timer with it; main() then returns.
    void quit() override { QCoreApplication::exit(0); }
    void processEvents() override { QCoreApplication::processEvents(); }
    void waitForEvents(int milliseconds) override {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    /// Queued behind the events already waiting, in the order posted, and never run inside
    /// an inner event loop: a window closed there is destroyed once that loop has ended. What
    /// is still queued when this object goes is dropped with it.
    void post(std::function<void()> function) override {
        posted_.push_back(std::move(function));
        if (posted_.size() == 1) {
            runAtOutermostLoop(&context_, [this] { runPosted(); });
        }
    }

private:
    void runPosted() {
        // What these post in turn waits for the next round, behind what is queued now.
        for (auto due = posted_.size(); due > 0 && !posted_.empty(); --due) {
            std::function<void()> function = std::move(posted_.front());
            posted_.pop_front();
            dispatcher_.run(function);
        }
        if (!posted_.empty()) {
            runAtOutermostLoop(&context_, [this] { runPosted(); });
        }
    }

    QtDispatcher& dispatcher_;
    std::deque<std::function<void()>> posted_;
    QObject context_; // last: its timers go before the queue they run
};

} // namespace kadrill::platform::qt
