#include "MemoryWindow.h"

#include "MemoryClock.h"

#include <algorithm>
#include <cctype>
#include <iterator>

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

void MemoryWindow::requestAttention() {
    if (!isActive()) {
        demandsAttention_ = true;
    }
}

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
    if (!isActive() || focused_ == nullptr || !focused_->isUsable()) {
        return false;
    }
    return focused_->space();
}

namespace {

template <class F> void forEachStore(const MemoryControlStore& store, F&& f) {
    f(store);
    for (const auto& frame : store.frames) {
        forEachStore(frame->controls(), f);
    }
    for (const auto& picture : store.pictures) {
        forEachStore(picture->controls(), f);
    }
}

char accessKeyOf(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (caption[i + 1] == '&') {
                ++i;
                continue;
            }
            return static_cast<char>(std::tolower(static_cast<unsigned char>(caption[i + 1])));
        }
    }
    return 0;
}

} // namespace

std::vector<MemoryFocusTarget*> MemoryWindow::tabOrder() const {
    std::vector<MemoryFocusTarget*> targets;
    store_.collectFocusTargets(targets);
    std::stable_sort(targets.begin(), targets.end(), [](const MemoryFocusTarget* a, const MemoryFocusTarget* b) {
        return a->tabIndex() != b->tabIndex() ? a->tabIndex() < b->tabIndex() : a->serial() < b->serial();
    });
    return targets;
}

bool MemoryWindow::pressEnter() {
    if (!isActive()) {
        return false;
    }
    if (focused_ != nullptr && focused_->isUsable()) {
        if (focused_->keepsEnter()) {
            return false;
        }
        if (focused_->enter()) {
            return true;
        }
    }
    bool pressed = false;
    forEachStore(store_, [&](const MemoryControlStore& store) {
        for (const auto& button : store.commandButtons) {
            if (!pressed && button->props().isDefault && button->isUsable()) {
                pressed = button->press();
            }
        }
    });
    return pressed;
}

bool MemoryWindow::pressEscape() {
    if (!isActive()) {
        return false;
    }
    bool pressed = false;
    forEachStore(store_, [&](const MemoryControlStore& store) {
        for (const auto& button : store.commandButtons) {
            if (!pressed && button->props().isCancel && button->isUsable()) {
                pressed = button->press();
            }
        }
    });
    return pressed;
}

void MemoryWindow::pressTab(bool back) {
    if (!isActive()) {
        return;
    }
    const auto order = tabOrder();
    std::vector<MemoryFocusTarget*> usable;
    std::copy_if(order.begin(), order.end(), std::back_inserter(usable),
                 [](const MemoryFocusTarget* t) { return t->isUsable(); });
    if (usable.empty()) {
        return;
    }
    const auto at = std::find(usable.begin(), usable.end(), focused_);
    if (at == usable.end()) {
        focused_ = back ? usable.back() : usable.front();
        return;
    }
    const auto i = static_cast<std::size_t>(at - usable.begin());
    focused_ = back ? usable[(i + usable.size() - 1) % usable.size()] : usable[(i + 1) % usable.size()];
}

bool MemoryWindow::pressContextMenuKey() {
    if (!isActive()) {
        return false;
    }
    contextMenuKey.raise();
    return true;
}

bool MemoryWindow::pressAccessKey(char letter) {
    if (!isActive()) {
        return false;
    }
    const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    MemoryCommandButton* button = nullptr;
    MemoryOptionButton* option = nullptr;
    forEachStore(store_, [&](const MemoryControlStore& store) {
        for (const auto& b : store.commandButtons) {
            if (button == nullptr && option == nullptr && b->isUsable() && accessKeyOf(b->props().caption) == key) {
                button = b.get();
            }
        }
        for (const auto& o : store.optionButtons) {
            if (button == nullptr && option == nullptr && o->isUsable() && accessKeyOf(o->props().caption) == key) {
                option = o.get();
            }
        }
    });
    if (button != nullptr) {
        focused_ = button;
        return button->press();
    }
    if (option != nullptr) {
        return option->click();
    }
    return false;
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
    if (window != nullptr) {
        window->noteActivated();
    }
    if (before != nullptr) {
        before->deactivated.raise();
    }
}

} // namespace kadrill::platform::memory
