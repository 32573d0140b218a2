#pragma once

namespace kadrill::platform::x11 {

/// Hands the Qt backend what X11 offers beneath Qt: digits drawn straight to the screen,
/// placement to the device pixel, the tray selection's watch, activation of started
/// programs, keys typed through XTest. Each of them stands back by itself where Qt does not
/// draw on X11. Call once, before the first window; it holds for the rest of the process.
void installNativeDesktop();

} // namespace kadrill::platform::x11
