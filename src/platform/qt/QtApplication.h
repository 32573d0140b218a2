#pragma once

#include "platform/Application.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace kadrill::platform::qt {

class QtApplication final : public Application {
public:
    // Leaving the event loop ends every window and timer with it; main() then returns.
    void quit() override { QCoreApplication::exit(0); }
    void processEvents() override { QCoreApplication::processEvents(); }
    void waitForEvents(int milliseconds) override {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

} // namespace kadrill::platform::qt
