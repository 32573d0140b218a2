#include "MemoryControls.h"

#include "MemoryClock.h"
#include "MemoryWindow.h"

namespace kadrill::platform::memory {

namespace {

MouseEvent mouseEvent(MouseButton button, int held, Point at, Point screen) {
    MouseEvent e;
    e.button = button;
    e.buttons = held;
    e.position = at;
    e.screen = screen;
    return e;
}

} // namespace

bool MemoryControlStore::containersVisible() const {
    return container_ == nullptr || (container_->isVisible() && parent_->containersVisible());
}

bool MemoryControlStore::isShowing() const { return containersVisible() && window_.isVisible(); }

bool MemoryControlStore::containersEnabled() const {
    if (container_ == nullptr) {
        return true;
    }
    const auto* frame = dynamic_cast<const Frame*>(container_);
    return (frame == nullptr || frame->isEnabled()) && parent_->containersEnabled();
}

void MemoryControlStore::collectFocusTargets(std::vector<MemoryFocusTarget*>& into) const {
    for (const auto& b : buttons) {
        into.push_back(b.get());
    }
    for (const auto& t : textBoxes) {
        into.push_back(t.get());
    }
    for (const auto& b : commandButtons) {
        into.push_back(b.get());
    }
    for (const auto& o : optionButtons) {
        into.push_back(o.get());
    }
    for (const auto& l : listBoxes) {
        into.push_back(l.get());
    }
    for (const auto& f : frames) {
        f->controls().collectFocusTargets(into);
    }
    for (const auto& p : pictures) {
        p->controls().collectFocusTargets(into);
    }
}

Point MemoryControlStore::toScreen(Point at) const {
    const Point client = window_.clientOrigin();
    return {client.x + origin_.x + at.x, client.y + origin_.y + at.y};
}

bool MemoryLabel::press(MouseButton button, Point at) {
    if (!visible_ || !container_.isShowing()) {
        return false;
    }
    mouseDown.raise(mouseEvent(button, static_cast<int>(button), at,
                               container_.toScreen({position_.x + at.x, position_.y + at.y})));
    return true;
}

MemoryPictureButton::MemoryPictureButton(const MemoryControlStore& container, const PictureButtonProperties& props)
    : container_(container), window_(container.window()), props_(props), visible_(props.visible),
      serial_(window_.nextSerial()) {}

bool MemoryPictureButton::isUsable() const { return isShowing() && container_.containersEnabled(); }

bool MemoryPictureButton::space() {
    clicked.raise();
    return true;
}

void MemoryPictureButton::setVisible(bool visible) {
    visible_ = visible;
    window_.dropHiddenFocus();
}

bool MemoryPictureButton::isShowing() const { return visible_ && container_.isShowing(); }

bool MemoryPictureButton::canTakeFocus() const {
    return visible_ && container_.containersVisible() && container_.containersEnabled();
}

void MemoryPictureButton::setFocus() {
    if (canTakeFocus()) {
        window_.setFocused(this);
    }
}

bool MemoryPictureButton::hasFocus() const { return window_.isActive() && window_.focused() == this && isShowing(); }

bool MemoryPictureButton::click(MouseButton button) {
    if (!isShowing()) {
        return false;
    }
    window_.setFocused(this);
    if (button == MouseButton::Left) {
        clicked.raise();
    }
    return true;
}

void MemoryFrame::setVisible(bool visible) {
    visible_ = visible;
    store_.window().dropHiddenFocus();
}

void MemoryFrame::setEnabled(bool enabled) {
    enabled_ = enabled;
    store_.window().dropHiddenFocus();
}

void MemoryPicture::setVisible(bool visible) {
    visible_ = visible;
    store_.window().dropHiddenFocus();
}

bool MemoryPicture::pressMouse(MouseButton button, Point at) {
    if (!store_.isShowing()) {
        return false;
    }
    mouseDown.raise(mouseEvent(button, static_cast<int>(button), at, store_.toScreen(at)));
    return true;
}

bool MemoryPicture::moveMouse(Point at, int heldButtons) {
    if (!store_.isShowing()) {
        return false;
    }
    mouseMove.raise(mouseEvent(MouseButton::None, heldButtons, at, store_.toScreen(at)));
    return true;
}

bool MemoryPicture::releaseMouse(MouseButton button, Point at) {
    if (!store_.isShowing()) {
        return false;
    }
    mouseUp.raise(mouseEvent(button, 0, at, store_.toScreen(at)));
    return true;
}

LineShape& MemoryControlStore::addLine(const LineProperties& props) {
    lines.push_back(std::make_unique<MemoryLine>(props));
    return *lines.back();
}

Label& MemoryControlStore::addLabel(const LabelProperties& props) {
    labels.push_back(std::make_unique<MemoryLabel>(*this, props));
    return *labels.back();
}

PictureButton& MemoryControlStore::addPictureButton(const PictureButtonProperties& props) {
    buttons.push_back(std::make_unique<MemoryPictureButton>(*this, props));
    return *buttons.back();
}

Frame& MemoryControlStore::addFrame(const FrameProperties& props) {
    frames.push_back(std::make_unique<MemoryFrame>(*this, props));
    return *frames.back();
}

Picture& MemoryControlStore::addPicture(const PictureProperties& props) {
    pictures.push_back(std::make_unique<MemoryPicture>(*this, props));
    return *pictures.back();
}

TextBox& MemoryControlStore::addTextBox(const TextBoxProperties& props) {
    textBoxes.push_back(std::make_unique<MemoryTextBox>(*this, props));
    return *textBoxes.back();
}

CommandButton& MemoryControlStore::addCommandButton(const CommandButtonProperties& props) {
    commandButtons.push_back(std::make_unique<MemoryCommandButton>(*this, props));
    return *commandButtons.back();
}

OptionButton& MemoryControlStore::addOptionButton(const OptionButtonProperties& props) {
    optionButtons.push_back(std::make_unique<MemoryOptionButton>(*this, props));
    return *optionButtons.back();
}

ListBox& MemoryControlStore::addListBox(const ListBoxProperties& props) {
    listBoxes.push_back(std::make_unique<MemoryListBox>(*this, props));
    return *listBoxes.back();
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
