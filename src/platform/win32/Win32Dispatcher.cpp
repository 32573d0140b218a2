#include "Win32Dispatcher.h"

#include "Win32Timer.h"

#include <algorithm>

namespace kadrill::platform::win32 {

namespace {

constexpr UINT kPostedMessage = WM_APP + 1;
constexpr UINT kPolledTickMessage = WM_APP + 2;
constexpr UINT_PTR kEdgeTimer = 1;
constexpr UINT_PTR kPostRetryTimer = 2;
constexpr UINT_PTR kFirstTimerId = 16;
// How often posted functions look again whether the loop they wait out has ended.
constexpr int kPostRetryMs = 50;
constexpr std::int64_t kFileTimeUnitsPerSecond = 10'000'000;
constexpr std::int64_t kFileTimeUnitsPerMs = 10'000;
constexpr wchar_t kClassName[] = L"KadrillDispatcher";

std::int64_t preciseNow() {
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

} // namespace

Win32Dispatcher::Win32Dispatcher() : nextTimerId_(kFirstTimerId) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32Dispatcher::windowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc); // fails harmlessly when registered already
    window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
}

Win32Dispatcher::~Win32Dispatcher() {
    if (window_ != nullptr) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
}

LRESULT CALLBACK Win32Dispatcher::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Dispatcher*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && self->window_ == hwnd) {
        return self->handle(msg, wParam, lParam);
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT Win32Dispatcher::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case kPostedMessage:
        runPosted();
        return 0;
    case kPolledTickMessage:
        tickQueued_ = false;
        tickPolledTimers();
        return 0;
    case WM_TIMER:
        if (wParam == kEdgeTimer) {
            onEdgeTimer();
        } else if (wParam == kPostRetryTimer) {
            ::KillTimer(window_, kPostRetryTimer);
            runPosted();
        } else if (auto it = timerIds_.find(wParam); it != timerIds_.end()) {
            it->second->onSystemTimer();
        } else {
            ::KillTimer(window_, wParam); // a timer gone with its window
        }
        return 0;
    default:
        return ::DefWindowProcW(window_, msg, wParam, lParam);
    }
}

void Win32Dispatcher::run(const std::function<void()>& function) {
    if (stopped_) {
        return;
    }
    enterHandler();
    function();
    leaveHandler();
    tickPolledTimers();
}

void Win32Dispatcher::post(std::function<void()> function) {
    if (stopped_) {
        return;
    }
    posted_.push_back(std::move(function));
    if (posted_.size() == 1) {
        ::PostMessageW(window_, kPostedMessage, 0, 0);
    }
}

void Win32Dispatcher::runPosted() {
    if (posted_.empty() || stopped_) {
        return;
    }
    if (nested()) {
        ::SetTimer(window_, kPostRetryTimer, kPostRetryMs, nullptr);
        return;
    }
    // What these post in turn waits for the next round, behind what is queued now.
    for (auto due = posted_.size(); due > 0 && !posted_.empty() && !stopped_; --due) {
        std::function<void()> function = std::move(posted_.front());
        posted_.pop_front();
        run(function);
    }
    if (!posted_.empty() && !stopped_) {
        ::PostMessageW(window_, kPostedMessage, 0, 0);
    }
}

void Win32Dispatcher::afterMessage(const MSG& msg, std::uint64_t handlersBefore) {
    // Ticks, repaints and our own messages need none; a handler run through deliver() has
    // been followed by the ticks already.
    if (handlersRun_ != handlersBefore || msg.message == WM_TIMER || msg.message == WM_PAINT || msg.hwnd == window_) {
        return;
    }
    tickPolledTimers();
}

void Win32Dispatcher::stop() {
    stopped_ = true;
    posted_.clear();
    for (Win32Timer* timer : timers_) {
        killSystemTimer(timer->id());
    }
    ::KillTimer(window_, kEdgeTimer);
    edgeActive_ = false;
}

void Win32Dispatcher::addTimer(Win32Timer* timer) {
    timers_.push_back(timer);
    timerIds_[timer->id()] = timer;
}

UINT_PTR Win32Dispatcher::newTimerId() { return nextTimerId_++; }

void Win32Dispatcher::removeTimer(Win32Timer* timer) {
    killSystemTimer(timer->id());
    timerIds_.erase(timer->id());
    std::erase(timers_, timer);
    updateEdgeTimer();
}

void Win32Dispatcher::timerChanged(Win32Timer* timer) {
    updateEdgeTimer();
    // A freshly enabled timer gets its first tick right away, as a 1 ms timer would.
    if (timer->isPolled() && timer->runs() && !tickQueued_ && !stopped_) {
        tickQueued_ = true;
        ::PostMessageW(window_, kPolledTickMessage, 0, 0);
    }
}

void Win32Dispatcher::deliverTick(Win32Timer* timer) {
    enterHandler();
    timer->tick.raise();
    leaveHandler();
    tickPolledTimers(timer);
}

void Win32Dispatcher::armSystemTimer(UINT_PTR id, int milliseconds) {
    // Not coalesced with other programs' timers: these pace what the user watches.
    const UINT elapse = static_cast<UINT>(std::max(milliseconds, static_cast<int>(USER_TIMER_MINIMUM)));
    if (::SetCoalescableTimer(window_, id, elapse, nullptr, TIMERV_NO_COALESCING) == 0) {
        ::SetTimer(window_, id, elapse, nullptr);
    }
}

void Win32Dispatcher::killSystemTimer(UINT_PTR id) { ::KillTimer(window_, id); }

void Win32Dispatcher::tickPolledTimers(const Win32Timer* except) {
    if (stopped_) {
        return;
    }
    // Ticks may nest: a handler that waits in a message box lets later ticks run inside
    // it. The copy keeps the walk safe when a handler adds or removes timers.
    const std::vector<Win32Timer*> timers = timers_;
    for (Win32Timer* timer : timers) {
        if (timer != except && std::find(timers_.begin(), timers_.end(), timer) != timers_.end() && timer->isPolled() &&
            timer->runs()) {
            enterHandler();
            timer->tick.raise();
            leaveHandler();
        }
    }
}

void Win32Dispatcher::updateEdgeTimer() {
    // Display-rate timers tick often enough by themselves.
    const bool wanted = !stopped_ && std::any_of(timers_.begin(), timers_.end(), [](const Win32Timer* t) {
        return t->runs() && t->pacing() == TimerPacing::PollsTimeOfDay;
    });
    if (wanted == edgeActive_) {
        return;
    }
    edgeActive_ = wanted;
    if (wanted) {
        lastEdgeSecond_ = preciseNow() / kFileTimeUnitsPerSecond;
        armEdge();
    } else {
        ::KillTimer(window_, kEdgeTimer);
    }
}

void Win32Dispatcher::resyncSecondEdges() {
    if (edgeActive_) {
        lastEdgeSecond_ = preciseNow() / kFileTimeUnitsPerSecond;
        armEdge();
    }
}

void Win32Dispatcher::armEdge() {
    // Aimed a millisecond past the edge, so the time text has surely turned over. Armed
    // afresh at every edge from the clock, so a late wake-up does not carry over and a
    // clock set back or forward is followed within a second.
    const std::int64_t now = preciseNow();
    const std::int64_t toEdge = kFileTimeUnitsPerSecond - now % kFileTimeUnitsPerSecond;
    armSystemTimer(kEdgeTimer, static_cast<int>(toEdge / kFileTimeUnitsPerMs) + 1);
}

void Win32Dispatcher::onEdgeTimer() {
    if (!edgeActive_) {
        ::KillTimer(window_, kEdgeTimer);
        return;
    }
    const std::int64_t second = preciseNow() / kFileTimeUnitsPerSecond;
    armEdge();
    // A system timer may fire a little early; the edge is the second's change.
    if (second != lastEdgeSecond_) {
        lastEdgeSecond_ = second;
        tickPolledTimers();
    }
}

} // namespace kadrill::platform::win32
