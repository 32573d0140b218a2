#include "PosixFiles.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kadrill::platform::posix {

namespace {

/// A file descriptor, closed with its owner.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    void reset(int fd) {
        close();
        fd_ = fd;
    }

    /// Closes now; false when the close reported an error (a write that did not make it).
    bool close() {
        if (fd_ < 0) {
            return true;
        }
        return ::close(std::exchange(fd_, -1)) == 0;
    }

private:
    int fd_;
};

std::string describe(const char* what, const std::string& path, int error) {
    return std::string(what) + " " + path + ": " + std::strerror(error);
}

WriteResult writeFailure(const char* what, const std::string& path, int error) {
    const bool full = error == ENOSPC || error == EDQUOT;
    return {full ? WriteResult::Status::DiskFull : WriteResult::Status::Failed, describe(what, path, error)};
}

/// A new file beside the target, removed again unless it was renamed over the target.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& folder) {
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100 && !fd_; ++attempt) {
            std::string candidate =
                folder + "/.kadrill-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
            // 0666 under the user's umask: the file gets the permissions a new file would.
            const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (fd >= 0) {
                fd_.reset(fd);
                path_ = std::move(candidate);
            } else if (errno != EEXIST) {
                error_ = errno;
                break;
            }
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        fd_.close();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    explicit operator bool() const { return !path_.empty(); }
    /// Why no file could be made.
    int error() const { return error_; }
    FileDescriptor& fd() { return fd_; }

    /// Renames the (closed) file over `target`; from then on it is no longer removed.
    bool renameTo(const std::string& target) {
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            return false;
        }
        path_.clear();
        return true;
    }

private:
    FileDescriptor fd_;
    std::string path_;
    int error_ = EEXIST;
};

bool writeAll(int fd, std::string_view bytes) {
    off_t offset = 0;
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += written;
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// The file a path stands for: a link is followed, so saving replaces the file it points
/// to and the link stays.
std::string resolveLink(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            ::free(resolved);
            return target;
        }
    }
    return path;
}

bool mayWrite(const std::string& path, const struct stat& info) {
    // A file nobody may write was made read-only on purpose; the superuser's right to
    // write it anyway is no reason to replace it.
    return (info.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

/// Rewrites the file itself, for a folder where nothing new may be made. The space is
/// secured first, so that a full disk fails before a byte of the old file has changed.
WriteResult writeInPlace(const std::string& target, std::string_view bytes) {
    FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) {
        const int error = errno;
        const bool denied = error == EACCES || error == EPERM || error == EROFS;
        return {denied ? WriteResult::Status::ReadOnly : WriteResult::Status::Failed, describe("open", target, error)};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {WriteResult::Status::NotAFile, "no longer a regular file: " + target};
    }
    if (!bytes.empty() && ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0) {
        const int error = errno;
        if (error == ENOSPC || error == EDQUOT) {
            return writeFailure("fallocate", target, error);
        }
        // A file system that cannot reserve space is written without: the chance it fails.
    }
    if (!writeAll(fd.get(), bytes)) {
        return writeFailure("write", target, errno);
    }
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) {
        return writeFailure("truncate", target, errno);
    }
    if (::fsync(fd.get()) != 0) {
        return writeFailure("fsync", target, errno);
    }
    if (!fd.close()) {
        return writeFailure("close", target, errno);
    }
    return {WriteResult::Status::Written, {}};
}

} // namespace

FileStatus fileStatus(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return {};
    }
    FileStatus status;
    status.kind = S_ISREG(info.st_mode)   ? FileKind::Regular
                  : S_ISDIR(info.st_mode) ? FileKind::Folder
                                          : FileKind::Other;
    status.readable = ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0;
    status.writable = status.kind == FileKind::Regular && mayWrite(path, info);
    return status;
}

ReadResult readFile(const std::string& path, std::size_t maxBytes) {
    // Non-blocking, so that a named pipe given as the path cannot hang the clock.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        const int error = errno;
        const bool missing = error == ENOENT || error == ENOTDIR || path.empty();
        return {missing                                   ? ReadResult::Status::Missing
                : (error == EACCES || error == EPERM)     ? ReadResult::Status::Unreadable
                                                          : ReadResult::Status::Failed,
                {},
                describe("open", path, error)};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return {ReadResult::Status::Failed, {}, describe("fstat", path, errno)};
    }
    if (!S_ISREG(info.st_mode)) {
        return {ReadResult::Status::NotAFile, {}, "not a regular file: " + path};
    }
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        return {ReadResult::Status::TooLarge, {}, "larger than " + std::to_string(maxBytes) + " bytes: " + path};
    }
    // One byte more than allowed tells a file that grew meanwhile from one that fits.
    std::string bytes(maxBytes + 1, '\0');
    std::size_t size = 0;
    while (size < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + size, bytes.size() - size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return {ReadResult::Status::Failed, {}, describe("read", path, errno)};
        }
        if (got == 0) {
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    if (size > maxBytes) {
        return {ReadResult::Status::TooLarge, {}, "grew while read: " + path};
    }
    bytes.resize(size);
    return {ReadResult::Status::Read, std::move(bytes), {}};
}

WriteResult replaceFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) {
        return {WriteResult::Status::Failed, "no path"};
    }
    const std::string target = resolveLink(path);
    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode)) {
        return {WriteResult::Status::NotAFile, "not a regular file: " + target}; // never replaced by a file
    }
    if (hadOld && !mayWrite(target, old)) {
        return {WriteResult::Status::ReadOnly, "read-only: " + target};
    }
    const std::string folder = folderOf(target);
    struct stat folderInfo {};
    if (::stat(folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) {
        return {WriteResult::Status::NoFolder, "no folder " + folder};
    }
    TemporaryFile temp(folder);
    if (!temp) {
        const int error = temp.error();
        const bool denied = error == EACCES || error == EPERM || error == EROFS;
        if (denied && hadOld) {
            return writeInPlace(target, bytes);
        }
        if (denied) {
            return {WriteResult::Status::FolderNotWritable, describe("create a file in", folder, error)};
        }
        return writeFailure("create a file in", folder, error);
    }
    if (hadOld) {
        // The owner only where this user may give the file away (as root); the group where
        // the user belongs to it. Permissions last: a change of owner clears set-id bits.
        if (::fchown(temp.fd().get(), old.st_uid, old.st_gid) != 0) {
            (void)::fchown(temp.fd().get(), static_cast<uid_t>(-1), old.st_gid);
        }
        (void)::fchmod(temp.fd().get(), old.st_mode & 07777);
    }
    // Everything on disk before the rename, so a crash leaves either the old or the new file.
    if (!writeAll(temp.fd().get(), bytes)) {
        return writeFailure("write", target, errno);
    }
    if (::fsync(temp.fd().get()) != 0) {
        return writeFailure("fsync", target, errno);
    }
    if (!temp.fd().close()) {
        return writeFailure("close", target, errno);
    }
    if (!temp.renameTo(target)) {
        return writeFailure("rename onto", target, errno);
    }
    // Makes the rename itself durable; the file is in place either way.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) {
        ::fsync(dir.get());
    }
    return {WriteResult::Status::Written, {}};
}

} // namespace kadrill::platform::posix
