#pragma once

#include "platform/FileSystem.h"

namespace kadrill::platform::qt {

/// The real file system; failures are told in the kadrill.files category, quiet unless
/// its info messages are switched on.
class QtFileSystem final : public FileSystem {
public:
    FileStatus status(const std::string& path) const override;
    ReadResult readFile(const std::string& path, std::size_t maxBytes) const override;
    WriteResult replaceFile(const std::string& path, std::string_view bytes) override;
    std::string documentsFolder() const override;
};

} // namespace kadrill::platform::qt
