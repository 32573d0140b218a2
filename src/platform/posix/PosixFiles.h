#pragma once

// The file system's part of the real desktop, on plain POSIX calls (and Linux's
// fallocate). The Qt backend's FileSystem forwards here.

#include "platform/FileSystem.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kadrill::platform::posix {

FileStatus fileStatus(const std::string& path);

ReadResult readFile(const std::string& path, std::size_t maxBytes);

WriteResult replaceFile(const std::string& path, std::string_view bytes);

} // namespace kadrill::platform::posix
