#pragma once

#include <string_view>

namespace kadrill::platform::win32 {

/// Where technical failure reasons go on Windows, by the same categories as on Linux
/// ("kadrill.sound", "kadrill.files"...). The user only ever sees the fixed message box.
/// Silent unless KADRILL_LOG names the category or a prefix of it ("kadrill" for all); then
/// to the debugger (OutputDebugString) and to standard error where there is one.
void logInfo(std::string_view category, std::string_view message);

} // namespace kadrill::platform::win32
