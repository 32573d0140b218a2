#include "PosixFiles.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

WriteResult writeFailure(const char* what, const std::string& path, int error, bool untouched = true) {
    const bool full = error == ENOSPC || error == EDQUOT;
    return {full ? WriteResult::Status::DiskFull : WriteResult::Status::Failed, describe(what, path, error), untouched};
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

/// Writes from the file's start; `offset` tells how many bytes made it, also on failure.
bool writeAll(int fd, std::string_view bytes, off_t& offset) {
    offset = 0;
    while (!bytes.empty()) {
        const ssize_t done = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            if (done == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(done));
        offset += done;
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

// As many links in a row as the kernel follows before it gives up (ELOOP).
constexpr int kMaxLinks = 40;

/// The file a path stands for: links are followed, also to a file that does not exist yet,
/// so saving makes or replaces the file a link points to and the link stays. Empty when
/// the links go round in a circle.
std::optional<std::string> followLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::string target(static_cast<std::size_t>(info.st_size) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
            return path; // changed meanwhile: whatever is there now is what gets checked
        }
        target.resize(static_cast<std::size_t>(length));
        // A relative target counts from the link's own folder, as the kernel reads it.
        path = target.starts_with('/') ? target : folderOf(path) + "/" + target;
    }
    return std::nullopt;
}

/// One extended attribute of the file at `path`, or of `fd` when that is not negative;
/// nullopt when it cannot be read.
std::optional<std::string> attribute(const std::string& path, int fd, const char* name) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const ssize_t size = fd < 0 ? ::getxattr(path.c_str(), name, nullptr, 0) : ::fgetxattr(fd, name, nullptr, 0);
        if (size < 0) {
            return std::nullopt;
        }
        std::string value(static_cast<std::size_t>(size), '\0');
        const ssize_t got = fd < 0 ? ::getxattr(path.c_str(), name, value.data(), value.size())
                                   : ::fgetxattr(fd, name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return value;
        }
        if (errno != ERANGE) { // ERANGE: it grew between the two calls
            return std::nullopt;
        }
    }
    return std::nullopt;
}

/// Gives the new file the old one's extended attributes, its ACLs among them. False when
/// one could not be carried over: the replacement would quietly lose it.
bool copyAttributes(const std::string& from, int to) {
    const ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size <= 0) {
        return size == 0 || errno == ENOTSUP;
    }
    std::string names(static_cast<std::size_t>(size), '\0');
    const ssize_t listed = ::listxattr(from.c_str(), names.data(), names.size());
    if (listed < 0) {
        return false;
    }
    names.resize(static_cast<std::size_t>(listed));
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        const std::optional<std::string> value = attribute(from, -1, name);
        if (!value) {
            return false;
        }
        if (::fsetxattr(to, name, value->data(), value->size(), 0) != 0 && attribute({}, to, name) != value) {
            // A label the folder gave the new file anyway (SELinux) needs no setting.
            return false;
        }
    }
    return true;
}

bool mayWrite(const std::string& path, const struct stat& info) {
    // A file nobody may write was made read-only on purpose; the superuser's right to
    // write it anyway is no reason to replace it.
    return (info.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

/// Rewrites the file itself, where replacing it is not allowed or would lose what other
/// names or attributes hold of it. The whole new size is reserved first, so that a full
/// disk fails before a byte of the old file has changed; where nothing can be reserved the
/// file is left alone.
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
    if (!bytes.empty()) {
        int reserved = 0;
        do {
            reserved = ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size()));
        } while (reserved != 0 && errno == EINTR);
        if (reserved != 0) {
            const int error = errno;
            if (error == ENOSPC || error == EDQUOT) {
                return writeFailure("fallocate", target, error);
            }
            // NFS, many FUSE file systems: a write could fail half-way through the old file.
            return {WriteResult::Status::NoReservation, describe("fallocate", target, error)};
        }
    }
    off_t written = 0;
    if (!writeAll(fd.get(), bytes, written)) {
        return writeFailure("write", target, errno, written == 0);
    }
    // From here on the old contents are gone, whatever fails.
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) {
        return writeFailure("truncate", target, errno, false);
    }
    if (::fsync(fd.get()) != 0) {
        return writeFailure("fsync", target, errno, false);
    }
    if (!fd.close()) {
        return writeFailure("close", target, errno, false);
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
    const std::optional<std::string> followed = followLinks(path);
    if (!followed) {
        return {WriteResult::Status::Failed, describe("follow the links of", path, ELOOP)};
    }
    const std::string& target = *followed;
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
    // A replacement would be a file of this name alone; the other names keep the old one.
    if (hadOld && old.st_nlink > 1) {
        return writeInPlace(target, bytes);
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
        // the user belongs to it. Permissions before the ACLs, which set them again; and
        // after the owner, whose change clears set-id bits.
        if (::fchown(temp.fd().get(), old.st_uid, old.st_gid) != 0) {
            (void)::fchown(temp.fd().get(), static_cast<uid_t>(-1), old.st_gid);
        }
        (void)::fchmod(temp.fd().get(), old.st_mode & 07777);
        if (!copyAttributes(target, temp.fd().get())) {
            return writeInPlace(target, bytes);
        }
    }
    // Everything on disk before the rename, so a crash leaves either the old or the new file.
    off_t written = 0;
    if (!writeAll(temp.fd().get(), bytes, written)) {
        return writeFailure("write", target, errno);
    }
    if (::fsync(temp.fd().get()) != 0) {
        return writeFailure("fsync", target, errno);
    }
    if (!temp.fd().close()) {
        return writeFailure("close", target, errno);
    }
    if (!temp.renameTo(target)) {
        const int error = errno;
        // A sticky folder (the temporary folder, a shared one) lets only the file's owner
        // replace it, while others may still write it.
        if ((error == EPERM || error == EACCES) && hadOld) {
            return writeInPlace(target, bytes);
        }
        return writeFailure("rename onto", target, error);
    }
    // Until the folder is on disk the rename is not: after a crash the name could hold the
    // old file again, or none.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir && ::fsync(dir.get()) != 0 && errno != EINVAL) {
        return writeFailure("fsync the folder", folder, errno, false);
    }
    return {WriteResult::Status::Written, {}};
}

} // namespace kadrill::platform::posix
