#include "ClockDigits.h"

namespace kadrill::mainwin {

namespace {

// The two digits of an hour, with a blank tens below 10.
void setHour(int hour, watch::DigitCodes& codes) {
    codes[0] = hour < 10 ? state::BlankDigit : static_cast<std::int16_t>(hour / 10);
    codes[1] = static_cast<std::int16_t>(hour % 10);
}

} // namespace

watch::DigitCodes digitsOfTime(const platform::TimeOfDay& time) {
    auto code = [](int v) { return static_cast<std::int16_t>(v); };
    watch::DigitCodes codes{0,
                            0,
                            code(time.minute / 10),
                            code(time.minute % 10),
                            code(time.second / 10),
                            code(time.second % 10)};
    setHour(time.hour, codes);
    return codes;
}

Meridiem applyTwelveHour(const platform::TimeOfDay& time, watch::DigitCodes& codes) {
    if (time.hour < 12) {
        if (time.hour == 0) {
            setHour(12, codes);
        }
        return Meridiem::AM;
    }
    if (time.hour != 12) {
        setHour(time.hour - 12, codes);
    }
    return Meridiem::PM;
}

} // namespace kadrill::mainwin
