#include "MemorySystemTimeSetter.h"

#include "MemoryClock.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace kadrill::platform::memory {

void MemorySystemTimeSetter::setLocalTimeOfDay(int hour, int minute, int second,
                                               std::function<void(SetTimeResult)> done) {
    requests_.push_back(std::to_string(hour) + ":" + std::to_string(minute) + ":" + std::to_string(second));
    SetTimeResult answer;
    if (!answers_.empty()) {
        answer = std::move(answers_.front());
        answers_.pop_front();
    }
    deliver(std::move(done), std::move(answer));
}

void MemorySystemTimeSetter::deliver(std::function<void(SetTimeResult)> done, SetTimeResult answer) {
    auto call = [done = std::move(done), answer = std::move(answer)] {
        if (done) {
            done(answer);
        }
    };
    if (hold_) {
        held_.push_back(std::move(call));
    } else {
        loop_.post(std::move(call));
    }
}

void MemorySystemTimeSetter::answerHeld(std::size_t count) {
    count = std::min(count, held_.size());
    for (std::size_t i = 0; i < count; ++i) {
        loop_.post(std::move(held_[i]));
    }
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(count));
}

} // namespace kadrill::platform::memory
