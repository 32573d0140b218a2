#pragma once

#include "platform/Application.h"

#include <QCoreApplication>

namespace kadrill::platform::qt {

class QtApplication final : public Application {
public:
    // Leaving the event loop ends every window and timer with it; main() then returns.
    void quit() override { QCoreApplication::exit(0); }
    void processEvents() override { QCoreApplication::processEvents(); }
};

} // namespace kadrill::platform::qt
