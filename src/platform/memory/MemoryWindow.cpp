#include "MemoryWindow.h"

#include "MemoryClock.h"

namespace kadrill::platform::memory {

namespace {

// Window decoration of the in-memory desktop, in pixels: deliberately not the fallback
// offsets the program uses, so tests can tell which one was taken.
constexpr int kBorderPixels = 4;
constexpr int kTitlePixels = 24;
constexpr int kMenuBarPixels = 20;

} // namespace

MemoryWindow::MemoryWindow(MemoryWindowSystem& system, MemoryEventLoop& loop, const WindowProperties& props)
    : MemoryHostedContainer(*this), system_(system), loop_(loop), props_(props) {}

MemoryWindow::~MemoryWindow() {
    if (system_.activeWindow() == this) {
        system_.setActive(nullptr);
    }
}

void MemoryWindow::hide() {
    visible_ = false;
    if (isActive()) {
        system_.setActive(nullptr);
    }
}

void MemoryWindow::activate() {
    if (visible_) {
        system_.setActive(this);
    }
}

bool MemoryWindow::isActive() const { return system_.activeWindow() == this; }

Point MemoryWindow::decoration() const {
    if (props_.border == BorderStyle::None) {
        return {0, 0};
    }
    const int top = kBorderPixels + kTitlePixels + (props_.menuBar ? kMenuBarPixels : 0);
    return {kBorderPixels * kTwipsPerPixel, top * kTwipsPerPixel};
}

Rect MemoryWindow::frameRect() const {
    const Point d = decoration();
    const int border = props_.border == BorderStyle::None ? 0 : kBorderPixels * kTwipsPerPixel;
    return {position_.x, position_.y, props_.clientWidth + d.x + border, props_.clientHeight + d.y + border};
}

std::optional<Point> MemoryWindow::clientOffset() const {
    if (!shownOnce_) {
        return std::nullopt;
    }
    return decoration();
}

Rect MemoryWindow::availableArea() const { return system_.availableArea(); }

void MemoryWindow::setWindowState(WindowState state) {
    if (state != state_) {
        state_ = state;
        stateChanged.raise();
    }
}

bool MemoryWindow::startSystemMove() {
    if (!system_.systemMoveAvailable() || !visible_) {
        return false;
    }
    system_.noteSystemMove();
    return true;
}

Timer& MemoryWindow::addTimer(const TimerProperties& props) {
    timers_.push_back(std::make_unique<MemoryTimer>(loop_, props));
    return *timers_.back();
}

Menu& MemoryWindow::addMenu(const std::string& caption) {
    menus_.push_back(std::make_unique<MemoryMenu>(system_, caption));
    return *menus_.back();
}

MemoryMenu* MemoryWindow::menu(const std::string& caption) const {
    for (const auto& m : menus_) {
        if (m->caption() == caption) {
            return m.get();
        }
    }
    return nullptr;
}

void MemoryWindow::close() {
    // The handler runs while the window is still on screen; only then does it go.
    if (!closed_) {
        closed_ = true;
        closed.raise();
    }
    hide();
}

Point MemoryWindow::clientOrigin() const {
    const Point d = decoration();
    return {position_.x + d.x, position_.y + d.y};
}

void MemoryWindow::dropHiddenFocus() {
    if (focused_ != nullptr && !focused_->canTakeFocus()) {
        focused_ = nullptr;
    }
}

MouseEvent MemoryWindow::mouseEvent(MouseButton button, int held, Point screen) const {
    const Point client = clientOrigin();
    MouseEvent e;
    e.button = button;
    e.buttons = held;
    e.screen = screen;
    e.position = {screen.x - client.x, screen.y - client.y};
    return e;
}

bool MemoryWindow::pressMouse(MouseButton button, Point screen) {
    if (!visible_) {
        return false;
    }
    mouseDown.raise(mouseEvent(button, static_cast<int>(button), screen));
    return true;
}

bool MemoryWindow::moveMouse(Point screen, int heldButtons) {
    if (!visible_) {
        return false;
    }
    mouseMove.raise(mouseEvent(MouseButton::None, heldButtons, screen));
    return true;
}

bool MemoryWindow::releaseMouse(MouseButton button, Point screen) {
    if (!visible_) {
        return false;
    }
    mouseUp.raise(mouseEvent(button, 0, screen));
    return true;
}

bool MemoryWindow::pressSpace() {
    if (!isActive() || focused_ == nullptr || !focused_->isShowing()) {
        return false;
    }
    focused_->clicked.raise();
    return true;
}

std::unique_ptr<Window> MemoryWindowSystem::createWindow(const WindowProperties& props) {
    return std::make_unique<MemoryWindow>(*this, loop_, props);
}

void MemoryWindowSystem::setActive(MemoryWindow* window) {
    if (window == active_) {
        return;
    }
    MemoryWindow* before = active_;
    active_ = window;
    if (before != nullptr) {
        before->deactivated.raise();
    }
}

} // namespace kadrill::platform::memory
