#pragma once

#include "QtDispatcher.h"
#include "platform/Application.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

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
    /// Queued behind the events already waiting, in the order posted; what is still queued
    /// when this object goes is dropped with it.
    void post(std::function<void()> function) override {
        QMetaObject::invokeMethod(
            &context_, [this, function = std::move(function)] { dispatcher_.run(function); }, Qt::QueuedConnection);
    }

private:
    QtDispatcher& dispatcher_;
    QObject context_;
};

} // namespace kadrill::platform::qt
