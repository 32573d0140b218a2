#include "MemoryServices.h"

#include "MemoryClock.h"

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

bool MemoryTrayIcon::showMessage(const std::string& title, const std::string& text, MessageIcon icon) {
    if (!isShown()) {
        return false;
    }
    messages_.push_back({title, text, icon});
    return true;
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

void MemoryApplication::processEvents() {
    ++processed_;
    loop_.advance(0);
}

void MemoryApplication::waitForEvents(int milliseconds) { loop_.advance(milliseconds); }

void MemoryApplication::post(std::function<void()> function) { loop_.post(std::move(function)); }

std::string MemoryFileDialogs::answer(const FileDialogOptions& options) {
    shown_.push_back(options);
    if (names_.empty()) {
        return {};
    }
    std::string name = std::move(names_.front());
    names_.pop_front();
    return name;
}

StartResult MemoryProgramStarter::start(const std::string& path) {
    started_.push_back(path);
    if (!results_.empty()) {
        StartResult r = std::move(results_.front());
        results_.pop_front();
        return r;
    }
    if (!files_.isReadableFile(path)) {
        return {StartResult::Status::NotFound, 0, "no such file"};
    }
    return {StartResult::Status::Started, nextPid_++, {}};
}

KeySendResult MemoryKeySender::send(const KeyStroke& stroke) {
    if (!available_) {
        return {KeySendResult::Status::Unavailable, "no key sending here"};
    }
    typed_ += describe(stroke);
    ++count_;
    loop_.advance(keyMs_);
    if (afterKey) {
        afterKey(stroke);
    }
    return {};
}

} // namespace kadrill::platform::memory
