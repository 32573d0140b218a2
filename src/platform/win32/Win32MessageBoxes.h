#pragma once

#include "platform/MessageBoxes.h"

namespace kadrill::platform::win32 {

/// The system's message boxes (MessageBoxW), owned by the active window of the calling
/// thread, or modal to the whole thread where none is active. Timer ticks and the other
/// windows go on meanwhile: the box runs the thread's messages. A yes/no question, which
/// Windows shows without a way to close it, gets its close box and Escape back, both
/// answering No. Needs nothing; construct it as Win32MessageBoxes messages;
class Win32MessageBoxes final : public MessageBoxes {
public:
    MessageAnswer show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons = MessageButtons::Ok) override;
};

} // namespace kadrill::platform::win32
