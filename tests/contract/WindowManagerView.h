#pragma once

#include <optional>

namespace kadrill::contract {

/// What the window manager of the test's X display says, read on a connection of our own
/// so that Qt's view of the same display is not what is checked.
/// The client window the window manager holds active (_NET_ACTIVE_WINDOW); empty where no
/// X display or window manager answers.
std::optional<unsigned long> wmActiveWindow();

} // namespace kadrill::contract
