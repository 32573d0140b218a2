#pragma once

#include <cstdint>
#include <string>

namespace kadrill::state {

/// The ramen timer's share of the program state. It outlives the window, which sets it
/// afresh on every opening except for the animation phase.
struct NoodleFields {
    /// Time text ("0:02:59"): while counting, the time left; while idle, the seconds of
    /// the hint cycle.
    std::string NoodleClock;
    /// The countdown runs (counting, or finished and waiting for a reset).
    bool NoodleRunning = false;
    /// Which frame of the running animation comes next; never reset.
    bool NoodleFramePhase = false;
    /// Millisecond-counter reading at the start of the countdown: the time left is
    /// measured on it, so ticks held up by a busy or sleeping computer cannot stretch
    /// the three minutes.
    std::uint32_t NoodleStartTick = 0;
};

} // namespace kadrill::state
