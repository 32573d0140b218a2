#pragma once

#include "platform/Clock.h"

namespace kadrill::platform::win32 {

/// The system clock: the local time of day and a millisecond counter that counts the time
/// the computer sleeps too. Needs nothing; construct it as Win32Clock clock;
class Win32Clock final : public Clock {
public:
    TimeOfDay timeOfDay() const override;
    std::uint32_t tickCount() const override;
};

} // namespace kadrill::platform::win32
