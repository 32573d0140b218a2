#include "CMain.h"

#include "AutostartEntry.h"
#include "ClockDigits.h"
#include "WindowPlacement.h"
#include "alarm/KeyTable.h"
#include "platform/Application.h"
#include "platform/Autostart.h"
#include "platform/Clock.h"
#include "platform/Help.h"
#include "platform/MediaControl.h"
#include "platform/MessageBoxes.h"
#include "platform/Window.h"
#include "watch/FaceReading.h"
#include "watch/SevenSegment.h"
#include "watch/Stopwatch.h"
#include "watch/WatchButtons.h"
#include "watch/WatchFaceLayout.h"

#include <cstdint>

namespace kadrill::mainwin {

namespace {

constexpr const char* kProgramName = "Kadrill";
constexpr const char* kTrayHideCaption = "時計を隠す(&K)";

constexpr const char* kSaveFirstMessage =
    "ﾛｸﾞｲﾝ時に読込むｱﾗｰﾑ設定ﾌｧｲﾙがありません。先に「設定の保存」でｱﾗｰﾑの設定を保存してください。";
constexpr const char* kAutostartFailedMessage = "ﾛｸﾞｲﾝ時の起動を設定できませんでした。";

constexpr const char* kNoHelpMessage = "ﾍﾙﾌﾟの目次を表示できません。 このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。";

} // namespace

CMain::CMain(platform::Platform& platform, state::WatchState& state)
    : MMControl(platform.media), platform_(platform), state_(state) {
    window_ = platform.windows.createWindow({
        .caption = kProgramName,
        .clientWidth = watch::kFaceWidth,
        .clientHeight = watch::kFaceHeight,
        .border = platform::BorderStyle::FixedSingle,
        .minimizeButton = true,
        .maximizeButton = false,
        .menuBar = true,
        .picture = "face",
        .icon = "kadrill",
    });
    watch::buildWatchFace(*window_, face_);
    face_.window = window_.get();

    MainTimer = &window_->addTimer({.interval = 1, .enabled = true, .pacing = platform::TimerPacing::PollsTimeOfDay});
    // A stopped stopwatch changes only when told to; a running one sets its own pace.
    CountTimer = &window_->addTimer({.interval = 1, .enabled = false, .pacing = platform::TimerPacing::PollsTimeOfDay});
    OneSec = &window_->addTimer({.interval = 500, .enabled = false, .pacing = platform::TimerPacing::Interval});
    MainTimer->tick.setHandler([this] { MainTimerTick(); });
    CountTimer->tick.setHandler([this] { watch::CountTimerTick(state_, controls_, timeShown); });
    OneSec->tick.setHandler([this] { OneSecTick(); });

    buildMenus();

    controls_ = {
        .main = &face_,
        .digital = nullptr,
        .MainTimer = MainTimer,
        .CountTimer = CountTimer,
        .OneSec = OneSec,
        .mnuVisibleTwelve = mnuVisibleTwelve,
        .mnuVisibleMenuBar = mnuVisibleMenuBar,
        .MMControl = &MMControl,
        .clock = &platform.clock,
        .windows = &platform.windows,
    };
    alarm_ = std::make_unique<alarm::AlarmRunner>(platform, state, controls_);
    timeShown.setHandler([this](const platform::TimeOfDay& now) { alarm_->CheckAlarm(now); });
    MMControl.finished.setHandler([this] { alarm_->SoundCompleted(); });
    timeSet_ = std::make_unique<timeset::TimeSet>(platform, state.dials);
    alarmDialog_ = std::make_unique<alarm::AlarmDialog>(platform, state.alarm, state.dials);
    alarmDialog_->committed.setHandler([this] { showAlarmMark(); });
    noodleTimer_ = std::make_unique<ramen::NoodleTimer>(platform, state.ramen);
    timeSetRequested.setHandler([this] { timeSet_->Show(); });
    alarmRequested.setHandler([this] { alarmDialog_->Show(); });
    noodleTimerRequested.setHandler([this] { noodleTimer_->Show(); });

    watch::connectWatchButtons(face_, state_, controls_);
    face_.SetBtn->clicked.setHandler([this] { timeSetRequested.raise(); });
    face_.AlmBtn->clicked.setHandler([this] { alarmRequested.raise(); });

    window_->closed.setHandler([this] { Unload(); });
    window_->stateChanged.setHandler([this] { windowStateChanged(); });
    // The bare face and the AM/PM marks offer the display menu; the ♪ mark and the
    // buttons take their presses without one.
    auto menuOnRightPress = [this](const platform::MouseEvent& e) {
        if (e.button == platform::MouseButton::Right) {
            popupDisplayMenu();
        }
    };
    window_->mouseDown.setHandler(menuOnRightPress);
    face_.AM->mouseDown.setHandler(menuOnRightPress);
    face_.PM->mouseDown.setHandler(menuOnRightPress);
    window_->contextMenuKey.setHandler([this] { popupDisplayMenu(); });
}

CMain::~CMain() = default;

void CMain::buildMenus() {
    using platform::MenuItemKind;
    platform::Menu& set = window_->addMenu("設定(&S)");
    mnuTime = &set.addItem("時刻の設定(&T)", MenuItemKind::Command);
    mnuSetAlarm = &set.addItem("ｱﾗｰﾑの設定(&A)", MenuItemKind::Command);
    mnuSetAutostart = &set.addItem("ﾛｸﾞｲﾝ時に起動(&L)", MenuItemKind::Check);

    mnuVisible = &window_->addMenu("表示(&V)");
    mnuVisibleTwelve = &mnuVisible->addItem("12時間表示(&W)", MenuItemKind::Check);
    mnuVisibleDigital = &mnuVisible->addItem("全ての文字を表示(&A)", MenuItemKind::Check);
    mnuVisible->addSeparator();
    mnuVisibleMenuBar = &mnuVisible->addItem("ﾒﾆｭｰﾊﾞｰを隠す(&H)", MenuItemKind::Check);

    platform::Menu& timer = window_->addMenu("ﾀｲﾏｰ(&T)");
    mnuTimerNoodle = &timer.addItem("ﾗｰﾒﾝﾀｲﾏｰ(&N)", MenuItemKind::Command);

    platform::Menu& help = window_->addMenu("ﾍﾙﾌﾟ(&H)");
    mnuHelpTopic = &help.addItem("ﾄﾋﾟｯｸの検索(&H)", MenuItemKind::Command);

    mnuTime->chosen.setHandler([this] { timeSetRequested.raise(); });
    mnuSetAlarm->chosen.setHandler([this] { alarmRequested.raise(); });
    mnuSetAutostart->chosen.setHandler([this] { toggleAutostart(); });
    mnuVisibleTwelve->chosen.setHandler([this] { toggleTwelveHour(); });
    mnuVisibleDigital->chosen.setHandler([this] { toggleDimSegments(); });
    mnuVisibleMenuBar->chosen.setHandler([this] { swapWindows(); });
    mnuTimerNoodle->chosen.setHandler([this] { noodleTimerRequested.raise(); });
    mnuHelpTopic->chosen.setHandler([this] { showHelp(); });
}

void CMain::Load() {
    notifyIcon_ = {.id = 1, .tip = kProgramName, .icon = "kadrill"};
    platform_.tray.activated.setHandler([this](platform::TrayActivation what) { iconMessage(what); });
    platform_.tray.availabilityChanged.setHandler([this] { trayAvailabilityChanged(); });
    trayHideItem = &platform_.tray.offerMenu(*mnuVisible, kTrayHideCaption);
    trayHideItem->chosen.setHandler([this] { iconMessage(platform::TrayActivation::Activated); });
    // Without a notification area the program runs without an icon until one appears.
    (void)platform_.tray.add(notifyIcon_);

    state_.alarm.AlarmEnabled = false;
    state_.alarm.AlarmTime = 0;
    state_.alarm.AlarmActionType = 0;
    state::clearAlarmRuns(state_.alarm);
    setHiddenInTray(false);

    state_.watch.SegmentColors[0] = watch::kUnlitBlack;
    state_.watch.SegmentColors[1] = watch::kLitGreen;
    watch::loadSegmentPatterns(state_.watch);
    state_.alarm.SpecialKeyTable = alarm::buildSpecialKeyTable();
    // The mark shows what is there, whoever put it there.
    mnuSetAutostart->setChecked(platform_.autostart.entry().has_value());

    digital_ = std::make_unique<watch::Digital>(platform_.windows);
    watch::WatchFace& digitalFace = digital_->face();
    controls_.digital = &digitalFace;
    watch::connectWatchButtons(digitalFace, state_, controls_);
    digitalFace.SetBtn->clicked.setHandler([this] { timeSetRequested.raise(); });
    digitalFace.AlmBtn->clicked.setHandler([this] { alarmRequested.raise(); });
    digital_->displayMenuRequested.setHandler([this] { popupDisplayMenu(); });
    // Closed by the window system, the frameless window would leave nothing on screen
    // and the program running: it ends the program like the main window.
    digital_->closedBySystem.setHandler([this] { Unload(); });
}

void CMain::Start() {
    Load();
    window_->show();
}

void CMain::Unload() {
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    // An alarm typing keys waits in its own loop of events: it must not go on once the
    // program is ending.
    state::stopEveryAlarmRun(state_.alarm);
    MMControl.close();
    (void)platform_.tray.remove(notifyIcon_);
    platform_.app.quit();
}

platform::Window& CMain::activeWindow() {
    return mnuVisibleMenuBar->isChecked() && digital_ ? digital_->window() : *window_;
}

void CMain::MainTimerTick() {
    const platform::TimeOfDay now = platform_.clock.timeOfDay();
    if (platform::formatTimeText(now) != state_.watch.LastTimeText || state_.watch.RedrawRequested) {
        ShowTimeOfDay(now);
    }
    // After every tick, not only a new second's: a button or menu item may have changed a
    // mark or the hour look since. Nobody listening, nothing is worded.
    if (platform_.windows.isAccessibilityActive()) {
        watch::describeWatch(controls_, state_, watch::clockReading(shownTime_, mnuVisibleTwelve->isChecked()));
    }
}

void CMain::ShowTimeOfDay(const platform::TimeOfDay& now) {
    state::WatchFields& w = state_.watch;
    w.RedrawRequested = false;
    const std::string t = platform::formatTimeText(now);
    state::secondHandled(w, t);
    watch::DigitCodes codes = digitsOfTime(now);

    if (timeShown.hasHandler()) {
        timeShown.raise(now);
        // The alarm check may wait (a message box, keys being sent) while later ticks show
        // later seconds, or the stopwatch; drawing this second's digits now would be wrong.
        if (w.LastTimeText != t || !MainTimer->isEnabled()) {
            return;
        }
    }

    if (mnuVisibleTwelve->isChecked()) {
        const bool pm = applyTwelveHour(now, codes) == Meridiem::PM;
        const platform::Color lit = w.SegmentColors[1];
        const platform::Color unlit = w.SegmentColors[0];
        watch::colorMark(controls_, &watch::WatchFace::AM, pm ? unlit : lit);
        watch::colorMark(controls_, &watch::WatchFace::PM, pm ? lit : unlit);
    }

    watch::ShowDigits(w, controls_, codes);
    shownTime_ = now;
}

void CMain::OneSecTick() {
    const auto& colors = state_.watch.SegmentColors;
    const bool unlit = face_.AlarmOn->foreColor() == colors[0];
    watch::colorMark(controls_, &watch::WatchFace::AlarmOn, colors[unlit ? 1 : 0]);
}

void CMain::toggleTwelveHour() { watch::PressDisplaySwitch(state_, controls_); }

void CMain::toggleDimSegments() {
    const bool dim = !mnuVisibleDigital->isChecked();
    mnuVisibleDigital->setChecked(dim);
    auto& colors = state_.watch.SegmentColors;
    colors[0] = dim ? watch::kUnlitDimGrey : watch::kUnlitBlack;
    watch::colorMark(controls_, &watch::WatchFace::AlarmOn, colors[state_.alarm.AlarmEnabled ? 1 : 0]);
    state::requestRedraw(state_.watch);
}

void CMain::swapWindows() {
    platform::Window& digital = digital_->window();
    const platform::Point offset = faceOffset(*window_);
    if (!mnuVisibleMenuBar->isChecked()) {
        mnuVisibleMenuBar->setChecked(true);
        const platform::Point at = window_->position();
        digital.setPosition({at.x + offset.x, at.y + offset.y});
        window_->hide();
        digital.show();
        keepOnScreen(digital);
        digital.activate();
        digital_->face().ModeBtn->setFocus();
    } else {
        mnuVisibleMenuBar->setChecked(false);
        digital_->endDrag();
        const platform::Point at = digital.position();
        window_->setPosition({at.x - offset.x, at.y - offset.y});
        window_->show();
        digital.hide();
        keepOnScreen(*window_);
        window_->activate();
        face_.ModeBtn->setFocus();
    }
}

void CMain::windowStateChanged() {
    // Where no notification area would take it, the window stays minimised on the task
    // bar: hidden, the user would have no way back.
    if (window_->windowState() == platform::WindowState::Minimized && !state_.mainwin.HiddenInTray &&
        platform_.tray.isAvailable()) {
        window_->hide();
        setHiddenInTray(true);
    }
}

void CMain::iconMessage(platform::TrayActivation what) {
    if (what == platform::TrayActivation::Activated) {
        if (state_.mainwin.HiddenInTray) {
            restoreFromTray();
        } else {
            hideToTray();
        }
    } else {
        popupDisplayMenu();
    }
}

void CMain::hideToTray() {
    if (digital_) {
        digital_->endDrag();
    }
    platform::Window& w = activeWindow();
    // For the main window this runs the minimise handler, with the same result.
    w.setWindowState(platform::WindowState::Minimized);
    w.hide();
    setHiddenInTray(true);
}

void CMain::restoreFromTray() {
    platform::Window& w = activeWindow();
    // Restored before it is shown: a window shown while still minimised would stay so.
    w.setWindowState(platform::WindowState::Normal);
    w.show();
    keepOnScreen(w);
    w.activate();
    setHiddenInTray(false);
}

void CMain::setHiddenInTray(bool hidden) {
    state_.mainwin.HiddenInTray = hidden;
    // While the watch is hidden the windows cannot be swapped.
    mnuVisibleMenuBar->setEnabled(!hidden);
    trayHideItem->setChecked(hidden);
}

void CMain::bringToFront() {
    if (state_.mainwin.HiddenInTray) {
        restoreFromTray();
        return;
    }
    platform::bringForward(activeWindow());
}

void CMain::openAlarmFile(const std::string& path, alarm::AlarmFileCommands::Source source) {
    // While an action runs the mark blinks, and the action's end shows the settings then.
    if (alarmDialog_->openFile(path, source) && !state_.alarm.AlarmInProgress) {
        showAlarmMark();
    }
}

void CMain::showAlarmMark() {
    watch::colorMark(controls_, &watch::WatchFace::AlarmOn,
                     state_.watch.SegmentColors[state_.alarm.AlarmEnabled ? 1 : 0]);
}

void CMain::toggleAutostart() {
    if (mnuSetAutostart->isChecked()) {
        if (!platform_.autostart.remove()) {
            platform_.messages.show(kAutostartFailedMessage, kProgramName, platform::MessageIcon::Exclamation);
            return;
        }
        mnuSetAutostart->setChecked(false);
        return;
    }
    // The entry starts the watch with a file: without one the alarm would not come back.
    const std::string& file = alarmDialog_->lastFile();
    if (file.empty()) {
        platform_.messages.show(kSaveFirstMessage, kProgramName, platform::MessageIcon::Exclamation);
        return;
    }
    if (!platform_.autostart.write(autostartEntryText(platform_.autostart.programCommand(), file))) {
        platform_.messages.show(kAutostartFailedMessage, kProgramName, platform::MessageIcon::Exclamation);
        return;
    }
    mnuSetAutostart->setChecked(true);
}

void CMain::trayAvailabilityChanged() {
    if (state_.mainwin.HiddenInTray && !platform_.tray.isAvailable()) {
        restoreFromTray();
    }
}

void CMain::popupDisplayMenu() {
    if (digital_) {
        digital_->endDrag();
    }
    mnuVisible->popupAtPointer();
}

void CMain::showHelp() {
    if (digital_) {
        digital_->endDrag();
    }
    const platform::HelpResult result = platform_.help.showKeywordSearch();
    switch (result.status) {
    case platform::HelpResult::Status::Shown:
        break;
    case platform::HelpResult::Status::Missing:
        platform_.messages.show(kNoHelpMessage, kProgramName, platform::MessageIcon::Information);
        break;
    case platform::HelpResult::Status::Failed:
        platform_.messages.show(result.error, kProgramName, platform::MessageIcon::None);
        break;
    }
}

} // namespace kadrill::mainwin
