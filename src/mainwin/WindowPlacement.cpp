#include "WindowPlacement.h"

#include "platform/Window.h"

#include <algorithm>

namespace kadrill::mainwin {

platform::Point faceOffset(const platform::Window& main) { return main.clientOffset().value_or(kFallbackFaceOffset); }

namespace {

// The start of a span of the given length inside [lo, lo + room): as close to `at` as
// fits, and at lo when it is longer than the room.
int clampSpan(int at, int length, int lo, int room) { return std::max(lo, std::min(at, lo + room - length)); }

} // namespace

void keepOnScreen(platform::Window& window) {
    const platform::Rect area = window.availableArea();
    if (area.width <= 0 || area.height <= 0) {
        return;
    }
    const platform::Rect frame = window.frameRect();
    const platform::Point at{clampSpan(frame.left, frame.width, area.left, area.width),
                             clampSpan(frame.top, frame.height, area.top, area.height)};
    if (at.x != frame.left || at.y != frame.top) {
        window.setPosition(at);
    }
}

} // namespace kadrill::mainwin
