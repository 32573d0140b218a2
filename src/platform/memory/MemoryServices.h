#pragma once

#include "platform/Application.h"
#include "platform/Help.h"
#include "platform/MediaControl.h"
#include "platform/MessageBoxes.h"
#include "platform/TrayIcon.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kadrill::platform::memory {

class MemoryTrayIcon final : public TrayIcon {
public:
    bool add(const NotifyIconRecord& record) override;
    bool remove(const NotifyIconRecord& record) override;
    bool isAvailable() const override { return available_; }

    /// A notification area appears or goes away; raises availabilityChanged on a change.
    void setAvailable(bool available);
    /// Added and not removed; on screen only while available too.
    bool isAdded() const { return added_; }
    bool isShown() const { return added_ && available_; }
    const NotifyIconRecord& record() const { return record_; }
    /// Presses on the icon as a user would; nothing happens while it is not on screen.
    void pressLeft();
    void pressRight();

private:
    bool available_ = true;
    bool added_ = false;
    NotifyIconRecord record_;
};

class MemoryMediaControl final : public MediaControl {
public:
    void setFileName(const std::string& path) override { fileName_ = path; }
    std::string fileName() const override { return fileName_; }
    void sendCommand(std::string_view command) override;
    void setNotify(bool notify) override { notify_ = notify; }
    bool notify() const override { return notify_; }
    std::int16_t error() const override { return error_; }

    /// Every command sent, in order.
    const std::vector<std::string>& commands() const { return commands_; }
    bool isPlaying() const { return playing_; }
    /// Makes the next "Open" or "play" fail with the code.
    void failNextWith(std::int16_t code) { nextError_ = code; }
    /// Ends the current playback as the sound's end would.
    void finishPlayback();

private:
    std::string fileName_;
    bool notify_ = false;
    bool open_ = false;
    bool playing_ = false;
    std::int16_t error_ = 0;
    std::int16_t nextError_ = 0;
    std::vector<std::string> commands_;
};

/// Message boxes answered from a script. While one "waits", the test's whileShown runs,
/// as ticks and clicks run inside a real one.
class MemoryMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        std::string text;
        std::string title;
        MessageIcon icon;
        MessageButtons buttons;
    };

    MessageAnswer show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override;

    /// The answer of the next box; without one a box answers with its first button.
    void setNextAnswer(MessageAnswer answer) { answers_.emplace_back(answer); }
    /// The user closes the next box by its close box instead of pressing a button.
    void setNextClosed() { answers_.emplace_back(std::nullopt); }
    std::function<void(const Shown&)> whileShown;
    const std::vector<Shown>& shown() const { return shown_; }

private:
    std::deque<std::optional<MessageAnswer>> answers_;
    std::vector<Shown> shown_;
};

class MemoryHelp final : public Help {
public:
    HelpResult showKeywordSearch() override {
        ++requests_;
        return next_;
    }
    /// What the following requests give.
    void setResult(HelpResult result) { next_ = std::move(result); }
    int requests() const { return requests_; }

private:
    HelpResult next_;
    int requests_ = 0;
};

class MemoryApplication final : public Application {
public:
    void quit() override { ++quits_; }
    int quitCount() const { return quits_; }

private:
    int quits_ = 0;
};

} // namespace kadrill::platform::memory
