#pragma once

#include "WatchFace.h"

#include <array>

namespace kadrill::platform {
class Container;
}

namespace kadrill::watch {

/// Client area of a watch window, twips.
inline constexpr int kFaceWidth = 6000;
inline constexpr int kFaceHeight = 1890;

/// Left edges of the six digits, twips: 720 apart within a pair, 960 between pairs.
inline constexpr std::array<int, 6> kDigitLeft = {840, 1560, 2520, 3240, 4200, 4920};

/// Creates the digits, marks and buttons of a watch face on the window, in tab order.
void buildWatchFace(platform::Container& window, WatchFace& face);

} // namespace kadrill::watch
