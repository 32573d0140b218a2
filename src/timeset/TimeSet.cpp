#include "TimeSet.h"

#include "DialMath.h"

#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/MessageBoxes.h"

#include <string>
#include <utility>

namespace kadrill::timeset {

namespace {

constexpr const char* kTitle = "Kadrill";
constexpr const char* kAutomaticSyncMessage = "時刻の自動同期が有効なため、時刻を設定できませんでした。";
constexpr const char* kFailedMessage = "時刻を設定できませんでした。";

int number(const std::string& text) { return static_cast<int>(LeadingNumber(text)); }

} // namespace

TimeSet::TimeSet(platform::Platform& platform, DialState& dials)
    : platform_(platform), dials_(dials), self_(std::make_shared<TimeSet*>(this)) {}

TimeSet::~TimeSet() { *self_ = nullptr; }

void TimeSet::Show() {
    if (window_ == nullptr) {
        Load();
    }
    window_->show();
    window_->activate();
}

void TimeSet::Load() {
    ++session_;
    edits_ = editsAtRequest_ = 0;
    closeWhenSet_ = false;
    platform::WindowProperties props;
    props.caption = "時刻の設定";
    props.clientWidth = 5295;
    props.clientHeight = 3255;
    props.minimizeButton = false;
    props.icon = "kadrill";
    window_ = platform_.windows.createWindow(props);
    platform::Window& w = *window_;
    dial_ = std::make_unique<Dial>(w, dials_.TimeSet, dials_.DialDragButton,
                                   DialLayout{.frame1 = {120, 120},
                                              .frame2 = {3360, 120},
                                              .frame2Caption = "時刻の入力",
                                              .firstBoxTab = 3,
                                              .roundMarks = true});
    Command1 = &w.addCommandButton({.bounds = {3720, 1320, 1215, 375}, .caption = "OK", .tabIndex = 0, .isDefault = true});
    Command2 = &w.addCommandButton(
        {.bounds = {3720, 1920, 1215, 375}, .caption = "キャンセル", .tabIndex = 1, .isCancel = true});
    Command3 = &w.addCommandButton(
        {.bounds = {3720, 2520, 1215, 375}, .caption = "適用(&A)", .tabIndex = 2, .enabled = false});
    Timer1 = &w.addTimer({.interval = 100, .enabled = true});

    dial_->onPress = [this] { startEditing(); };
    for (platform::TextBox* box : {dial_->Hour, dial_->Min, dial_->Sec}) {
        box->clicked.setHandler([this] { startEditing(); });
        // A keyboard user who tabs in and types is editing as much as one who clicks.
        box->edited.setHandler([this] { startEditing(); });
    }
    Timer1->tick.setHandler([this] { Timer1Tick(); });
    Command3->clicked.setHandler([this] { apply(); });
    Command1->clicked.setHandler([this] { ok(); });
    Command2->clicked.setHandler([this] { close(); });
    w.closed.setHandler([this] { close(); });

    dial_->Load();
    dial_->DrawDialTicks();
}

void TimeSet::Timer1Tick() {
    const std::string text = platform_.clock.timeText();
    DialFields& f = dials_.TimeSet;
    if (text.size() == 7) {
        f.DialHour = number(text.substr(0, 1));
        f.DialMinute = number(text.substr(2, 2));
        f.DialSecond = number(text.substr(5, 2));
    } else {
        f.DialHour = number(text.substr(0, 2));
        f.DialMinute = number(text.substr(3, 2));
        f.DialSecond = number(text.substr(6, 2));
    }
    dial_->DrawDialHands();
}

void TimeSet::startEditing() {
    if (window_ == nullptr) {
        return;
    }
    ++edits_;
    Timer1->setEnabled(false);
    Command3->setEnabled(true);
}

void TimeSet::apply() { setTime(false); }

void TimeSet::ok() {
    if (Command3->isEnabled()) {
        setTime(true);
    } else if (pending_ > 0) {
        // An Apply is still on its way: close once it has been answered, or stay to say why not.
        closeWhenSet_ = true;
    } else {
        close();
    }
}

void TimeSet::setTime(bool closeWhenDone) {
    // The boxes always hold valid numbers: the dial refuses anything else.
    const int hour = number(dial_->Hour->text());
    const int minute = number(dial_->Min->text());
    const int second = number(dial_->Sec->text());
    Command3->setEnabled(false);
    editsAtRequest_ = edits_;
    ++pending_;
    const unsigned session = session_;
    std::weak_ptr<TimeSet*> self = self_;
    platform_.timeSetter.setLocalTimeOfDay(hour, minute, second,
                                           [self, session, closeWhenDone](platform::SetTimeResult result) {
                                               if (auto alive = self.lock(); alive && *alive != nullptr) {
                                                   (*alive)->answered(session, closeWhenDone, result);
                                               }
                                           });
}

void TimeSet::answered(unsigned session, bool closeWhenDone, const platform::SetTimeResult& result) {
    --pending_;
    const bool mine = session == session_ && window_ != nullptr;
    if (result.outcome == platform::SetTimeOutcome::Done) {
        if (!mine) {
            return;
        }
        if (edits_ == editsAtRequest_) {
            Timer1->setEnabled(true); // follow the clock, which now shows the time set
        }
        if (closeWhenDone || closeWhenSet_) {
            close();
        }
        return;
    }
    // A refusal must not look like success, even when the dialog has gone meanwhile.
    const std::string text = result.outcome == platform::SetTimeOutcome::AutomaticSyncOn
                                 ? std::string(kAutomaticSyncMessage)
                                 : std::string(kFailedMessage) + (result.reason.empty() ? "" : "\n" + result.reason);
    if (mine) {
        closeWhenSet_ = false;
        // The user's time stays on the dial, ready to be applied again.
        Timer1->setEnabled(false);
        Command3->setEnabled(true);
    }
    platform_.messages.show(text, kTitle, platform::MessageIcon::Critical);
}

void TimeSet::close() {
    if (window_ == nullptr) {
        return;
    }
    dial_->EndDrag();
    Timer1->setEnabled(false);
    window_->hide();
    Command1 = Command2 = Command3 = nullptr;
    Timer1 = nullptr;
    closeWhenSet_ = false;
    platform::DestroyLater(platform_.app, std::move(dial_), std::move(window_));
}

} // namespace kadrill::timeset
