#include "MemoryServices.h"

namespace kadrill::platform::memory {

bool MemoryTrayIcon::add(const NotifyIconRecord& record) {
    if (added_) {
        return false;
    }
    added_ = true;
    record_ = record;
    return available_;
}

bool MemoryTrayIcon::remove(const NotifyIconRecord& record) {
    if (!added_ || record.id != record_.id) {
        return false;
    }
    added_ = false;
    return true;
}

void MemoryTrayIcon::setAvailable(bool available) {
    if (available != available_) {
        available_ = available;
        availabilityChanged.raise();
    }
}

void MemoryTrayIcon::pressLeft() {
    if (isShown()) {
        leftPressed.raise();
    }
}

void MemoryTrayIcon::pressRight() {
    if (isShown()) {
        rightPressed.raise();
    }
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

MessageAnswer MemoryMessageBoxes::show(const std::string& text, const std::string& title, MessageIcon icon,
                                       MessageButtons buttons) {
    shown_.push_back({text, title, icon, buttons});
    if (whileShown) {
        whileShown(shown_.back());
    }
    if (!answers_.empty()) {
        const MessageAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    switch (buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        return MessageAnswer::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageAnswer::Yes;
    }
    return MessageAnswer::Ok;
}

} // namespace kadrill::platform::memory
