#pragma once

#include "platform/Window.h"

namespace kadrill::platform::qt {

class QtDispatcher;

class QtWindowSystem final : public WindowSystem {
public:
    explicit QtWindowSystem(QtDispatcher& dispatcher);
    std::unique_ptr<Window> createWindow(const WindowProperties& props) override;
    bool isAccessibilityActive() const override;

private:
    QtDispatcher& dispatcher_;
};

} // namespace kadrill::platform::qt
