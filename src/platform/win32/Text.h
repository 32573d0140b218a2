#pragma once

#include <string>
#include <string_view>

namespace kadrill::platform::win32 {

/// The program's UTF-8 as Windows' UTF-16 and back. Invalid sequences become U+FFFD
/// rather than failing: a caption or a path is shown, or fails later with its own reason.
std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view wide);

/// A path as Windows takes it: wide, with backslashes (the program may write slashes).
std::wstring nativePath(std::string_view path);
/// The path from the working folder, also for "C:name" (relative to the drive's own working
/// folder), so that the folder of a file is never guessed; unchanged where that fails.
std::wstring fullPath(const std::wstring& path);

/// The system's text for an error code (GetLastError()), in the user's language, for the log.
std::string errorText(unsigned long code);

} // namespace kadrill::platform::win32
