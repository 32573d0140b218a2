#include "CMain.h"

#include "ClockDigits.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/MediaControl.h"
#include "platform/Window.h"
#include "watch/WatchFaceLayout.h"

namespace kadrill::mainwin {

namespace {

constexpr const char* kProgramName = "Kadrill";
constexpr std::size_t kTipLength = 64;

} // namespace

std::string NotifyIconTip(const std::string& name) {
    std::string tip = name.substr(0, kTipLength - 1);
    tip += '\0';
    tip.resize(kTipLength, ' ');
    return tip;
}

CMain::CMain(platform::Platform& platform, watch::WatchState& state)
    : MMControl(platform.media), platform_(platform), state_(state) {
    window_ = platform.windows.createWindow({
        .caption = kProgramName,
        .clientWidth = watch::kFaceWidth,
        .clientHeight = watch::kFaceHeight,
        .border = platform::BorderStyle::FixedSingle,
        .minimizeButton = true,
        .maximizeButton = false,
        .picture = "face",
        .icon = "kadrill",
    });
    watch::BuildWatchFace(*window_, face_);

    MainTimer = &window_->addTimer({.interval = 1, .enabled = true, .pacing = platform::TimerPacing::PollsTimeOfDay});
    CountTimer = &window_->addTimer({.interval = 1, .enabled = false, .pacing = platform::TimerPacing::Interval});
    OneSec = &window_->addTimer({.interval = 500, .enabled = false, .pacing = platform::TimerPacing::Interval});
    MainTimer->tick.setHandler([this] { MainTimerTick(); });
    OneSec->tick.setHandler([this] { OneSecTick(); });

    buildMenus();

    display_ = {.main = &face_, .digital = nullptr, .CountTimer = CountTimer, .mnuVisibleTwelve = mnuVisibleTwelve};
    window_->closed.setHandler([this] { Unload(); });
}

CMain::~CMain() = default;

void CMain::buildMenus() {
    using platform::MenuItemKind;
    platform::Menu& set = window_->addMenu("設定(&S)");
    mnuTime = &set.addItem("時刻の設定(&T)", MenuItemKind::Command);
    mnuSetAlarm = &set.addItem("ｱﾗｰﾑの設定(&A)", MenuItemKind::Command);

    platform::Menu& visible = window_->addMenu("表示(&V)");
    mnuVisibleTwelve = &visible.addItem("12時間表示(&W)", MenuItemKind::Check);
    mnuVisibleDigital = &visible.addItem("全ての文字を表示(&A)", MenuItemKind::Check);
    mnuVisibleMenuBarSeparator = &visible.addSeparator();
    mnuVisibleMenuBar = &visible.addItem("ﾒﾆｭｰﾊﾞｰを隠す(&H)", MenuItemKind::Check);

    platform::Menu& timer = window_->addMenu("ﾀｲﾏｰ(&T)");
    mnuTimerNoodle = &timer.addItem("ﾗｰﾒﾝﾀｲﾏｰ(&N)", MenuItemKind::Command);

    platform::Menu& help = window_->addMenu("ﾍﾙﾌﾟ(&H)");
    mnuHelpTopic = &help.addItem("ﾄﾋﾟｯｸの検索(&H)", MenuItemKind::Command);

    mnuVisibleTwelve->chosen.setHandler([this] { ToggleTwelveHour(); });
    mnuVisibleDigital->chosen.setHandler([this] { ToggleDimSegments(); });
}

void CMain::Load() {
    notifyIcon_ = {.id = 1, .tip = NotifyIconTip(kProgramName), .icon = "kadrill"};
    // Without a notification area the program simply runs without an icon.
    (void)platform_.tray.add(notifyIcon_);

    state_.AlarmEnabled = false;
    state_.AlarmTime = 0;
    state_.AlarmActionType = 0;
    state_.AlarmInProgress = false;
    state_.AlarmStopRequested = false;
    state_.HiddenInTray = false;

    state_.SegmentColors[0] = watch::kUnlitBlack;
    state_.SegmentColors[1] = watch::kLitGreen;
    watch::LoadSegmentPatterns(state_);
}

void CMain::Start() {
    Load();
    window_->show();
}

void CMain::Unload() {
    MMControl.sendCommand("Close");
    (void)platform_.tray.remove(notifyIcon_);
    platform_.app.quit();
}

void CMain::MainTimerTick() {
    std::string t = platform_.clock.timeText();
    if (t != state_.LastTimeText || state_.RedrawRequested) {
        ShowTimeOfDay(t);
    }
}

void CMain::ShowTimeOfDay(const std::string& t) {
    state_.RedrawRequested = false;
    state_.LastTimeText = t;
    watch::DigitCodes codes = DigitsOfTimeText(t);

    if (CheckAlarm) {
        CheckAlarm(t);
        // The alarm check may wait (a message box, keys being sent) while later ticks show
        // later seconds; drawing this second's digits now would turn the clock back.
        if (state_.LastTimeText != t) {
            return;
        }
    }

    if (mnuVisibleTwelve->isChecked()) {
        const bool pm = ApplyTwelveHour(t, codes) == Meridiem::PM;
        const platform::Color lit = state_.SegmentColors[1];
        const platform::Color unlit = state_.SegmentColors[0];
        watch::ColorMark(display_, &watch::WatchFace::AM, pm ? unlit : lit);
        watch::ColorMark(display_, &watch::WatchFace::PM, pm ? lit : unlit);
    }

    watch::ShowDigits(state_, display_, codes);
}

void CMain::OneSecTick() {
    const bool unlit = face_.AlarmOn->foreColor() == state_.SegmentColors[0];
    watch::ColorMark(display_, &watch::WatchFace::AlarmOn, state_.SegmentColors[unlit ? 1 : 0]);
}

void CMain::ToggleTwelveHour() {
    mnuVisibleTwelve->setChecked(!mnuVisibleTwelve->isChecked());
    watch::RefreshHourMode(display_);
    state_.RedrawRequested = true;
}

void CMain::ToggleDimSegments() {
    const bool dim = !mnuVisibleDigital->isChecked();
    mnuVisibleDigital->setChecked(dim);
    state_.SegmentColors[0] = dim ? watch::kUnlitDimGrey : watch::kUnlitBlack;
    watch::ColorMark(display_, &watch::WatchFace::AlarmOn, state_.SegmentColors[state_.AlarmEnabled ? 1 : 0]);
    state_.RedrawRequested = true;
}

} // namespace kadrill::mainwin
