#include "NoodleTimer.h"

#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/TimeOfDay.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

namespace kadrill::ramen {

namespace {

constexpr const char* kZero = "0:00:00";
constexpr const char* kThreeMinutes = "0:03:00";
constexpr int kCountdownSeconds = 180;

// The idle cycle: the first hint at 0, the second at 10, back to 0 after 20.
constexpr const char* kSecondHintAt = "0:00:10";
constexpr const char* kCycleEnd = "0:00:20";
constexpr const char* kFirstHint = "お湯を入れたら開始ボタンをおしてね。";
constexpr const char* kSecondHint = "お湯は熱湯じゃないとおいしいラーメンはできないよ。";

/// A remark of the countdown and the seconds left while it shows, with where its text
/// sits in the bubble (twips).
struct Remark {
    int from;
    int until;
    int left;
    int top;
    const char* text;
};

constexpr Remark kRemarks[] = {
    {120, 116, 840, 480, "１分経過。"},
    {90, 86, 360, 240, "かためが好みならそろそろいいんじゃないかな。"},
    {60, 56, 840, 480, "２分経過。"},
    {0, 0, 600, 480, "３分たったよ。"},
};

/// Seconds of one of our own time texts, "H:MM:SS"; 0 for anything else.
int secondsOf(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 6) {
        return 0;
    }
    int value = 0;
    int field = 0;
    for (char c : text) {
        if (c == ':') {
            value = value * 60 + field;
            field = 0;
        } else if (c >= '0' && c <= '9') {
            field = field * 10 + (c - '0');
        } else {
            return 0;
        }
    }
    return value * 60 + field;
}

/// Stepped as a time of day, the text wraps at midnight like one.
std::string clockText(int seconds) {
    return platform::formatTimeText(platform::TimeOfDay::ofSecond(seconds));
}

} // namespace

NoodleTimer::NoodleTimer(platform::Platform& platform, state::NoodleFields& fields) : platform_(platform), fields_(fields) {}

NoodleTimer::~NoodleTimer() = default;

void NoodleTimer::Show() {
    if (window_ == nullptr) {
        Load();
    }
    // Brought forward means seen: a minimised timer comes back too.
    platform::bringForward(*window_);
}

void NoodleTimer::Load() {
    window_ = platform_.windows.createWindow({
        .caption = "ﾗｰﾒﾝﾀｲﾏｰ",
        .clientWidth = 4815,
        .clientHeight = 2895,
        .border = platform::BorderStyle::FixedSingle,
        .minimizeButton = true,
        .maximizeButton = false,
        .menuBar = false,
        .picture = "",
        .icon = "kadrill",
    });
    platform::Window& w = *window_;
    Frame1 = &w.addFrame({.bounds = {120, 120, 4575, 2055}, .caption = ""});

    // Added in stacking order: each picture lies over those before it.
    auto picture = [this](platform::Rect bounds, const char* name, bool visible) {
        return &Frame1->addPicture({.bounds = bounds,
                                    .picture = name,
                                    .backColor = platform::kSystemButtonFaceColor,
                                    .border = false,
                                    .visible = visible});
    };
    constexpr platform::Rect cup{120, 360, 1485, 1485};
    constexpr platform::Rect character{1320, 1320, 480, 480};
    Picture[0] = picture(cup, "noodle-cup", true);
    Picture[1] = picture(cup, "noodle-steam-1", false);
    Picture[2] = picture(cup, "noodle-steam-2", false);
    Picture[3] = picture(cup, "noodle-ready-1", false);
    Picture[4] = picture(cup, "noodle-ready-2", false);
    Picture[5] = picture({1680, 360, 2730, 1365}, "noodle-bubble", false);
    Picture[6] = picture(character, "noodle-face", true);
    Picture[7] = picture(character, "noodle-face-talk", false);
    // Black whatever the theme: the bubble is white on any desktop. Three lines of 12-point
    // text need more than 705 twips in most Japanese fonts, so the label reaches down to
    // the bubble's lower edge instead of cutting off the last line of the long remarks.
    Label1 = &Picture[5]->addLabel({.bounds = {360, 240, 2055, 870},
                                    .text = "",
                                    .fontName = "ＭＳ Ｐゴシック",
                                    .fontPoints = 12,
                                    .foreColor = platform::rgb(0, 0, 0)});

    StartButton = &w.addCommandButton({.bounds = {360, 2400, 1215, 375}, .caption = "開始(&S)", .tabIndex = 0});
    ResetButton = &w.addCommandButton(
        {.bounds = {1800, 2400, 1215, 375}, .caption = "リセット(&R)", .tabIndex = 1, .enabled = false});
    EndButton = &w.addCommandButton({.bounds = {3240, 2400, 1215, 375}, .caption = "終了(&E)", .tabIndex = 2});
    // Stepped at the wall clock's second edges, which wake the watch anyway: the open timer
    // adds no wake-ups of its own. How much time is left comes from the counter, not from
    // the edges.
    Timer1 = &w.addTimer({.interval = 1000, .enabled = true, .pacing = platform::TimerPacing::PollsTimeOfDay});
    steppedAt_ = platform_.clock.timeOfDay();

    StartButton->clicked.setHandler([this] { StartButtonClick(); });
    ResetButton->clicked.setHandler([this] { ResetButtonClick(); });
    EndButton->clicked.setHandler([this] { close(); });
    Timer1->tick.setHandler([this] { Timer1Tick(); });
    w.closed.setHandler([this] { close(); });

    fields_.NoodleRunning = false;
    fields_.NoodleClock = kZero;
    describe();
}

void NoodleTimer::passTurn(platform::CommandButton* from, platform::CommandButton* to) {
    // The keyboard stays on the button row instead of falling off the disabled one.
    const bool hadFocus = from->hasFocus();
    from->setEnabled(false);
    to->setEnabled(true);
    if (hadFocus) {
        to->setFocus();
    }
}

void NoodleTimer::StartButtonClick() {
    passTurn(StartButton, ResetButton);
    fields_.NoodleClock = kThreeMinutes;
    fields_.NoodleRunning = true;
    fields_.NoodleStartTick = platform_.clock.tickCount();
    // Seconds count from the press: the first one ends a whole second after it.
    Timer1->setEnabled(false);
    Timer1->setEnabled(true);
    Hush();
    describe();
}

void NoodleTimer::ResetButtonClick() {
    passTurn(ResetButton, StartButton);
    fields_.NoodleRunning = false;
    fields_.NoodleClock = kZero;
    for (int i = 1; i <= 4; ++i) {
        Picture[i]->setVisible(false);
    }
    // The bubble keeps its words until the next tick brings the first hint.
    describe();
}

void NoodleTimer::Timer1Tick() {
    const platform::TimeOfDay now = platform_.clock.timeOfDay();
    if (now == steppedAt_) {
        return;
    }
    steppedAt_ = now;
    if (fields_.NoodleRunning) {
        countdownTick();
    } else {
        idleTick();
    }
    describe();
}

void NoodleTimer::describe() {
    // The countdown shows only in pictures; a screen reader gets the time left and the
    // remark as the cup's text, and only while one listens (the timer steps every second).
    if (!platform_.windows.isAccessibilityActive()) {
        return;
    }
    std::string state = "待機中";
    if (fields_.NoodleRunning) {
        const int left = secondsOf(fields_.NoodleClock);
        state = left == 0 ? "できあがり" : "残り" + std::to_string(left / 60) + "分" + std::to_string(left % 60) + "秒";
    }
    const std::string remark = Label1->text();
    Picture[0]->setAccessibleText({"ﾗｰﾒﾝ", remark.empty() ? state : state + " 「" + remark + "」"});
}

void NoodleTimer::countdownTick() {
    state::NoodleFields& f = fields_;
    if (f.NoodleClock != kZero) {
        // The time left is read off the millisecond counter, to the nearest second, rather
        // than counted in ticks: a tick held up by a busy event loop or a suspend would
        // otherwise add its delay to the three minutes.
        const std::uint32_t elapsed = platform::ticksBetween(f.NoodleStartTick, platform_.clock.tickCount());
        const std::int64_t gone = (std::int64_t{elapsed} + 500) / 1000;
        const std::int64_t left = std::max<std::int64_t>(0, kCountdownSeconds - gone);
        f.NoodleClock = clockText(static_cast<int>(std::min<std::int64_t>(secondsOf(f.NoodleClock), left)));
        if (f.NoodleClock == kZero) {
            // Nothing sounds: a covered or minimised timer must still be noticed.
            window_->requestAttention();
        }
    }

    // One frame per tick, the two in turn: steam while counting, the opened cup at zero.
    // At zero the last steam frame stays underneath.
    const bool finished = f.NoodleClock == kZero;
    platform::Picture* first = Picture[finished ? 3 : 1];
    platform::Picture* second = Picture[finished ? 4 : 2];
    f.NoodleFramePhase = !f.NoodleFramePhase;
    first->setVisible(!f.NoodleFramePhase);
    second->setVisible(f.NoodleFramePhase);

    // What the bubble shows follows from the seconds left alone, so a second skipped by a
    // late tick neither loses a remark's end nor leaves it up.
    const int left = secondsOf(f.NoodleClock);
    for (const Remark& r : kRemarks) {
        if (left <= r.from && left >= r.until) {
            Say(r.left, r.top, r.text);
            return;
        }
    }
    Hush();
}

void NoodleTimer::idleTick() {
    state::NoodleFields& f = fields_;
    if (f.NoodleClock == kCycleEnd) {
        f.NoodleClock = kZero;
    }
    if (f.NoodleClock == kZero) {
        Say(360, 360, kFirstHint);
    }
    if (f.NoodleClock == kSecondHintAt) {
        Say(360, 240, kSecondHint);
    }
    f.NoodleClock = clockText(secondsOf(f.NoodleClock) + 1);
}

void NoodleTimer::Say(int left, int top, const char* text) {
    Picture[5]->setVisible(true);
    Picture[7]->setVisible(true);
    Label1->setPosition({left, top});
    Label1->setText(text);
}

void NoodleTimer::Hush() {
    Picture[5]->setVisible(false);
    Picture[7]->setVisible(false);
    Label1->setText("");
}

void NoodleTimer::close() {
    if (window_ == nullptr) {
        return;
    }
    Timer1->setEnabled(false);
    window_->hide();
    Frame1 = nullptr;
    Picture.fill(nullptr);
    Label1 = nullptr;
    StartButton = ResetButton = EndButton = nullptr;
    Timer1 = nullptr;
    platform::destroyLater(platform_.app, std::move(window_));
}

} // namespace kadrill::ramen
