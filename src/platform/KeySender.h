#pragma once

#include "KeyStroke.h"

#include <cstdint>
#include <string>

namespace kadrill::platform {

/// What became of a key to send.
struct KeySendResult {
    enum class Status {
        Sent,        ///< typed and processed by the display server
        Unavailable, ///< this desktop lets no program type into another
        FocusLost,   ///< nothing typed: the target's window no longer had the focus
        Failed,      ///< the key could not be typed; error says why (for logs, not for the user)
    };
    Status status = Status::Sent;
    std::string error;
};

/// Types keys into the window that has the keyboard focus, as a person at the keyboard
/// would.
class KeySender {
public:
    KeySender() = default;
    KeySender(const KeySender&) = delete;
    KeySender& operator=(const KeySender&) = delete;
    virtual ~KeySender() = default;

    /// Whether keys can be sent on this desktop at all.
    virtual bool isAvailable() const = 0;

    /// Whether the window with the keyboard focus belongs to the process `pid` or to one of
    /// its descendants, and no other client holds a keyboard grab (a screen locker, a menu
    /// of another program). Keys are sent only while this holds.
    virtual bool targetHasFocus(std::int64_t pid) const = 0;

    /// Whether the process `pid`, or one it started, has a window on the screen, focused or
    /// not: where the focus never comes, the user learns which of the two went wrong.
    virtual bool targetHasWindow(std::int64_t pid) const = 0;

    /// Types one stroke into the focused window: modifiers pressed around the key and
    /// always released again. Returns when the display server has processed it.
    ///
    /// The focus is looked at once more right before the press, after any wait inside
    /// (a modifier the user holds, a keyboard mapping to change): a user may switch windows
    /// meanwhile, and the stroke then comes back FocusLost, untyped. `targetPid` as for
    /// targetHasFocus.
    [[nodiscard]] virtual KeySendResult send(const KeyStroke& stroke, std::int64_t targetPid) = 0;
};

} // namespace kadrill::platform
