#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kadrill::platform::win32 {

/// The XPM text of the picture of that name (its file name in assets/ without ".xpm"),
/// compiled into the program; null for an unknown name.
const char* const* assetXpm(std::string_view name);

/// Every picture's name, for the icons drawn in several sizes ("kadrill-16", "kadrill-32").
std::vector<std::string_view> assetNames();

} // namespace kadrill::platform::win32
