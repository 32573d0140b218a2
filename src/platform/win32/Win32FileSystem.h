#pragma once

#include "platform/FileSystem.h"

namespace kadrill::platform::win32 {

/// The file system through Win32 calls. Paths are UTF-8 and may use '/' or '\' between
/// names. A replaced file keeps its attributes, ACL and other streams (ReplaceFileW); a
/// file with other names (hard links), or one the folder lets the user write but not
/// replace, is rewritten in place once its new size is reserved. Needs nothing; construct
/// it as Win32FileSystem files;
class Win32FileSystem final : public FileSystem {
public:
    FileStatus status(const std::string& path) const override;
    ReadResult readFile(const std::string& path, std::size_t maxBytes) const override;
    [[nodiscard]] WriteResult replaceFile(const std::string& path, std::string_view bytes) override;
    /// The known folder Documents (it may have been moved, to OneDrive for one).
    std::string documentsFolder() const override;
};

} // namespace kadrill::platform::win32
