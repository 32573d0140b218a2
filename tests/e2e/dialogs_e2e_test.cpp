// The set-time and alarm dialogs driven as a person would, with the real pointer and
// keyboard: the clock set through the fake time service on the test's own system bus, an
// alarm that starts a program the test wrote. And the fixture's refusal to start kadrill
// anywhere it could reach the computer's real clock.

#include "kadrill_fixture.h"

#include <gtest/gtest-spi.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kadrill::testsupport {

void PrintTo(const RecordedSetTime& call, std::ostream* os) {
    *os << "SetTime(usec " << call.usecUtc << ", relative " << call.relative << ", interactive " << call.interactive
        << ", interactive authorization " << call.interactiveAuthorizationAllowed << ")";
}

} // namespace kadrill::testsupport

namespace {

using namespace e2e;
using kadrill::testsupport::RecordedSetTime;
using kadrill::testsupport::TimeServiceMode;

// A zone of its own, nine hours from UTC all year: a program that took the dial's time for
// UTC, or for the zone of the machine running the test, would set another instant.
constexpr const char* kZone = "Asia/Tokyo";
constexpr int kZoneOffsetSeconds = 9 * 3600;
constexpr const char* kFakeStart = "2026-12-08 10:20:00";
constexpr int kFakeStartSecond = (10 * 60 + 20) * 60; // of the day

// Microseconds since the epoch of a local time of day on the fake day.
std::int64_t usecOnFakeDay(int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_seconds midnight{sys_days{year{2026} / December / 8}};
    const sys_seconds at = midnight + hours{hour} + minutes{minute} + seconds{second} - seconds{kZoneOffsetSeconds};
    return duration_cast<microseconds>(at.time_since_epoch()).count();
}

std::string listed(const std::vector<RecordedSetTime>& calls) {
    std::string out;
    for (const RecordedSetTime& call : calls)
        out += "\n  " + ::testing::PrintToString(call);
    return out.empty() ? "\n  (no SetTime)" : out;
}

// Where the dialogs put their controls, in client pixels (twips / 15).
namespace time_set {
// Frame (8,8), its picture (8,16) inside, the face's centre (88,88) inside that.
constexpr face::Point kDialCentre{104, 112};
constexpr face::Point kApply{288, 180};
} // namespace time_set

namespace alarm {
constexpr face::Point kHourBox{36, 250};
constexpr face::Point kMinuteBox{76, 250};
constexpr face::Point kSecondBox{116, 250};
constexpr face::Point kArmed{40, 300};       // 有効
constexpr face::Point kRunsProgram{249, 89}; // ｱﾌﾟﾘｹｰｼｮﾝの起動
constexpr face::Point kProgramFile{405, 110};
constexpr face::Point kOk{457, 344};
constexpr face::Point kSave{173, 344}; // 設定の保存(&S)
} // namespace alarm

// The dial's radius to the picture's edge is 88 pixels: this stays well inside it.
constexpr int kOnDial = 60;

// A point `radius` pixels from `centre` at `sixtieths` of a turn clockwise from 12 o'clock.
face::Point onDial(face::Point centre, double sixtieths, int radius = kOnDial) {
    const double angle = sixtieths / 60.0 * 2 * std::numbers::pi;
    return {centre.x + static_cast<int>(std::lround(std::sin(angle) * radius)),
            centre.y - static_cast<int>(std::lround(std::cos(angle) * radius))};
}

// A dialog on the screen: its window and the top-left corner of its client area.
struct Dialog {
    Window window = None;
    face::Point corner;
    face::Point at(face::Point inClient) const { return {corner.x + inClient.x, corner.y + inClient.y}; }
};

class DialogTest : public KadrillTest {
protected:
    // The fake clock in a zone of its own.
    static EnvChanges dialogEnvironment() {
        EnvChanges env = fakeClock(kFakeStart);
        env.emplace_back("TZ", kZone);
        return env;
    }

    // Starts kadrill on the fake clock and returns its face on the screen; the fake clock
    // starts at about `launched_`.
    std::optional<FaceGrab> startWatch(const std::vector<std::string>& arguments = {}) {
        launched_ = WallClock::now();
        startKadrill(dialogEnvironment(), arguments);
        const Window w = mainWindow();
        if (w == None || !waitForFace(w))
            return std::nullopt;
        return pollFor<FaceGrab>(kStartTimeout, [&] { return faceOnScreen(); });
    }

    // The program's clock as the test reckons it. libfaketime starts counting once the
    // program has loaded, a little after `launched_`: the program is never ahead of this.
    double reckonedSecondOfDay() const { return kFakeStartSecond + secondsSince(launched_); }

    std::optional<Dialog> waitForDialog(const std::string& caption) const {
        const auto w = x_.waitForTopLevel(caption, app_->pid(), {100, 100}, kStartTimeout);
        if (!w)
            return std::nullopt;
        // The window manager may still be placing it: its corner counts once it holds still.
        std::optional<std::pair<int, int>> last;
        const auto corner = pollFor<std::pair<int, int>>(kStartTimeout, [&]() -> std::optional<std::pair<int, int>> {
            const auto now = x_.rootPosition(*w);
            if (now && last && *now == *last)
                return now;
            last = now;
            std::this_thread::sleep_for(100ms);
            return std::nullopt;
        });
        if (!corner)
            return std::nullopt;
        return Dialog{*w, {corner->first, corner->second}};
    }

    bool dialogOpen(const std::string& caption) const {
        return x_.findTopLevel(caption, app_->pid(), {100, 100}).has_value();
    }

    // A window of kadrill's titled "Kadrill" other than the watch: a message box.
    std::optional<Window> messageBox() const {
        const auto main = findMainWindow();
        for (Window w : x_.topLevels("Kadrill", app_->pid())) {
            const auto wh = x_.size(w);
            if ((!main || w != *main) && wh && wh->first >= 100 && wh->second >= 50)
                return w;
        }
        return std::nullopt;
    }

    // Saves what the window shows now, for a person to look at; returns where.
    std::string shoot(Window w, const std::string& tag) const {
        const auto image = x_.grab(w);
        return image ? saveScreenshot(*image, currentTestName() + "-" + tag).string() : "(not grabbable)";
    }

    std::string screenNote(const std::string& tag) const {
        const auto screen = x_.grab(x_.root());
        return screen ? screenshotNote(*screen, tag) : std::string();
    }

    void click(const Dialog& d, face::Point inClient, unsigned button = 1) const {
        const face::Point p = d.at(inClient);
        x_.click(p.x, p.y, button);
        std::this_thread::sleep_for(100ms);
    }

    // Presses `button` at the first point, moves through the others and lets go at the
    // last, slowly enough for the program to see every move.
    void drag(unsigned button, const std::vector<face::Point>& path) const {
        x_.movePointer(path.front().x, path.front().y);
        std::this_thread::sleep_for(50ms);
        x_.pressButton(button);
        for (auto p = std::next(path.begin()); p != path.end(); ++p) {
            std::this_thread::sleep_for(60ms);
            x_.movePointer(p->x, p->y);
        }
        std::this_thread::sleep_for(100ms);
        x_.releaseButton(button);
        std::this_thread::sleep_for(100ms);
    }

    // Replaces what a text box holds by `text`, typed.
    void typeInto(const Dialog& d, face::Point box, const std::string& text) const {
        click(d, box);
        x_.keyChord({"Control_L", "a"});
        x_.typeText(text);
    }

    std::optional<std::vector<RecordedSetTime>> waitForCalls(std::size_t count) const {
        return pollFor<std::vector<RecordedSetTime>>(
            kStartTimeout, [&]() -> std::optional<std::vector<RecordedSetTime>> {
                auto calls = bus_.recordedCalls();
                return calls.size() >= count ? std::optional(std::move(calls)) : std::nullopt;
            });
    }

    WallClock::time_point launched_;
};

// ---------------------------------------------------------------- set time

class TimeSetDialog : public DialogTest {};

TEST_F(TimeSetDialog, DraggedHandsSetTheClockThroughTheTimeServiceAndARefusalIsShown) {
    ASSERT_FALSE(configured("KADRILL_E2E_FAKETIME_LIB").empty()) << "libfaketime was not found at configure time";
    ASSERT_NO_FATAL_FAILURE(startWindowManager());
    bus_.setMode(TimeServiceMode::Accept);
    const auto watch = startWatch();
    ASSERT_TRUE(watch) << "the face is not on the screen" << screenNote("no-face");

    clickFace(watch->origin, face::kSetButton);
    const auto dialog = waitForDialog("時刻の設定");
    ASSERT_TRUE(dialog) << "the set button opened no set-time dialog" << screenNote("no-dialog");
    std::this_thread::sleep_for(300ms); // painted, and the hands on the clock
    std::cout << "set-time dialog: " << shoot(dialog->window, "time-set-dialog") << "\n";
    const face::Point centre = dialog->at(time_set::kDialCentre);
    // The button again only brings the open dialog forward.
    clickFace(watch->origin, face::kSetButton);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(x_.topLevels("時刻の設定", app_->pid()).size(), 1u) << screenNote("twice");

    // The minute hand, held through 1 and 2 o'clock and let go out past the dialog's edge
    // towards 3: the dial follows the pointer wherever it goes while the button is down.
    const face::Point outside{centre.x + 300, centre.y};
    ASSERT_LT(outside.x, DisplayWidth(x_.dpy(), DefaultScreen(x_.dpy())))
        << "the dialog stands too far right to drag past its edge" << screenNote("placed");
    drag(1, {onDial(centre, 5), onDial(centre, 10), outside});
    // The second hand, through 4 and 5 o'clock to 6.
    drag(3, {onDial(centre, 20), onDial(centre, 25), onDial(centre, 30)});
    click(*dialog, time_set::kApply);

    ASSERT_TRUE(waitForCalls(1)) << "Apply sent no SetTime" << screenNote("no-call");
    std::this_thread::sleep_for(500ms); // time for a second call, which must not come
    auto calls = bus_.recordedCalls();
    ASSERT_EQ(calls.size(), 1u) << listed(calls);
    // 10:15:30 of the fake day in the program's zone; the hour stays, as no hand passed 12.
    EXPECT_EQ(calls[0], (RecordedSetTime{.usecUtc = usecOnFakeDay(10, 15, 30),
                                         .relative = false,
                                         .interactive = true,
                                         .interactiveAuthorizationAllowed = true}))
        << "wanted usec " << usecOnFakeDay(10, 15, 30) << " (10:15:30 in " << kZone << ")";
    std::cout << "recorded: " << calls[0].usecUtc << ' ' << calls[0].relative << ' ' << calls[0].interactive << ' '
              << calls[0].interactiveAuthorizationAllowed << "\n";
    EXPECT_FALSE(messageBox()) << "an accepted SetTime was reported as a failure" << screenNote("accepted");

    // Refused: the service has automatic synchronisation on.
    bus_.setMode(TimeServiceMode::AutomaticSyncOn);
    drag(1, {onDial(centre, 20), onDial(centre, 25)});
    x_.keyChord({"Alt_L", "a"});
    const auto box = pollFor<Window>(kStartTimeout, [&] { return messageBox(); });
    ASSERT_TRUE(box) << "the refusal showed no message box titled Kadrill" << screenNote("no-message");
    std::this_thread::sleep_for(300ms);
    std::cout << "refusal message: " << shoot(*box, "refusal-message") << "\n";
    calls = bus_.recordedCalls();
    ASSERT_EQ(calls.size(), 2u) << listed(calls);
    // The seconds are the clock's when the hand was taken: anywhere in 10:25.
    const std::int64_t minuteStart = usecOnFakeDay(10, 25, 0);
    EXPECT_GE(calls[1].usecUtc, minuteStart) << listed(calls);
    EXPECT_LT(calls[1].usecUtc, minuteStart + 60'000'000) << listed(calls);
    x_.sendDeleteWindow(*box);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !messageBox(); })) << "the message box stayed";

    // The refused time stays on the dial: applied again, the same instant goes out.
    bus_.setMode(TimeServiceMode::Accept);
    click(*dialog, time_set::kApply);
    const auto again = waitForCalls(3);
    ASSERT_TRUE(again) << "Apply after the refusal sent nothing" << listed(bus_.recordedCalls());
    EXPECT_EQ((*again)[2], (*again)[1]) << listed(*again);

    x_.sendDeleteWindow(dialog->window);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !dialogOpen("時刻の設定"); })) << "the dialog stayed";

    // Opened afresh from the menu, 設定(&S) → 時刻の設定(&T).
    clickFace(watch->origin, face::kBareFace); // the watch has the keyboard
    x_.keyChord({"Alt_L", "s"});
    std::this_thread::sleep_for(200ms);
    x_.keyChord({"t"});
    EXPECT_TRUE(waitForDialog("時刻の設定")) << "the menu opened no set-time dialog" << screenNote("menu");
    EXPECT_EQ(bus_.recordedCalls().size(), 3u) << "opening the dialog set the clock" << listed(bus_.recordedCalls());
    const auto main = findMainWindow();
    ASSERT_TRUE(main);
    closeAndExpectCleanExit(*main);
}

// ---------------------------------------------------------------- alarm

class AlarmSettingsDialog : public DialogTest {};

// A program for the alarm to start, which writes a line each time it runs.
struct CountingProgram {
    CountingProgram() {
        // With the startup id it was given, for the window manager to give the focus by.
        std::ofstream(program) << "#!/bin/sh\necho \"ran $DESKTOP_STARTUP_ID\" >> '" << ran.string() << "'\n";
        std::filesystem::permissions(program, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                                  std::filesystem::perms::group_exec |
                                                  std::filesystem::perms::others_read |
                                                  std::filesystem::perms::others_exec);
    }
    int runs() const {
        std::ifstream in(ran);
        return static_cast<int>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
    }
    TempDir scratch;
    std::filesystem::path ran = scratch.path() / "ran";
    std::filesystem::path program = scratch.path() / "alarm.sh";
};

TEST_F(AlarmSettingsDialog, AnArmedProgramAlarmStartsTheProgramAtItsSecondOnce) {
    ASSERT_FALSE(configured("KADRILL_E2E_FAKETIME_LIB").empty()) << "libfaketime was not found at configure time";
    const CountingProgram counting;
    const auto& program = counting.program;
    auto runs = [&] { return counting.runs(); };

    ASSERT_NO_FATAL_FAILURE(startWindowManager());
    const auto watch = startWatch();
    ASSERT_TRUE(watch) << "the face is not on the screen" << screenNote("no-face");
    EXPECT_FALSE(face::markLit(watch->image, watch->origin, face::kAlarmMarkBox, face::kAlarmMarkBoxSize))
        << "no alarm is armed in a fresh home" << screenshotNote(watch->image, "unarmed");

    clickFace(watch->origin, face::kAlarmButton);
    const auto dialog = waitForDialog("ｱﾗｰﾑの設定");
    ASSERT_TRUE(dialog) << "the alarm button opened no alarm dialog" << screenNote("no-dialog");
    std::this_thread::sleep_for(300ms);
    std::cout << "alarm dialog: " << shoot(dialog->window, "alarm-dialog") << "\n";

    click(*dialog, alarm::kArmed);
    click(*dialog, alarm::kRunsProgram);
    typeInto(*dialog, alarm::kProgramFile, program.string());
    // A few seconds ahead of the running fake clock: the time the typing and OK take.
    const int due = static_cast<int>(std::ceil(reckonedSecondOfDay())) + 6;
    typeInto(*dialog, alarm::kHourBox, std::to_string(due / 3600));
    typeInto(*dialog, alarm::kMinuteBox, std::to_string(due / 60 % 60));
    typeInto(*dialog, alarm::kSecondBox, std::to_string(due % 60));
    std::this_thread::sleep_for(200ms);
    const std::string filled = shoot(dialog->window, "alarm-dialog-filled");
    click(*dialog, alarm::kOk);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !dialogOpen("ｱﾗｰﾑの設定"); }))
        << "OK left the dialog open (filled in: " << filled << ")" << screenNote("ok");
    ASSERT_LT(reckonedSecondOfDay(), due - 0.5) << "the test was too slow to set the alarm ahead of its time";

    const auto armed = pollFor<FaceGrab>(2s, [&]() -> std::optional<FaceGrab> {
        auto f = faceOnScreen();
        return f && face::markLit(f->image, f->origin, face::kAlarmMarkBox, face::kAlarmMarkBoxSize) ? f : std::nullopt;
    });
    EXPECT_TRUE(armed) << "the ♪ mark did not light for the armed alarm" << screenNote("armed");

    // Not early...
    while (reckonedSecondOfDay() < due - 1.0)
        std::this_thread::sleep_for(50ms);
    EXPECT_EQ(runs(), 0) << "the alarm went off before its second";
    // ...and then at its second.
    const bool fired = pollUntil(6s, [&] { return runs() > 0; });
    ASSERT_TRUE(fired) << "the alarm set for " << due / 3600 << ":" << due / 60 % 60 << ":" << due % 60
                       << " did not start the program (filled in: " << filled << ")" << screenNote("not-fired");
    EXPECT_LT(reckonedSecondOfDay(), due + 2.0) << "the alarm went off late";
    // Once: the second goes on being checked while it lasts.
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(runs(), 1) << "the program was started more than once";
    std::ifstream line(counting.ran);
    const std::string started{std::istreambuf_iterator<char>(line), {}};
    EXPECT_NE(started.find("_TIME"), std::string::npos)
        << "no startup id for the window manager to give the focus by: " << started;
    EXPECT_FALSE(messageBox()) << "the alarm reported a failure" << screenNote("fired");
}

// A tmpfs of `bytes` on `where`, seen by this test process and what it starts from now on
// (a mount namespace of its own, so nobody else sees it); unmounted again at the end.
class SmallFileSystem {
public:
    SmallFileSystem(const std::filesystem::path& where, const std::string& bytes) : where_(where) {
        mounted_ = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   ::mount("tmpfs", where.c_str(), "tmpfs", 0, ("size=" + bytes).c_str()) == 0;
        if (!mounted_)
            error_ = std::strerror(errno);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    ~SmallFileSystem() {
        if (mounted_)
            ::umount2(where_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string& error() const { return error_; }

private:
    std::filesystem::path where_;
    bool mounted_ = false;
    std::string error_;
};

TEST_F(AlarmSettingsDialog, SavingOntoAFullDiskIsToldAndLeavesTheOldFileByteForByte) {
    const TempDir scratch;
    const SmallFileSystem disk(scratch.path(), "256k");
    if (!disk.mounted())
        GTEST_SKIP() << "no file system of our own can be mounted here (" << disk.error() << ")";
    const auto file = scratch.path() / "old.alm";
    const std::string old = "#07:30:00#\r\n#TRUE#\r\n0\r\n\"/bell.wav\"\r\n\"\"\r\n\"EOF\"\r\n";
    std::ofstream(file, std::ios::binary) << old;
    {
        // Every block taken: not even a page is left for a new file.
        std::ofstream filler(scratch.path() / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()))
            ;
    }
    auto contents = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    ASSERT_EQ(contents(), old);

    ASSERT_NO_FATAL_FAILURE(startWindowManager());
    const auto watch = startWatch();
    ASSERT_TRUE(watch) << "the face is not on the screen" << screenNote("no-face");
    clickFace(watch->origin, face::kAlarmButton);
    const auto dialog = waitForDialog("ｱﾗｰﾑの設定");
    ASSERT_TRUE(dialog) << "the alarm button opened no alarm dialog" << screenNote("no-dialog");
    std::this_thread::sleep_for(300ms);
    click(*dialog, alarm::kSave);
    ASSERT_TRUE(x_.waitForTopLevel("設定の保存", app_->pid(), {100, 100}, kStartTimeout))
        << "Save opened no file dialog" << screenNote("no-file-dialog");
    std::this_thread::sleep_for(500ms);
    // The name box has the focus, its name selected: typed over.
    x_.keyChord({"Control_L", "a"});
    x_.typeText(file.string());
    x_.keyChord({"Return"});

    const auto question = pollFor<Window>(kStartTimeout, [&] { return messageBox(); });
    ASSERT_TRUE(question) << "no question about the file in the way" << screenNote("no-question");
    std::this_thread::sleep_for(300ms);
    x_.keyChord({"Alt_L", "y"});
    const auto told = pollFor<Window>(kStartTimeout, [&]() -> std::optional<Window> {
        const auto box = messageBox();
        return box && *box != *question ? box : std::nullopt;
    });
    ASSERT_TRUE(told) << "the failed save was not told" << screenNote("untold");
    std::this_thread::sleep_for(300ms);
    const std::string shot = shoot(*told, "save-failed");
    std::cout << "failed save: " << shot << "\n";
    // The exclamation icon is a yellow triangle (the "saved" message bears a blue one).
    const auto image = x_.grab(*told);
    ASSERT_TRUE(image);
    int yellow = 0;
    for (int y = 0; y < image->height(); ++y)
        for (int x = 0; x < image->width(); ++x) {
            const Rgb c = image->at(x, y);
            yellow += c.r > 200 && c.g > 150 && c.b < 100;
        }
    EXPECT_GT(yellow, 20) << "not the exclamation icon: " << shot;
    EXPECT_EQ(contents(), old);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"filler", "old.alm"})) << "a temporary file was left behind";
}

// An alarm settings file given on the command line, as the desktop's autostart or a file
// manager starts the watch with one.
TEST_F(AlarmSettingsDialog, AFileOnTheCommandLineArmsTheWatchWhichFiresAtItsSecond) {
    ASSERT_FALSE(configured("KADRILL_E2E_FAKETIME_LIB").empty()) << "libfaketime was not found at configure time";
    const CountingProgram counting;
    constexpr int kDue = kFakeStartSecond + 12;
    const auto file = counting.scratch.path() / "朝の alarm.alm";
    std::ofstream(file, std::ios::binary) << "#10:20:12#\r\n#TRUE#\r\n1\r\n\"\"\r\n\"" << counting.program.string()
                                          << "\"\r\n\"EOF\"\r\n";

    ASSERT_NO_FATAL_FAILURE(startWindowManager());
    const auto watch = startWatch({file.string()});
    ASSERT_TRUE(watch) << "the face is not on the screen" << screenNote("no-face");
    const auto armed = pollFor<FaceGrab>(kStartTimeout, [&]() -> std::optional<FaceGrab> {
        auto f = faceOnScreen();
        return f && face::markLit(f->image, f->origin, face::kAlarmMarkBox, face::kAlarmMarkBoxSize) ? f : std::nullopt;
    });
    EXPECT_TRUE(armed) << "the ♪ mark did not light for the file's armed alarm" << screenNote("unarmed");
    EXPECT_FALSE(messageBox()) << "a start with a good file asks nothing" << screenNote("message");

    while (reckonedSecondOfDay() < kDue - 1.0)
        std::this_thread::sleep_for(50ms);
    EXPECT_EQ(counting.runs(), 0) << "the alarm went off before its second";
    ASSERT_TRUE(pollUntil(6s, [&] { return counting.runs() > 0; }))
        << "the file's alarm did not start its program" << screenNote("not-fired");

    // 設定(&S) → ﾛｸﾞｲﾝ時に起動(&L): an autostart entry that starts the watch with this file.
    const auto entry = home_.path() / "config/autostart" / (configured("KADRILL_E2E_APP_ID") + ".desktop");
    auto chooseLoginItem = [&] {
        clickFace(watch->origin, face::kBareFace);
        x_.keyChord({"Alt_L", "s"});
        std::this_thread::sleep_for(200ms);
        x_.keyChord({"l"});
    };
    chooseLoginItem();
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return std::filesystem::exists(entry); }))
        << "no autostart entry at " << entry << screenNote("no-entry");
    std::ifstream in(entry);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(text.find("\nExec=" + binary_ + " \"" + file.string() + "\"\n"), std::string::npos) << text;
    chooseLoginItem();
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return !std::filesystem::exists(entry); }))
        << "chosen again, the item left the entry" << screenNote("entry-left");
}

TEST_F(AlarmSettingsDialog, AMalformedFileOnTheCommandLineIsReportedAndTheWatchRunsUnarmed) {
    ASSERT_FALSE(configured("KADRILL_E2E_FAKETIME_LIB").empty()) << "libfaketime was not found at configure time";
    const TempDir scratch;
    const auto file = scratch.path() / "cut.alm";
    std::ofstream(file, std::ios::binary) << "#10:20:12#\r\n#TRUE#\r\n";

    ASSERT_NO_FATAL_FAILURE(startWindowManager());
    // The face is read once the boxes are gone: the first may stand over it.
    startKadrill(dialogEnvironment(), {file.string()});
    ASSERT_NE(mainWindow(), None) << "the watch never came up" << screenNote("no-watch");
    // The reason, then that nothing was loaded.
    for (int box = 0; box < 2; ++box) {
        const auto shown = pollFor<Window>(kStartTimeout, [&] { return messageBox(); });
        ASSERT_TRUE(shown) << "message " << box + 1 << " of 2 did not appear" << screenNote("no-message");
        x_.sendDeleteWindow(*shown);
        ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return messageBox() != shown; })) << "the message box stayed";
    }
    const auto main = findMainWindow();
    ASSERT_TRUE(main);
    const auto after = waitForFace(*main);
    ASSERT_TRUE(after);
    EXPECT_FALSE(face::markLit(after->image, after->origin, face::kAlarmMarkBox, face::kAlarmMarkBoxSize))
        << screenshotNote(after->image, "armed");
    EXPECT_TRUE(app_->running());
}

// ---------------------------------------------------------------- the fixture's guard

class LaunchGuard : public KadrillTest {
protected:
    // The failures the fixture reported when asked to start kadrill with these changes.
    std::vector<std::string> failuresStarting(EnvChanges env) {
        ::testing::TestPartResultArray reported;
        {
            const ::testing::ScopedFakeTestPartResultReporter intercept(
                ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &reported);
            startKadrill(std::move(env));
        }
        std::vector<std::string> messages;
        for (int i = 0; i < reported.size(); ++i)
            messages.emplace_back(reported.GetTestPartResult(i).message());
        return messages;
    }

    static std::string procFile(pid_t pid, const char* name) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/" + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST_F(LaunchGuard, RefusesEverySystemBusButTheTestsOwn) {
    const std::string own = bus_.address();
    const std::string machines = "unix:path=/run/dbus/system_bus_socket";
    const struct {
        const char* what;
        std::optional<std::string> address;
    } cases[] = {
        {"unset", std::nullopt},
        {"empty", ""},
        {"the machine's own bus", machines},
        {"the test's bus with the machine's to fall back on", own + ";" + machines},
        {"the test's socket with more keys", own + ",noncefile=x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto failures = failuresStarting({{"DBUS_SYSTEM_BUS_ADDRESS", c.address}});
        ASSERT_EQ(failures.size(), 1u) << ::testing::PrintToString(failures);
        EXPECT_NE(failures[0].find("DBUS_SYSTEM_BUS_ADDRESS"), std::string::npos) << failures[0];
        EXPECT_FALSE(app_) << "kadrill was started";
    }
}

TEST_F(LaunchGuard, KadrillRunsOnThePrivateBusUnableToSetTheClock) {
    ASSERT_NO_FATAL_FAILURE(startKadrill());
    ASSERT_TRUE(app_);
    const std::string environment = procFile(app_->pid(), "environ");
    std::vector<std::string> busAddresses;
    std::istringstream entries(environment);
    for (std::string entry; std::getline(entries, entry, '\0');)
        if (entry.starts_with("DBUS_SYSTEM_BUS_ADDRESS="))
            busAddresses.push_back(entry.substr(entry.find('=') + 1));
    EXPECT_EQ(busAddresses, std::vector<std::string>{bus_.address()});

    // CAP_SYS_TIME is capability 25: held in no set, and no exec can bring it back.
    const std::string status = procFile(app_->pid(), "status");
    auto field = [&](const std::string& name) {
        const auto at = status.find("\n" + name + ":");
        if (at == std::string::npos)
            return std::string();
        const auto start = status.find_first_not_of(" \t", at + name.size() + 2);
        return status.substr(start, status.find('\n', start) - start);
    };
    auto holdsClockSetting = [&](const char* set) {
        const std::string hex = field(set);
        return hex.empty() || ((std::stoull(hex, nullptr, 16) >> 25) & 1U) != 0;
    };
    for (const char* set : {"CapInh", "CapPrm", "CapEff", "CapAmb"})
        EXPECT_FALSE(holdsClockSetting(set)) << set << " of kadrill holds CAP_SYS_TIME";
    EXPECT_TRUE(!holdsClockSetting("CapBnd") || field("NoNewPrivs") == "1")
        << "kadrill could gain CAP_SYS_TIME through an exec";
    EXPECT_NE(mainWindow(), Window(None));
}

} // namespace
