#pragma once

#include "WatchFace.h"

namespace kadrill::platform {
class Clock;
class MediaControl;
class MenuItem;
class Timer;
class WindowSystem;
} // namespace kadrill::platform

namespace kadrill::watch {

/// What the watch routines reach of the windows: the faces of both watch windows (the
/// second one absent until it exists), the main window's timers, whose enabled state is
/// the watch mode, the menu items whose check marks hold the options, the media control
/// and the millisecond counter.
struct WatchControls {
    WatchFace* main = nullptr;
    WatchFace* digital = nullptr;
    platform::Timer* MainTimer = nullptr;
    platform::Timer* CountTimer = nullptr;
    platform::Timer* OneSec = nullptr;
    platform::MenuItem* mnuVisibleTwelve = nullptr;
    /// Index 1 of the menu-bar switch: checked while the frameless window is in use.
    platform::MenuItem* mnuVisibleMenuBar = nullptr;
    platform::MediaControl* MMControl = nullptr;
    const platform::Clock* clock = nullptr;
    /// Says whether a screen reader listens, for whom the faces are described.
    const platform::WindowSystem* windows = nullptr;

    /// The face of the watch window in use.
    WatchFace& activeFace() const;
    /// Both faces, main window first; the second is null until the frameless window exists.
    template <typename F> void forEachFace(F&& f) const {
        f(*main);
        if (digital != nullptr) {
            f(*digital);
        }
    }
};

} // namespace kadrill::watch
