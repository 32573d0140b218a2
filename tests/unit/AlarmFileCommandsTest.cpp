#include "alarm/AlarmFileCommands.h"

#include "alarm/AlmFile.h"
#include "memory/MemoryPlatform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

namespace kadrill::alarm {
namespace {

namespace fs = std::filesystem;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using Shown = platform::memory::MemoryMessageBoxes::Shown;

constexpr const char* kOverwrite = "指定されたﾌｧｲﾙは既に存在します。上書きしますか。";
constexpr const char* kSaveCancelled = "ｱﾗｰﾑの設定の保存はｷｬﾝｾﾙされました。";
constexpr const char* kSaved = "ｱﾗｰﾑの設定を保存しました。";
constexpr const char* kUnencodable = "ｼﾌﾄJISで保存できない文字が含まれているため、ｱﾗｰﾑの設定を保存できませんでした。";
constexpr const char* kMissing = "指定されたﾌｧｲﾙは存在しません。";
constexpr const char* kLoadCancelled = "ｱﾗｰﾑの設定の読込みはｷｬﾝｾﾙされました。";
constexpr const char* kLoaded = "ｱﾗｰﾑの設定を読込みました。";

AlarmSettings Edited() {
    AlarmSettings s;
    s.time = 6 * 3600 + 45 * 60;
    s.enabled = true;
    s.actionType = 1;
    s.soundFile = "/home/user/ベル.wav";
    s.programFile = "/usr/bin/mousepad";
    s.keys = {{"H", "{H}"}, {"i", "{i}"}, {"Enter", "{ENTER}"}};
    return s;
}

/// What each message box said, with its icon and buttons, title checked on the way.
std::vector<std::tuple<std::string, MessageIcon, MessageButtons>> Said(const std::vector<Shown>& shown) {
    std::vector<std::tuple<std::string, MessageIcon, MessageButtons>> said;
    for (const Shown& box : shown) {
        EXPECT_EQ(box.title, "Kadrill");
        said.emplace_back(box.text, box.icon, box.buttons);
    }
    return said;
}

std::tuple<std::string, MessageIcon, MessageButtons> Info(const char* text) {
    return {text, MessageIcon::Information, MessageButtons::Ok};
}

class AlarmFileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kadrill-cmd-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        desk.files.setDocumentsFolder(dir_.string());
        live.AlarmTime = 3600;
        live.AlarmKeyNames[0] = "x";
        live.AlarmKeyCodes[0] = "{x}";
        before = SettingsOf(live);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    /// A file on disk that the desktop also reports as readable.
    void existing(const std::string& file, std::string_view bytes) {
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        desk.files.addReadableFile(file);
    }
    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    platform::memory::MemoryPlatform desk;
    AlarmFields live;
    AlarmSettings before;
    AlarmFileCommands commands{desk.platform, live};
    fs::path dir_;
};

TEST_F(AlarmFileCommandsTest, SaveOffersTheDocumentsFolderAndWritesTheWorkingCopy) {
    desk.fileDialogs.setNextFileName(path("morning.alm"));
    EXPECT_TRUE(commands.Save(Edited()));

    ASSERT_EQ(desk.fileDialogs.shown().size(), 1U);
    const platform::FileDialogOptions& dialog = desk.fileDialogs.shown()[0];
    EXPECT_EQ(dialog.title, "設定の保存");
    EXPECT_EQ(dialog.initialPath, dir_.string() + "/無題");
    ASSERT_EQ(dialog.filters.size(), 1U);
    EXPECT_EQ(dialog.filters[0].caption, "ｱﾗｰﾑ設定ﾌｧｲﾙ ");
    EXPECT_EQ(dialog.filters[0].patterns, std::vector<std::string>{"*.alm"});

    EXPECT_EQ(LoadAlmFile(path("morning.alm")), Edited());
    EXPECT_EQ(Said(desk.messages.shown()), (std::vector{Info(kSaved)}));
    EXPECT_EQ(SettingsOf(live), before) << "saving commits nothing";
}

TEST_F(AlarmFileCommandsTest, SaveCancelledInTheDialogSaysNothing) {
    desk.fileDialogs.setNextFileName("");
    EXPECT_FALSE(commands.Save(Edited()));
    EXPECT_TRUE(desk.messages.shown().empty());
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(AlarmFileCommandsTest, SaveOverAnExistingFileAsksFirst) {
    const std::string file = path("old.alm");
    const std::tuple<std::string, MessageIcon, MessageButtons> question{kOverwrite, MessageIcon::Exclamation,
                                                                        MessageButtons::YesNo};
    existing(file, "old contents");

    desk.fileDialogs.setNextFileName(file);
    desk.messages.setNextAnswer(MessageAnswer::No);
    EXPECT_FALSE(commands.Save(Edited()));
    EXPECT_EQ(read(file), "old contents");
    EXPECT_EQ(Said(desk.messages.shown()), (std::vector{question, Info(kSaveCancelled)}));

    desk.fileDialogs.setNextFileName(file);
    desk.messages.setNextAnswer(MessageAnswer::Yes);
    EXPECT_TRUE(commands.Save(Edited()));
    EXPECT_EQ(LoadAlmFile(file), Edited());
    EXPECT_EQ(Said(desk.messages.shown()), (std::vector{question, Info(kSaveCancelled), question, Info(kSaved)}));
}

TEST_F(AlarmFileCommandsTest, AnUnreadableFileInTheWayIsAlsoAskedAbout) {
    const std::string file = path("locked.alm");
    std::ofstream(file) << "old contents"; // on disk, but the desktop does not call it readable
    desk.fileDialogs.setNextFileName(file);
    desk.messages.setNextClosed();
    EXPECT_FALSE(commands.Save(Edited()));
    EXPECT_EQ(read(file), "old contents");
    ASSERT_EQ(desk.messages.shown().size(), 2U);
    EXPECT_EQ(desk.messages.shown()[0].text, kOverwrite);
}

TEST_F(AlarmFileCommandsTest, TextShiftJisCannotHoldIsReportedAndNothingIsWritten) {
    AlarmSettings s = Edited();
    s.programFile = "/opt/🕰/clock";
    desk.fileDialogs.setNextFileName(path("emoji.alm"));
    EXPECT_FALSE(commands.Save(s));
    EXPECT_EQ(Said(desk.messages.shown()), (std::vector<std::tuple<std::string, MessageIcon, MessageButtons>>{
                                               {kUnencodable, MessageIcon::Critical, MessageButtons::Ok}}));
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(AlarmFileCommandsTest, AFailedWriteEndsWithoutAMessage) {
    desk.fileDialogs.setNextFileName(path("no such folder/a.alm"));
    EXPECT_FALSE(commands.Save(Edited()));
    EXPECT_TRUE(desk.messages.shown().empty());
}

TEST_F(AlarmFileCommandsTest, LoadMakesTheFileTheLiveSettingsAtOnce) {
    const std::string file = path("morning.alm");
    ASSERT_EQ(SaveAlmFile(file, Edited()), SaveOutcome::Saved);
    desk.files.addReadableFile(file);
    live.AlarmKeyNames[1] = "stale";
    live.AlarmInProgress = true;

    desk.fileDialogs.setNextFileName(file);
    AlarmSettings seenWhileTold;
    desk.messages.whileShown = [&](const Shown&) { seenWhileTold = SettingsOf(live); };
    EXPECT_EQ(commands.Load(), Edited());

    ASSERT_EQ(desk.fileDialogs.shown().size(), 1U);
    const platform::FileDialogOptions& dialog = desk.fileDialogs.shown()[0];
    EXPECT_EQ(dialog.title, "設定の読込み");
    EXPECT_EQ(dialog.initialPath, dir_.string() + "/*.alm");
    ASSERT_EQ(dialog.filters.size(), 1U);
    EXPECT_EQ(dialog.filters[0].caption, "ｱﾗｰﾑ設定ﾌｧｲﾙ ");
    EXPECT_EQ(dialog.filters[0].patterns, std::vector<std::string>{"*.alm"});

    EXPECT_EQ(Said(desk.messages.shown()), (std::vector{Info(kLoaded)}));
    EXPECT_EQ(seenWhileTold, Edited()) << "in force before the message";
    EXPECT_EQ(SettingsOf(live), Edited());
    EXPECT_EQ(live.AlarmKeyNames[3], "") << "the old sequence is gone, not just overwritten in part";
    EXPECT_TRUE(live.AlarmInProgress) << "the run state is not the file's";
}

TEST_F(AlarmFileCommandsTest, LoadCancelledOrOfAMissingFileChangesNothing) {
    desk.fileDialogs.setNextFileName("");
    EXPECT_EQ(commands.Load(), std::nullopt);
    EXPECT_TRUE(desk.messages.shown().empty());

    desk.fileDialogs.setNextFileName(path("gone.alm"));
    EXPECT_EQ(commands.Load(), std::nullopt);
    EXPECT_EQ(Said(desk.messages.shown()),
              (std::vector<std::tuple<std::string, MessageIcon, MessageButtons>>{
                  {kMissing, MessageIcon::Exclamation, MessageButtons::Ok}, Info(kLoadCancelled)}));
    EXPECT_EQ(SettingsOf(live), before);
}

TEST_F(AlarmFileCommandsTest, AMalformedFileChangesNothingAndSaysNothing) {
    // Valid up to its last pair, whose code is not a key: none of it may reach the alarm.
    const std::string file = path("bad.alm");
    existing(
        file,
        "#06:45:00#\r\n#TRUE#\r\n1\r\n\"\"\r\n\"/usr/bin/x\"\r\n\"a\"\r\n\"{a}\"\r\n\"b\"\r\n\"{b\"\r\n\"EOF\"\r\n");
    desk.fileDialogs.setNextFileName(file);
    EXPECT_EQ(commands.Load(), std::nullopt);
    EXPECT_TRUE(desk.messages.shown().empty());
    EXPECT_EQ(SettingsOf(live), before);
}

} // namespace
} // namespace kadrill::alarm
