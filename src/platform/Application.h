#pragma once

#include <functional>
#include <memory>
#include <tuple>
#include <utility>

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

/// Destroys the objects, first to last, once the current handler has returned: a window's
/// own handler may close it without pulling the window from under itself.
template <class... T> void destroyLater(Application& app, std::unique_ptr<T>... objects) {
    auto held = std::make_shared<std::tuple<std::unique_ptr<T>...>>(std::move(objects)...);
    app.post([held] { std::apply([](auto&... each) { (each.reset(), ...); }, *held); });
}

} // namespace kadrill::platform
