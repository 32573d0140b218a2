#include "timeset/DialMath.h"
#include "timeset/TimeSet.h"

#include "memory/MemoryPlatform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace kadrill::timeset {
namespace {

using platform::MessageIcon;
using platform::MouseButton;
using platform::Point;
using platform::SetTimeOutcome;
using platform::memory::MemoryCommandButton;
using platform::memory::MemoryPicture;
using platform::memory::MemoryTextBox;
using platform::memory::MemoryWindow;

Point toward(double value) {
    const platform::PointF p = handEnd(1320, 1320, value / 60.0, 900);
    return {static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))};
}

class TimeSetTest : public testing::Test {
protected:
    TimeSetTest() { desk.clock.setTimeOfDay(9, 41, 7); }

    void open() {
        dialog.Show();
        desk.loop.advance(100); // the first tick draws the hands
    }
    MemoryWindow& window() { return static_cast<MemoryWindow&>(*dialog.window()); }
    MemoryCommandButton& button(platform::CommandButton* b) { return static_cast<MemoryCommandButton&>(*b); }
    MemoryPicture& face() { return static_cast<MemoryPicture&>(*dialog.dial()->Picture1); }
    MemoryTextBox& box(platform::TextBox* b) { return static_cast<MemoryTextBox&>(*b); }
    std::string boxes() {
        Dial& d = *dialog.dial();
        return d.Hour->text() + ":" + d.Min->text() + ":" + d.Sec->text();
    }
    bool editing() { return !dialog.Timer1->isEnabled() && dialog.Command3->isEnabled(); }
    bool following() { return dialog.Timer1->isEnabled() && !dialog.Command3->isEnabled(); }
    // Drags the minute hand to the value with the left button.
    void dragMinute(double value) {
        face().pressMouse(MouseButton::Left, toward(value));
        face().moveMouse(toward(value), 1);
        face().releaseMouse(MouseButton::Left, toward(value));
    }
    void settle() { desk.loop.advance(0); }

    platform::memory::MemoryPlatform desk;
    state::DialState dials;
    TimeSet dialog{desk.platform, dials};
};

TEST_F(TimeSetTest, TheDialFollowsTheClockUntilTheUserTakesHold) {
    dialog.Show();
    for (auto* hand : dialog.dial()->Hand) {
        EXPECT_FALSE(hand->isVisible()) << "hidden until the first tick";
    }
    desk.loop.advance(100);
    EXPECT_EQ(boxes(), "9:41:7");
    EXPECT_TRUE(following());
    desk.loop.advance(1000);
    EXPECT_EQ(boxes(), "9:41:8");
    desk.clock.setTimeOfDay(23, 59, 59);
    desk.loop.advance(100);
    EXPECT_EQ(boxes(), "23:59:59");

    face().pressMouse(MouseButton::Middle, toward(10));
    EXPECT_TRUE(editing()) << "a press with any button takes hold";
    desk.loop.advance(2000);
    EXPECT_EQ(boxes(), "23:59:59");
}

TEST_F(TimeSetTest, OkWithoutAnEditSetsNothingAndCloses) {
    open();
    button(dialog.Command1).click();
    settle();
    EXPECT_TRUE(desk.timeSetter.requests().empty());
    EXPECT_FALSE(dialog.isOpen());
}

TEST_F(TimeSetTest, ApplySendsTheDialsTimeThenFollowsTheClockAgain) {
    open();
    dragMinute(5);
    EXPECT_EQ(boxes(), "9:5:7");
    box(dialog.dial()->Sec).replaceAll("0");
    button(dialog.Command3).click();
    EXPECT_FALSE(dialog.Command3->isEnabled());
    settle();
    EXPECT_EQ(desk.timeSetter.requests(), std::vector<std::string>{"9:5:0"});
    EXPECT_TRUE(following());

    button(dialog.Command1).click();
    settle();
    EXPECT_EQ(desk.timeSetter.requests().size(), 1U) << "OK after Apply sets nothing more";
    EXPECT_FALSE(dialog.isOpen());
}

TEST_F(TimeSetTest, OkSetsAnUnappliedEditAndCloses) {
    open();
    dragMinute(30);
    button(dialog.Command1).click();
    EXPECT_TRUE(dialog.isOpen()) << "waits for the answer";
    settle();
    EXPECT_EQ(desk.timeSetter.requests(), std::vector<std::string>{"9:30:7"});
    EXPECT_FALSE(dialog.isOpen());
}

TEST_F(TimeSetTest, CancelEscapeEnterOnCancelAndTheCloseBoxSetNothing) {
    for (int way = 0; way < 4; ++way) {
        open();
        dragMinute(20);
        if (way == 0) {
            button(dialog.Command2).click();
        } else if (way == 1) {
            window().pressEscape();
        } else if (way == 2) {
            dialog.Command2->setFocus();
            window().pressEnter();
        } else {
            window().close();
        }
        settle();
        EXPECT_FALSE(dialog.isOpen()) << way;
        EXPECT_EQ(dials.DialDragButton, 0);
    }
    EXPECT_TRUE(desk.timeSetter.requests().empty());
}

TEST_F(TimeSetTest, TypingIntoABoxIsEditingAsMuchAsClicking) {
    open();
    window().pressTab(); // OK
    window().pressTab(); // Cancel; Apply is disabled and skipped
    window().pressTab(); // the hour box
    ASSERT_TRUE(dialog.dial()->Hour->hasFocus());
    box(dialog.dial()->Hour).replaceAll("6");
    EXPECT_TRUE(editing());
    desk.loop.advance(500);
    EXPECT_EQ(boxes(), "6:41:7") << "the clock must not overwrite what was typed";
    window().pressEnter();
    settle();
    EXPECT_EQ(desk.timeSetter.requests(), std::vector<std::string>{"6:41:7"});
    EXPECT_FALSE(dialog.isOpen());
}

TEST_F(TimeSetTest, AClickIntoABoxTakesHold) {
    open();
    box(dialog.dial()->Min).clickInto();
    EXPECT_TRUE(editing());
}

struct Refusal {
    const char* name;
    platform::SetTimeResult answer;
    const char* message;
};

class TimeSetRefusals : public TimeSetTest, public testing::WithParamInterface<Refusal> {};

TEST_P(TimeSetRefusals, ARefusalIsReportedAndTheEditStays) {
    open();
    dragMinute(15);
    desk.timeSetter.setNextAnswer(GetParam().answer);
    button(dialog.Command3).click();
    settle();
    ASSERT_EQ(desk.messages.shown().size(), 1U);
    EXPECT_EQ(desk.messages.shown()[0].text, GetParam().message);
    EXPECT_EQ(desk.messages.shown()[0].title, "Kadrill");
    EXPECT_EQ(desk.messages.shown()[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(editing());
    EXPECT_EQ(boxes(), "9:15:7");

    desk.timeSetter.setNextAnswer(GetParam().answer);
    button(dialog.Command1).click();
    settle();
    EXPECT_TRUE(dialog.isOpen()) << "OK stays open when the set failed";
    EXPECT_TRUE(editing());
    EXPECT_EQ(desk.timeSetter.requests().size(), 2U);
}

INSTANTIATE_TEST_SUITE_P(
    TimeSet, TimeSetRefusals,
    testing::Values(Refusal{"AutomaticSync",
                            {SetTimeOutcome::AutomaticSyncOn, ""},
                            "時刻を設定できませんでした。\n時刻の自動同期が有効になっています。"},
                    Refusal{"NoAnswer",
                            {SetTimeOutcome::NoAnswer, ""},
                            "時刻を設定できませんでした。\n時刻を設定するｼｽﾃﾑのｻｰﾋﾞｽから応答がありませんでした。"},
                    // Only an error nobody foresaw is shown in the system's words, under ours.
                    Refusal{"Unknown",
                            {SetTimeOutcome::Failed, "Failed to set system clock"},
                            "時刻を設定できませんでした。\nｼｽﾃﾑからのｴﾗｰ：\nFailed to set system clock"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(TimeSetTest, AnAnswerAfterTheDialogClosedBelongsToNoLaterOpening) {
    open();
    dragMinute(40);
    desk.timeSetter.holdAnswers(true); // a password question left open
    button(dialog.Command3).click();
    button(dialog.Command2).click();
    settle();
    ASSERT_FALSE(dialog.isOpen());
    open();
    button(dialog.Command1).click();
    settle();
    EXPECT_FALSE(dialog.isOpen()) << "OK without an edit closes at once";
    open();
    desk.timeSetter.answerHeld();
    settle();
    ASSERT_TRUE(dialog.isOpen()) << "the earlier opening's answer leaves this one alone";
    EXPECT_TRUE(following());
    EXPECT_TRUE(desk.messages.shown().empty());
    button(dialog.Command2).click();
    settle();

    open();
    dragMinute(45);
    desk.timeSetter.setNextAnswer({SetTimeOutcome::Failed, "Timeout"});
    button(dialog.Command3).click();
    button(dialog.Command2).click();
    desk.timeSetter.answerHeld();
    settle();
    ASSERT_EQ(desk.messages.shown().size(), 1U) << "a failure is still reported";
    EXPECT_FALSE(dialog.isOpen());
}

TEST_F(TimeSetTest, AnEditMadeWhileApplyingIsKept) {
    open();
    dragMinute(10);
    desk.timeSetter.holdAnswers(true);
    button(dialog.Command3).click();
    dragMinute(50);
    desk.timeSetter.answerHeld();
    settle();
    EXPECT_TRUE(editing()) << "the later edit is still to be applied";
    EXPECT_EQ(boxes(), "8:50:7") << "dragged back past 12";
}

TEST_F(TimeSetTest, OfTwoAppliesInFlightOnlyTheLatestAnswerDecides) {
    open();
    dragMinute(10);
    desk.timeSetter.holdAnswers(true);
    button(dialog.Command3).click();
    dragMinute(50);
    desk.timeSetter.setNextAnswer({SetTimeOutcome::Denied, ""});
    button(dialog.Command3).click();
    desk.timeSetter.answerHeld(1); // the first one is Done
    desk.loop.advance(500);
    EXPECT_EQ(boxes(), "8:50:7") << "the clock must not overwrite the time still being set";
    desk.timeSetter.answerHeld(); // the latest is refused
    settle();
    EXPECT_TRUE(editing());
    EXPECT_EQ(boxes(), "8:50:7");
    EXPECT_EQ(desk.messages.shown().size(), 1U);
}

TEST_F(TimeSetTest, OpeningAgainOnlyBringsItForward) {
    open();
    platform::Window* first = dialog.window();
    dragMinute(25);
    dialog.Show();
    EXPECT_EQ(dialog.window(), first);
    EXPECT_TRUE(editing());
    EXPECT_TRUE(window().isActive());
}

TEST_F(TimeSetTest, TheControlsReadInTabOrder) {
    open();
    std::vector<std::string> order;
    for (auto* target : window().tabOrder()) {
        if (auto* b = dynamic_cast<MemoryCommandButton*>(target)) {
            order.push_back(b->props().caption);
        } else if (auto* t = dynamic_cast<MemoryTextBox*>(target)) {
            order.push_back(t->props().accessibleName);
        }
    }
    EXPECT_EQ(order, (std::vector<std::string>{"OK", "キャンセル", "適用(&A)", "時", "分", "秒"}));
}

} // namespace
} // namespace kadrill::timeset
