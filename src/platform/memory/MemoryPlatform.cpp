#include "MemoryPlatform.h"

#include "platform/TimeText.h"

#include <algorithm>
#include <limits>

namespace kadrill::platform::memory {

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

bool MemoryPictureButton::hasFocus() const { return window_.focused() == this; }

void MemoryPictureButton::click() {
    if (visible_) {
        setFocus();
        clicked.raise();
    }
}

MemoryTimer::MemoryTimer(MemoryEventLoop& loop, const TimerProperties& props) : loop_(loop), props_(props) {
    nextDue_ = loop_.now() + props_.interval;
}

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

void MemoryMenuItem::choose() {
    if (enabled_ && !separator_) {
        chosen.raise();
    }
}

MenuItem& MemoryMenu::addItem(const std::string& caption, MenuItemKind kind) {
    items_.push_back(std::make_unique<MemoryMenuItem>(caption, kind, false));
    return *items_.back();
}

MenuItem& MemoryMenu::addSeparator() {
    items_.push_back(std::make_unique<MemoryMenuItem>("-", MenuItemKind::Command, true));
    return *items_.back();
}

MemoryWindow::~MemoryWindow() {
    for (auto& timer : timers_) {
        loop_.remove(timer.get());
    }
}

LineShape& MemoryWindow::addLine(const LineProperties& props) {
    lines_.push_back(std::make_unique<MemoryLine>(props));
    return *lines_.back();
}

Label& MemoryWindow::addLabel(const LabelProperties& props) {
    labels_.push_back(std::make_unique<MemoryLabel>(props));
    return *labels_.back();
}

PictureButton& MemoryWindow::addPictureButton(const PictureButtonProperties& props) {
    buttons_.push_back(std::make_unique<MemoryPictureButton>(*this, props));
    return *buttons_.back();
}

Timer& MemoryWindow::addTimer(const TimerProperties& props) {
    timers_.push_back(std::make_unique<MemoryTimer>(loop_, props));
    loop_.add(timers_.back().get());
    return *timers_.back();
}

Menu& MemoryWindow::addMenu(const std::string& caption) {
    menus_.push_back(std::make_unique<MemoryMenu>(caption));
    return *menus_.back();
}

std::string FakeClock::timeText() const { return timeTextOfDayMs(wallMs_); }

void FakeClock::setTimeOfDay(int hour, int minute, int second, int millisecond) {
    constexpr std::int64_t kDay = 24LL * 3600 * 1000;
    const std::int64_t day = wallMs_ >= 0 ? wallMs_ / kDay : (wallMs_ - kDay + 1) / kDay;
    wallMs_ = day * kDay + ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
}

void MemoryEventLoop::advance(std::int64_t milliseconds) {
    // A handler may advance the loop itself, as a message box lets ticks run while it
    // waits; afterwards this call goes on from wherever that left the time.
    const std::int64_t target = now_ + milliseconds;
    for (;;) {
        MemoryTimer* next = nullptr;
        for (MemoryTimer* t : timers_) {
            if (t->isEnabled() && t->interval() > 0 && t->nextDue() <= target &&
                (next == nullptr || t->nextDue() < next->nextDue())) {
                next = t;
            }
        }
        if (next == nullptr) {
            break;
        }
        clock_.advance(next->nextDue() - now_);
        now_ = next->nextDue();
        next->setNextDue(now_ + next->interval());
        next->tick.raise();
    }
    if (now_ < target) {
        clock_.advance(target - now_);
        now_ = target;
    }
}

void MemoryEventLoop::remove(MemoryTimer* timer) { std::erase(timers_, timer); }

std::unique_ptr<Window> MemoryWindowSystem::createWindow(const WindowProperties& props) {
    return std::make_unique<MemoryWindow>(loop_, props);
}

bool MemoryTrayIcon::add(const NotifyIconRecord& record) {
    if (!available_ || shown_) {
        return false;
    }
    shown_ = true;
    record_ = record;
    return true;
}

bool MemoryTrayIcon::remove(const NotifyIconRecord& record) {
    if (!shown_ || record.id != record_.id) {
        return false;
    }
    shown_ = false;
    return true;
}

void MemoryMediaControl::sendCommand(std::string_view command) {
    commands_.emplace_back(command);
    error_ = 0;
    if (command == "Open") {
        open_ = nextError_ == 0 && !fileName_.empty();
        error_ = open_ ? std::int16_t{0} : (nextError_ != 0 ? nextError_ : std::int16_t{1});
        nextError_ = 0;
    } else if (command == "play") {
        playing_ = open_ && nextError_ == 0;
        error_ = playing_ ? std::int16_t{0} : (nextError_ != 0 ? nextError_ : std::int16_t{1});
        nextError_ = 0;
    } else if (command == "Close") {
        open_ = false;
        playing_ = false;
    } else {
        error_ = 1;
    }
}

void MemoryMediaControl::finishPlayback() {
    if (!playing_) {
        return;
    }
    playing_ = false;
    if (notify_) {
        done.raise(1);
    }
}

} // namespace kadrill::platform::memory
