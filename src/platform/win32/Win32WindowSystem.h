#pragma once

#include "platform/Window.h"

namespace kadrill::platform::win32 {

class Win32Application;

/// Makes the program's top-level windows on the application's thread.
class Win32WindowSystem final : public WindowSystem {
public:
    explicit Win32WindowSystem(Win32Application& app) : app_(app) {}

    std::unique_ptr<Window> createWindow(const WindowProperties& props) override;
    /// Windows' own flag that a screen reader runs.
    bool isAccessibilityActive() const override;

private:
    Win32Application& app_;
};

} // namespace kadrill::platform::win32
