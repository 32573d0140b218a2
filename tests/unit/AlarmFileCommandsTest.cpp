#include "alarm/AlarmFileCommands.h"

#include "alarm/AlmFile.h"
#include "memory/MemoryPlatform.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace kadrill::alarm {
namespace {

using platform::FileKind;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using Shown = platform::memory::MemoryMessageBoxes::Shown;

constexpr const char* kOverwrite = "指定されたﾌｧｲﾙは既に存在します。上書きしますか。";
constexpr const char* kSaveCancelled = "ｱﾗｰﾑの設定の保存はｷｬﾝｾﾙされました。";
constexpr const char* kSaved = "ｱﾗｰﾑの設定を保存しました。";
constexpr const char* kNotSaved = "ｱﾗｰﾑの設定を保存できませんでした。\n";
constexpr const char* kMissing = "指定されたﾌｧｲﾙは存在しません。";
constexpr const char* kLoadCancelled = "ｱﾗｰﾑの設定の読込みはｷｬﾝｾﾙされました。";
constexpr const char* kLoaded = "ｱﾗｰﾑの設定を読込みました。";
constexpr const char* kDocuments = "/home/user/Documents";

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

using Said3 = std::tuple<std::string, MessageIcon, MessageButtons>;
const Said3 kQuestion{kOverwrite, MessageIcon::Exclamation, MessageButtons::YesNo};

class AlarmFileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        live.AlarmTime = 3600;
        live.AlarmKeyNames[0] = "x";
        live.AlarmKeyCodes[0] = "{x}";
        before = settingsOf(live);
    }

    static std::string path(const std::string& name) { return std::string(kDocuments) + "/" + name; }
    void existing(const std::string& file, std::string_view bytes) { desk.files.addFile(file, {.bytes = std::string(bytes)}); }
    std::optional<AlarmSettings> saved(const std::string& file) const {
        std::optional<AlmContents> read = loadAlmFile(desk.files, file);
        return read ? std::optional(read->settings) : std::nullopt;
    }

    platform::memory::MemoryPlatform desk;
    state::AlarmFields live;
    AlarmSettings before;
    AlarmFileCommands commands{desk.platform, live};
};

TEST_F(AlarmFileCommandsTest, SaveOffersTheDocumentsFolderAndWritesTheWorkingCopy) {
    desk.fileDialogs.setNextFileName(path("morning.alm"));
    EXPECT_TRUE(commands.Save(Edited()));

    ASSERT_EQ(desk.fileDialogs.shown().size(), 1U);
    const platform::FileDialogOptions& dialog = desk.fileDialogs.shown()[0];
    EXPECT_EQ(dialog.title, "設定の保存");
    EXPECT_EQ(dialog.initialPath, path("無題"));
    ASSERT_EQ(dialog.filters.size(), 1U);
    EXPECT_EQ(dialog.filters[0].caption, "ｱﾗｰﾑ設定ﾌｧｲﾙ ");
    EXPECT_EQ(dialog.filters[0].patterns, std::vector<std::string>{"*.alm"});

    EXPECT_EQ(saved(path("morning.alm")), Edited());
    EXPECT_EQ(Said(desk.messages.shown()), (std::vector{Info(kSaved)}));
    EXPECT_EQ(settingsOf(live), before) << "saving commits nothing";
    EXPECT_EQ(commands.lastFile(), path("morning.alm"));
}

TEST_F(AlarmFileCommandsTest, SaveCancelledInTheDialogSaysNothing) {
    desk.fileDialogs.setNextFileName("");
    EXPECT_FALSE(commands.Save(Edited()));
    EXPECT_TRUE(desk.messages.shown().empty());
    EXPECT_EQ(desk.files.status(path("無題")).kind, FileKind::Missing);
}

TEST_F(AlarmFileCommandsTest, SaveOverAnExistingFileAsksFirst) {
    const std::string file = path("old.alm");
    const Said3 question = kQuestion;
    existing(file, "old contents");

    desk.fileDialogs.setNextFileName(file);
    desk.messages.setNextAnswer(MessageAnswer::No);
    EXPECT_FALSE(commands.Save(Edited()));
    EXPECT_EQ(desk.files.contents(file), "old contents");
    EXPECT_EQ(Said(desk.messages.shown()), (std::vector{question, Info(kSaveCancelled)}));

    desk.fileDialogs.setNextFileName(file);
    desk.messages.setNextAnswer(MessageAnswer::Yes);
    EXPECT_TRUE(commands.Save(Edited()));
    EXPECT_EQ(saved(file), Edited());
    EXPECT_EQ(Said(desk.messages.shown()), (std::vector{question, Info(kSaveCancelled), question, Info(kSaved)}));
}

TEST_F(AlarmFileCommandsTest, AnUnreadableFileInTheWayIsAlsoAskedAbout) {
    const std::string file = path("locked.alm");
    desk.files.addFile(file, {.bytes = "old contents", .readable = false});
    desk.fileDialogs.setNextFileName(file);
    desk.messages.setNextClosed();
    EXPECT_FALSE(commands.Save(Edited()));
    EXPECT_EQ(desk.files.contents(file), "old contents");
    ASSERT_EQ(desk.messages.shown().size(), 2U);
    EXPECT_EQ(desk.messages.shown()[0].text, kOverwrite);
}

struct FailedSave {
    const char* what;
    std::function<void(platform::memory::MemoryFileSystem&, const std::string& file)> setUp;
    bool asked; // a file was in the way
    const char* reason;
    bool kept = true; // the old file is as it was
    friend void PrintTo(const FailedSave& c, std::ostream* os) { *os << c.what; }
};

class SaveFailures : public AlarmFileCommandsTest, public ::testing::WithParamInterface<FailedSave> {};

TEST_P(SaveFailures, AreToldAndLeaveWhatWasThere) {
    const FailedSave& c = GetParam();
    const std::string file = path("old.alm");
    c.setUp(desk.files, file);
    const platform::FileStatus was = desk.files.status(file);
    const std::optional<std::string> old = desk.files.contents(file);
    AlarmSettings s = Edited();
    if (std::string(c.what) == "unencodable") {
        s.programFile = "/opt/🕰/clock";
    }
    desk.fileDialogs.setNextFileName(file);
    desk.messages.setNextAnswer(MessageAnswer::Yes);
    EXPECT_FALSE(commands.Save(s));

    std::vector<Said3> expected;
    if (c.asked) {
        expected.push_back(kQuestion);
    }
    expected.emplace_back(std::string(kNotSaved) + c.reason, MessageIcon::Exclamation, MessageButtons::Ok);
    EXPECT_EQ(Said(desk.messages.shown()), expected);
    EXPECT_EQ(desk.files.status(file).kind, was.kind);
    EXPECT_EQ(desk.files.contents(file) == old, c.kept);
}

using Files = platform::memory::MemoryFileSystem;

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveFailures,
    ::testing::Values(
        FailedSave{"folder not writable", [](Files& f, const std::string&) { f.setFolderReadOnly(kDocuments); },
                   false, "保存先のﾌｫﾙﾀﾞに書き込む権限がありません。"},
        FailedSave{"disk full",
                   [](Files& f, const std::string& file) {
                       f.addFile(file, {.bytes = "old"});
                       f.setFreeSpace(10);
                   },
                   true, "ﾃﾞｨｽｸの空き容量が足りません。"},
        FailedSave{"disk full for the growth of a file rewritten in place",
                   [](Files& f, const std::string& file) {
                       f.addFile(file, {.bytes = "old"});
                       f.setFolderReadOnly(kDocuments);
                       f.setFreeSpace(10);
                   },
                   true, "ﾃﾞｨｽｸの空き容量が足りません。"},
        FailedSave{"no space can be reserved for a rewrite in place",
                   [](Files& f, const std::string& file) {
                       f.addFile(file, {.bytes = "old"});
                       f.setFolderReadOnly(kDocuments);
                       f.setReservable(false);
                   },
                   true, "保存先ではﾌｧｲﾙを安全に上書きできないため、元のﾌｧｲﾙはそのままです。"},
        FailedSave{"a rewrite in place failing half-way",
                   [](Files& f, const std::string& file) {
                       f.addFile(file, {.bytes = "old"});
                       f.setFolderReadOnly(kDocuments);
                       f.failInPlaceAfter(2);
                   },
                   true, "書き込みが途中で失敗したため、ﾌｧｲﾙの内容が不完全な可能性があります。", false},
        FailedSave{"read-only file",
                   [](Files& f, const std::string& file) { f.addFile(file, {.bytes = "old", .writable = false}); },
                   true, "ﾌｧｲﾙが読み取り専用です。"},
        FailedSave{"a pipe in the way",
                   [](Files& f, const std::string& file) { f.addSpecialFile(file); }, false,
                   "指定された名前はﾌｧｲﾙではありません。"},
        FailedSave{"unencodable", [](Files& f, const std::string& file) { f.addFile(file, {.bytes = "old"}); }, true,
                   "ｼﾌﾄJISで保存できない文字が含まれています。"}),
    [](const ::testing::TestParamInfo<FailedSave>& row) { return "case" + std::to_string(row.index); });

TEST_F(AlarmFileCommandsTest, AWritableFileInAFolderClosedToNewFilesIsStillSaved) {
    const std::string file = path("old.alm");
    existing(file, "old contents that are longer than nothing");
    desk.files.setFolderReadOnly(kDocuments);
    desk.fileDialogs.setNextFileName(file);
    desk.messages.setNextAnswer(MessageAnswer::Yes);
    EXPECT_TRUE(commands.Save(Edited()));
    EXPECT_EQ(saved(file), Edited());
    EXPECT_EQ(desk.files.inPlaceWrites(), 1);
    EXPECT_EQ(std::get<0>(Said(desk.messages.shown()).back()), kSaved);
}

TEST_F(AlarmFileCommandsTest, LoadMakesTheFileTheLiveSettingsAtOnce) {
    const std::string file = path("morning.alm");
    ASSERT_EQ(saveAlmFile(desk.files, file, Edited()), SaveOutcome::Saved);
    live.AlarmKeyNames[1] = "stale";
    live.AlarmInProgress = true;

    desk.fileDialogs.setNextFileName(file);
    AlarmSettings seenWhileTold;
    desk.messages.whileShown = [&](const Shown&) { seenWhileTold = settingsOf(live); };
    EXPECT_EQ(commands.Load(), Edited());

    ASSERT_EQ(desk.fileDialogs.shown().size(), 1U);
    const platform::FileDialogOptions& dialog = desk.fileDialogs.shown()[0];
    EXPECT_EQ(dialog.title, "設定の読込み");
    EXPECT_EQ(dialog.initialPath, path("*.alm"));
    ASSERT_EQ(dialog.filters.size(), 1U);
    EXPECT_EQ(dialog.filters[0].caption, "ｱﾗｰﾑ設定ﾌｧｲﾙ ");
    EXPECT_EQ(dialog.filters[0].patterns, std::vector<std::string>{"*.alm"});

    EXPECT_EQ(Said(desk.messages.shown()), (std::vector{Info(kLoaded)}));
    EXPECT_EQ(seenWhileTold, Edited()) << "in force before the message";
    EXPECT_EQ(settingsOf(live), Edited());
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
              (std::vector<Said3>{{kMissing, MessageIcon::Exclamation, MessageButtons::Ok}, Info(kLoadCancelled)}));
    EXPECT_EQ(settingsOf(live), before);
}

TEST_F(AlarmFileCommandsTest, APipeIsRefusedWithoutBeingCalledMissing) {
    desk.files.addSpecialFile(path("pipe.alm"));
    desk.fileDialogs.setNextFileName(path("pipe.alm"));
    EXPECT_EQ(commands.Load(), std::nullopt);
    EXPECT_EQ(Said(desk.messages.shown()),
              (std::vector<Said3>{
                  {"指定されたﾌｧｲﾙは通常のﾌｧｲﾙではないため、読込めません。", MessageIcon::Exclamation, MessageButtons::Ok},
                  Info(kLoadCancelled)}));
    EXPECT_EQ(settingsOf(live), before);
}

TEST_F(AlarmFileCommandsTest, KeysTheAlarmCannotHoldOrSendAreToldOfOnLoad) {
    const std::string head = "#06:45:00#\r\n#TRUE#\r\n1\r\n\"\"\r\n\"/usr/bin/x\"\r\n";
    std::string many = head;
    for (int i = 0; i < 600; ++i) {
        many += "\"a\"\r\n\"{a}\"\r\n";
    }
    const struct {
        const char* what;
        std::string bytes;
        std::size_t keys;
        const char* note;
    } cases[] = {
        {"600 keys", many + "\"EOF\"\r\n", state::kMaxKeys,
         "\n登録ｷｰが500個を超えているため、501個目以降のｷｰは読込んでいません。"
         "このまま保存すると、それらのｷｰは失われます。"},
        {"a console switch", head + "\"Ctrl+Alt+F1\"\r\n\"^%{F1}\"\r\n\"EOF\"\r\n", 1,
         "\nｼｽﾃﾑ全体に作用するｷｰが含まれています。ｱﾗｰﾑはこのｷｰを送信しません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        existing(path("keys.alm"), c.bytes);
        desk.fileDialogs.setNextFileName(path("keys.alm"));
        const std::optional<AlarmSettings> loaded = commands.Load();
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->keys.size(), c.keys);
        EXPECT_EQ(settingsOf(live), *loaded);
        ASSERT_FALSE(desk.messages.shown().empty());
        EXPECT_EQ(Said({desk.messages.shown().back()}),
                  (std::vector{Info((std::string(kLoaded) + c.note).c_str())}));
    }
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
    EXPECT_EQ(settingsOf(live), before);
}

TEST_F(AlarmFileCommandsTest, AFileChosenOutsideTheDialogIsToldAsItsSourceNeeds) {
    using Source = AlarmFileCommands::Source;
    const std::string good = path("good.alm");
    const std::string bad = path("bad.alm");
    ASSERT_EQ(saveAlmFile(desk.files, good, Edited()), SaveOutcome::Saved);
    existing(bad, "#06:45:00#\r\n");
    const auto notAlarmFile = std::tuple<std::string, MessageIcon, MessageButtons>{
        "指定されたﾌｧｲﾙはｱﾗｰﾑの設定ﾌｧｲﾙとして読込めません。", MessageIcon::Exclamation, MessageButtons::Ok};
    using Lines = std::vector<std::tuple<std::string, MessageIcon, MessageButtons>>;
    const struct {
        Source source;
        bool malformed;
        Lines said;
    } rows[] = {
        {Source::Dialog, false, {Info(kLoaded)}},
        {Source::Dialog, true, {}},
        {Source::StartUp, false, {}},
        {Source::StartUp, true, {notAlarmFile, Info(kLoadCancelled)}},
        {Source::Handed, false, {Info(kLoaded)}},
        {Source::Handed, true, {notAlarmFile, Info(kLoadCancelled)}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "source " << static_cast<int>(row.source) << ", malformed "
                                        << row.malformed);
        const std::vector<Shown> earlier = desk.messages.shown();
        applySettings(live, before);
        AlarmFileCommands fresh{desk.platform, live};
        EXPECT_EQ(fresh.loadFrom(row.malformed ? bad : good, row.source).has_value(), !row.malformed);
        const std::vector<Shown> now(desk.messages.shown().begin() + static_cast<std::ptrdiff_t>(earlier.size()),
                                     desk.messages.shown().end());
        EXPECT_EQ(Said(now), row.said);
        EXPECT_EQ(settingsOf(live), row.malformed ? before : Edited());
        EXPECT_EQ(fresh.lastFile(), row.malformed ? "" : good);
    }
}

} // namespace
} // namespace kadrill::alarm
