#include "ContractTest.h"
#include "platform/Application.h"
#include "platform/Autostart.h"
#include "platform/FileSystem.h"
#include "platform/MediaControl.h"
#include "platform/ProgramStarter.h"

namespace kadrill::contract {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::NotifyIconRecord;
using platform::TimerPacing;

template <class B> class ServiceContract : public ContractTest<B> {};
TYPED_TEST_SUITE(ServiceContract, Backends, BackendNames);

NotifyIconRecord iconRecord(int id = 1) { return {.id = id, .tip = "Kadrill", .icon = "kadrill"}; }

TYPED_TEST(ServiceContract, TheTrayIconIsAddedAsFarAsTheDesktopAllowsAndRemovedOnce) {
    platform::TrayIcon& tray = this->backend.tray();
    EXPECT_FALSE(tray.remove(iconRecord())) << "nothing was added";
    EXPECT_EQ(tray.add(iconRecord()), tray.isAvailable());
    EXPECT_FALSE(tray.remove(iconRecord(2))) << "another record";
    EXPECT_TRUE(tray.remove(iconRecord()));
    EXPECT_FALSE(tray.remove(iconRecord()));
    // Added again after its removal.
    EXPECT_EQ(tray.add(iconRecord()), tray.isAvailable());
    EXPECT_TRUE(tray.remove(iconRecord()));
}

TYPED_TEST(ServiceContract, TheTrayIconReportsItsClickAndContextClickOtherPressesNot) {
    platform::TrayIcon& tray = this->backend.tray();
    (void)tray.add(iconRecord());
    std::string heard;
    tray.activated.setHandler(
        [&](platform::TrayActivation what) { heard += what == platform::TrayActivation::Activated ? "A" : "C"; });
    for (TrayPress press : {TrayPress::Left, TrayPress::Middle, TrayPress::Right, TrayPress::DoubleClick}) {
        this->backend.pressTray(press);
    }
    EXPECT_EQ(heard, "AC");
    EXPECT_TRUE(tray.remove(iconRecord()));
}

struct AnswerRow {
    MessageButtons buttons;
    MessageAnswer answer;
};

TYPED_TEST(ServiceContract, TheAnswerOfAMessageBoxComesBack) {
    const AnswerRow rows[] = {
        {MessageButtons::Ok, MessageAnswer::Ok},          {MessageButtons::OkCancel, MessageAnswer::Cancel},
        {MessageButtons::OkCancel, MessageAnswer::Ok},    {MessageButtons::YesNo, MessageAnswer::No},
        {MessageButtons::YesNo, MessageAnswer::Yes},      {MessageButtons::YesNoCancel, MessageAnswer::Cancel},
        {MessageButtons::YesNoCancel, MessageAnswer::No},
    };
    for (const AnswerRow& row : rows) {
        SCOPED_TRACE(testing::Message() << "buttons " << static_cast<int>(row.buttons) << ", answer "
                                        << static_cast<int>(row.answer));
        this->backend.answerNextBox(row.answer, 10);
        EXPECT_EQ(this->backend.messages().show("アラームの時刻です。", "Kadrill", MessageIcon::Question, row.buttons),
                  row.answer);
    }
}

TYPED_TEST(ServiceContract, ClosingAMessageBoxAnswersCancelWhereThereIsOneElseTheLastButton) {
    const AnswerRow rows[] = {
        {MessageButtons::Ok, MessageAnswer::Ok},
        {MessageButtons::OkCancel, MessageAnswer::Cancel},
        {MessageButtons::YesNo, MessageAnswer::No},
        {MessageButtons::YesNoCancel, MessageAnswer::Cancel},
    };
    for (const AnswerRow& row : rows) {
        SCOPED_TRACE(testing::Message() << "buttons " << static_cast<int>(row.buttons));
        this->backend.closeNextBox(10);
        EXPECT_EQ(
            this->backend.messages().show("ヘルプが見つかりません。", "Kadrill", MessageIcon::Information, row.buttons),
            row.answer);
    }
}

TYPED_TEST(ServiceContract, TimersAndOtherWindowsGoOnWhileAMessageBoxWaits) {
    auto w = this->shownWindow();
    auto& button = w->addPictureButton(buttonAt(300, 300));
    platform::Timer& t = w->addTimer({.interval = 50, .enabled = true, .pacing = TimerPacing::Interval});
    int ticks = 0;
    t.tick.setHandler([&] { ++ticks; });
    int ticksWhileWaiting = -1;
    MessageAnswer answer = MessageAnswer::Ok;
    button.clicked.setHandler([&] {
        const int before = ticks;
        answer = this->backend.messages().show("止めますか?", "Kadrill", MessageIcon::Question, MessageButtons::YesNo);
        ticksWhileWaiting = ticks - before;
    });

    this->backend.answerNextBox(MessageAnswer::No, 400);
    this->backend.click(button, platform::MouseButton::Left);
    EXPECT_EQ(answer, MessageAnswer::No);
    EXPECT_GE(ticksWhileWaiting, 4);
}

} // namespace
TYPED_TEST(ServiceContract, OnlyAnExistingReadableRegularFileCounts) {
    TypeParam b;
    EXPECT_TRUE(b.files().isReadableFile(b.readableFile()));
    EXPECT_FALSE(b.files().isReadableFile(b.folder())) << "a folder is no file";
    EXPECT_FALSE(b.files().isReadableFile(b.missingPath()));
    EXPECT_FALSE(b.files().isReadableFile(""));
    EXPECT_FALSE(b.files().documentsFolder().empty());
}

TYPED_TEST(ServiceContract, AFileIsWrittenAndReadWholeAndOnlyARegularWritableOneIsReplaced) {
    using platform::FileKind;
    using Read = platform::ReadResult::Status;
    using Written = platform::WriteResult::Status;
    TypeParam b;
    platform::FileSystem& files = b.files();
    const std::string file = b.readableFile();
    ASSERT_EQ(files.replaceFile(file, "new").status, Written::Written);
    const platform::ReadResult read = files.readFile(file, 3);
    EXPECT_EQ(read.status, Read::Read);
    EXPECT_EQ(read.bytes, "new");
    EXPECT_EQ(files.readFile(file, 2).status, Read::TooLarge);
    EXPECT_EQ(files.readFile(b.missingPath(), 100).status, Read::Missing);
    EXPECT_EQ(files.status(b.folder()).kind, FileKind::Folder);
    EXPECT_EQ(files.readFile(b.folder(), 100).status, Read::NotAFile);
    EXPECT_EQ(files.replaceFile(b.folder(), "x").status, Written::NotAFile);

    // A pipe neither blocks the reader nor is replaced by a file.
    const std::string pipe = b.specialFile();
    EXPECT_EQ(files.status(pipe).kind, FileKind::Other);
    EXPECT_EQ(files.readFile(pipe, 100).status, Read::NotAFile);
    EXPECT_EQ(files.replaceFile(pipe, "x").status, Written::NotAFile);
    EXPECT_EQ(files.status(pipe).kind, FileKind::Other);

    EXPECT_TRUE(files.status(file).writable);
    b.makeReadOnly(file);
    EXPECT_FALSE(files.status(file).writable);
    EXPECT_EQ(files.replaceFile(file, "newer").status, Written::ReadOnly);
    EXPECT_EQ(files.readFile(file, 100).bytes, "new");
}

TYPED_TEST(ServiceContract, AProgramStartsByItsPathAMissingOneIsNotFoundAndAPlainFileDoesNotRun) {
    TypeParam b;
    const platform::StartResult started = b.programs().start(b.program());
    EXPECT_EQ(started.status, platform::StartResult::Status::Started);
    EXPECT_GT(started.pid, 0);
    EXPECT_EQ(b.programs().start(b.missingPath()).status, platform::StartResult::Status::NotFound);
    EXPECT_EQ(b.programs().start(b.folder()).status, platform::StartResult::Status::NotFound);
    EXPECT_EQ(b.programs().start(b.readableFile()).status, platform::StartResult::Status::NotExecutable)
        << "readable, without its execute bit";
}

TYPED_TEST(ServiceContract, TheAutostartEntryIsWrittenReadBackReplacedAndRemoved) {
    TypeParam b;
    platform::Autostart& autostart = b.autostart();
    EXPECT_EQ(autostart.entry(), std::nullopt);
    EXPECT_TRUE(autostart.remove()) << "nothing there is nothing left";
    const std::string first = "[Desktop Entry]\nExec=kadrill \"/home/u/朝.alm\"\n";
    ASSERT_TRUE(autostart.write(first));
    EXPECT_EQ(autostart.entry(), first);
    ASSERT_TRUE(autostart.write("[Desktop Entry]\n"));
    EXPECT_EQ(autostart.entry(), "[Desktop Entry]\n") << "replaced whole, not written over";
    EXPECT_TRUE(autostart.remove());
    EXPECT_EQ(autostart.entry(), std::nullopt);
    EXPECT_FALSE(autostart.programCommand().empty());
}

TYPED_TEST(ServiceContract, WithNoSoundOpenPlayFailsAndCloseIsHarmless) {
    TypeParam b;
    platform::MediaControl& media = b.media();
    bool finished = false;
    media.finished.setHandler([&] { finished = true; });
    media.close();
    EXPECT_EQ(media.play(), platform::MediaError::NotOpen);
    media.close();
    EXPECT_EQ(media.play(), platform::MediaError::NotOpen) << "a failed play opens nothing";
    b.wait(50);
    EXPECT_FALSE(finished);
}

TYPED_TEST(ServiceContract, TimersTickWhileTheProgramWaitsForEvents) {
    TypeParam b;
    auto w = b.windows().createWindow(plainWindow());
    platform::Timer& t = w->addTimer({.interval = 20, .enabled = true});
    int ticks = 0;
    t.tick.setHandler([&] { ++ticks; });
    b.app().waitForEvents(150);
    EXPECT_GE(ticks, 3);
}

TYPED_TEST(ServiceContract, AMessageAtTheTrayIconNeedsAnIconInANotificationArea) {
    TypeParam b;
    const platform::NotifyIconRecord record{.id = 1, .tip = "Kadrill", .icon = "kadrill"};
    EXPECT_FALSE(b.tray().showMessage("Kadrill", "ｱﾗｰﾑ", platform::MessageIcon::Information)) << "no icon yet";
    bool told = false;
    b.tray().availabilityChanged.setHandler([&] { told = true; });
    const bool added = b.tray().add(record);
    EXPECT_EQ(b.tray().showMessage("Kadrill", "ｱﾗｰﾑ", platform::MessageIcon::Information), added);
    // An icon that comes to exist later (after the session bus has answered) is told of, and
    // counts as added from then on, not before.
    if (!added && b.waitUntil([&] { return b.tray().isAvailable(); }, 2000)) {
        EXPECT_TRUE(told);
        EXPECT_TRUE(b.tray().showMessage("Kadrill", "ｱﾗｰﾑ", platform::MessageIcon::Information));
    }
    b.tray().remove(record);
}

} // namespace kadrill::contract
