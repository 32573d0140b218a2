#pragma once
// The fixture every end-to-end test starts from: the real kadrill binary on a
// private Xvfb, with a fresh home, read back the way a person would see it.

// gtest before Xlib: X.h defines None, which gtest uses as a type name.
#include <gtest/gtest.h>

#include "PrivateSystemBus.h"
#include "watch_face.h"
#include "x_harness.h"

#include <X11/Xatom.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace e2e {

// libfaketime counts a program's fake time on from the machine's wall clock: where the host
// steps that clock (a virtual machine's often is), the fake time steps with it. So the tests
// reckon a program's clock by the wall clock too, never by a steady one.
using WallClock = std::chrono::system_clock;
inline double secondsSince(WallClock::time_point then) {
    return std::chrono::duration<double>(WallClock::now() - then).count();
}

inline constexpr auto kStartTimeout = 15s; // generous: parallel ctest on two cores, maybe under sanitizers
inline constexpr auto kExitTimeout = 5s;

inline std::string configured(const char* variable) {
    const char* value = std::getenv(variable);
    return value ? value : "";
}

inline std::string currentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string("kadrill-e2e-") + info->test_suite_name() + "-" + info->name();
}

inline std::string screenshotNote(const Image& image, const std::string& tag) {
    return "\n  screenshot: " + saveScreenshot(image, currentTestName() + "-" + tag).string();
}

struct FaceGrab {
    Image image;
    face::Point origin;
    std::string digits;
};

class KadrillTest : public ::testing::Test {
protected:
    KadrillTest() = default;
    // On an X display that is already there instead of an Xvfb of the test's own.
    explicit KadrillTest(const std::string& display) : x_(display) {}

    void SetUp() override {
        binary_ = configured("KADRILL_BIN");
        ASSERT_FALSE(binary_.empty()) << "KADRILL_BIN must name the kadrill binary";
        // Refused here already, so that no test body runs to find its program missing.
        const std::string risk = kadrill::testsupport::clockSettingRisk();
        ASSERT_TRUE(risk.empty()) << "kadrill could set this computer's clock: " << risk
                                  << " (ctest runs this program through tests/fakes/isolated.sh)";
        try {
            bus_.start();
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
    }

    // Fresh home and XDG dirs: settings saved by a person's own kadrill (or by
    // an earlier test) must not change what this run shows.
    // The program sets the computer's clock from its set-time dialog, and this machine may
    // let it: it runs only with this test's private system bus, where a fake time service
    // writes the calls down, and where nothing it starts can hold CAP_SYS_TIME. Otherwise
    // the test fails and nothing is started.
    void startKadrill(EnvChanges extra = {}, const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> argv = launcher_;
        argv.push_back(binary_);
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        EnvChanges env = kadrillEnvironment(std::move(extra));
        if (const std::string why = launchRefusal(env); !why.empty())
            GTEST_FAIL() << "kadrill not started: " << why;
        // In its own home, so that what its file dialogs save, move or delete stays there.
        app_.emplace(argv, Process::Options{.env = env, .workingDirectory = home_.path()});
    }

    // The environment the program starts in, with `extra` on top.
    EnvChanges kadrillEnvironment(EnvChanges extra) const {
        EnvChanges env = privateDesktop(x_, home_.path());
        env.insert(env.end(), {
                                  {"DBUS_SYSTEM_BUS_ADDRESS", bus_.address()},
                                  // A session bus that leads nowhere, unless a test starts its own: a session bus
                                  // would route the tray icon away from the XEmbed host, and (found by
                                  // autolaunch) join starts on the same display into one.
                                  {"DBUS_SESSION_BUS_ADDRESS", noBus("session")},
                                  // An alarm sound goes nowhere: never to the machine's own speakers.
                                  {"SDL_AUDIODRIVER", "dummy"},
                              });
        env.insert(env.end(), extra.begin(), extra.end());
        return env;
    }

    // The address of a bus that is not there: a client fails at once to connect.
    std::string noBus(const std::string& which) const {
        return "unix:path=" + (home_.path() / ("no-" + which + "-bus")).string();
    }

    // Why kadrill must not run with these changes to our environment; empty when it may.
    std::string launchRefusal(const EnvChanges& env) const {
        if (const std::string risk = kadrill::testsupport::clockSettingRisk(); !risk.empty())
            return "it could set this computer's clock: " + risk;
        if (!bus_.running())
            return "the private system bus is not running";
        const char* inherited = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        std::optional<std::string> address;
        if (inherited != nullptr)
            address = inherited;
        // The last change of a variable is the one the child gets.
        for (const auto& [name, value] : env)
            if (name == "DBUS_SYSTEM_BUS_ADDRESS")
                address = value;
        if (!address || address->empty())
            return "DBUS_SYSTEM_BUS_ADDRESS is not set, so it would use the machine's own system bus";
        if (!bus_.isPrivateAddress(*address))
            return "DBUS_SYSTEM_BUS_ADDRESS is " + *address + ", not this test's private bus " + bus_.address();
        return {};
    }

    // libfaketime for the whole process: the system clock itself is never touched. With a
    // speed-up the process lives its whole time faster, timers and sleeps included.
    static EnvChanges fakeClock(const std::string& start, int speedUp = 1) {
        std::string asan = configured("ASAN_OPTIONS");
        // A preloaded library comes ahead of a sanitizer runtime; tell it that is fine.
        asan += std::string(asan.empty() ? "" : ":") + "verify_asan_link_order=0";
        return {
            {"LD_PRELOAD", configured("KADRILL_E2E_FAKETIME_LIB")},
            {"FAKETIME", "@" + start + (speedUp == 1 ? "" : " x" + std::to_string(speedUp))},
            // At the real pace Qt's timers keep the genuine monotonic clock; only wall time is faked.
            {"FAKETIME_DONT_FAKE_MONOTONIC", speedUp == 1 ? std::optional<std::string>("1") : std::nullopt},
            {"ASAN_OPTIONS", asan},
        };
    }

    Window mainWindow() {
        if (!app_) {
            ADD_FAILURE() << "kadrill was not started";
            return None;
        }
        // The main window holds the whole 400 x 126 face.
        const auto w = pollFor<Window>(kStartTimeout, [&] { return findMainWindow(); });
        if (!w) {
            const auto screen = x_.grab(x_.root());
            ADD_FAILURE() << "no window titled Kadrill appeared"
                          << (app_->running() ? "" : " (kadrill is no longer running)")
                          << (screen ? screenshotNote(*screen, "no-window") : std::string());
            return None;
        }
        return *w;
    }

    static std::optional<FaceGrab> readFace(Image image) {
        const auto origin = face::locate(image);
        if (!origin)
            return std::nullopt;
        std::string digits = face::readDigits(image, *origin);
        return FaceGrab{std::move(image), *origin, std::move(digits)};
    }

    // The main window, told from the frameless one by its menu bar.
    std::optional<Window> findMainWindow() const {
        return app_ ? x_.findTopLevel("Kadrill", app_->pid(), {400, 127}) : std::nullopt;
    }
    // The frameless window: the face alone, a pixel short of the picture.
    std::optional<Window> findDigitalWindow() const {
        return app_ ? x_.findTopLevel("Kadrill", app_->pid(), {400, 120}, {400, 126}) : std::nullopt;
    }

    std::optional<FaceGrab> grabFace(Window w) {
        auto image = x_.grab(w);
        return image ? readFace(std::move(*image)) : std::nullopt;
    }

    // Waits for a complete reading: every digit decodes and the minutes are lit.
    std::optional<FaceGrab> waitForFace(Window w) {
        std::optional<Image> last;
        std::string lastDigits = "(face not found)";
        auto grab = pollFor<FaceGrab>(kStartTimeout, [&]() -> std::optional<FaceGrab> {
            last = x_.grab(w);
            auto f = last ? readFace(*last) : std::nullopt;
            if (!f)
                return std::nullopt;
            lastDigits = "\"" + f->digits + "\"";
            if (f->digits.find('?') != std::string::npos || f->digits[2] == ' ' || f->digits[3] == ' ')
                return std::nullopt;
            return f;
        });
        if (!grab)
            ADD_FAILURE() << "face never showed a full time; last read " << lastDigits
                          << (last ? screenshotNote(*last, "unreadable") : std::string("\n  (window not grabbable)"));
        return grab;
    }

    // Where a process that should have ended is waiting, for the failure message.
    static std::string threadStacks(pid_t pid) {
        const std::string command = "gdb -p " + std::to_string(pid) +
                                    " -batch -ex 'thread apply all bt 15' 2>/dev/null | grep -E '^(Thread|#)'";
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char line[512];
            while (fgets(line, sizeof line, pipe) != nullptr)
                out += line;
            pclose(pipe);
        }
        return out.empty() ? "  (gdb could not attach)\n" : out;
    }

    void closeAndExpectCleanExit(Window w) {
        x_.sendDeleteWindow(w);
        const auto code = app_->waitForExit(kExitTimeout);
        ASSERT_TRUE(code) << "kadrill still runs " << kExitTimeout.count()
                          << " s after WM_DELETE_WINDOW; its threads:\n"
                          << threadStacks(app_->pid());
        EXPECT_EQ(*code, 0);
    }

    // Declaration order is teardown order reversed: kadrill goes first, the X
    // server last.
    void startWindowManager() { windowManager_.emplace(startOpenbox(x_, home_.path(), kStartTimeout)); }

    // A notification area on the top edge of the screen.
    void startTrayHost() { trayHost_.emplace(startTrayer(x_, kStartTimeout)); }

    // Kadrill's icon once the tray host has embedded it: a window of ours inside one of
    // the host's (a window manager may have framed the host itself).
    std::optional<Window> dockedTrayIcon() const {
        const auto host = static_cast<unsigned long>(trayHost_->pid());
        const auto app = static_cast<unsigned long>(app_->pid());
        for (Window w : x_.descendants(x_.root())) {
            if (x_.pid(w) != host)
                continue;
            for (Window inner : x_.descendants(w))
                if (x_.pid(inner) == app && x_.hasProperty(inner, "_XEMBED_INFO") && x_.isViewable(inner))
                    return inner;
        }
        return std::nullopt;
    }

    // The watch face wherever it is on the screen: its top-left corner in screen pixels.
    std::optional<FaceGrab> faceOnScreen() {
        auto image = x_.grab(x_.root());
        return image ? readFace(std::move(*image)) : std::nullopt;
    }

    // Clicks a point of the face, given in face pixels, on the face found on the screen.
    void clickFace(face::Point faceOnScreenAt, face::Point at, unsigned button = 1) {
        x_.click(faceOnScreenAt.x + at.x, faceOnScreenAt.y + at.y, button);
    }

    // Opens the help by the menu's access keys (the watch window has the keyboard) and
    // checks that a window with something in it comes up.
    void expectHelpWindowOpens() {
        x_.keyChord({"Alt_L", "h"});
        std::this_thread::sleep_for(200ms);
        x_.keyChord({"h"});
        const auto help = x_.waitForTopLevel("Kadrill ﾍﾙﾌﾟ", app_->pid(), {200, 200}, kStartTimeout);
        ASSERT_TRUE(help) << "no help window appeared" << screenshotNote(*x_.grab(x_.root()), "no-help");
        const auto image = x_.grab(*help);
        ASSERT_TRUE(image);
        int distinct = 0;
        for (int y = 0; y < image->height(); y += 7)
            distinct += image->at(image->width() / 2, y) != image->at(image->width() / 2, 0);
        EXPECT_GT(distinct, 5) << "the help window is blank" << screenshotNote(*image, "help");
    }

    XServer x_;
    TempDir home_;
    // Outlives kadrill, which may still be talking to it as it ends.
    kadrill::testsupport::PrivateSystemBus bus_;
    std::string binary_;
    // Runs the program, with its arguments ahead of the program's path; empty: none.
    std::vector<std::string> launcher_;
    std::optional<Process> windowManager_;
    std::optional<Process> trayHost_;
    std::optional<Process> app_;
};

} // namespace e2e
