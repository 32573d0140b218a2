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
    // Taken before the box waits: a box shown meanwhile has an answer of its own.
    std::optional<MessageAnswer> scripted;
    bool closedByUser = false;
    if (!answers_.empty()) {
        scripted = answers_.front();
        closedByUser = !scripted.has_value();
        answers_.pop_front();
    }
    if (whileShown) {
        whileShown(shown_.back());
    }
    if (scripted) {
        return *scripted;
    }
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::OkCancel:
        return closedByUser ? MessageAnswer::Cancel : MessageAnswer::Ok;
    case MessageButtons::YesNo:
        return closedByUser ? MessageAnswer::No : MessageAnswer::Yes;
    case MessageButtons::YesNoCancel:
        return closedByUser ? MessageAnswer::Cancel : MessageAnswer::Yes;
    }
    return MessageAnswer::Ok;
}

} // namespace kadrill::platform::memory
