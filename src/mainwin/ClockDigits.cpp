#include "ClockDigits.h"

namespace kadrill::mainwin {

namespace {

// Value of the character at 1-based position pos; non-digits and missing ones are 0.
std::int16_t valueAt(std::string_view t, std::size_t pos) {
    if (pos == 0 || pos > t.size()) {
        return 0;
    }
    const char c = t[pos - 1];
    return c >= '0' && c <= '9' ? static_cast<std::int16_t>(c - '0') : std::int16_t{0};
}

} // namespace

watch::DigitCodes DigitsOfTimeText(std::string_view t) {
    if (t.size() == 7) {
        return {state::BlankDigit, valueAt(t, 1), valueAt(t, 3), valueAt(t, 4), valueAt(t, 6), valueAt(t, 7)};
    }
    return {valueAt(t, 1), valueAt(t, 2), valueAt(t, 4), valueAt(t, 5), valueAt(t, 7), valueAt(t, 8)};
}

Meridiem ApplyTwelveHour(std::string_view t, watch::DigitCodes& codes) {
    const int hour = codes[0] * 10 + codes[1];
    if (t.size() != 8 || hour < 12) {
        if (t.size() == 7 && valueAt(t, 1) == 0) {
            codes[0] = 1;
            codes[1] = 2;
        }
        return Meridiem::AM;
    }
    if (hour != 12) {
        const int v = hour - 12;
        codes[0] = v < 10 ? state::BlankDigit : std::int16_t{1};
        codes[1] = static_cast<std::int16_t>(v % 10);
    }
    return Meridiem::PM;
}

} // namespace kadrill::mainwin
