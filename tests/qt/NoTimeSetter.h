#pragma once

#include "platform/SystemTimeSetter.h"

namespace kadrill::test {

/// These tests never set the computer's clock; a request stays unanswered.
class NoTimeSetter final : public platform::SystemTimeSetter {
public:
    void setLocalTimeOfDay(int, int, int, std::function<void(platform::SetTimeResult)>) override {}
};

} // namespace kadrill::test
