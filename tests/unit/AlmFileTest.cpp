#include "alarm/AlmFile.h"

#include "platform/posix/PosixFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kadrill::alarm {
namespace {

namespace fs = std::filesystem;

// An armed alarm at 7:30:00 that starts C:\TOOLS\EDIT.EXE and types a, then Enter.
AlarmSettings SampleSettings() {
    AlarmSettings s;
    s.time = 7 * 3600 + 30 * 60;
    s.enabled = true;
    s.actionType = 1;
    s.programFile = "C:\\TOOLS\\EDIT.EXE";
    s.keys = {{"a", "{a}"}, {"Enter", "{ENTER}"}};
    return s;
}

constexpr std::string_view kSampleFile = "#07:30:00#\r\n"
                                         "#TRUE#\r\n"
                                         "1\r\n"
                                         "\"\"\r\n"
                                         "\"C:\\TOOLS\\EDIT.EXE\"\r\n"
                                         "\"a\"\r\n"
                                         "\"{a}\"\r\n"
                                         "\"Enter\"\r\n"
                                         "\"{ENTER}\"\r\n"
                                         "\"EOF\"\r\n";

/// The five leading lines of a disarmed sound alarm at midnight with no files.
constexpr std::string_view kHead = "#00:00:00#\r\n#FALSE#\r\n0\r\n\"\"\r\n\"\"\r\n";

std::string Pairs(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += "\"F" + std::to_string(i % 16 + 1) + "\"\r\n\"{F" + std::to_string(i % 16 + 1) + "}\"\r\n";
    }
    return out;
}

/// The settings a file's bytes hold, whatever else the reader says about them.
std::optional<AlarmSettings> Settings(std::string_view bytes) {
    std::optional<AlmContents> read = decodeAlm(bytes);
    return read ? std::optional(std::move(read->settings)) : std::nullopt;
}

/// The real backend's files, on the real disk.
class DiskFiles final : public platform::FileSystem {
public:
    platform::FileStatus status(const std::string& path) const override { return platform::posix::fileStatus(path); }
    platform::ReadResult readFile(const std::string& path, std::size_t maxBytes) const override {
        return platform::posix::readFile(path, maxBytes);
    }
    platform::WriteResult replaceFile(const std::string& path, std::string_view bytes) override {
        return platform::posix::replaceFile(path, bytes);
    }
    std::string documentsFolder() const override { return "/"; }
};

/// A fresh folder for each test, removed afterwards.
class AlmFileOnDisk : public ::testing::Test {
protected:
    SaveOutcome save(const std::string& file, const AlarmSettings& s) { return saveAlmFile(disk_, file, s); }
    std::optional<AlarmSettings> load(const std::string& file) const {
        std::optional<AlmContents> read = loadAlmFile(disk_, file);
        return read ? std::optional(std::move(read->settings)) : std::nullopt;
    }

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kadrill-alm-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    /// The save as a user who owns no folder here: root may make files anywhere, so as
    /// root it runs in a child as "nobody".
    SaveOutcome saveAsUser(const std::string& file, const AlarmSettings& s) {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(100);
            }
            ::_exit(static_cast<int>(save(file, s)));
        }
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        return static_cast<SaveOutcome>(WIFEXITED(status) ? WEXITSTATUS(status) : 100);
    }

    static void write(const std::string& file, std::string_view bytes) {
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    /// Names in the folder: a save must leave no temporary file behind.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
    DiskFiles disk_;
};

TEST(AlmEncode, SampleIsWrittenByteForByteAndReadBack) {
    EXPECT_EQ(encodeAlm(SampleSettings()), std::string(kSampleFile));
    EXPECT_EQ(Settings(kSampleFile), SampleSettings());
}

TEST(AlmEncode, InitialAlarmIsMidnightDisarmedWithEmptyPathsAndNoKeys) {
    EXPECT_EQ(encodeAlm(AlarmSettings{}), std::string(kHead) + "\"EOF\"\r\n");
}

TEST(AlmEncode, JapaneseTextIsCp932) {
    AlarmSettings s;
    s.soundFile = "ｱﾗｰﾑ～.wav"; // half-width katakana, and the wave dash SHIFT_JIS lacks
    s.keys = {{"あ", "{あ}"}};
    const std::optional<std::string> bytes = encodeAlm(s);
    ASSERT_TRUE(bytes);
    EXPECT_NE(bytes->find("\"\xB1\xD7\xB0\xD1\x81\x60.wav\"\r\n"), std::string::npos);
    EXPECT_NE(bytes->find("\"{\x82\xA0}\"\r\n"), std::string::npos);
    EXPECT_EQ(Settings(*bytes), s);
}

TEST(AlmEncode, ValuesWithCommasQuotesAndBlanksSurviveARoundTrip) {
    AlarmSettings s = SampleSettings();
    s.soundFile = "C:\\My Music\\a,b \"live\".wav";
    s.programFile = "  leading and trailing  ";
    s.keys = {{",", "{,}"}, {"\"", "{\"}"},        {" ", "{ }"},
              {"#", "{#}"}, {"Shift+F1", "+{F1}"}, {"Ctrl+Atl+F6", "^%{F6}"}};
    const std::optional<std::string> bytes = encodeAlm(s);
    ASSERT_TRUE(bytes);
    EXPECT_NE(bytes->find("\r\n\"\"\"\r\n\"{\"}\"\r\n"), std::string::npos) << "the quote key, unescaped";
    EXPECT_EQ(Settings(*bytes), s);
}

TEST(AlmEncode, TextTheFileCannotCarryIsRefused) {
    for (const char* text : {"😀", "¥100", "〜", "Ω\xFF", "line\r\nbreak", "new\nline", "\xE3\x81"}) {
        AlarmSettings s;
        s.programFile = text;
        EXPECT_EQ(encodeAlm(s), std::nullopt) << text;
        s.programFile.clear();
        s.keys = {{text, "{a}"}};
        EXPECT_EQ(encodeAlm(s), std::nullopt) << text;
    }
}

struct DecodeCase {
    const char* what;
    std::string bytes;
    std::int32_t time;
    std::size_t keys;
    bool keysLeftOut = false;
    // Only the description: the bytes run to megabytes.
    friend void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.what; }
};

class AlmDecodeAccepts : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(AlmDecodeAccepts, ReadsTimeAndKeys) {
    const std::optional<AlmContents> read = decodeAlm(GetParam().bytes);
    ASSERT_TRUE(read) << GetParam().what;
    EXPECT_EQ(read->settings.time, GetParam().time);
    EXPECT_EQ(read->settings.keys.size(), GetParam().keys);
    EXPECT_EQ(read->keysLeftOut, GetParam().keysLeftOut);
}

constexpr std::string_view kRest = "#TRUE#\r\n1\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n";

INSTANTIATE_TEST_SUITE_P(
    Variants, AlmDecodeAccepts,
    ::testing::Values(
        DecodeCase{"end marker on line 6", std::string(kHead) + "\"EOF\"\r\n", 0, 0},
        DecodeCase{"date and time", "#1899-12-30 07:30:00#\r\n" + std::string(kRest), 27000, 0},
        DecodeCase{"slashed date", "#2024/2/29 23:59:59#\r\n" + std::string(kRest), 86399, 0},
        DecodeCase{"date alone is midnight", "#1899-12-30#\r\n" + std::string(kRest), 0, 0},
        DecodeCase{"short time", "#7:05#\r\n" + std::string(kRest), 25500, 0},
        DecodeCase{"blanks before and after values",
                   "  #07:30:00#\r\n\t#TRUE# \r\n 1 \r\n \"\" \r\n\t\"\"\r\n  \"a\"\r\n \"{a}\" \r\n \"EOF\"\r\n",
                   27000, 1},
        DecodeCase{"LF line ends, none after the last line", "#00:00:01#\n#TRUE#\n1\n\"\"\n\"\"\n\"EOF\"", 1, 0},
        DecodeCase{"anything after the end marker", std::string(kHead) + "\"EOF\"\r\nrubbish\xFF\r\n", 0, 0},
        DecodeCase{"500 pairs without an end marker", std::string(kHead) + Pairs(500), 0, 500},
        DecodeCase{"more than 500 pairs: the first 500, and word of the rest",
                   std::string(kHead) + Pairs(500) + "\"Enter\"\r\n\"{ENTER}\"\r\n\"EOF\"\r\n", 0, 500, true},
        DecodeCase{"500 pairs and the end marker: nothing left out", std::string(kHead) + Pairs(500) + "\"EOF\"\r\n",
                   0, 500},
        DecodeCase{"anything after 500 pairs", std::string(kHead) + Pairs(500) + "\xFF\"", 0, 500},
        DecodeCase{"the sequence ends at an empty name; what follows is not checked",
                   std::string(kHead) + "\"a\"\r\n\"{a}\"\r\n\"\"\r\n\"\"\r\n\"b\"\r\n\"nonsense\"\r\n\"EOF\"\r\n", 0,
                   1}));

struct RejectCase {
    const char* what;
    std::string bytes;
    friend void PrintTo(const RejectCase& c, std::ostream* os) { *os << c.what; }
};

class AlmDecodeRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(AlmDecodeRejects, Malformed) { EXPECT_EQ(decodeAlm(GetParam().bytes), std::nullopt) << GetParam().what; }

std::string WithKey(std::string_view name, std::string_view code) {
    return std::string(kHead) + "\"" + std::string(name) + "\"\r\n\"" + std::string(code) + "\"\r\n\"EOF\"\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Files, AlmDecodeRejects,
    ::testing::Values(
        RejectCase{"empty", std::string()}, RejectCase{"no end marker", std::string(kHead)},
        RejectCase{"truncated in a pair", std::string(kHead) + "\"a\"\r\n"},
        RejectCase{"truncated in a value", std::string(kHead) + "\"EO"},
        RejectCase{"action 2", "#00:00:00#\r\n#TRUE#\r\n2\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"action -1", "#00:00:00#\r\n#TRUE#\r\n-1\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"action 1x", "#00:00:00#\r\n#TRUE#\r\n1x\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"action missing", "#00:00:00#\r\n#TRUE#\r\n\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"hour 24", "#24:00:00#\r\n" + std::string(kRest)},
        RejectCase{"minute 60", "#12:60:00#\r\n" + std::string(kRest)},
        RejectCase{"no such date", "#2023-02-29 07:30:00#\r\n" + std::string(kRest)},
        RejectCase{"date and time run together", "#1899-12-3007:30:00#\r\n" + std::string(kRest)},
        RejectCase{"time unquoted by #", "07:30:00\r\n" + std::string(kRest)},
        RejectCase{"boolean as time", "#TRUE#\r\n" + std::string(kRest)},
        RejectCase{"boolean misspelt", "#00:00:00#\r\n#YES#\r\n1\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"path without quotes", "#00:00:00#\r\n#TRUE#\r\n1\r\nC:\\a.wav\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"unterminated quote", "#00:00:00#\r\n#TRUE#\r\n1\r\n\"C:\\a.wav\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"text after the value", "#00:00:00#\r\n#TRUE#\r\n1\r\n\"a\",b\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"CR inside a line", "#00:00:00#\r\n#TRUE#\r\n1\r\n\"a\rb\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"not CP932", "#00:00:00#\r\n#TRUE#\r\n1\r\n\"\x80\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"key code that does not parse", WithKey("x", "{NOPE}")},
        RejectCase{"key code empty", WithKey("x", "")}, RejectCase{"bare letter", WithKey("a", "a")},
        RejectCase{"two characters in braces", WithKey("ab", "{ab}")},
        RejectCase{"over 1 MiB", std::string(kHead) + "\"EOF\"\r\n" + std::string(kMaxAlmFileSize, ' ')}));

TEST_F(AlmFileOnDisk, SaveWritesTheSampleAndLoadReadsItBack) {
    const std::string file = path("sample.alm");
    ASSERT_EQ(save(file, SampleSettings()), SaveOutcome::Saved);
    EXPECT_EQ(read(file), kSampleFile);
    EXPECT_EQ(load(file), SampleSettings());
    EXPECT_EQ(entries(), std::vector<std::string>{"sample.alm"});
}

TEST_F(AlmFileOnDisk, SaveReplacesAnOlderFileKeepingItsPermissions) {
    const std::string file = path("old.alm");
    write(file, std::string(kMaxAlmFileSize / 2, 'x'));
    ::chmod(file.c_str(), 0640);
    const bool root = ::geteuid() == 0; // only root may give a file away
    if (root) {
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(save(file, SampleSettings()), SaveOutcome::Saved);
    EXPECT_EQ(read(file), kSampleFile) << "truncated, not overwritten in place";
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640U);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534U);
        EXPECT_EQ(info.st_gid, 65534U);
    }
    EXPECT_EQ(entries(), std::vector<std::string>{"old.alm"});
}

TEST_F(AlmFileOnDisk, SaveThroughALinkReplacesTheFileItPointsTo) {
    write(path("real.alm"), "old");
    fs::create_symlink(path("real.alm"), path("link.alm"));
    ASSERT_EQ(save(path("link.alm"), SampleSettings()), SaveOutcome::Saved);
    EXPECT_TRUE(fs::is_symlink(path("link.alm")));
    EXPECT_EQ(read(path("real.alm")), kSampleFile);
    // A link to a file not there yet (on a drive not mounted, say) makes that file.
    fs::create_symlink("new.alm", path("dangling.alm"));
    ASSERT_EQ(save(path("dangling.alm"), SampleSettings()), SaveOutcome::Saved);
    EXPECT_TRUE(fs::is_symlink(path("dangling.alm")));
    EXPECT_EQ(read(path("new.alm")), kSampleFile);
}

TEST_F(AlmFileOnDisk, SaveKeepsTheFilesOtherNamesAndAttributes) {
    write(path("linked.alm"), "old");
    fs::create_hard_link(path("linked.alm"), path("other name.alm"));
    write(path("labelled.alm"), "old");
    // Not every file system takes user attributes.
    const bool labelled = ::setxattr(path("labelled.alm").c_str(), "user.kadrill", "kept", 4, 0) == 0;
    ASSERT_EQ(save(path("linked.alm"), SampleSettings()), SaveOutcome::Saved);
    ASSERT_EQ(save(path("labelled.alm"), SampleSettings()), SaveOutcome::Saved);
    EXPECT_EQ(read(path("other name.alm")), kSampleFile) << "the links were split";
    char label[8] = {};
    EXPECT_TRUE(!labelled || ::getxattr(path("labelled.alm").c_str(), "user.kadrill", label, sizeof label) == 4);
    EXPECT_EQ(std::string(label), labelled ? "kept" : "");
    EXPECT_EQ(entries(), (std::vector<std::string>{"labelled.alm", "linked.alm", "other name.alm"}));
}

TEST_F(AlmFileOnDisk, UnencodableSettingsLeaveTheOldFileAlone) {
    const std::string file = path("old.alm");
    write(file, kSampleFile);
    AlarmSettings s = SampleSettings();
    s.keys.push_back({"😀", "{😀}"});
    EXPECT_EQ(save(file, s), SaveOutcome::Unencodable);
    EXPECT_EQ(read(file), kSampleFile);
    EXPECT_EQ(entries(), std::vector<std::string>{"old.alm"});
}

TEST_F(AlmFileOnDisk, WhereNothingCanBeWrittenTheSaveFails) {
    fs::create_directory(path("folder.alm"));
    write(path("folder.alm/inside"), "kept");
    write(path("locked.alm"), "kept");
    ::chmod(path("locked.alm").c_str(), 0444);
    // Read-only for every user: the superuser's right to write it is no reason to.
    EXPECT_EQ(save(path("locked.alm"), SampleSettings()), SaveOutcome::FileReadOnly);
    // Also for root: neither a missing folder nor a folder in the target's place can be written.
    EXPECT_EQ(save(path("missing/a.alm"), SampleSettings()), SaveOutcome::NoFolder);
    EXPECT_EQ(save(path("folder.alm"), SampleSettings()), SaveOutcome::NotAFile);
    EXPECT_NE(save("/proc/kadrill-test.alm", SampleSettings()), SaveOutcome::Saved);
    EXPECT_EQ(save("", SampleSettings()), SaveOutcome::WriteFailed);
    EXPECT_EQ(read(path("folder.alm/inside")), "kept");
    EXPECT_EQ(read(path("locked.alm")), "kept");
    EXPECT_EQ(entries(), (std::vector<std::string>{"folder.alm", "locked.alm"}));
}

TEST_F(AlmFileOnDisk, AWritableFileInAFolderClosedToNewFilesIsRewrittenInPlace) {
    const std::string file = path("kept.alm");
    write(file, std::string(4000, 'x'));
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    EXPECT_EQ(saveAsUser(file, SampleSettings()), SaveOutcome::Saved);
    EXPECT_EQ(read(file), kSampleFile) << "rewritten whole, the old tail cut off";
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file itself, not a new one";
    EXPECT_EQ(entries(), std::vector<std::string>{"kept.alm"});
}

TEST_F(AlmFileOnDisk, AnotherUsersFileInASharedFolderIsRewrittenInPlace) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    const std::string file = path("shared.alm");
    write(file, std::string(4000, 'x'));
    ASSERT_EQ(::chown(file.c_str(), 65533, 65533), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 01777), 0); // sticky, as the temporary folder is
    EXPECT_EQ(saveAsUser(file, SampleSettings()), SaveOutcome::Saved);
    EXPECT_EQ(read(file), kSampleFile);
    EXPECT_EQ(entries(), std::vector<std::string>{"shared.alm"});
}

/// Caps the size of files this process writes, so a write fails half-way whoever runs it.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit capped = previous_;
        capped.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(AlmFileOnDisk, AWriteFailingHalfWayLeavesTheOldFileAndNoTemporaryFile) {
    const std::string file = path("old.alm");
    write(file, kSampleFile);
    AlarmSettings longer = SampleSettings();
    longer.soundFile = std::string(200, 'x');
    {
        FileSizeCap cap(kSampleFile.size());
        EXPECT_EQ(save(file, longer), SaveOutcome::WriteFailed);
    }
    EXPECT_EQ(read(file), kSampleFile);
    EXPECT_EQ(entries(), std::vector<std::string>{"old.alm"});
}

TEST_F(AlmFileOnDisk, ARewriteInPlaceFailingHalfWaySaysTheFileChanged) {
    const std::string file = path("kept.alm");
    write(file, "old");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    FileSizeCap cap(kSampleFile.size() / 2);
    EXPECT_EQ(saveAsUser(file, SampleSettings()), SaveOutcome::Incomplete);
}

TEST_F(AlmFileOnDisk, LoadRefusesWhatIsNotASettingsFile) {
    write(path("big.alm"), std::string(kSampleFile) + std::string(kMaxAlmFileSize, ' '));
    write(path("bad.alm"), std::string(kSampleFile).replace(20, 1, "7"));
    fs::create_directory(path("folder.alm"));
    ASSERT_EQ(::mkfifo(path("pipe.alm").c_str(), 0600), 0);
    for (const char* name : {"missing.alm", "big.alm", "bad.alm", "folder.alm", "pipe.alm"}) {
        EXPECT_EQ(load(path(name)), std::nullopt) << name;
    }
}

TEST_F(AlmFileOnDisk, NoFileStaysOpen) {
    const auto openFiles = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    write(path("bad.alm"), kHead);
    const auto before = openFiles();
    (void)save(path("a.alm"), SampleSettings());
    (void)save(path("a.alm/b"), SampleSettings());
    (void)load(path("a.alm"));
    (void)load(path("bad.alm"));
    EXPECT_EQ(openFiles(), before);
    {
        FileSizeCap cap(8);
        (void)save(path("a.alm"), SampleSettings());
    }
    EXPECT_EQ(openFiles(), before);
}

} // namespace
} // namespace kadrill::alarm
