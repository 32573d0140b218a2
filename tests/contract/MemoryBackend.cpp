#include "MemoryBackend.h"

namespace kadrill::contract {

using namespace platform;
using namespace platform::memory;

namespace {

MemoryWindow& memoryOf(Window& w) { return dynamic_cast<MemoryWindow&>(w); }

Point onScreen(const MemoryWindow& w, Point at) {
    const Point client = w.clientOrigin();
    return {client.x + at.x, client.y + at.y};
}

} // namespace

MemoryBackend::MemoryBackend() {
    // A box waits while the fake time passes, with every timer ticking meanwhile.
    desk_.messages.whileShown = [this](const MemoryMessageBoxes::Shown&) {
        if (!boxWaits_.empty()) {
            const int ms = boxWaits_.front();
            boxWaits_.pop_front();
            desk_.loop.advance(ms);
        }
    };
}

bool MemoryBackend::activate(Window& w) {
    w.activate();
    return memoryOf(w).isActive();
}

bool MemoryBackend::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    for (int waited = 0; !done(); ++waited) {
        if (waited >= timeoutMs) {
            return false;
        }
        desk_.loop.advance(1);
    }
    return true;
}

void MemoryBackend::click(PictureButton& button, MouseButton mb) {
    (void)dynamic_cast<MemoryPictureButton&>(button).click(mb);
}

void MemoryBackend::pressSpace() {
    if (MemoryWindow* active = desk_.windows.activeWindow()) {
        (void)active->pressSpace();
    }
}

void MemoryBackend::choose(MenuItem& item) { (void)dynamic_cast<MemoryMenuItem&>(item).choose(); }

void MemoryBackend::closeByBox(Window& w) { memoryOf(w).close(); }

void MemoryBackend::pressMouse(Window& w, MouseButton mb, Point at) {
    held_ |= static_cast<int>(mb);
    (void)memoryOf(w).pressMouse(mb, onScreen(memoryOf(w), at));
}

void MemoryBackend::moveMouse(Window& w, Point at) { (void)memoryOf(w).moveMouse(onScreen(memoryOf(w), at), held_); }

void MemoryBackend::releaseMouse(Window& w, MouseButton mb, Point at) {
    held_ &= ~static_cast<int>(mb);
    (void)memoryOf(w).releaseMouse(mb, onScreen(memoryOf(w), at));
}

void MemoryBackend::pressMouse(Picture& picture, MouseButton mb, Point at) {
    held_ |= static_cast<int>(mb);
    (void)dynamic_cast<MemoryPicture&>(picture).pressMouse(mb, at);
}

void MemoryBackend::moveMouse(Picture& picture, Point at) {
    (void)dynamic_cast<MemoryPicture&>(picture).moveMouse(at, held_);
}

void MemoryBackend::releaseMouse(Picture& picture, MouseButton mb, Point at) {
    held_ &= ~static_cast<int>(mb);
    (void)dynamic_cast<MemoryPicture&>(picture).releaseMouse(mb, at);
}

void MemoryBackend::clickLabel(Label& label, MouseButton mb, Point at) {
    (void)dynamic_cast<MemoryLabel&>(label).press(mb, at);
}

void MemoryBackend::pressTray(TrayPress press) {
    switch (press) {
    case TrayPress::Left:
        desk_.tray.pressLeft();
        break;
    case TrayPress::Right:
        desk_.tray.pressRight();
        break;
    case TrayPress::Middle:
    case TrayPress::DoubleClick:
        break; // the in-memory icon knows only the presses the program hears of
    }
}

void MemoryBackend::answerNextBox(MessageAnswer answer, int afterMs) {
    desk_.messages.setNextAnswer(answer);
    boxWaits_.push_back(afterMs);
}

void MemoryBackend::closeNextBox(int afterMs) {
    desk_.messages.setNextClosed();
    boxWaits_.push_back(afterMs);
}

void MemoryBackend::clickInto(TextBox& box) { (void)dynamic_cast<MemoryTextBox&>(box).clickInto(); }

void MemoryBackend::type(TextBox& box, const std::string& text) {
    (void)dynamic_cast<MemoryTextBox&>(box).type(text);
}

void MemoryBackend::replaceText(TextBox& box, const std::string& text) {
    (void)dynamic_cast<MemoryTextBox&>(box).replaceAll(text);
}

void MemoryBackend::click(CommandButton& button) { (void)dynamic_cast<MemoryCommandButton&>(button).click(); }

void MemoryBackend::click(OptionButton& option) { (void)dynamic_cast<MemoryOptionButton&>(option).click(); }

void MemoryBackend::clickLine(ListBox& list, int index) { (void)dynamic_cast<MemoryListBox&>(list).clickLine(index); }

void MemoryBackend::press(Key key) {
    MemoryWindow* active = desk_.windows.activeWindow();
    if (active == nullptr) {
        return;
    }
    auto* list = dynamic_cast<MemoryListBox*>(active->focused());
    switch (key) {
    case Key::Enter:
        (void)active->pressEnter();
        break;
    case Key::Escape:
        (void)active->pressEscape();
        break;
    case Key::Tab:
        active->pressTab();
        break;
    case Key::BackTab:
        active->pressTab(true);
        break;
    case Key::Up:
        if (list != nullptr) {
            (void)list->pressUp();
        }
        break;
    case Key::Down:
        if (list != nullptr) {
            (void)list->pressDown();
        }
        break;
    case Key::Menu:
    case Key::ShiftF10:
        (void)active->pressContextMenuKey();
        break;
    }
}

void MemoryBackend::pressAccessKey(char letter) {
    if (MemoryWindow* active = desk_.windows.activeWindow()) {
        (void)active->pressAccessKey(letter);
    }
}

} // namespace kadrill::contract
