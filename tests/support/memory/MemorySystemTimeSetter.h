#pragma once

#include "platform/SystemTimeSetter.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kadrill::platform::memory {

class MemoryEventLoop;

/// Records every request as "H:M:S" and answers from a script, later, as the event loop
/// runs: the real service answers after the call has returned.
class MemorySystemTimeSetter final : public SystemTimeSetter {
public:
    explicit MemorySystemTimeSetter(MemoryEventLoop& loop) : loop_(loop) {}
    void setLocalTimeOfDay(int hour, int minute, int second, std::function<void(SetTimeResult)> done) override;

    /// The answer to the next request; Done when none is scripted.
    void setNextAnswer(SetTimeResult answer) { answers_.push_back(std::move(answer)); }
    /// Holds the answers back until answerHeld(); the requests stay pending meanwhile.
    void holdAnswers(bool hold) { hold_ = hold; }
    /// Delivers the first `count` answers held so far (all of them by default), in order.
    void answerHeld(std::size_t count = static_cast<std::size_t>(-1));

    const std::vector<std::string>& requests() const { return requests_; }

private:
    void deliver(std::function<void(SetTimeResult)> done, SetTimeResult answer);

    MemoryEventLoop& loop_;
    std::deque<SetTimeResult> answers_;
    std::vector<std::string> requests_;
    std::vector<std::function<void()>> held_;
    bool hold_ = false;
};

} // namespace kadrill::platform::memory
