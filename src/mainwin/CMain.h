#pragma once

#include "alarm/AlarmDialog.h"
#include "alarm/AlarmRunner.h"
#include "platform/Event.h"
#include "platform/Platform.h"
#include "platform/TimeOfDay.h"
#include "platform/TrayIcon.h"
#include "ramen/NoodleTimer.h"
#include "state/WatchState.h"
#include "timeset/TimeSet.h"
#include "watch/Digital.h"
#include "watch/WatchControls.h"

#include <memory>
#include <string>

namespace kadrill::platform {
class Window;
class Menu;
class MenuItem;
class Timer;
class MediaControl;
} // namespace kadrill::platform

namespace kadrill::mainwin {

/// The main window: it owns the program's lifetime, the clock tick, the menu bar and the
/// notification-area icon, and holds the mode (which timer runs) and the display options
/// (menu check marks) that the watch engine reads.
class CMain {
public:
    CMain(platform::Platform& platform, state::WatchState& state);
    CMain(const CMain&) = delete;
    CMain& operator=(const CMain&) = delete;
    ~CMain();

    /// Start-up: tray icon, initial state, segment tables, the frameless window (hidden).
    /// Runs once before the first show.
    void Load();
    /// Load, then show the window.
    void Start();

    /// A time of day is shown, once per second and per redraw: the alarm runner checks it
    /// (a test may listen instead).
    platform::Event<const platform::TimeOfDay&> timeShown;

    alarm::AlarmRunner& alarmRunner() { return *alarm_; }
    timeset::TimeSet& timeSet() { return *timeSet_; }
    alarm::AlarmDialog& alarmDialog() { return *alarmDialog_; }
    ramen::NoodleTimer& noodleTimer() { return *noodleTimer_; }

    /// The user asks for a dialog (set-time, alarm, ramen timer) by its button or menu
    /// item; each shows its window modeless, one instance each (a test may listen instead).
    platform::Event<> timeSetRequested;
    platform::Event<> alarmRequested;
    platform::Event<> noodleTimerRequested;

    platform::Window& window() { return *window_; }
    watch::WatchFace& face() { return face_; }
    const watch::WatchControls& controls() const { return controls_; }
    /// The frameless window; null before Load.
    watch::Digital* digital() { return digital_.get(); }
    /// The watch window in use: the frameless one while the menu bar is hidden.
    platform::Window& activeWindow();
    const platform::NotifyIconRecord& notifyIcon() const { return notifyIcon_; }

    // Timers of the window; which of MainTimer and CountTimer runs is the watch mode.
    platform::Timer* MainTimer = nullptr;
    platform::Timer* CountTimer = nullptr;
    platform::Timer* OneSec = nullptr;

    platform::MediaControl& MMControl;

    // Menu bar; the check marks are the only store of the display options.
    platform::MenuItem* mnuTime = nullptr;
    platform::MenuItem* mnuSetAlarm = nullptr;
    platform::MenuItem* mnuSetAutostart = nullptr;
    platform::Menu* mnuVisible = nullptr;
    platform::MenuItem* mnuVisibleTwelve = nullptr;
    platform::MenuItem* mnuVisibleDigital = nullptr;
    platform::MenuItem* mnuVisibleMenuBar = nullptr;
    platform::MenuItem* mnuTimerNoodle = nullptr;
    platform::MenuItem* mnuHelpTopic = nullptr;
    /// The notification-area icon's own item, before the display menu's where a panel shows
    /// the icon's menu: checked while the watch is hidden there.
    platform::MenuItem* trayHideItem = nullptr;

    /// One clock tick: redraws when a new second has begun or a redraw was asked for.
    void MainTimerTick();
    /// Shows the second on both watch faces and runs the alarm check.
    void ShowTimeOfDay(const platform::TimeOfDay& now);
    /// Blinks the ♪ mark on both windows while an alarm action runs.
    void OneSecTick();
    /// A press on the notification-area icon: a click shows or hides the watch, the
    /// context click pops up the display menu.
    void iconMessage(platform::TrayActivation what);
    /// Another start of the program while this one runs: the watch window in use comes
    /// forward, out of the notification area as a left press on the icon brings it, or
    /// restored and raised where it is.
    void bringToFront();
    /// An alarm settings file opened from outside the program (the command line, a later
    /// start): loaded as the alarm dialog's Load does, and shown by the ♪ mark at once,
    /// since no OK follows.
    void openAlarmFile(const std::string& path, alarm::AlarmFileCommands::Source source);

private:
    void buildMenus();
    void Unload();
    void toggleTwelveHour();
    void toggleDimSegments();
    void swapWindows();
    void windowStateChanged();
    void trayAvailabilityChanged();
    void showHelp();
    void toggleAutostart();
    void showAlarmMark();
    void popupDisplayMenu();
    void hideToTray();
    void restoreFromTray();
    /// Hidden to the notification area or not, and the menu items that go with it.
    void setHiddenInTray(bool hidden);

    platform::Platform& platform_;
    state::WatchState& state_;
    std::unique_ptr<platform::Window> window_;
    watch::WatchFace face_;
    std::unique_ptr<watch::Digital> digital_;
    watch::WatchControls controls_;
    std::unique_ptr<alarm::AlarmRunner> alarm_;
    std::unique_ptr<timeset::TimeSet> timeSet_;
    std::unique_ptr<alarm::AlarmDialog> alarmDialog_;
    std::unique_ptr<ramen::NoodleTimer> noodleTimer_;
    platform::NotifyIconRecord notifyIcon_;
    /// The time of day the digits show, for a screen reader.
    platform::TimeOfDay shownTime_;
    bool unloaded_ = false;
};

} // namespace kadrill::mainwin
