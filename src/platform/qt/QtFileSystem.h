#pragma once

#include "platform/FileSystem.h"

namespace kadrill::platform::qt {

class QtFileSystem final : public FileSystem {
public:
    bool isReadableFile(const std::string& path) const override;
    std::string documentsFolder() const override;
};

} // namespace kadrill::platform::qt
