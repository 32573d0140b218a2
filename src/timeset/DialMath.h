#pragma once

#include "platform/Geometry.h"

#include <string>

namespace kadrill::timeset {

/// The circle constant as the dial computes with it: the decimal literal, not the full
/// double value, so every hand and mark lands on the same pixel as it always has.
inline constexpr double kDialPi = 3.14159265358979;

/// Length of the minute and second hands, and the radius of the minute marks (twips).
inline constexpr double kLongHand = 1200;
/// Length of the hour hand (twips).
inline constexpr double kHourHand = 840;

/// The end point of a hand from the centre that has turned the fraction `turn` of a full
/// turn clockwise from 12 o'clock.
platform::PointF handEnd(double cx, double cy, double turn, double length);

/// Quadrant 1..4 of a point, clockwise from 12 o'clock; the centre itself is in quadrant 1.
int dialQuadrant(int x, int y, int cx, int cy);

/// The position 0..59 on a 60-step dial that a pointer at (x, y) points to.
int dialValue(int x, int y, int cx, int cy);

/// The number a text box holds: its leading number (blanks skipped; sign, digits and a
/// decimal point), rounded half to even; 0 when there is none. Numbers too large for an
/// int come back as a value outside any dial range.
long long leadingNumber(const std::string& text);

/// Rounds half to even, as every conversion of the dial does.
long long roundHalfEven(double value);

} // namespace kadrill::timeset
