#include "MemoryControls.h"
#include "MemoryWindow.h"

#include <algorithm>

namespace kadrill::platform::memory {

namespace {

// Characters, not bytes: a maximum length counts what the user sees.
std::size_t characterCount(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The first `characters` characters of the text.
std::string leadingCharacters(const std::string& text, std::size_t characters) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (seen == characters) {
                return text.substr(0, i);
            }
            ++seen;
        }
    }
    return text;
}

} // namespace

template <class Interface>
MemoryInput<Interface>::MemoryInput(const MemoryControlStore& container, bool visible, bool enabled, int tabIndex)
    : container_(container), window_(container.window()), visible_(visible), enabled_(enabled), tabIndex_(tabIndex),
      serial_(window_.nextSerial()) {}

template <class Interface> void MemoryInput<Interface>::setVisible(bool visible) {
    visible_ = visible;
    window_.dropHiddenFocus();
}

template <class Interface> void MemoryInput<Interface>::setEnabled(bool enabled) {
    enabled_ = enabled;
    window_.dropHiddenFocus();
}

template <class Interface> bool MemoryInput<Interface>::canTakeFocus() const {
    return visible_ && enabled_ && container_.containersVisible() && container_.containersEnabled();
}

template <class Interface> bool MemoryInput<Interface>::isUsable() const {
    return canTakeFocus() && window_.isVisible();
}

template <class Interface> void MemoryInput<Interface>::setFocus() {
    if (canTakeFocus()) {
        window_.setFocused(this);
    }
}

template <class Interface> bool MemoryInput<Interface>::hasFocus() const {
    return window_.isActive() && window_.focused() == this && isUsable();
}

template <class Interface> bool MemoryInput<Interface>::takeUserFocus() {
    if (!isUsable()) {
        return false;
    }
    window_.activate();
    window_.setFocused(this);
    return true;
}

template class MemoryInput<TextBox>;
template class MemoryInput<CommandButton>;
template class MemoryInput<OptionButton>;
template class MemoryInput<ListBox>;

MemoryTextBox::MemoryTextBox(const MemoryControlStore& container, const TextBoxProperties& props)
    : MemoryInput(container, props.visible, props.enabled, props.tabIndex), props_(props), text_(props.text),
      maxLength_(props.maxLength) {}

void MemoryTextBox::setText(const std::string& text) {
    if (text != text_) {
        text_ = text;
        changed.raise();
    }
}

bool MemoryTextBox::clickInto() {
    if (!takeUserFocus()) {
        return false;
    }
    clicked.raise();
    return true;
}

void MemoryTextBox::userEdit(std::string text) {
    if (text == text_) {
        return;
    }
    text_ = std::move(text);
    edited.raise();
    changed.raise();
}

bool MemoryTextBox::type(const std::string& text) {
    if (!takeUserFocus()) {
        return false;
    }
    std::string typed = text;
    if (maxLength_ > 0) {
        const std::size_t have = characterCount(text_);
        const auto limit = static_cast<std::size_t>(maxLength_);
        typed = have >= limit ? std::string() : leadingCharacters(text, limit - have);
    }
    userEdit(text_ + typed);
    return true;
}

bool MemoryTextBox::replaceAll(const std::string& text) {
    if (!takeUserFocus()) {
        return false;
    }
    const std::string typed =
        maxLength_ > 0 ? leadingCharacters(text, static_cast<std::size_t>(maxLength_)) : text;
    userEdit(typed);
    return true;
}

MemoryCommandButton::MemoryCommandButton(const MemoryControlStore& container, const CommandButtonProperties& props)
    : MemoryInput(container, props.visible, props.enabled, props.tabIndex), props_(props) {}

bool MemoryCommandButton::space() { return press(); }

bool MemoryCommandButton::click() {
    if (!takeUserFocus()) {
        return false;
    }
    clicked.raise();
    return true;
}

bool MemoryCommandButton::press() {
    if (!isUsable()) {
        return false;
    }
    clicked.raise();
    return true;
}

MemoryOptionButton::MemoryOptionButton(const MemoryControlStore& container, const OptionButtonProperties& props)
    : MemoryInput(container, props.visible, props.enabled, props.tabIndex), props_(props), checked_(props.checked) {}

void MemoryOptionButton::setChecked(bool checked) {
    if (checked) {
        for (const auto& other : container_.optionButtons) {
            if (other.get() != this) {
                other->checked_ = false;
            }
        }
    }
    checked_ = checked;
}

bool MemoryOptionButton::click() {
    if (!takeUserFocus()) {
        return false;
    }
    setChecked(true);
    clicked.raise();
    return true;
}

MemoryListBox::MemoryListBox(const MemoryControlStore& container, const ListBoxProperties& props)
    : MemoryInput(container, props.visible, props.enabled, props.tabIndex), props_(props) {}

void MemoryListBox::addItem(const std::string& text) { items_.push_back(text); }

void MemoryListBox::insertItem(int index, const std::string& text) {
    const int at = std::clamp(index, 0, count());
    items_.insert(items_.begin() + at, text);
    if (current_ >= at) {
        ++current_; // the selection moves with its line; no change of the selected line
    }
}

void MemoryListBox::removeItem(int index) {
    if (index < 0 || index >= count()) {
        return;
    }
    items_.erase(items_.begin() + index);
    if (current_ == index) {
        select(-1);
    } else if (current_ > index) {
        --current_;
    }
}

void MemoryListBox::clear() {
    items_.clear();
    select(-1);
}

std::string MemoryListBox::item(int index) const {
    return index >= 0 && index < count() ? items_[static_cast<std::size_t>(index)] : std::string();
}

void MemoryListBox::setCurrentIndex(int index) { select(index >= 0 && index < count() ? index : -1); }

void MemoryListBox::select(int index) {
    if (index != current_) {
        current_ = index;
        selectionChanged.raise();
    }
}

bool MemoryListBox::clickLine(int index) {
    if (index < 0 || index >= count() || !takeUserFocus()) {
        return false;
    }
    select(index);
    return true;
}

bool MemoryListBox::pressDown() {
    if (!hasFocus() || items_.empty()) {
        return false;
    }
    select(current_ < 0 ? 0 : std::min(current_ + 1, count() - 1));
    return true;
}

bool MemoryListBox::pressUp() {
    if (!hasFocus() || items_.empty()) {
        return false;
    }
    select(current_ < 0 ? 0 : std::max(current_ - 1, 0));
    return true;
}

} // namespace kadrill::platform::memory
