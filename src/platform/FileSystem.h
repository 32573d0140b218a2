#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kadrill::platform {

enum class FileKind {
    Missing,
    Regular,
    Folder,
    /// A pipe, a device, a socket: something no settings file can be read from or saved as.
    Other,
};

/// What is at a path, decided without opening it (a named pipe would block the caller).
struct FileStatus {
    FileKind kind = FileKind::Missing;
    /// This user may read it.
    bool readable = false;
    /// A regular file this user may change. A file nobody may write (mode 0444) is
    /// read-only for every user, also for one whose rights would let it through.
    bool writable = false;
};

struct ReadResult {
    enum class Status { Read, Missing, NotAFile, Unreadable, TooLarge, Failed };
    Status status = Status::Failed;
    /// The whole file, when read.
    std::string bytes;
    /// The technical reason of a failure, for the log.
    std::string reason;
};

struct WriteResult {
    enum class Status {
        Written,
        /// No file may be made in the folder, and there is no writable file to write into.
        FolderNotWritable,
        /// The file had to be rewritten in place, and the file system could not reserve the
        /// space for it first; it was left as it was.
        NoReservation,
        /// The folder of the path does not exist.
        NoFolder,
        DiskFull,
        /// The file at the path is read-only; it was not replaced.
        ReadOnly,
        /// A folder, pipe or device is at the path.
        NotAFile,
        Failed,
    };
    Status status = Status::Failed;
    /// The technical reason of a failure, for the log.
    std::string reason;
    /// Whatever was at the path is still there as it was. False when the failure came after
    /// it had begun to change: it may hold part of the new bytes, or the new file not yet
    /// safely on disk.
    bool untouched = true;
};

/// What the program asks of the file system: the state of a path, and its own files read
/// and written whole.
class FileSystem {
public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem() = default;

    /// What is at `path` after following links; Missing for an empty path.
    virtual FileStatus status(const std::string& path) const = 0;

    /// Whether `path` names an existing regular file this user may read.
    bool isReadableFile(const std::string& path) const {
        const FileStatus s = status(path);
        return s.kind == FileKind::Regular && s.readable;
    }

    /// The whole regular file at `path`, refused when larger than `maxBytes`. Never waits
    /// on a pipe or device.
    virtual ReadResult readFile(const std::string& path, std::size_t maxBytes) const = 0;

    /// Puts `bytes` at `path` so that a failure leaves any file there as it was: written
    /// beside it, synced and renamed over it, the folder synced too. A link is followed,
    /// also to a file not there yet, and stays. A writable file is rewritten in place
    /// instead where the folder lets the user write it but not replace it, where it has
    /// other names (hard links) or where its extended attributes cannot be carried over;
    /// only once the whole new size is reserved, else it is left alone (NoReservation). A
    /// replaced file keeps its owner, group, mode, ACLs and extended attributes as far as
    /// the user may set them; a read-only file is never replaced.
    [[nodiscard]] virtual WriteResult replaceFile(const std::string& path, std::string_view bytes) = 0;

    /// The user's documents folder (where the user keeps files), without a trailing slash.
    virtual std::string documentsFolder() const = 0;
};

} // namespace kadrill::platform
