#pragma once

#include "Win32Dispatcher.h"
#include "platform/Application.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace kadrill::platform::win32 {

/// The program's event loop on the thread that makes the windows. Made first: it turns on
/// per-monitor DPI awareness, which must come before any window.
class Win32Application final : public Application {
public:
    Win32Application();
    ~Win32Application() override;

    /// Runs the event loop until quit(); returns the exit code for main().
    int run();

    /// Leaves every loop: the windows hide at once, no timer ticks again and nothing posted
    /// runs; run() returns and the windows go with their owners.
    void quit() override;
    void processEvents() override;
    void waitForEvents(int milliseconds) override;
    /// Queued behind the events already waiting, in the order posted, and never run inside
    /// a loop nested in a handler: a window closed there is destroyed once that loop has ended.
    void post(std::function<void()> function) override { dispatcher_.post(std::move(function)); }

    bool quitting() const { return quitting_; }
    Win32Dispatcher& dispatcher() { return dispatcher_; }

    /// Top-level windows hide when the program quits.
    void addWindow(HWND window) { windows_.push_back(window); }
    void removeWindow(HWND window) { std::erase(windows_, window); }
    /// A hidden top-level window that may own a popup menu when no window of ours is shown.
    HWND menuOwner();

private:
    /// Dispatches one message; false for WM_QUIT, which it leaves for the outer loops.
    bool dispatch(const MSG& msg);
    void quitting(int code);

    Win32Dispatcher dispatcher_;
    std::vector<HWND> windows_;
    HWND menuOwner_ = nullptr;
    bool quitting_ = false;
    int exitCode_ = 0;
};

} // namespace kadrill::platform::win32
