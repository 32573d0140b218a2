// The watch on GNOME's compositor: mutter as a headless Wayland compositor with XWayland,
// as a GNOME session on Wayland runs it. The program starts with both displays present and
// goes through XWayland, where its face is read and its buttons clicked.

#include "kadrill_fixture.h"
#include "mutter_session.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

using namespace e2e;

class MutterDesktop : public KadrillTest {
protected:
    MutterDesktop() : KadrillTest(sharedMutter().unavailable().empty() ? sharedMutter().x11Display() : std::string()) {}

    void SetUp() override {
        if (!sharedMutter().unavailable().empty())
            GTEST_SKIP() << "mutter cannot run here: " << sharedMutter().unavailable();
        KadrillTest::SetUp();
    }

    // Kadrill as the session starts it, with `extra` on top.
    EnvChanges inSession(EnvChanges extra = {}) const {
        EnvChanges env = sharedMutter().sessionEnvironment();
        env.insert(env.end(), extra.begin(), extra.end());
        return env;
    }

    // The face of a window read from its own pixels (XWayland keeps no picture of its root
    // window), with its corner in screen coordinates.
    std::optional<FaceGrab> faceOf(Window w) const {
        auto image = x_.grab(w);
        const auto at = x_.rootPosition(w);
        if (!image || !at)
            return std::nullopt;
        auto grab = readFace(std::move(*image));
        if (!grab || grab->digits.find('?') != std::string::npos)
            return std::nullopt;
        grab->origin.x += at->first;
        grab->origin.y += at->second;
        return grab;
    }

    std::optional<FaceGrab> waitForFaceOf(Window w, const std::function<bool(const std::string&)>& wanted) const {
        return pollFor<FaceGrab>(kStartTimeout, [&]() -> std::optional<FaceGrab> {
            auto f = faceOf(w);
            return f && wanted(f->digits) ? f : std::nullopt;
        });
    }

    // Started, shown and ticking: the main window and its face.
    std::pair<Window, FaceGrab> startWatch(EnvChanges extra = {}) {
        startKadrill(inSession(std::move(extra)));
        const Window main = mainWindow();
        if (main == None)
            return {None, FaceGrab{Image(1, 1), {}, ""}};
        auto first = waitForFaceOf(main, [](const std::string& d) { return d[2] != ' ' && d[3] != ' '; });
        EXPECT_TRUE(first) << "the face never showed a time" << screenNote(main, "no-face");
        return {main, first ? std::move(*first) : FaceGrab{Image(1, 1), {}, ""}};
    }

    std::string screenNote(Window w, const std::string& tag) const {
        const auto image = x_.grab(w);
        return image ? screenshotNote(*image, tag) : std::string("\n  (window not grabbable)");
    }

    // The window swap through the display menu popped up on the face.
    void swapFrom(face::Point faceAt) {
        clickFace(faceAt, face::kBareFace, 3);
        std::this_thread::sleep_for(300ms);
        x_.keyChord({"h"});
    }

    void clickAt(Window w, face::Point inClient) const {
        const auto at = x_.rootPosition(w);
        ASSERT_TRUE(at);
        x_.click(at->first + inClient.x, at->second + inClient.y);
        std::this_thread::sleep_for(150ms);
    }
};

TEST_F(MutterDesktop, TheWatchTicksThroughXWaylandAndItsStopwatchRunsFromItsButtons) {
    const auto [main, first] = startWatch();
    ASSERT_NE(main, Window(None));
    EXPECT_TRUE(waitForFaceOf(main, [&](const std::string& d) { return d != first.digits; }))
        << "the face stood still" << screenNote(main, "still");

    clickFace(first.origin, face::kModeButton);
    ASSERT_TRUE(waitForFaceOf(main, [](const std::string& d) { return d == "000000"; }))
        << "Mode brought up no cleared stopwatch" << screenNote(main, "mode");
    clickFace(first.origin, face::kLeftSharedButton); // Start
    EXPECT_TRUE(waitForFaceOf(main, [](const std::string& d) { return d.substr(0, 3) == "000" && d[3] >= '1'; }))
        << "the stopwatch did not run" << screenNote(main, "start");
}

TEST_F(MutterDesktop, TheFramelessWatchTakesTheFacesPlaceAndGivesItBack) {
    const auto [main, first] = startWatch();
    ASSERT_NE(main, Window(None));
    swapFrom(first.origin);
    const auto digital = pollFor<Window>(kStartTimeout, [&] { return findDigitalWindow(); });
    ASSERT_TRUE(digital) << "the frameless window did not appear" << screenNote(main, "no-swap");
    const auto swapped = waitForFaceOf(*digital, [](const std::string&) { return true; });
    ASSERT_TRUE(swapped) << "the frameless window shows no face";
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return !findMainWindow(); })) << "the main window stayed";
    EXPECT_EQ(swapped->origin.x, first.origin.x);
    EXPECT_EQ(swapped->origin.y, first.origin.y);

    swapFrom(swapped->origin);
    const auto back = pollFor<Window>(kStartTimeout, [&] { return findMainWindow(); });
    ASSERT_TRUE(back) << "the main window came not back";
    const auto again = waitForFaceOf(*back, [](const std::string&) { return true; });
    ASSERT_TRUE(again);
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return !findDigitalWindow(); })) << "the frameless window stayed";
    EXPECT_EQ(again->origin.x, first.origin.x);
    EXPECT_EQ(again->origin.y, first.origin.y);
}

// GNOME has no notification area of its own: minimised, the watch stays on the task bar,
// and a second start brings it back.
TEST_F(MutterDesktop, MinimisedWithoutANotificationAreaItStaysOnTheTaskBarAndASecondStartRaisesIt) {
    const auto [main, first] = startWatch();
    ASSERT_NE(main, Window(None));
    x_.iconify(main);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return x_.wmState(main) == 3L; })) << "the watch was not minimised";
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(x_.wmState(main), 3L) << "minimised with no icon to bring it back, the watch was withdrawn";

    std::vector<std::string> argv = launcher_;
    argv.push_back(binary_);
    Process second(argv, Process::Options{.env = kadrillEnvironment(inSession()), .quiet = true});
    const auto code = second.waitForExit(kStartTimeout);
    ASSERT_TRUE(code) << "the second start did not end";
    EXPECT_EQ(*code, 0);
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return x_.wmState(main) == 1L && x_.isViewable(main); }))
        << "the second start did not bring the watch back";
    EXPECT_EQ(x_.topLevels("Kadrill", app_->pid()).size(), 1u) << "one watch";
}

// With no X display at all the watch is a Wayland client of its own, and says nothing on
// stderr in normal use: not at start, not when a second start brings it forward.
TEST_F(MutterDesktop, WithoutAnXDisplayItRunsOnWaylandQuietly) {
    const TempDir scratch;
    const auto errors = scratch.path() / "stderr";
    launcher_ = {"sh", "-c", "exec \"$0\" 2>>'" + errors.string() + "'"};
    const EnvChanges wayland = {{"DISPLAY", std::nullopt}, {"XAUTHORITY", std::nullopt}};
    startKadrill(inSession(wayland));
    std::this_thread::sleep_for(3s);
    ASSERT_TRUE(app_->running()) << "kadrill ended";
    EXPECT_TRUE(x_.topLevels("Kadrill", app_->pid()).empty()) << "it went through XWayland";

    std::vector<std::string> argv = launcher_;
    argv.push_back(binary_);
    Process second(argv, Process::Options{.env = kadrillEnvironment(inSession(wayland))});
    const auto code = second.waitForExit(kStartTimeout);
    ASSERT_TRUE(code) << "the second start did not end";
    EXPECT_EQ(*code, 0) << "the second start did not hand over to the first";
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(app_->running());
    std::ifstream in(errors);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "");
}

// Where the alarm's controls are, in client pixels of the dialog (twips / 15).
namespace alarm_dialog {
constexpr face::Point kHourBox{36, 250};
constexpr face::Point kMinuteBox{76, 250};
constexpr face::Point kSecondBox{116, 250};
constexpr face::Point kArmed{40, 300};
constexpr face::Point kRunsProgram{249, 89};
constexpr face::Point kProgramFile{405, 110};
constexpr face::Point kKeyInput{300, 192};
constexpr face::Point kFirstSpecialKey{290, 232};
constexpr face::Point kFirstListedKey{450, 188};
constexpr face::Point kAddKey{452, 290};
constexpr face::Point kOk{457, 344};
constexpr int kEnterRow = 5; // of the special keys
} // namespace alarm_dialog

// A GTK program would be a Wayland client where the session has a Wayland display; the
// alarm starts it on XWayland, where its keys reach it.
TEST_F(MutterDesktop, TheAlarmsKeysReachAGtkProgramItStarted) {
    const TempDir scratch;
    const auto typed = scratch.path() / "typed";
    const auto program = scratch.path() / "entry.sh";
    std::ofstream(program) << "#!/bin/sh\nexec zenity --entry --title=entry > '" << typed.string() << "'\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);

    const auto [main, first] = startWatch({{"TZ", "UTC"}});
    ASSERT_NE(main, Window(None));
    clickFace(first.origin, face::kAlarmButton);
    const auto dialog = x_.waitForTopLevel("ｱﾗｰﾑの設定", app_->pid(), {100, 100}, kStartTimeout);
    ASSERT_TRUE(dialog) << "the alarm button opened no dialog";
    std::this_thread::sleep_for(500ms); // placed and drawn
    using namespace alarm_dialog;
    auto typeInto = [&](face::Point box, const std::string& text) {
        clickAt(*dialog, box);
        x_.keyChord({"Control_L", "a"});
        x_.typeText(text);
    };
    clickAt(*dialog, kArmed);
    clickAt(*dialog, kRunsProgram);
    typeInto(kProgramFile, program.string());
    clickAt(*dialog, kFirstListedKey);
    typeInto(kKeyInput, "kadrill");
    clickAt(*dialog, kAddKey);
    clickAt(*dialog, kFirstSpecialKey);
    for (int i = 0; i < kEnterRow; ++i)
        x_.keyChord({"Down"});
    clickAt(*dialog, kAddKey);

    const std::time_t due = std::time(nullptr) + 8;
    std::tm at{};
    gmtime_r(&due, &at);
    typeInto(kHourBox, std::to_string(at.tm_hour));
    typeInto(kMinuteBox, std::to_string(at.tm_min));
    typeInto(kSecondBox, std::to_string(at.tm_sec));
    const std::string filled = screenNote(*dialog, "filled");
    clickAt(*dialog, kOk);
    ASSERT_TRUE(pollUntil(kStartTimeout,
                          [&] {
                              return !x_.findTopLevel("ｱﾗｰﾑの設定", app_->pid(), {100, 100});
                          }))
        << "OK left the dialog open" << filled;
    ASSERT_LT(std::time(nullptr), due) << "the test was too slow to set the alarm ahead of its time";

    auto received = [&] {
        std::ifstream in(typed);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_TRUE(pollUntil(std::chrono::seconds(due - std::time(nullptr)) + kStartTimeout,
                          [&] { return received() == "kadrill\n"; }))
        << "the program received \"" << received() << "\"" << filled;
}

} // namespace
