#pragma once

#include <array>
#include <string>
#include <vector>

namespace kadrill::platform::x11 {

/// A value in a startup-notification message, its blanks, quotes and backslashes escaped
/// as the protocol asks.
std::string startupValue(const std::string& value);

/// A startup-notification message as it travels in client messages: pieces of 20 bytes,
/// the text's terminating NUL included, the last one padded with NULs. The first goes as
/// _NET_STARTUP_INFO_BEGIN, the others as _NET_STARTUP_INFO.
std::vector<std::array<char, 20>> startupMessagePieces(const std::string& message);

/// The startup-notification message that ends a launcher's feedback for a start:
/// "remove: ID=…", the id's blanks, quotes and backslashes escaped as the protocol asks.
std::string startupRemoveMessage(const std::string& startupId);

/// Ends the launcher's feedback (a busy pointer, a spinning task-bar entry) for a start
/// that shows no window of its own, because the running Kadrill took it over. Sends the
/// message to the root window of the QGuiApplication's X display; false where the program
/// is not on X11 or the id is empty.
bool endStartupFeedback(const std::string& startupId);

} // namespace kadrill::platform::x11
