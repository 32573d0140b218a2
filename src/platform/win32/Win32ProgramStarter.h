#pragma once

#include "platform/ProgramStarter.h"

namespace kadrill::platform::win32 {

/// Starts a program by its path alone (CreateProcessW with the application name given, so
/// that nothing is searched for), with no arguments, in the program's working folder, and
/// lets it take the foreground. A console program gets a console of its own. Needs
/// nothing; construct it as Win32ProgramStarter programs;
class Win32ProgramStarter final : public ProgramStarter {
public:
    [[nodiscard]] StartResult start(const std::string& path) override;
};

} // namespace kadrill::platform::win32
