#pragma once

#include "platform/KeySender.h"

#include <memory>
#include <optional>
#include <string>

namespace kadrill::platform::x11 {

/// Types keys into the focused window through the XTest extension, on a connection of its
/// own to the X display, opened when first needed: most runs never type a key.
///
/// Each stroke is planned on the keyboard mapping of that moment: Shift is added or left
/// out as the layout and Caps Lock require, and a character on no key is typed on an unused
/// keycode that carries it only for that key. While the user holds a modifier down the
/// stroke waits for its release, for a bounded time, and then fails rather than type a
/// chord nobody asked for.
///
/// The owner of a window is the process the X server recorded for its client (X-Resource
/// 1.2); a server without that extension makes targetHasFocus() false. The focus counts as
/// the target's when every window a key would pass belongs to it (see keyPath), and it is
/// looked at last with the server grabbed, which is held until the key's presses are in.
class XTestKeySender final : public KeySender {
public:
    /// displayName null means the display named by the DISPLAY environment variable.
    explicit XTestKeySender(const char* displayName = nullptr);
    ~XTestKeySender() override;

    bool isAvailable() const override;
    bool targetHasFocus(std::int64_t pid) const override;
    /// A client window the window manager lists (_NET_CLIENT_LIST), or without one a mapped
    /// top-level window, of the process or one it started.
    bool targetHasWindow(std::int64_t pid) const override;
    [[nodiscard]] KeySendResult send(const KeyStroke& stroke, std::int64_t targetPid) override;

    struct Connection;

private:
    /// The connection, opened at the first call; null where there is no X display with XTest.
    Connection* connection() const;
    /// targetHasFocus on an open connection, inside the caller's ErrorTrap.
    bool focusBelongsTo(std::int64_t pid) const;

    std::optional<std::string> displayName_; // as DISPLAY named it at construction
    mutable bool tried_ = false;
    mutable std::unique_ptr<Connection> connection_;
};

} // namespace kadrill::platform::x11
