#pragma once

#include "WatchState.h"

#include <array>
#include <cstdint>

namespace kadrill::platform {
class LineShape;
class Label;
class PictureButton;
class Timer;
class MenuItem;
} // namespace kadrill::platform

namespace kadrill::watch {

inline constexpr platform::Color kUnlitBlack = 0;
inline constexpr platform::Color kUnlitDimGrey = 4210752; // red, green and blue 64
inline constexpr platform::Color kLitGreen = 49152;       // green 192

/// The digits of one watch window from left to right: H1Line, H2Line, M1Line, M2Line,
/// S1Line, S2Line; seven segment lines each, indexed as in SegmentPatterns.
using DigitLines = std::array<std::array<platform::LineShape*, 7>, 6>;

/// Six digit codes, left to right; each 0..9 or BlankDigit.
using DigitCodes = std::array<std::int16_t, 6>;

/// The face controls of one watch window.
struct WatchFace {
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

/// Everything the display routines write or consult: the faces of both watch windows
/// (the second one absent until it exists) and the main window's mode timers and options.
struct WatchDisplay {
    WatchFace* main = nullptr;
    WatchFace* digital = nullptr;
    platform::Timer* CountTimer = nullptr;
    platform::MenuItem* mnuVisibleTwelve = nullptr;
};

/// Stores the eleven segment patterns into state.SegmentPatterns.
void LoadSegmentPatterns(WatchState& state);

/// Colours all seven segments of all six digits on both windows from the codes, main
/// window first. Visibility is left alone, so segments hidden by the 12-hour look stay hidden.
void ShowDigits(const WatchState& state, const WatchDisplay& display, const DigitCodes& codes);

/// Applies the 12-hour look (clock mode with mnuVisibleTwelve checked: AM and PM shown,
/// the hour tens keeps only segments 2 and 5) or else the 24-hour look.
void RefreshHourMode(const WatchDisplay& display);

/// Colours a mark (AM, PM or AlarmOn, picked by member) on both windows, main window first.
void ColorMark(const WatchDisplay& display, platform::Label* WatchFace::*mark, platform::Color color);

} // namespace kadrill::watch
