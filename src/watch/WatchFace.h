#pragma once

#include <array>
#include <cstdint>

namespace kadrill::platform {
class LineShape;
class Label;
class PictureButton;
class Window;
} // namespace kadrill::platform

namespace kadrill::watch {

/// The digits of one watch window from left to right: H1Line, H2Line, M1Line, M2Line,
/// S1Line, S2Line; seven segment lines each, indexed as in SegmentPatterns.
using DigitLines = std::array<std::array<platform::LineShape*, 7>, 6>;

/// Six digit codes, left to right; each 0..9 or BlankDigit.
using DigitCodes = std::array<std::int16_t, 6>;

/// The face controls of one watch window.
struct WatchFace {
    /// The window whose client area the face is; a screen reader reads the face there.
    platform::Window* window = nullptr;
    DigitLines digits{};
    platform::Label* AM = nullptr;
    platform::Label* PM = nullptr;
    platform::Label* AlarmOn = nullptr;
    platform::PictureButton* ModeBtn = nullptr;
    platform::PictureButton* SetBtn = nullptr;
    platform::PictureButton* AlmBtn = nullptr;
    platform::PictureButton* HyoujiKirikae = nullptr;
    platform::PictureButton* StartBtn = nullptr;
    platform::PictureButton* StopBtn = nullptr;
    platform::PictureButton* AlarmOnBtn = nullptr;
    platform::PictureButton* ResetBtn = nullptr;
    platform::PictureButton* LapBtn = nullptr;
};

} // namespace kadrill::watch
