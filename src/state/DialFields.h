#pragma once

#include <cstdint>

namespace kadrill::state {

/// The state of one dial: where its centre is, the time it shows, and the quadrant of the
/// last drag step. It outlives the dialog that shows it.
struct DialFields {
    std::int16_t DialCenterX = 0; ///< twips in the dial picture
    std::int16_t DialCenterY = 0;
    std::int32_t DialHour = 0;   ///< 0..23
    std::int32_t DialMinute = 0; ///< 0..59
    std::int32_t DialSecond = 0; ///< 0..59
    /// 1..4 clockwise from 12 o'clock.
    std::int16_t DialLastQuadrant = 1;
};

/// Both dialogs' dials, and the mouse button held on either (0 none, 1 left, 2 right,
/// 4 middle): there is one mouse, so one value serves both.
struct DialState {
    DialFields TimeSet;
    DialFields Alarm;
    std::int16_t DialDragButton = 0;
};

} // namespace kadrill::state
