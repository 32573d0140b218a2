#pragma once

#include <string>

namespace kadrill::mainwin {

/// One command-line argument as a desktop entry's Exec key must hold it for the desktop
/// to hand it over unchanged: bare where nothing in it is special, otherwise in double
/// quotes with ", `, $ and \ escaped; percent signs doubled (a lone % starts a field
/// code); and all of it escaped once more as the entry's string value.
std::string desktopExecArgument(const std::string& argument);

/// The autostart entry that starts the program at login with an alarm settings file: a
/// desktop entry, or on Windows the command line of the Run key.
std::string autostartEntryText(const std::string& programCommand, const std::string& almPath);

} // namespace kadrill::mainwin
