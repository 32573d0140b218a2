#pragma once

#include <string>

namespace kadrill::platform::x11 {

/// The startup-notification message that ends a launcher's feedback for a start:
/// "remove: ID=…", the id's blanks, quotes and backslashes escaped as the protocol asks.
std::string StartupRemoveMessage(const std::string& startupId);

/// Ends the launcher's feedback (a busy pointer, a spinning task-bar entry) for a start
/// that shows no window of its own, because the running Kadrill took it over. Sends the
/// message to the root window of the QGuiApplication's X display; false where the program
/// is not on X11 or the id is empty.
bool EndStartupFeedback(const std::string& startupId);

} // namespace kadrill::platform::x11
