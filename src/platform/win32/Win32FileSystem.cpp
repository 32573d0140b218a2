#include "Win32FileSystem.h"

#include "Log.h"
#include "Text.h"
#include "Win32Handle.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace kadrill::platform::win32 {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// WriteFile and ReadFile take a DWORD; a settings file never comes near this anyway.
constexpr std::size_t kChunk = 1U << 30U;

std::wstring folderOf(const std::wstring& full) {
    const std::size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos) {
        return L".";
    }
    // "C:\name": the root keeps its backslash, "C:" alone is the drive's working folder.
    if (slash == 2 && full[1] == L':') {
        return full.substr(0, 3);
    }
    return full.substr(0, slash);
}

std::wstring join(const std::wstring& folder, const std::wstring& name) {
    return folder.ends_with(L'\\') ? folder + name : folder + L'\\' + name;
}

std::string describe(const char* what, const std::wstring& path, DWORD error) {
    return std::string(what) + " " + utf8(path) + ": " + errorText(error);
}

bool isDiskFull(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

bool isMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_INVALID_DRIVE || error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME;
}

WriteResult writeFailure(const char* what, const std::wstring& path, DWORD error, bool untouched = true) {
    return {isDiskFull(error) ? WriteResult::Status::DiskFull : WriteResult::Status::Failed,
            describe(what, path, error), untouched};
}

Win32Handle openExisting(const std::wstring& path, DWORD access, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return Win32Handle(::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
}

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()), prefix.data(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

/// Whether the path names a device or a pipe rather than a file: the device namespace
/// (\\.\ or \\?\ with no drive or share after it), or a reserved device name (NUL, CON,
/// COM1...) in any folder and with any extension. Told by the name alone: opening one could
/// connect to a pipe's server or switch the lines of a serial port.
bool namesDevice(const std::wstring& path) {
    if (startsWithNoCase(path, L"\\\\.\\") || startsWithNoCase(path, L"\\\\?\\")) {
        const std::wstring_view rest = std::wstring_view(path).substr(4);
        const bool drive = rest.size() >= 2 && rest[1] == L':';
        return !drive && !startsWithNoCase(rest, L"UNC\\") && !startsWithNoCase(rest, L"Volume{");
    }
    const std::size_t slash = path.find_last_of(L"\\:");
    std::wstring_view name = std::wstring_view(path).substr(slash == std::wstring::npos ? 0 : slash + 1);
    name = name.substr(0, std::min(name.find(L'.'), name.size()));
    while (!name.empty() && name.back() == L' ') {
        name.remove_suffix(1);
    }
    for (const std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (name.size() == device.size() && startsWithNoCase(name, device)) {
            return true;
        }
    }
    return name.size() == 4 && (startsWithNoCase(name, L"COM") || startsWithNoCase(name, L"LPT")) && name[3] >= L'0' &&
           name[3] <= L'9';
}

/// Writes from the handle's position; `written` tells how many bytes made it, also on failure.
bool writeAll(HANDLE file, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const auto chunk = static_cast<DWORD>(std::min(bytes.size() - written, kChunk));
        DWORD done = 0;
        if (!::WriteFile(file, bytes.data() + written, chunk, &done, nullptr)) {
            return false;
        }
        if (done == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        written += done;
    }
    return true;
}

/// A new file beside the target, removed again unless it was moved onto the target.
class TemporaryFile {
public:
    TemporaryFile(const std::wstring& folder, const wchar_t* suffix, bool create) {
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::wstring candidate = join(folder, L".kadrill-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                                      std::to_wstring(++counter) + suffix);
            if (!create) {
                if (::GetFileAttributesW(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) {
                    path_ = std::move(candidate);
                    return;
                }
                continue;
            }
            file_.reset(::CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
            if (file_) {
                path_ = std::move(candidate);
                return;
            }
            error_ = ::GetLastError();
            file_.reset();
            if (error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS) {
                return;
            }
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        file_.reset();
        if (!path_.empty()) {
            ::DeleteFileW(path_.c_str());
        }
    }

    explicit operator bool() const { return !path_.empty(); }
    /// Why no file could be made.
    DWORD error() const { return error_; }
    Win32Handle& file() { return file_; }
    const std::wstring& path() const { return path_; }
    /// The file now has another name, or is to stay: it is not removed.
    void keep() { path_.clear(); }

private:
    Win32Handle file_;
    std::wstring path_;
    DWORD error_ = ERROR_FILE_EXISTS;
};

/// Rewrites the file itself, where replacing it is not allowed or would split it from its
/// other names. A growing file gets its new size reserved first, so that a full disk fails
/// before a byte of the old file has changed; where that cannot be done it is left alone.
WriteResult writeInPlace(const std::wstring& target, std::string_view bytes) {
    Win32Handle file = openExisting(target, GENERIC_WRITE);
    if (!file) {
        const DWORD error = ::GetLastError();
        return {error == ERROR_ACCESS_DENIED ? WriteResult::Status::ReadOnly : WriteResult::Status::Failed,
                describe("open", target, error)};
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        return {WriteResult::Status::NotAFile, "not a file on a disk: " + utf8(target)};
    }
    LARGE_INTEGER oldSize{};
    if (!::GetFileSizeEx(file.get(), &oldSize)) {
        return writeFailure("size of", target, ::GetLastError());
    }
    if (static_cast<std::uint64_t>(oldSize.QuadPart) < bytes.size()) {
        FILE_ALLOCATION_INFO reserve{};
        reserve.AllocationSize.QuadPart = static_cast<LONGLONG>(bytes.size());
        if (!::SetFileInformationByHandle(file.get(), FileAllocationInfo, &reserve, sizeof reserve)) {
            const DWORD error = ::GetLastError();
            if (isDiskFull(error)) {
                return writeFailure("reserve space for", target, error);
            }
            return {WriteResult::Status::NoReservation, describe("reserve space for", target, error)};
        }
    }
    std::size_t written = 0;
    if (!writeAll(file.get(), bytes, written)) {
        return writeFailure("write", target, ::GetLastError(), written == 0);
    }
    // From here on the old contents are gone, whatever fails.
    if (!::SetEndOfFile(file.get())) {
        return writeFailure("truncate", target, ::GetLastError(), false);
    }
    if (!::FlushFileBuffers(file.get())) {
        return writeFailure("flush", target, ::GetLastError(), false);
    }
    if (!file.reset()) {
        return writeFailure("close", target, ::GetLastError(), false);
    }
    return {WriteResult::Status::Written, {}};
}

/// The file a link stands for, so that saving replaces the file and the link stays.
std::wstring followLink(const std::wstring& path) {
    const Win32Handle file = openExisting(path, 0, FILE_FLAG_BACKUP_SEMANTICS);
    if (!file) {
        return path;
    }
    std::wstring target(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleW(file.get(), target.data(), static_cast<DWORD>(target.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return path;
        }
        if (length < target.size()) {
            target.resize(length);
            return target;
        }
        target.resize(length + 1);
    }
    return path;
}

} // namespace

FileStatus Win32FileSystem::status(const std::string& path) const {
    if (path.empty()) {
        return {};
    }
    const std::wstring native = nativePath(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (namesDevice(native)) {
        return {FileKind::Other, false, false};
    }
    if (!::GetFileAttributesExW(native.c_str(), GetFileExInfoStandard, &data)) {
        return {};
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        const Win32Handle folder = openExisting(native, FILE_LIST_DIRECTORY, FILE_FLAG_BACKUP_SEMANTICS);
        return {FileKind::Folder, static_cast<bool>(folder), false};
    }
    FileStatus status{FileKind::Regular, false, false};
    status.readable = static_cast<bool>(openExisting(native, GENERIC_READ));
    // A file marked read-only was made so on purpose, whatever the ACL would allow.
    status.writable = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0 &&
                      static_cast<bool>(openExisting(native, GENERIC_WRITE));
    return status;
}

ReadResult Win32FileSystem::readFile(const std::string& path, std::size_t maxBytes) const {
    if (path.empty()) {
        return {ReadResult::Status::Missing, {}, "no path"};
    }
    const std::wstring native = nativePath(path);
    if (namesDevice(native)) {
        return {ReadResult::Status::NotAFile, {}, "a device: " + path};
    }
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {ReadResult::Status::NotAFile, {}, "a folder: " + path};
    }
    const Win32Handle file = openExisting(native, GENERIC_READ);
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_PIPE_BUSY) {
            return {ReadResult::Status::NotAFile, {}, describe("open", native, error)};
        }
        const bool denied = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        return {isMissing(error) ? ReadResult::Status::Missing
                : denied         ? ReadResult::Status::Unreadable
                                 : ReadResult::Status::Failed,
                {},
                describe("open", native, error)};
    }
    // A pipe or device could keep a read waiting for ever.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        return {ReadResult::Status::NotAFile, {}, "not a file on a disk: " + path};
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        return {ReadResult::Status::Failed, {}, describe("size of", native, ::GetLastError())};
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
        return {ReadResult::Status::TooLarge, {}, "larger than " + std::to_string(maxBytes) + " bytes: " + path};
    }
    // One byte more than allowed tells a file that grew meanwhile from one that fits.
    std::string bytes(maxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const auto chunk = static_cast<DWORD>(std::min(bytes.size() - got, kChunk));
        DWORD done = 0;
        if (!::ReadFile(file.get(), bytes.data() + got, chunk, &done, nullptr)) {
            return {ReadResult::Status::Failed, {}, describe("read", native, ::GetLastError())};
        }
        if (done == 0) {
            break;
        }
        got += done;
    }
    if (got > maxBytes) {
        return {ReadResult::Status::TooLarge, {}, "grew while read: " + path};
    }
    bytes.resize(got);
    return {ReadResult::Status::Read, std::move(bytes), {}};
}

WriteResult Win32FileSystem::replaceFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) {
        return {WriteResult::Status::Failed, "no path"};
    }
    if (namesDevice(nativePath(path))) {
        return {WriteResult::Status::NotAFile, "a device: " + path}; // never replaced by a file
    }
    std::wstring target = fullPath(nativePath(path));
    DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        target = followLink(target);
        attributes = ::GetFileAttributesW(target.c_str());
    }
    const bool hadOld = attributes != INVALID_FILE_ATTRIBUTES;
    if (hadOld && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {WriteResult::Status::NotAFile, "not a file: " + utf8(target)}; // never replaced by a file
    }
    if (hadOld) {
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return {WriteResult::Status::ReadOnly, "read-only: " + utf8(target)};
        }
        const Win32Handle old = openExisting(target, GENERIC_WRITE);
        if (!old) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_ACCESS_DENIED) {
                return {WriteResult::Status::ReadOnly, describe("open for writing", target, error)};
            }
            return writeFailure("open for writing", target, error);
        }
        // A replacement would be a file of this name alone; the other names keep the old one.
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileInformationByHandle(old.get(), &info) && info.nNumberOfLinks > 1) {
            return writeInPlace(target, bytes);
        }
    }
    const std::wstring folder = folderOf(target);
    const DWORD folderAttributes = ::GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || (folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return {WriteResult::Status::NoFolder, "no folder " + utf8(folder)};
    }
    TemporaryFile temp(folder, L".tmp", true);
    if (!temp) {
        const DWORD error = temp.error();
        if (error == ERROR_ACCESS_DENIED && hadOld) {
            return writeInPlace(target, bytes);
        }
        if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) {
            return {WriteResult::Status::FolderNotWritable, describe("create a file in", folder, error)};
        }
        return writeFailure("create a file in", folder, error);
    }
    // Everything on disk before the swap, so a crash leaves either the old or the new file.
    std::size_t written = 0;
    if (!writeAll(temp.file().get(), bytes, written)) {
        return writeFailure("write", temp.path(), ::GetLastError());
    }
    if (!::FlushFileBuffers(temp.file().get())) {
        return writeFailure("flush", temp.path(), ::GetLastError());
    }
    if (!temp.file().reset()) {
        return writeFailure("close", temp.path(), ::GetLastError());
    }
    if (!hadOld) {
        if (!::MoveFileExW(temp.path().c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
            return writeFailure("rename onto", target, ::GetLastError());
        }
        temp.keep();
        return {WriteResult::Status::Written, {}};
    }
    // With a backup name a failed swap leaves both files under their own names, or the old
    // one under the backup name, from where it goes back.
    TemporaryFile backup(folder, L".bak", false);
    if (!::ReplaceFileW(target.c_str(), temp.path().c_str(), backup ? backup.path().c_str() : nullptr, 0, nullptr,
                        nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            if (::MoveFileExW(backup.path().c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
                return writeFailure("replace", target, error);
            }
            const std::string kept = utf8(backup.path());
            backup.keep();
            return {WriteResult::Status::Failed, describe("replace", target, error) + "; the old file is " + kept,
                    false};
        }
        // The folder lets the user write the file but not remove it, or another program
        // holds it open without letting it be renamed.
        if (error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED) {
            logInfo("kadrill.files", describe("replace", target, error) + "; rewriting it in place");
            return writeInPlace(target, bytes);
        }
        return writeFailure("replace", target, error);
    }
    temp.keep();
    if (backup && !::DeleteFileW(backup.path().c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        logInfo("kadrill.files", describe("remove the old file", backup.path(), ::GetLastError()));
    }
    backup.keep();
    return {WriteResult::Status::Written, {}};
}

std::string Win32FileSystem::documentsFolder() const {
    wchar_t* folder = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DEFAULT, nullptr, &folder);
    std::wstring path = SUCCEEDED(result) && folder != nullptr ? std::wstring(folder) : std::wstring();
    ::CoTaskMemFree(folder);
    if (path.empty()) {
        logInfo("kadrill.files", "no documents folder: " + errorText(static_cast<unsigned long>(result)));
        // The profile folder, where Documents normally lies.
        const DWORD size = ::GetEnvironmentVariableW(L"USERPROFILE", nullptr, 0);
        path.resize(size);
        path.resize(size > 0 ? ::GetEnvironmentVariableW(L"USERPROFILE", path.data(), size) : 0);
    }
    while (path.size() > 3 && path.ends_with(L'\\')) {
        path.pop_back();
    }
    return utf8(path);
}

} // namespace kadrill::platform::win32
