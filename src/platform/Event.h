#pragma once

#include <functional>
#include <utility>

namespace kadrill::platform {

// One event of a control with at most one handler, as a form wires one handler
// per control event. Raising an event without a handler does nothing.
template <typename... Args> class Event {
public:
    using Handler = std::function<void(Args...)>;

    void setHandler(Handler h) { handler_ = std::move(h); }
    bool hasHandler() const { return static_cast<bool>(handler_); }

    // Called by backends only. The handler is copied first so it may replace itself.
    void raise(Args... args) const {
        if (handler_) {
            Handler h = handler_;
            h(args...);
        }
    }

private:
    Handler handler_;
};

} // namespace kadrill::platform
