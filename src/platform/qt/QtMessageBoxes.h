#pragma once

#include "platform/MessageBoxes.h"

namespace kadrill::platform::qt {

/// Message boxes that wait in a nested event loop, so timers and other windows go on.
class QtMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override;
};

} // namespace kadrill::platform::qt
