#pragma once

#include <string>

namespace kadrill::platform {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

/// Message boxes. One waits for the user's answer, but timer ticks and other windows'
/// events go on being handled meanwhile, so the handler that asked may find the
/// program's state changed when the answer comes back.
class MessageBoxes {
public:
    MessageBoxes() = default;
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;
    virtual ~MessageBoxes() = default;

    /// Shows the text and waits for an answer; closing the box answers Cancel where
    /// there is a Cancel button, else the only or the last button.
    virtual MessageAnswer show(const std::string& text, const std::string& title, MessageIcon icon,
                               MessageButtons buttons = MessageButtons::Ok) = 0;
};

} // namespace kadrill::platform
