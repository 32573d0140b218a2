#pragma once

#include "platform/Application.h"
#include "platform/Autostart.h"
#include "platform/FileDialogs.h"
#include "platform/FileSystem.h"
#include "platform/Help.h"
#include "platform/KeySender.h"
#include "platform/MediaControl.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramStarter.h"
#include "platform/TrayIcon.h"

#include "MemoryControls.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kadrill::platform::memory {

class MemoryTrayIcon final : public TrayIcon {
public:
    bool add(const NotifyIconRecord& record) override;
    bool remove(const NotifyIconRecord& record) override;
    bool isAvailable() const override { return available_; }
    bool showMessage(const std::string& title, const std::string& text, MessageIcon icon) override;
    MenuItem& offerMenu(Menu& menu, const std::string& caption) override;

    /// The menu offered at the icon and the icon's own item in it; null before offerMenu.
    const Menu* offeredMenu() const { return offered_; }
    MemoryMenuItem* ownItem() const { return ownItem_.get(); }

    struct Message {
        std::string title;
        std::string text;
        MessageIcon icon;
    };
    /// Messages shown at the icon, in order.
    const std::vector<Message>& messages() const { return messages_; }

    /// A notification area appears or goes away; raises availabilityChanged on a change.
    void setAvailable(bool available);
    /// Added and not removed; on screen only while available too.
    bool isAdded() const { return added_; }
    bool isShown() const { return added_ && available_; }
    const NotifyIconRecord& record() const { return record_; }
    /// Presses on the icon as a user would (the left button activates, the right asks for
    /// the context menu); nothing happens while it is not on screen.
    void pressLeft();
    void pressRight();

private:
    bool available_ = true;
    bool added_ = false;
    NotifyIconRecord record_;
    const Menu* offered_ = nullptr;
    std::unique_ptr<MemoryMenuItem> ownItem_;
    std::vector<Message> messages_;
};

class MemoryMediaControl final : public MediaControl {
public:
    MediaError open(const std::string& path) override;
    MediaError play() override;
    void close() override;

    /// The file opened last.
    const std::string& fileName() const { return fileName_; }
    bool isOpen() const { return open_; }
    bool isPlaying() const { return playing_; }
    /// Makes the next open or play fail with the error.
    void failNextWith(MediaError error) { nextError_ = error; }
    /// Ends the current playback as the sound's end would.
    void finishPlayback();

private:
    std::string fileName_;
    bool open_ = false;
    bool playing_ = false;
    MediaError nextError_ = MediaError::None;
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

class MemoryEventLoop;

class MemoryApplication final : public Application {
public:
    explicit MemoryApplication(MemoryEventLoop& loop) : loop_(loop) {}
    void quit() override { ++quits_; }
    /// Runs the timers due at the present fake time.
    void processEvents() override;
    /// Lets the fake time pass, ticking timers meanwhile.
    void waitForEvents(int milliseconds) override;
    void post(std::function<void()> function) override;
    int quitCount() const { return quits_; }
    int processEventsCount() const { return processed_; }

private:
    MemoryEventLoop& loop_;
    int quits_ = 0;
    int processed_ = 0;
};

/// Files by their paths, with what the real one reports: kinds, rights, a folder where
/// nothing new may be made, and a disk that fills up. Every folder exists.
class MemoryFileSystem final : public FileSystem {
public:
    struct Entry {
        FileKind kind = FileKind::Regular;
        std::string bytes;
        bool readable = true;
        bool writable = true;
        bool executable = false;
    };

    FileStatus status(const std::string& path) const override;
    ReadResult readFile(const std::string& path, std::size_t maxBytes) const override;
    WriteResult replaceFile(const std::string& path, std::string_view bytes) override;
    std::string documentsFolder() const override { return documents_; }

    void addReadableFile(const std::string& path) { entries_.try_emplace(path); }
    /// A readable file the user may also execute.
    void addProgramFile(const std::string& path) { entries_[path] = {FileKind::Regular, {}, true, true, true}; }
    bool isExecutable(const std::string& path) const;
    void addFile(const std::string& path, Entry entry) { entries_[path] = std::move(entry); }
    /// A pipe or a device.
    void addSpecialFile(const std::string& path) { entries_[path] = {FileKind::Other, {}, true, false, false}; }
    /// The file's bytes; nullopt where there is no regular file.
    std::optional<std::string> contents(const std::string& path) const;
    /// No new file may be made in `folder`; files already there may still be written.
    void setFolderReadOnly(const std::string& folder) { readOnlyFolders_.insert(folder); }
    /// Bytes the disk can still take; unlimited until set.
    void setFreeSpace(std::size_t bytes) { free_ = bytes; }
    void setDocumentsFolder(std::string folder) { documents_ = std::move(folder); }
    /// How many files were rewritten in place instead of replaced.
    int inPlaceWrites() const { return inPlaceWrites_; }
    /// No space can be reserved (NFS): a file that must be rewritten in place is refused.
    void setReservable(bool reservable) { reservable_ = reservable; }
    /// The next rewrite in place fails after this many bytes, as an I/O error would.
    void failInPlaceAfter(std::size_t bytes) { failInPlaceAfter_ = bytes; }

private:
    std::map<std::string, Entry> entries_;
    std::set<std::string> readOnlyFolders_;
    std::optional<std::size_t> free_;
    std::string documents_ = "/home/user/Documents";
    int inPlaceWrites_ = 0;
    bool reservable_ = true;
    std::optional<std::size_t> failInPlaceAfter_;
};

/// The autostart entry kept in memory; a write can be made to fail, as on a folder the
/// user may not write in.
class MemoryAutostart final : public Autostart {
public:
    std::optional<std::string> entry() const override { return entry_; }
    bool write(const std::string& text) override {
        if (failWrites) {
            return false;
        }
        entry_ = text;
        return true;
    }
    bool remove() override {
        entry_.reset();
        return true;
    }
    std::string programCommand() const override { return "kadrill"; }

    bool failWrites = false;

private:
    std::optional<std::string> entry_;
};

/// File dialogs answered from a script: each call takes the next name (empty = cancelled).
/// Each purpose starts where its last dialog was left, as on the desktop.
class MemoryFileDialogs final : public FileDialogs {
public:
    /// Where a dialog started: its folder, and the file name filled in.
    struct Start {
        std::string folder;
        std::string name;
        friend bool operator==(const Start&, const Start&) = default;
    };

    explicit MemoryFileDialogs(const MemoryFileSystem& files) : files_(files) {}

    std::string saveFileName(const FileDialogOptions& options) override { return answer(options); }
    std::string openFileName(const FileDialogOptions& options) override { return answer(options); }

    void setNextFileName(std::string name) { names_.push_back(std::move(name)); }
    const std::vector<FileDialogOptions>& shown() const { return shown_; }
    const std::vector<Start>& started() const { return started_; }

private:
    std::string answer(const FileDialogOptions& options);

    const MemoryFileSystem& files_;
    std::deque<std::string> names_;
    std::vector<FileDialogOptions> shown_;
    std::vector<Start> started_;
    std::map<std::string, Start> remembered_;
};

/// Programs "started" by path: each start takes the next scripted result, else succeeds
/// with a new process id where the file system holds a program file at the path, cannot
/// run a mere readable file, and finds nothing elsewhere.
class MemoryProgramStarter final : public ProgramStarter {
public:
    explicit MemoryProgramStarter(const MemoryFileSystem& files) : files_(files) {}
    StartResult start(const std::string& path) override;

    void setNextResult(StartResult result) { results_.push_back(std::move(result)); }
    const std::vector<std::string>& started() const { return started_; }
    std::int64_t lastPid() const { return nextPid_ - 1; }

private:
    const MemoryFileSystem& files_;
    std::deque<StartResult> results_;
    std::vector<std::string> started_;
    std::int64_t nextPid_ = 1000;
};

/// Records what it types as readable text ("a", "[Enter]", "[Shift+F1]"), each key taking a
/// little fake time as a real one does.
class MemoryKeySender final : public KeySender {
public:
    explicit MemoryKeySender(MemoryEventLoop& loop) : loop_(loop) {}

    bool isAvailable() const override { return available_; }
    bool targetHasFocus(std::int64_t pid) const override { return hasFocus ? hasFocus(pid) : true; }
    bool targetHasWindow(std::int64_t pid) const override { return hasWindow && hasWindow(pid); }
    KeySendResult send(const KeyStroke& stroke, std::int64_t targetPid) override;

    void setAvailable(bool available) { available_ = available; }
    /// Which processes own the focused window; every one when unset. Asked again by every
    /// send, as the real sender looks right before each press.
    std::function<bool(std::int64_t pid)> hasFocus;
    /// Which processes have a window on the screen; none when unset.
    std::function<bool(std::int64_t pid)> hasWindow;
    /// While set, every key fails with this reason, as a refused X request would.
    std::optional<std::string> failure;
    /// Runs after each key is typed, as the typed key's effects would.
    std::function<void(const KeyStroke&)> afterKey;
    /// Milliseconds each key takes (default 5).
    void setKeyDuration(int milliseconds) { keyMs_ = milliseconds; }

    /// Everything typed so far.
    const std::string& typed() const { return typed_; }
    int keysTyped() const { return count_; }

private:
    MemoryEventLoop& loop_;
    bool available_ = true;
    int keyMs_ = 5;
    std::string typed_;
    int count_ = 0;
};

} // namespace kadrill::platform::memory
