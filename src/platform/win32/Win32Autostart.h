#pragma once

#include "platform/Autostart.h"

#include <string>

namespace kadrill::platform::win32 {

/// The program's value in the user's Run key (HKEY_CURRENT_USER\Software\Microsoft\Windows
/// \CurrentVersion\Run), which Windows starts at login: the entry's text is the value's
/// command line, stored and read back as it is. A value is replaced in one step, so a
/// failed write leaves the old one.
///
/// Construct as Win32Autostart autostart; or, for tests, with another value name and key
/// under HKEY_CURRENT_USER: Win32Autostart autostart("KadrillTest", "Software\\KadrillTest").
class Win32Autostart final : public Autostart {
public:
    explicit Win32Autostart(std::string valueName = "Kadrill",
                            std::string keyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run");

    std::optional<std::string> entry() const override;
    bool write(const std::string& text) override;
    bool remove() override;
    /// The full path of this program. Windows programs live outside the search path, and
    /// the Run key is read before a user's own changes to it would count.
    std::string programCommand() const override;

private:
    std::wstring valueName_;
    std::wstring keyPath_;
};

} // namespace kadrill::platform::win32
