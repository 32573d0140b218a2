#include "alarm/AlmFile.h"

#include "AlmSamples.h"

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

// Settings files on a real disk, through the POSIX files backend.
namespace kadrill::alarm {
namespace {

using namespace samples;

namespace fs = std::filesystem;

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
