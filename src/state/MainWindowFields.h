#pragma once

namespace kadrill::state {

/// The main window's share of the program state.
struct MainWindowFields {
    /// The active watch window has been minimised and hidden; only the tray icon remains.
    bool HiddenInTray = false;
};

} // namespace kadrill::state
