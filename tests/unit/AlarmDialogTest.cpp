#include "alarm/AlarmDialog.h"

#include "alarm/KeyTable.h"
#include "memory/MemoryPlatform.h"
#include "timeset/DialMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace kadrill::alarm {
namespace {

using platform::MessageIcon;
using platform::MouseButton;
using platform::memory::MemoryCommandButton;
using platform::memory::MemoryListBox;
using platform::memory::MemoryOptionButton;
using platform::memory::MemoryPicture;
using platform::memory::MemoryTextBox;
using platform::memory::MemoryWindow;

constexpr const char* kFull = "登録ｷｰは、登録できる最大個数の500個になりました。";

class AlarmDialogTest : public testing::Test {
protected:
    AlarmDialogTest() {
        alarm.SpecialKeyTable = buildSpecialKeyTable();
        dialog.committed.setHandler([this] { ++markRecolours; });
    }

    void open() {
        dialog.Show();
        desk.loop.advance(0);
    }
    void settle() { desk.loop.advance(0); }
    MemoryWindow& window() { return static_cast<MemoryWindow&>(*dialog.window()); }
    static MemoryCommandButton& button(platform::CommandButton* b) { return static_cast<MemoryCommandButton&>(*b); }
    static MemoryOptionButton& option(platform::OptionButton* o) { return static_cast<MemoryOptionButton&>(*o); }
    static MemoryTextBox& box(platform::TextBox* b) { return static_cast<MemoryTextBox&>(*b); }
    static MemoryListBox& list(platform::ListBox* l) { return static_cast<MemoryListBox&>(*l); }
    std::string boxes() {
        auto& d = *dialog.dial();
        return d.Hour->text() + ":" + d.Min->text() + ":" + d.Sec->text();
    }
    std::vector<std::string> names() { return list(dialog.AprActionList).items(); }
    void withKeys(int n) {
        for (int i = 0; i < n; ++i) {
            alarm.AlarmKeyNames[static_cast<std::size_t>(i)] = "k";
            alarm.AlarmKeyCodes[static_cast<std::size_t>(i)] = "{k}";
        }
    }
    void programWithKeys(int n) {
        alarm.AlarmActionType = 1;
        alarm.AlarmProgramFile = "/usr/bin/editor";
        withKeys(n);
        open();
    }
    int row(const std::string& name) {
        for (std::size_t k = 0; k < alarm.SpecialKeyTable.size(); ++k) {
            if (alarm.SpecialKeyTable[k].name == name) {
                return static_cast<int>(k);
            }
        }
        return -1;
    }
    bool keyEntryOpen() {
        return dialog.KeyInputBox->isEnabled() && dialog.KeyList->isEnabled() && dialog.Label5->isEnabled() &&
               dialog.Label6->isEnabled();
    }

    platform::memory::MemoryPlatform desk;
    state::AlarmFields alarm;
    state::DialState dials;
    int markRecolours = 0;
    AlarmDialog dialog{desk.platform, alarm, dials};
};

TEST_F(AlarmDialogTest, AtStartUpItShowsAnEmptyDisarmedSoundAlarm) {
    open();
    EXPECT_EQ(window().props().caption, "ｱﾗｰﾑの設定");
    EXPECT_TRUE(dialog.AlarmSwitch[1]->isChecked());
    EXPECT_TRUE(dialog.AlarmAction[0]->isChecked());
    EXPECT_EQ(dialog.FileName[0]->text(), "");
    EXPECT_EQ(dialog.FileName[1]->text(), "");
    EXPECT_EQ(names(), std::vector<std::string>{""});
    EXPECT_EQ(boxes(), "0:0:0");
    for (auto* hand : dialog.dial()->Hand) {
        EXPECT_TRUE(hand->isVisible());
        EXPECT_FLOAT_EQ(hand->end().x, 1320);
    }
    EXPECT_FALSE(dialog.Frame6->isEnabled());
    EXPECT_FALSE(dialog.FileName[1]->isEnabled());
    EXPECT_TRUE(dialog.FileName[0]->isEnabled());
    EXPECT_FALSE(dialog.AddKeyButton->isEnabled());
    EXPECT_FALSE(dialog.DeleteKeyButton->isEnabled());
    EXPECT_EQ(list(dialog.KeyList).count(), 409);
    const auto marks = static_cast<MemoryPicture&>(*dialog.dial()->Picture1).drawing();
    ASSERT_EQ(marks.size(), 60U);
    EXPECT_NE(marks[1].at.x, std::round(marks[1].at.x)) << "the alarm dial keeps its marks unrounded";
}

TEST_F(AlarmDialogTest, TheDialAndBoxesShowTheAlarmTime) {
    for (const auto& [time, shown] : {std::pair{9 * 3600 + 5 * 60 + 7, "9:5:7"}, std::pair{86399, "23:59:59"}}) {
        alarm.AlarmTime = time;
        open();
        EXPECT_EQ(boxes(), shown);
        button(dialog.AlarmCancelButton).click();
        settle();
    }
}

TEST_F(AlarmDialogTest, SwitchingActionsClearsTheSelectionsButKeepsTheKeys) {
    programWithKeys(3);
    list(dialog.KeyList).clickLine(5);
    list(dialog.AprActionList).clickLine(1);
    option(dialog.AlarmAction[0]).click();
    EXPECT_EQ(dialog.KeyList->currentIndex(), -1);
    EXPECT_EQ(dialog.AprActionList->currentIndex(), -1);
    EXPECT_FALSE(dialog.AddKeyButton->isEnabled());
    EXPECT_FALSE(dialog.DeleteKeyButton->isEnabled());
    option(dialog.AlarmAction[1]).click();
    EXPECT_EQ(names(), (std::vector<std::string>{"k", "k", "k", ""}));
    EXPECT_TRUE(dialog.Frame6->isEnabled());
}

TEST_F(AlarmDialogTest, WhereNoKeysCanBeSentTheProgramActionSaysSo) {
    programWithKeys(1);
    EXPECT_FALSE(dialog.keysUnavailableNote->isVisible());
    button(dialog.AlarmCancelButton).click();
    settle();
    desk.keys.setAvailable(false);
    open();
    EXPECT_TRUE(dialog.keysUnavailableNote->isVisible());
    option(dialog.AlarmAction[0]).click();
    EXPECT_FALSE(dialog.keysUnavailableNote->isVisible()) << "a sound needs no keys";
}

TEST_F(AlarmDialogTest, BrowseFillsTheBoxOfTheSelectedAction) {
    using Start = platform::memory::MemoryFileDialogs::Start;
    open();
    desk.fileDialogs.setNextFileName("/home/user/Documents/x.alm");
    button(dialog.AlarmSaveButton).click();
    desk.fileDialogs.setNextFileName("/home/user/bell.wav");
    button(dialog.ReferenceButton).click();
    EXPECT_EQ(desk.fileDialogs.started().back(), (Start{"/home/user/Documents", ""})) << "not the saved file's name";
    EXPECT_EQ(dialog.FileName[0]->text(), "/home/user/bell.wav");
    EXPECT_EQ(dialog.FileName[1]->text(), "");
    ASSERT_EQ(desk.fileDialogs.shown().size(), 2U);
    const auto& sound = desk.fileDialogs.shown()[1];
    EXPECT_EQ(sound.title, "参照");
    ASSERT_EQ(sound.filters.size(), 2U);
    EXPECT_EQ(sound.filters[0].caption, "ｻｳﾝﾄﾞﾌｧｲﾙ (*.wav;*.mid)");
    EXPECT_EQ(sound.filters[1].caption, "すべてのﾌｧｲﾙ");

    button(dialog.ReferenceButton).click(); // cancelled
    EXPECT_EQ(desk.fileDialogs.started().back(), (Start{"/home/user", "bell.wav"})) << "where it was left";
    EXPECT_EQ(dialog.FileName[0]->text(), "/home/user/bell.wav");

    option(dialog.AlarmAction[1]).click();
    desk.fileDialogs.setNextFileName("/usr/bin/xterm");
    button(dialog.ReferenceButton).click();
    EXPECT_EQ(desk.fileDialogs.started().back(), (Start{"/home/user/Documents", ""})) << "programs apart from sounds";
    EXPECT_EQ(dialog.FileName[1]->text(), "/usr/bin/xterm");
    const auto& program = desk.fileDialogs.shown().back();
    EXPECT_EQ(program.filters[0].caption, "ﾌﾟﾛｸﾞﾗﾑ (*.com;*.exe;*.bat;)");
    EXPECT_TRUE(program.filters[0].executablesOnly) << "programs here have no extension";
}

TEST_F(AlarmDialogTest, ClearThenOkCommitsAnEmptyDisarmedAlarmKeepingTheAction) {
    alarm.AlarmEnabled = true;
    alarm.AlarmTime = 7 * 3600;
    alarm.AlarmActionType = 1;
    alarm.AlarmSoundFile = "/a.wav";
    programWithKeys(2);
    button(dialog.AlarmClearButton).click();
    EXPECT_EQ(names(), std::vector<std::string>{""});
    EXPECT_EQ(boxes(), "0:0:0");
    button(dialog.AlarmOKButton).click();
    settle();
    EXPECT_FALSE(dialog.isOpen());
    EXPECT_FALSE(alarm.AlarmEnabled);
    EXPECT_EQ(alarm.AlarmTime, 0);
    EXPECT_EQ(alarm.AlarmActionType, 1);
    EXPECT_EQ(alarm.AlarmSoundFile, "");
    EXPECT_EQ(alarm.AlarmProgramFile, "");
    EXPECT_EQ(alarm.AlarmKeyNames[0], "");
    EXPECT_EQ(markRecolours, 1);
}

TEST_F(AlarmDialogTest, ClearThenCancelLeavesTheCommittedAlarmExactlyAsItWas) {
    alarm.AlarmEnabled = true;
    alarm.AlarmSoundFile = "/a.wav";
    alarm.AlarmProgramFile = "/usr/bin/editor";
    withKeys(2);
    const AlarmSettings before = settingsOf(alarm);
    open();
    button(dialog.AlarmClearButton).click();
    window().pressEscape();
    settle();
    EXPECT_FALSE(dialog.isOpen());
    EXPECT_EQ(settingsOf(alarm), before);
    EXPECT_EQ(alarm.AlarmActionType, 0) << "a sound alarm must not turn into a program start";
}

TEST_F(AlarmDialogTest, AnArmedAlarmNeedsItsFile) {
    open();
    option(dialog.AlarmSwitch[0]).click();
    button(dialog.AlarmOKButton).click();
    ASSERT_EQ(desk.messages.shown().size(), 1U);
    EXPECT_EQ(desk.messages.shown()[0].text, "ﾌｧｲﾙ名を入力してください。");
    EXPECT_EQ(desk.messages.shown()[0].icon, MessageIcon::Exclamation);
    settle();
    EXPECT_TRUE(dialog.isOpen());
    EXPECT_FALSE(alarm.AlarmEnabled);

    box(dialog.FileName[0]).replaceAll("/bell.wav");
    box(dialog.dial()->Hour).replaceAll("6");
    box(dialog.dial()->Min).replaceAll("30");
    button(dialog.AlarmOKButton).click();
    settle();
    EXPECT_TRUE(alarm.AlarmEnabled);
    EXPECT_EQ(alarm.AlarmTime, 6 * 3600 + 30 * 60);
    EXPECT_EQ(alarm.AlarmSoundFile, "/bell.wav");
}

TEST_F(AlarmDialogTest, TypedCharactersBecomeKeysInFrontOfTheSelectedLine) {
    programWithKeys(0);
    list(dialog.AprActionList).clickLine(0);
    box(dialog.KeyInputBox).clickInto();
    box(dialog.KeyInputBox).type("a+b");
    ASSERT_TRUE(dialog.AddKeyButton->isEnabled());
    button(dialog.AddKeyButton).click();
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "+", "b", ""}));
    EXPECT_EQ(dialog.AprActionCodeList, (std::vector<std::string>{"{a}", "{+}", "{b}"}));
    EXPECT_EQ(dialog.KeyInputBox->text(), "");

    list(dialog.AprActionList).clickLine(2);
    box(dialog.KeyInputBox).type("xy");
    button(dialog.AddKeyButton).click();
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "+", "x", "y", "b", ""}));

    list(dialog.AprActionList).clickLine(6 - 1);
    list(dialog.KeyList).clickLine(row("Enter"));
    button(dialog.AddKeyButton).click();
    list(dialog.KeyList).clickLine(row("ALt+Shift+End"));
    button(dialog.AddKeyButton).click();
    EXPECT_EQ(names().back(), "");
    EXPECT_EQ(names()[5], "Enter");
    EXPECT_EQ(names()[6], "ALt+Shift+End");
    EXPECT_EQ(dialog.AprActionCodeList[5], "{ENTER}");
    EXPECT_EQ(dialog.AprActionCodeList[6], "%+{END}");

    box(dialog.KeyInputBox).type("あ");
    button(dialog.AddKeyButton).click();
    EXPECT_EQ(dialog.AprActionCodeList.back(), "{あ}") << "one key per character, not per byte";
}

TEST_F(AlarmDialogTest, TheEmptyTableRowIsShownButAddsNothing) {
    programWithKeys(1);
    list(dialog.AprActionList).clickLine(1);
    ASSERT_EQ(dialog.KeyList->item(72), "");
    list(dialog.KeyList).clickLine(72);
    EXPECT_FALSE(dialog.AddKeyButton->isEnabled());
    button(dialog.AddKeyButton).press();
    EXPECT_EQ(names(), (std::vector<std::string>{"k", ""}));
}

TEST_F(AlarmDialogTest, ASessionWideChordIsRefusedWhenAdded) {
    programWithKeys(1);
    list(dialog.AprActionList).clickLine(1);
    list(dialog.KeyList).clickLine(row("Ctrl+Alt+Delete"));
    ASSERT_TRUE(dialog.AddKeyButton->isEnabled());
    button(dialog.AddKeyButton).click();
    EXPECT_EQ(names(), (std::vector<std::string>{"k", ""}));
    ASSERT_EQ(desk.messages.shown().size(), 1U);
    EXPECT_EQ(desk.messages.shown().back().text, "ｼｽﾃﾑ全体に作用するｷｰは送信できません。");
}

TEST_F(AlarmDialogTest, DeleteWorksOnlyOnKeyLines) {
    programWithKeys(2);
    list(dialog.AprActionList).clickLine(2);
    EXPECT_FALSE(dialog.DeleteKeyButton->isEnabled()) << "the closing line is no key";
    list(dialog.AprActionList).pressUp();
    EXPECT_TRUE(dialog.DeleteKeyButton->isEnabled()) << "keyboard selection counts too";
    button(dialog.DeleteKeyButton).click();
    EXPECT_EQ(names(), (std::vector<std::string>{"k", ""}));
    EXPECT_EQ(dialog.AprActionList->currentIndex(), 1);
    EXPECT_FALSE(dialog.DeleteKeyButton->isEnabled());
    list(dialog.AprActionList).clickLine(0);
    button(dialog.DeleteKeyButton).click();
    EXPECT_EQ(names(), std::vector<std::string>{""});
    EXPECT_FALSE(dialog.AddKeyButton->isEnabled());
    EXPECT_FALSE(dialog.DeleteKeyButton->isEnabled());

    // An empty key name from a hand-made list is still a key line: known by its place.
    dialog.AprActionList->insertItem(0, "");
    dialog.AprActionCodeList.insert(dialog.AprActionCodeList.begin(), "{ }");
    list(dialog.AprActionList).clickLine(0);
    EXPECT_TRUE(dialog.DeleteKeyButton->isEnabled());
}

TEST_F(AlarmDialogTest, FiveHundredKeysAreTheLimitOnEveryPath) {
    programWithKeys(495);
    EXPECT_EQ(dialog.KeyInputBox->maxLength(), 5) << "however the box is reached";
    list(dialog.AprActionList).clickLine(495);
    box(dialog.KeyInputBox).type("abcdefg");
    EXPECT_EQ(dialog.KeyInputBox->text(), "abcde");
    button(dialog.AddKeyButton).click();
    EXPECT_EQ(dialog.AprActionCodeList.size(), 500U);
    ASSERT_FALSE(desk.messages.shown().empty());
    EXPECT_EQ(desk.messages.shown().back().text, kFull);
    EXPECT_EQ(desk.messages.shown().back().icon, MessageIcon::None);
    EXPECT_FALSE(keyEntryOpen());
    EXPECT_FALSE(dialog.AddKeyButton->isEnabled());
    EXPECT_FALSE(box(dialog.KeyInputBox).type("z")) << "a disabled box takes nothing";
    list(dialog.AprActionList).clickLine(3);
    EXPECT_FALSE(dialog.AddKeyButton->isEnabled()) << "a selection must not re-enable Add when full";

    button(dialog.DeleteKeyButton).click();
    EXPECT_TRUE(keyEntryOpen());
    EXPECT_EQ(dialog.KeyInputBox->maxLength(), 1);

    // Text that got into the box past its limit (pasted by the program) goes in only as far as it fits.
    dialog.KeyInputBox->setText("pq");
    button(dialog.AddKeyButton).click();
    EXPECT_EQ(dialog.AprActionCodeList.size(), 500U);
    EXPECT_EQ(dialog.AprActionList->count(), 501);
}

TEST_F(AlarmDialogTest, AFullSequenceFromTheSettingsClosesKeyEntry) {
    programWithKeys(500);
    EXPECT_EQ(names().size(), 501U);
    EXPECT_FALSE(keyEntryOpen());
    window().setFocused(&box(dialog.KeyInputBox));
    box(dialog.KeyInputBox).clickInto();
    list(dialog.AprActionList).clickLine(500);
    list(dialog.KeyList).clickLine(5);
    EXPECT_FALSE(dialog.AddKeyButton->isEnabled());
    button(dialog.AddKeyButton).press();
    EXPECT_EQ(dialog.AprActionCodeList.size(), 500U);
}

TEST_F(AlarmDialogTest, SwitchingActionsDoesNotLiftTheLimit) {
    programWithKeys(499);
    list(dialog.AprActionList).clickLine(499);
    list(dialog.KeyList).clickLine(row("Tab"));
    button(dialog.AddKeyButton).click();
    ASSERT_EQ(desk.messages.shown().back().text, kFull);
    option(dialog.AlarmAction[0]).click();
    option(dialog.AlarmAction[1]).click();
    EXPECT_FALSE(keyEntryOpen());
}

TEST_F(AlarmDialogTest, EnterCommitsOnlyOutsideTheKeyEditors) {
    programWithKeys(1);
    box(dialog.KeyInputBox).clickInto();
    box(dialog.KeyInputBox).type("q");
    window().pressEnter();
    list(dialog.AprActionList).clickLine(0);
    window().pressEnter();
    list(dialog.KeyList).clickLine(0);
    window().pressEnter();
    settle();
    EXPECT_TRUE(dialog.isOpen());
    box(dialog.FileName[1]).clickInto();
    window().pressEnter();
    settle();
    EXPECT_FALSE(dialog.isOpen());
}

TEST_F(AlarmDialogTest, OpeningAgainOnlyBringsItForward) {
    open();
    option(dialog.AlarmSwitch[0]).click();
    alarm.AlarmTime = 3600;
    dialog.Show();
    EXPECT_TRUE(dialog.AlarmSwitch[0]->isChecked());
    EXPECT_EQ(boxes(), "0:0:0");
}

TEST_F(AlarmDialogTest, ADragEndsWhenTheDialogCloses) {
    open();
    auto& face = static_cast<MemoryPicture&>(*dialog.dial()->Picture1);
    face.pressMouse(MouseButton::Right, {2000, 600});
    EXPECT_EQ(dials.DialDragButton, 2);
    window().close();
    settle();
    EXPECT_EQ(dials.DialDragButton, 0);
    EXPECT_FALSE(dialog.isOpen());
}

TEST_F(AlarmDialogTest, ClicksArrivingAfterTheCloseDoNothing) {
    open();
    option(dialog.AlarmSwitch[0]).click();
    button(dialog.AlarmCancelButton).click();
    // The controls outlive the close until the loop turns; a backend may still deliver.
    for (platform::CommandButton* b : {dialog.AlarmOKButton, dialog.AlarmClearButton, dialog.AlarmSaveButton,
                                       dialog.AlarmLoadButton, dialog.ReferenceButton}) {
        b->clicked.raise();
    }
    settle();
    EXPECT_FALSE(dialog.isOpen());
    EXPECT_FALSE(alarm.AlarmEnabled);
    EXPECT_EQ(markRecolours, 0);
}

class AlarmDialogFiles : public AlarmDialogTest {
protected:
    const std::string dir = "/home/user/Documents";
};

TEST_F(AlarmDialogFiles, SaveThenLoadRoundTripsTheDialog) {
    programWithKeys(0);
    box(dialog.FileName[1]).replaceAll("/usr/bin/editor");
    option(dialog.AlarmSwitch[0]).click();
    box(dialog.dial()->Hour).replaceAll("7");
    box(dialog.dial()->Min).replaceAll("30");
    list(dialog.AprActionList).clickLine(0);
    box(dialog.KeyInputBox).type("a\"");
    button(dialog.AddKeyButton).click();
    const AlarmSettings edited = dialog.workingCopy();
    const std::string file = dir + "/wake.alm";
    desk.fileDialogs.setNextFileName(file);
    button(dialog.AlarmSaveButton).click();
    EXPECT_FALSE(alarm.AlarmEnabled) << "Save commits nothing";

    button(dialog.AlarmClearButton).click();
    desk.fileDialogs.setNextFileName(file);
    button(dialog.AlarmLoadButton).click();
    EXPECT_EQ(dialog.workingCopy(), edited);
    EXPECT_EQ(settingsOf(alarm), edited) << "Load writes the settings at once";
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "\"", ""}));
}

TEST_F(AlarmDialogFiles, AFailedLoadChangesNeitherTheSettingsNorTheDialog) {
    alarm.AlarmSoundFile = "/bell.wav";
    programWithKeys(2);
    list(dialog.AprActionList).clickLine(1);
    const AlarmSettings settings = settingsOf(alarm);
    const AlarmSettings shown = dialog.workingCopy();
    const std::string file = dir + "/broken.alm";
    desk.files.addFile(file, {.bytes = "#07:30:00#\r\n#TRUE#\r\n1\r\n\"\"\r\n"});
    desk.fileDialogs.setNextFileName(file);
    button(dialog.AlarmLoadButton).click();
    EXPECT_EQ(settingsOf(alarm), settings);
    EXPECT_EQ(dialog.workingCopy(), shown);
    EXPECT_EQ(dialog.AprActionList->currentIndex(), 1);
    EXPECT_TRUE(dialog.DeleteKeyButton->isEnabled()) << "the dialog stays usable";
}

} // namespace
} // namespace kadrill::alarm
