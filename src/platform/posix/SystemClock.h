#pragma once

#include "platform/Clock.h"

namespace kadrill::platform::posix {

/// The local time of day from CLOCK_REALTIME and the millisecond counter from
/// CLOCK_BOOTTIME, which keeps counting while the computer sleeps.
class SystemClock final : public Clock {
public:
    TimeOfDay timeOfDay() const override;
    std::uint32_t tickCount() const override;
};

} // namespace kadrill::platform::posix
