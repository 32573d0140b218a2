#pragma once

#include "WatchControls.h"
#include "state/WatchState.h"

namespace kadrill::watch {

inline constexpr platform::Color kUnlitBlack = 0;
inline constexpr platform::Color kUnlitDimGrey = 4210752; // red, green and blue 64
inline constexpr platform::Color kLitGreen = 49152;       // green 192

/// Stores the eleven segment patterns into SegmentPatterns.
void loadSegmentPatterns(state::WatchFields& fields);

/// Colours all seven segments of all six digits on both windows from the codes, main
/// window first. Visibility is left alone, so segments hidden by the 12-hour look stay hidden.
void ShowDigits(const state::WatchFields& fields, const WatchControls& controls, const DigitCodes& codes);

/// Applies the 12-hour look (clock mode with mnuVisibleTwelve checked: AM and PM shown,
/// the hour tens keeps only segments 2 and 5) or else the 24-hour look.
void RefreshHourMode(const WatchControls& controls);

/// Colours a mark (AM, PM or AlarmOn, picked by member) on both windows, main window first.
void colorMark(const WatchControls& controls, platform::Label* WatchFace::*mark, platform::Color color);

} // namespace kadrill::watch
