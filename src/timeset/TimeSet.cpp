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
constexpr const char* kFailedMessage = "時刻を設定できませんでした。";

// The second line of the failure message: why, in the user's language.
std::string failureText(const platform::SetTimeResult& result) {
    using platform::SetTimeOutcome;
    std::string why;
    switch (result.outcome) {
    case SetTimeOutcome::Done:
        break;
    case SetTimeOutcome::AutomaticSyncOn:
        why = "時刻の自動同期が有効になっています。";
        break;
    case SetTimeOutcome::Denied:
        why = "時刻を変更する権限がないか、ﾊﾟｽﾜｰﾄﾞの入力が取り消されました。";
        break;
    case SetTimeOutcome::PasswordNotAsked:
        why = "権限の確認に必要なﾊﾟｽﾜｰﾄﾞを尋ねるﾌﾟﾛｸﾞﾗﾑが動いていません。";
        break;
    case SetTimeOutcome::NoAnswer:
        why = "時刻を設定するｼｽﾃﾑのｻｰﾋﾞｽから応答がありませんでした。";
        break;
    case SetTimeOutcome::NoService:
        why = "時刻を設定するｼｽﾃﾑのｻｰﾋﾞｽが見つかりません。";
        break;
    case SetTimeOutcome::InvalidTime:
        why = "時刻の値が正しくありません。";
        break;
    case SetTimeOutcome::Failed:
        // Only an error we do not know is shown in the system's own words.
        why = "ｼｽﾃﾑからのｴﾗｰ：\n" + result.reason;
        break;
    }
    return std::string(kFailedMessage) + "\n" + why;
}

int number(const std::string& text) { return static_cast<int>(leadingNumber(text)); }

} // namespace

TimeSet::TimeSet(platform::Platform& platform, state::DialState& dials)
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
    latestRequest_ = 0;
    latestPending_ = false;
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

    dial_->facePressed.setHandler([this] { startEditing(); });
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
    const platform::TimeOfDay now = platform_.clock.timeOfDay();
    state::DialFields& f = dials_.TimeSet;
    f.DialHour = now.hour;
    f.DialMinute = now.minute;
    f.DialSecond = now.second;
    dial_->DrawDialHands();
}

void TimeSet::startEditing() {
    if (window_ == nullptr) {
        return;
    }
    ++edits_;
    // Still at work after OK: the new edit is not to be closed away by the answer.
    closeWhenSet_ = false;
    Timer1->setEnabled(false);
    Command3->setEnabled(true);
}

void TimeSet::apply() { setTime(false); }

void TimeSet::ok() {
    if (Command3->isEnabled()) {
        setTime(true);
    } else if (latestPending_) {
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
    latestRequest_ = ++requests_;
    latestPending_ = true;
    closeWhenSet_ = closeWhenDone;
    const unsigned session = session_;
    const unsigned request = latestRequest_;
    std::weak_ptr<TimeSet*> self = self_;
    platform_.timeSetter.setLocalTimeOfDay(hour, minute, second,
                                           [self, session, request](platform::SetTimeResult result) {
                                               if (auto alive = self.lock(); alive && *alive != nullptr) {
                                                   (*alive)->answered(session, request, result);
                                               }
                                           });
}

void TimeSet::answered(unsigned session, unsigned request, const platform::SetTimeResult& result) {
    // Only the answer to what the dial shows now may change the dialog; an earlier one is
    // overtaken, and one from an earlier opening has no dialog left.
    const bool latest = session == session_ && window_ != nullptr && request == latestRequest_;
    if (latest) {
        latestPending_ = false;
    }
    if (result.outcome == platform::SetTimeOutcome::Done) {
        if (!latest) {
            return;
        }
        if (edits_ == editsAtRequest_) {
            Timer1->setEnabled(true); // follow the clock, which now shows the time set
        }
        if (closeWhenSet_) {
            close();
        }
        return;
    }
    // A refusal must not look like success, even when it was overtaken or its dialog has gone.
    if (latest) {
        closeWhenSet_ = false;
        // The user's time stays on the dial, ready to be applied again.
        Timer1->setEnabled(false);
        Command3->setEnabled(true);
    }
    platform_.messages.show(failureText(result), kTitle, platform::MessageIcon::Critical);
}

void TimeSet::close() {
    if (window_ == nullptr) {
        return;
    }
    dial_->endDrag();
    Timer1->setEnabled(false);
    window_->hide();
    Command1 = Command2 = Command3 = nullptr;
    Timer1 = nullptr;
    closeWhenSet_ = false;
    platform::destroyLater(platform_.app, std::move(dial_), std::move(window_));
}

} // namespace kadrill::timeset
