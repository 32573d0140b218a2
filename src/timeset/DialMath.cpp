#include "DialMath.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace kadrill::timeset {

platform::PointF handEnd(double cx, double cy, double turn, double length) {
    const double a = (turn * 2) * kDialPi + kDialPi / 2;
    return {static_cast<float>(cx - std::cos(a) * length), static_cast<float>(cy - std::sin(a) * length)};
}

int dialQuadrant(int x, int y, int cx, int cy) {
    if (x >= cx) {
        return y <= cy ? 1 : 2;
    }
    return y >= cy ? 3 : 4;
}

long long roundHalfEven(double value) {
    if (!(std::fabs(value) < 9.0e18)) {
        return value < 0 ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    }
    const double floor = std::floor(value);
    const double diff = value - floor;
    auto result = static_cast<long long>(floor);
    if (diff > 0.5 || (diff == 0.5 && (result % 2) != 0)) {
        ++result;
    }
    return result;
}

int dialValue(int x, int y, int cx, int cy) {
    const double t = x != cx ? std::atan(std::fabs(static_cast<double>(y - cy)) / std::fabs(static_cast<double>(x - cx)))
                             : kDialPi / 2;
    const double threeQuarters = 9.42477796076937 / 2;
    double v = 0;
    switch (dialQuadrant(x, y, cx, cy)) {
    case 1: v = (kDialPi / 2 - t) / kDialPi / 2 * 60; break;
    case 2: v = (t + kDialPi / 2) / kDialPi / 2 * 60; break;
    case 3: v = (threeQuarters - t) / kDialPi / 2 * 60; break;
    default: v = (t + threeQuarters) / kDialPi / 2 * 60; break;
    }
    const long long rounded = roundHalfEven(v);
    // Just left of 12 o'clock rounds up to a full turn.
    return rounded >= 60 ? 59 : static_cast<int>(rounded);
}

long long leadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    bool digits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
            ++i;
            digits = true;
        }
    }
    if (!digits) {
        return 0;
    }
    // from_chars, not strtod: the desktop's locale may want a decimal comma.
    const char* first = text.data() + start;
    const char* last = text.data() + i;
    bool negative = false;
    if (*first == '+' || *first == '-') {
        negative = *first == '-';
        ++first;
    }
    double value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec == std::errc::result_out_of_range) {
        value = std::numeric_limits<double>::infinity();
    }
    return roundHalfEven(negative ? -value : value);
}

} // namespace kadrill::timeset
