#pragma once

#include "platform/KeySender.h"

#include <memory>

namespace kadrill::platform::x11 {

/// Types keys into the focused window through the XTest extension, on a connection of its
/// own to the X display.
class XTestKeySender final : public KeySender {
public:
    /// displayName null means the display named by the DISPLAY environment variable.
    explicit XTestKeySender(const char* displayName = nullptr);
    ~XTestKeySender() override;

    bool isAvailable() const override;
    bool targetHasFocus(std::int64_t pid) const override;
    [[nodiscard]] KeySendResult send(const KeyStroke& stroke) override;

    struct Connection;

private:
    std::unique_ptr<Connection> connection_; // null where there is no X display with XTest
};

} // namespace kadrill::platform::x11
