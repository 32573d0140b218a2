#include "MemoryControls.h"

#include "MemoryClock.h"
#include "MemoryWindow.h"

namespace kadrill::platform::memory {

bool MemoryLabel::press(MouseButton button) {
    if (!visible_) {
        return false;
    }
    MouseEvent e;
    e.button = button;
    e.buttons = static_cast<int>(button);
    mouseDown.raise(e);
    return true;
}

void MemoryPictureButton::setVisible(bool visible) {
    visible_ = visible;
    if (!visible && window_.focused() == this) {
        window_.setFocused(nullptr);
    }
}

void MemoryPictureButton::setFocus() {
    if (visible_) {
        window_.setFocused(this);
    }
}

bool MemoryPictureButton::hasFocus() const { return window_.isActive() && window_.focused() == this; }

bool MemoryPictureButton::click() {
    if (!visible_ || !window_.isVisible()) {
        return false;
    }
    window_.setFocused(this);
    clicked.raise();
    return true;
}

LineShape& MemoryControlStore::addLine(const LineProperties& props) {
    lines.push_back(std::make_unique<MemoryLine>(props));
    return *lines.back();
}

Label& MemoryControlStore::addLabel(const LabelProperties& props) {
    labels.push_back(std::make_unique<MemoryLabel>(props));
    return *labels.back();
}

PictureButton& MemoryControlStore::addPictureButton(const PictureButtonProperties& props) {
    buttons.push_back(std::make_unique<MemoryPictureButton>(window_, props));
    return *buttons.back();
}

Frame& MemoryControlStore::addFrame(const FrameProperties& props) {
    frames.push_back(std::make_unique<MemoryFrame>(window_, props));
    return *frames.back();
}

Picture& MemoryControlStore::addPicture(const PictureProperties& props) {
    pictures.push_back(std::make_unique<MemoryPicture>(window_, props));
    return *pictures.back();
}

MemoryTimer::MemoryTimer(MemoryEventLoop& loop, const TimerProperties& props) : loop_(loop), props_(props) {
    nextDue_ = loop_.now() + props_.interval;
    loop_.add(this);
}

MemoryTimer::~MemoryTimer() { loop_.remove(this); }

void MemoryTimer::setInterval(int milliseconds) {
    props_.interval = milliseconds;
    nextDue_ = loop_.now() + milliseconds;
}

void MemoryTimer::setEnabled(bool enabled) {
    if (enabled && !props_.enabled) {
        nextDue_ = loop_.now() + props_.interval;
    }
    props_.enabled = enabled;
}

bool MemoryMenuItem::choose() {
    if (!enabled_ || separator_) {
        return false;
    }
    chosen.raise();
    return true;
}

MenuItem& MemoryMenu::addItem(const std::string& caption, MenuItemKind kind) {
    items_.push_back(std::make_unique<MemoryMenuItem>(caption, kind, false));
    return *items_.back();
}

MenuItem& MemoryMenu::addSeparator() {
    items_.push_back(std::make_unique<MemoryMenuItem>("-", MenuItemKind::Command, true));
    return *items_.back();
}

void MemoryMenu::popupAtPointer() { system_.notePopup(this); }

MemoryMenuItem* MemoryMenu::item(const std::string& caption) const {
    for (const auto& item : items_) {
        if (item->caption() == caption) {
            return item.get();
        }
    }
    return nullptr;
}

} // namespace kadrill::platform::memory
