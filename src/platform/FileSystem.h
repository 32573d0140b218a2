#pragma once

#include <string>

namespace kadrill::platform {

/// What the program asks of the file system beyond reading and writing its own files.
class FileSystem {
public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem() = default;

    /// Whether `path` names an existing regular file this user may read. Decided without
    /// opening it, so a folder is false and a named pipe can never block the caller.
    virtual bool isReadableFile(const std::string& path) const = 0;

    /// The user's documents folder (where the user keeps files), without a trailing slash.
    virtual std::string documentsFolder() const = 0;
};

} // namespace kadrill::platform
