#include "MemoryServices.h"

#include "MemoryClock.h"

#include <algorithm>
#include <utility>

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

MenuItem& MemoryTrayIcon::offerMenu(Menu& menu, const std::string& caption) {
    offered_ = &menu;
    ownItem_ = std::make_unique<MemoryMenuItem>(caption, MenuItemKind::Check, false);
    return *ownItem_;
}

void MemoryTrayIcon::pressLeft() {
    if (isShown()) {
        activated.raise(TrayActivation::Activated);
    }
}

void MemoryTrayIcon::pressRight() {
    if (isShown()) {
        activated.raise(TrayActivation::ContextRequested);
    }
}

MediaError MemoryMediaControl::open(const std::string& path) {
    close();
    fileName_ = path;
    MediaError error = std::exchange(nextError_, MediaError::None);
    if (error == MediaError::None && path.empty()) {
        error = MediaError::FileNotFound;
    }
    open_ = error == MediaError::None;
    return error;
}

MediaError MemoryMediaControl::play() {
    MediaError error = std::exchange(nextError_, MediaError::None);
    if (error == MediaError::None && !open_) {
        error = MediaError::NotOpen;
    }
    if (error != MediaError::None) {
        close(); // as the real control: a failed play leaves the device free
        return error;
    }
    playing_ = true;
    return MediaError::None;
}

void MemoryMediaControl::close() {
    open_ = false;
    playing_ = false;
}

void MemoryMediaControl::finishPlayback() {
    if (!playing_) {
        return;
    }
    playing_ = false;
    finished.raise();
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
    Start initial;
    if (files_.status(options.initialPath).kind == FileKind::Folder) {
        initial.folder = options.initialPath;
    } else if (!options.initialPath.empty()) {
        const std::size_t slash = options.initialPath.rfind('/');
        initial.folder = slash == std::string::npos ? "." : options.initialPath.substr(0, slash);
        initial.name = options.initialPath.substr(slash == std::string::npos ? 0 : slash + 1);
        if (initial.name.find_first_of("*?") != std::string::npos) {
            initial.name.clear(); // a pattern lists files, it names none
        }
    }
    const auto [memory, first] = remembered_.try_emplace(options.purpose, Start{initial.folder, {}});
    started_.push_back({memory->second.folder, memory->second.name.empty() ? initial.name : memory->second.name});
    if (names_.empty()) {
        return {};
    }
    std::string name = std::move(names_.front());
    names_.pop_front();
    if (!name.empty()) {
        const std::size_t slash = name.rfind('/');
        memory->second = {name.substr(0, slash == std::string::npos ? 0 : slash), name.substr(slash + 1)};
    }
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
    if (!files_.isExecutable(path)) {
        return {StartResult::Status::NotExecutable, 0, "no permission to execute"};
    }
    return {StartResult::Status::Started, nextPid_++, {}};
}

KeySendResult MemoryKeySender::send(const KeyStroke& stroke, std::int64_t targetPid) {
    if (!available_) {
        return {KeySendResult::Status::Unavailable, "no key sending here"};
    }
    if (!targetHasFocus(targetPid)) {
        return {KeySendResult::Status::FocusLost, "the focus is elsewhere"};
    }
    if (failure) {
        return {KeySendResult::Status::Failed, *failure};
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

namespace kadrill::platform::memory {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

FileStatus MemoryFileSystem::status(const std::string& path) const {
    if (path.empty()) {
        return {};
    }
    if (const auto it = entries_.find(path); it != entries_.end()) {
        const Entry& e = it->second;
        return {e.kind, e.readable, e.kind == FileKind::Regular && e.writable};
    }
    // A folder is whatever holds something, besides the folders the test named.
    const std::string inside = path + "/";
    const auto next = entries_.lower_bound(inside);
    if (path == documents_ || readOnlyFolders_.count(path) > 0 ||
        (next != entries_.end() && next->first.starts_with(inside))) {
        return {FileKind::Folder, true, false};
    }
    return {};
}

ReadResult MemoryFileSystem::readFile(const std::string& path, std::size_t maxBytes) const {
    const FileStatus s = status(path);
    if (s.kind == FileKind::Missing) {
        return {ReadResult::Status::Missing, {}, "no such file"};
    }
    if (s.kind != FileKind::Regular) {
        return {ReadResult::Status::NotAFile, {}, "not a regular file"};
    }
    if (!s.readable) {
        return {ReadResult::Status::Unreadable, {}, "permission denied"};
    }
    const std::string& bytes = entries_.at(path).bytes;
    if (bytes.size() > maxBytes) {
        return {ReadResult::Status::TooLarge, {}, "too large"};
    }
    return {ReadResult::Status::Read, bytes, {}};
}

WriteResult MemoryFileSystem::replaceFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) {
        return {WriteResult::Status::Failed, "no path"};
    }
    const FileStatus s = status(path);
    if (s.kind == FileKind::Folder || s.kind == FileKind::Other) {
        return {WriteResult::Status::NotAFile, "not a regular file"};
    }
    const bool hadOld = s.kind == FileKind::Regular;
    if (hadOld && !s.writable) {
        return {WriteResult::Status::ReadOnly, "read-only"};
    }
    const bool inPlace = readOnlyFolders_.count(folderOf(path)) > 0;
    if (inPlace && !hadOld) {
        return {WriteResult::Status::FolderNotWritable, "permission denied"};
    }
    // A new file needs all its bytes while the old one still stands; a file rewritten in
    // place only what it grows by.
    const std::size_t oldSize = hadOld ? entries_.at(path).bytes.size() : 0;
    const std::size_t needed = inPlace ? (bytes.size() > oldSize ? bytes.size() - oldSize : 0) : bytes.size();
    if (free_ && needed > *free_) {
        return {WriteResult::Status::DiskFull, "no space left on device"};
    }
    if (inPlace && !reservable_) {
        return {WriteResult::Status::NoReservation, "operation not supported"};
    }
    Entry& entry = entries_[path];
    if (inPlace && failInPlaceAfter_) {
        entry.bytes.replace(0, std::min(*failInPlaceAfter_, bytes.size()), bytes.substr(0, *failInPlaceAfter_));
        failInPlaceAfter_.reset();
        return {WriteResult::Status::Failed, "input/output error", false};
    }
    if (free_) {
        *free_ = *free_ + oldSize - bytes.size();
    }
    inPlaceWrites_ += inPlace ? 1 : 0;
    entry.bytes = std::string(bytes);
    return {WriteResult::Status::Written, {}};
}

bool MemoryFileSystem::isExecutable(const std::string& path) const {
    const auto it = entries_.find(path);
    return it != entries_.end() && it->second.kind == FileKind::Regular && it->second.executable;
}

std::optional<std::string> MemoryFileSystem::contents(const std::string& path) const {
    const auto it = entries_.find(path);
    if (it == entries_.end() || it->second.kind != FileKind::Regular) {
        return std::nullopt;
    }
    return it->second.bytes;
}

} // namespace kadrill::platform::memory
