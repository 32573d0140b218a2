#pragma once

#include <functional>

namespace kadrill::platform {

/// The running program as a whole.
class Application {
public:
    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    virtual ~Application() = default;

    /// Ends the program at once: every window goes without its own close handling,
    /// every timer stops. Returns to the caller, which should return promptly.
    virtual void quit() = 0;

    /// Runs the events that are pending now (timer ticks, clicks) and returns; handlers
    /// that work for long call it between steps, so the program stays alive meanwhile.
    virtual void processEvents() = 0;

    /// Handles events as they come for the given milliseconds, then returns: a wait during
    /// which the program stays alive.
    virtual void waitForEvents(int milliseconds) = 0;

    /// Runs the function from the event loop once the current handler has returned: a
    /// window's own button handler closes (destroys) the window this way.
    virtual void post(std::function<void()> function) = 0;
};

} // namespace kadrill::platform
