#pragma once

#include "platform/Controls.h"
#include "platform/Event.h"

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

namespace kadrill::platform::win32 {

class Win32Timer;

/// Runs the program's handlers for the window system's messages, on the one thread that
/// has windows. After each handler it ticks the timers that poll the time of day, so
/// whatever a handler asked of them shows at once; between handlers such timers wake only
/// at the wall-clock second edges. It also runs the functions posted to the event loop,
/// never inside a loop nested in a handler (a message box, a wait, a popup menu), since the
/// code beneath such a loop must find its window alive when the loop ends.
class Win32Dispatcher {
public:
    Win32Dispatcher();
    Win32Dispatcher(const Win32Dispatcher&) = delete;
    Win32Dispatcher& operator=(const Win32Dispatcher&) = delete;
    ~Win32Dispatcher();

    /// Raises the event as a handler, then ticks the polling timers; nothing once the
    /// program has quit.
    template <typename... Args> void deliver(const Event<Args...>& event, Args... args) {
        if (stopped_) {
            return;
        }
        enterHandler();
        event.raise(args...);
        leaveHandler();
        tickPolledTimers();
    }
    /// Runs a function of the program's as a handler.
    void run(const std::function<void()>& function);

    /// Queues the function behind those already waiting; see the class comment.
    void post(std::function<void()> function);

    /// A loop of the window system's own runs (moving a window, a menu): posted functions
    /// wait until it ends.
    void enterSystemLoop() { ++systemLoops_; }
    void leaveSystemLoop() {
        if (systemLoops_ > 0) {
            --systemLoops_;
        }
    }

    /// Called by the event loops after each message they dispatched: a handler that some
    /// other part of the backend raised without this dispatcher is followed by the ticks too.
    void afterMessage(const MSG& msg, std::uint64_t handlersBefore);
    std::uint64_t handlersRun() const { return handlersRun_; }

    /// The program ends: no more ticks, and what is still posted is dropped.
    void stop();
    bool stopped() const { return stopped_; }

    /// Re-arms the second edges from the current time (the clock was set).
    void resyncSecondEdges();

    /// The hidden window that receives the posted functions and the timers' messages.
    HWND window() const { return window_; }

    // For Win32Timer.
    UINT_PTR newTimerId();
    void addTimer(Win32Timer* timer);
    void removeTimer(Win32Timer* timer);
    void timerChanged(Win32Timer* timer);
    /// Raises the timer's tick as a handler, then ticks the other polling timers.
    void deliverTick(Win32Timer* timer);
    /// Arms or kills the system timer of that id on the hidden window.
    void armSystemTimer(UINT_PTR id, int milliseconds);
    void killSystemTimer(UINT_PTR id);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void enterHandler() {
        ++handlerDepth_;
        ++handlersRun_;
    }
    void leaveHandler() { --handlerDepth_; }
    bool nested() const { return handlerDepth_ > 0 || systemLoops_ > 0; }
    void tickPolledTimers(const Win32Timer* except = nullptr);
    void runPosted();
    void updateEdgeTimer();
    void armEdge();
    void onEdgeTimer();

    HWND window_ = nullptr;
    std::vector<Win32Timer*> timers_;
    std::map<UINT_PTR, Win32Timer*> timerIds_;
    UINT_PTR nextTimerId_;
    std::deque<std::function<void()>> posted_;
    int handlerDepth_ = 0;
    int systemLoops_ = 0;
    std::uint64_t handlersRun_ = 0;
    bool stopped_ = false;
    bool tickQueued_ = false;
    bool edgeActive_ = false;
    std::int64_t lastEdgeSecond_ = 0;
};

} // namespace kadrill::platform::win32
