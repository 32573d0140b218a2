#include "Digital.h"

#include "WatchFaceLayout.h"
#include "platform/Window.h"

namespace kadrill::watch {

namespace {

constexpr int kDigitalClientHeight = 1875;

} // namespace

Digital::Digital(platform::WindowSystem& windows) {
    window_ = windows.createWindow({
        .caption = "Kadrill",
        .clientWidth = kFaceWidth,
        .clientHeight = kDigitalClientHeight,
        .border = platform::BorderStyle::None,
        .minimizeButton = false,
        .maximizeButton = false,
        .menuBar = false,
        .picture = "face",
        .icon = "kadrill",
    });
    buildWatchFace(*window_, face_);
    face_.window = window_.get();

    window_->mouseDown.setHandler([this](const platform::MouseEvent& e) { mouseDown(e); });
    window_->mouseMove.setHandler([this](const platform::MouseEvent& e) { mouseMove(e); });
    window_->mouseUp.setHandler([this](const platform::MouseEvent&) { endDrag(); });
    window_->deactivated.setHandler([this] { endDrag(); });
    window_->closed.setHandler([this] {
        endDrag();
        closedBySystem.raise();
    });
    // The marks take the presses over them: no drag starts there, but AM and PM offer
    // the menu like the bare face.
    auto menuOnRightPress = [this](const platform::MouseEvent& e) {
        if (e.button == platform::MouseButton::Right) {
            popupMenu();
        }
    };
    face_.AM->mouseDown.setHandler(menuOnRightPress);
    face_.PM->mouseDown.setHandler(menuOnRightPress);
    // The keyboard's way to the same menu.
    window_->contextMenuKey.setHandler([this] { popupMenu(); });
}

Digital::~Digital() = default;

void Digital::mouseDown(const platform::MouseEvent& e) {
    // Every press starts afresh, so a drag whose release went astray cannot linger.
    endDrag();
    if (e.button == platform::MouseButton::Left) {
        if (window_->startSystemMove()) {
            return;
        }
        const platform::Point at = window_->position();
        GrabOffset = {e.screen.x - at.x, e.screen.y - at.y};
        Dragging = true;
    } else if (e.button == platform::MouseButton::Right) {
        popupMenu();
    }
}

void Digital::mouseMove(const platform::MouseEvent& e) {
    if (!Dragging) {
        return;
    }
    // Only while the left button is held: a release that never arrived must not leave
    // the window stuck to the pointer.
    if (!e.isHeld(platform::MouseButton::Left)) {
        endDrag();
        return;
    }
    window_->setPosition({e.screen.x - GrabOffset.x, e.screen.y - GrabOffset.y});
}

void Digital::popupMenu() {
    endDrag();
    displayMenuRequested.raise();
}

} // namespace kadrill::watch
