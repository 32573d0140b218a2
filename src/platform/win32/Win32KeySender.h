#pragma once

#include "platform/KeySender.h"

namespace kadrill::platform::win32 {

/// Types keys with SendInput into the foreground window, only while that window and the
/// control with its focus belong to the target process or one it started (the process
/// tree from a Toolhelp snapshot), looked at once more right before each stroke. A
/// character alone is typed as itself (KEYEVENTF_UNICODE), whatever the keyboard layout; a
/// modified one on the key the foreground's layout has for it (VkKeyScanExW). Modifiers go
/// down around the key and always up again, and while the user holds one the stroke waits.
/// After each stroke the target's window has taken its messages. Needs nothing; construct
/// it as Win32KeySender keys;
class Win32KeySender final : public KeySender {
public:
    bool isAvailable() const override { return true; }
    bool targetHasFocus(std::int64_t pid) const override;
    /// A visible top-level window of the process or one it started.
    bool targetHasWindow(std::int64_t pid) const override;
    [[nodiscard]] KeySendResult send(const KeyStroke& stroke, std::int64_t targetPid) override;
};

} // namespace kadrill::platform::win32
