// Kadrill as a user has it: started twice in one desktop session, and installed into a
// prefix and run from there with the build out of sight.

#include "kadrill_fixture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace e2e;
namespace fs = std::filesystem;

struct Ran {
    int code = -1;
    std::string output; // standard output and error together
};

// Runs a shell command line and collects what it prints.
Ran run(const std::string& command) {
    Ran ran;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return ran;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        ran.output.append(buffer, n);
    const int status = pclose(pipe);
    ran.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return ran;
}

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// ---------------------------------------------------------------- one instance

// The startup-notification messages (texts) sent to the root window from construction on.
class StartupMessages {
public:
    explicit StartupMessages(const XServer& x)
        : x_(x), begin_(x.atom("_NET_STARTUP_INFO_BEGIN")), more_(x.atom("_NET_STARTUP_INFO")) {
        XSelectInput(x_.dpy(), x_.root(), PropertyChangeMask);
        XSync(x_.dpy(), False);
    }

    std::vector<std::string> received() {
        XSync(x_.dpy(), False);
        while (XPending(x_.dpy()) > 0) {
            XEvent e;
            XNextEvent(x_.dpy(), &e);
            if (e.type != ClientMessage || e.xclient.format != 8)
                continue;
            if (e.xclient.message_type == begin_)
                partial_.clear();
            else if (e.xclient.message_type != more_)
                continue;
            for (char c : e.xclient.data.b) {
                if (c == '\0') {
                    texts_.push_back(partial_);
                    partial_.clear();
                    break;
                }
                partial_ += c;
            }
        }
        return texts_;
    }

private:
    const XServer& x_;
    Atom begin_, more_;
    std::string partial_;
    std::vector<std::string> texts_;
};

// The session bus is one of the test's own; the system bus still leads nowhere.
class OneInstance : public KadrillTest {
protected:
    void SetUp() override {
        KadrillTest::SetUp();
        const std::string config = configured("KADRILL_E2E_SESSION_BUS_CONFIG");
        ASSERT_FALSE(config.empty()) << "KADRILL_E2E_SESSION_BUS_CONFIG must name the private bus configuration";
        bus_.emplace(config);
    }

    EnvChanges onTheBus() const { return {{"DBUS_SESSION_BUS_ADDRESS", bus_->address()}}; }

    // Another start in the same session, as from the application menu or a file manager.
    Process startAgain(EnvChanges extra, std::vector<std::string> arguments = {}) const {
        arguments.insert(arguments.begin(), binary_);
        return Process(arguments, Process::Options{.env = kadrillEnvironment(std::move(extra)), .quiet = true});
    }

    // Icons of any program docked in the tray host.
    int dockedIcons() const {
        const auto host = static_cast<unsigned long>(trayHost_->pid());
        int icons = 0;
        for (Window w : x_.descendants(x_.root())) {
            if (x_.pid(w) != host)
                continue;
            for (Window inner : x_.descendants(w))
                icons += x_.pid(inner) != host && x_.hasProperty(inner, "_XEMBED_INFO") && x_.isViewable(inner);
        }
        return icons;
    }

    // Watch windows of any process on the screen: viewable, titled Kadrill, the face's size.
    int shownWatches() const {
        int watches = 0;
        for (Window w : x_.descendants(x_.root())) {
            const auto size = x_.size(w);
            watches += x_.isViewable(w) && x_.name(w) == "Kadrill" && size && size->first >= 400 && size->second >= 120;
        }
        return watches;
    }

    // How long a second start may take to hand over and end; a sanitized build starts slowly.
    static std::chrono::milliseconds handOverLimit() {
        const std::string configuredLimit = configured("KADRILL_E2E_HAND_OVER_MS");
        return std::chrono::milliseconds(configuredLimit.empty() ? 2000 : std::stoi(configuredLimit));
    }

    std::optional<PrivateSessionBus> bus_;
};

TEST_F(OneInstance, ASecondStartBringsBackTheWatchHiddenInTheTrayAndEnds) {
    startWindowManager();
    startTrayHost();
    startKadrill(onTheBus());
    const Window main = mainWindow();
    ASSERT_NE(main, Window(None));
    ASSERT_TRUE(waitForFace(main));
    ASSERT_TRUE(pollFor<Window>(kStartTimeout, [&] { return dockedTrayIcon(); })) << "the icon never docked";
    x_.iconify(main);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !x_.isViewable(main) && !x_.wmState(main); }))
        << "minimised, the watch was not hidden to the notification area";

    // Started by a launcher that shows a busy pointer until the start is done.
    StartupMessages startup(x_);
    EnvChanges launched = onTheBus();
    launched.emplace_back("DESKTOP_STARTUP_ID", "menu launch_TIME0");
    Process second = startAgain(launched);
    const auto code = second.waitForExit(handOverLimit());
    ASSERT_TRUE(code) << "the second start still runs after " << handOverLimit().count() << " ms";
    EXPECT_EQ(*code, 0);
    EXPECT_EQ(startup.received(), std::vector<std::string>{"remove: ID=menu\\ launch_TIME0"})
        << "the launcher's feedback for the handed-over start was not ended";
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return x_.isViewable(main); }))
        << "the watch hidden in the tray did not come back" << screenshotNote(*x_.grab(x_.root()), "hidden");
    EXPECT_TRUE(waitForFace(main));
    EXPECT_EQ(dockedIcons(), 1) << "one program, one icon";
    EXPECT_EQ(shownWatches(), 1) << screenshotNote(*x_.grab(x_.root()), "watches");
    EXPECT_TRUE(app_->running());

    // Shown already, a start only raises it: still one watch, still shown.
    Process third = startAgain(onTheBus());
    const auto thirdCode = third.waitForExit(handOverLimit());
    ASSERT_TRUE(thirdCode) << "the third start still runs";
    EXPECT_EQ(*thirdCode, 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(x_.isViewable(main));
    EXPECT_EQ(dockedIcons(), 1);
    EXPECT_EQ(shownWatches(), 1);
}

TEST_F(OneInstance, AFileGivenToASecondStartArmsTheRunningWatch) {
    // A name that is not UTF-8 (from an old archive, say) names its file all the same.
    const auto file = home_.path() / "three o'clock \xB3.alm";
    std::ofstream(file, std::ios::binary) << "#03:00:00#\r\n#TRUE#\r\n0\r\n\"/bell.wav\"\r\n\"\"\r\n\"EOF\"\r\n";
    startKadrill(onTheBus());
    const Window main = mainWindow();
    ASSERT_NE(main, Window(None));
    const auto before = waitForFace(main);
    ASSERT_TRUE(before);
    ASSERT_FALSE(face::markLit(before->image, before->origin, face::kAlarmMarkBox, face::kAlarmMarkBoxSize));

    Process second = startAgain(onTheBus(), {file.string()});
    const auto code = second.waitForExit(handOverLimit());
    ASSERT_TRUE(code) << "the second start still runs after " << handOverLimit().count() << " ms";
    EXPECT_EQ(*code, 0);
    // The running watch confirms the load; once that is closed the ♪ mark shows the alarm.
    const auto confirmation = pollFor<Window>(kStartTimeout, [&]() -> std::optional<Window> {
        for (Window w : x_.topLevels("Kadrill", app_->pid()))
            if (w != main && x_.isViewable(w))
                return w;
        return std::nullopt;
    });
    ASSERT_TRUE(confirmation) << "the running watch showed no message" << screenshotNote(*x_.grab(x_.root()), "none");
    x_.sendDeleteWindow(*confirmation);
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] {
        const auto f = grabFace(main);
        return f && face::markLit(f->image, f->origin, face::kAlarmMarkBox, face::kAlarmMarkBoxSize);
    })) << "the running watch was not armed" << screenshotNote(*x_.grab(x_.root()), "unarmed");
    EXPECT_EQ(shownWatches(), 1);
}

TEST_F(OneInstance, AWatchThatCrashedKeepsNoLaterStartOut) {
    startKadrill(onTheBus());
    ASSERT_NE(mainWindow(), Window(None));
    kill(app_->pid(), SIGKILL);
    ASSERT_TRUE(app_->waitForExit(kExitTimeout));

    // The bus took the name back with the dead connection: this start is the first again.
    startKadrill(onTheBus());
    const Window main = mainWindow();
    ASSERT_NE(main, Window(None));
    EXPECT_TRUE(waitForFace(main));
}

TEST_F(OneInstance, WithoutASessionBusEveryStartRunsAWatch) {
    startKadrill(); // the fixture's bus leads nowhere
    ASSERT_NE(mainWindow(), Window(None));
    Process second = startAgain({});
    const auto window = x_.waitForTopLevel("Kadrill", second.pid(), {400, 127}, kStartTimeout);
    EXPECT_TRUE(window) << "with no bus to ask, the second start should have shown its own watch";
    EXPECT_TRUE(second.running());
    EXPECT_EQ(shownWatches(), 2);
}

// ---------------------------------------------------------------- installed tree

// `cmake --install` into a temporary prefix, once for the suite, then the program from there.
class InstalledTree : public KadrillTest {
protected:
    static void SetUpTestSuite() {
        installRoot_ = std::make_unique<TempDir>();
        const fs::path prefix = installRoot_->path() / "prefix";
        const Ran installed = run(shellQuoted(configured("KADRILL_E2E_CMAKE")) + " --install " +
                                  shellQuoted(configured("KADRILL_E2E_BUILD_DIR")) + " --prefix " +
                                  shellQuoted(prefix.string()) + " --strip");
        installError_ = installed.code == 0 ? "" : "cmake --install failed:\n" + installed.output;
    }
    static void TearDownTestSuite() { installRoot_.reset(); }

    void SetUp() override {
        KadrillTest::SetUp();
        build_ = configured("KADRILL_E2E_BUILD_DIR");
        source_ = configured("KADRILL_E2E_SOURCE_DIR");
        appId_ = configured("KADRILL_E2E_APP_ID");
        ASSERT_FALSE(build_.empty() || source_.empty() || appId_.empty()) << "the build's locations are not configured";
        ASSERT_EQ(installError_, "");
        prefix_ = installRoot_->path() / "prefix";
        binary_ = (prefix_ / "bin" / "kadrill").string();
        ASSERT_TRUE(fs::is_regular_file(binary_)) << "no bin/kadrill in the prefix";
    }

    // A command line that runs the installed program with no display and no bus.
    std::string headless(const std::string& arguments) const {
        return "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS=" +
               shellQuoted(noBus("session")) + " DBUS_SYSTEM_BUS_ADDRESS=" + shellQuoted(noBus("system")) + " " +
               shellQuoted(binary_) + " " + arguments;
    }

    // Runs the program in a mount namespace of its own where the build and the source
    // trees are empty directories, when this machine lets us make one; why not otherwise.
    std::string hideTheBuild() {
        const std::string probe = "unshare --mount";
        std::string unshare;
        if (run(probe + " true").code == 0)
            unshare = probe;
        else if (run(probe + " --map-root-user true").code == 0)
            unshare = probe + " --map-root-user";
        else
            return "no mount namespace to hide it in (unshare --mount failed)";
        const fs::path empty = home_.path() / "empty";
        fs::create_directory(empty);
        // The deeper of the two first: once the outer one is covered, the inner is gone.
        std::vector<std::string> hidden{fs::canonical(build_).string(), fs::canonical(source_).string()};
        std::sort(hidden.begin(), hidden.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
        std::istringstream words(unshare);
        launcher_.assign(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>());
        launcher_.insert(launcher_.end(), {"sh", "-c",
                                           "mount --bind \"$1\" \"$2\" && mount --bind \"$1\" \"$3\" && "
                                           "shift 3 && exec \"$@\"",
                                           "sh", empty.string(), hidden[0], hidden[1]});
        return {};
    }

    std::string installedFile(const fs::path& relative) const {
        std::ifstream in(prefix_ / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static inline std::unique_ptr<TempDir> installRoot_;
    static inline std::string installError_;
    fs::path prefix_;
    std::string build_, source_, appId_;
};

TEST_F(InstalledTree, TheProgramRunsFromThePrefixWithTheBuildOutOfSight) {
    const std::string notHidden = hideTheBuild();
    if (!notHidden.empty())
        std::printf("note: the build tree stays in sight: %s\n", notHidden.c_str());
    startWindowManager();
    startKadrill();
    const Window main = mainWindow();
    ASSERT_NE(main, Window(None));

    // The face shows the time of day (read before and after, in case a minute turns).
    const std::time_t before = std::time(nullptr);
    const auto face = waitForFace(main);
    ASSERT_TRUE(face);
    const std::time_t after = std::time(nullptr);
    // The face blanks a leading zero of the hour (" 006" just after midnight).
    auto hhmm = [](std::time_t t) {
        const std::tm* local = std::localtime(&t);
        char text[16];
        std::snprintf(text, sizeof text, "%2d%02d", local->tm_hour, local->tm_min);
        return std::string(text);
    };
    EXPECT_TRUE(face->digits.substr(0, 4) == hhmm(before) || face->digits.substr(0, 4) == hhmm(after))
        << "the face reads " << face->digits << screenshotNote(face->image, "installed");

    // The window is the one the desktop entry says it starts.
    XClassHint hint{};
    ASSERT_TRUE(XGetClassHint(x_.dpy(), main, &hint));
    const std::string windowClass = hint.res_class ? hint.res_class : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
    const std::string entry = installedFile(fs::path("share/applications") / (appId_ + ".desktop"));
    ASSERT_FALSE(entry.empty()) << "no desktop entry in the prefix";
    EXPECT_NE(entry.find("\nStartupWMClass=" + windowClass + "\n"), std::string::npos)
        << "the window's class is " << windowClass;
    // Menus hide an entry whose TryExec names no program on the search path.
    EXPECT_NE(entry.find("\nTryExec=kadrill\n"), std::string::npos) << entry;

    // The help comes from the prefix: with no collection found a message box would say so.
    const auto onScreen = pollFor<FaceGrab>(kStartTimeout, [&] { return faceOnScreen(); });
    ASSERT_TRUE(onScreen) << "the face is not on the screen";
    clickFace(onScreen->origin, face::kBareFace); // the window has the keyboard
    expectHelpWindowOpens();
    if (HasFatalFailure())
        return;
    if (!notHidden.empty())
        GTEST_SKIP() << "ran, but with the build tree in sight: " << notHidden;
}

TEST_F(InstalledTree, NoInstalledFileNamesTheBuildOrTheSource) {
    // A sanitized program names its sources for its reports; that is no lookup.
    const bool sanitized = !configured("KADRILL_E2E_SANITIZED").empty();
    std::vector<std::string> wrong;
    for (const auto& entry : fs::recursive_directory_iterator(prefix_)) {
        if (!entry.is_regular_file())
            continue;
        const std::string content = installedFile(fs::relative(entry.path(), prefix_));
        if (sanitized && content.starts_with("\x7f"
                                             "ELF"))
            continue;
        for (const std::string& tree : {build_, source_})
            if (content.find(tree) != std::string::npos)
                wrong.push_back(fs::relative(entry.path(), prefix_).string() + " names " + tree);
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

TEST_F(InstalledTree, AlarmFilesAreOfTheirOwnTypeAndOpenWithKadrill) {
    // As the package's installation does, then asked as a file manager asks.
    const fs::path share = prefix_ / "share";
    const Ran updated = run("update-mime-database " + shellQuoted((share / "mime").string()));
    ASSERT_EQ(updated.code, 0) << updated.output;
    const fs::path file = home_.path() / "morning.alm";
    std::ofstream(file, std::ios::binary) << "#07:00:00#\r\n#TRUE#\r\n0\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n";
    const std::string session = "env -i PATH=/usr/bin:/bin HOME=" + shellQuoted(home_.path().string()) +
                                " XDG_DATA_HOME=" + shellQuoted((home_.path() / "data").string()) +
                                " XDG_CONFIG_HOME=" + shellQuoted((home_.path() / "config").string()) +
                                " XDG_DATA_DIRS=" + shellQuoted(share.string()) + " xdg-mime query ";
    const Ran type = run(session + "filetype " + shellQuoted(file.string()));
    EXPECT_EQ(type.output, "application/x-kadrill-alarm\n");
    const Ran opener = run(session + "default application/x-kadrill-alarm");
    EXPECT_EQ(opener.output, appId_ + ".desktop\n");
}

TEST_F(InstalledTree, HelpAndVersionPrintWithoutADisplayAndOtherArgumentsAreRefused) {
    const Ran help = run(headless("--help"));
    EXPECT_EQ(help.code, 0) << help.output;
    EXPECT_NE(help.output.find("Usage: kadrill"), std::string::npos) << help.output;
    EXPECT_NE(help.output.find(fs::canonical(prefix_ / "share/kadrill/help").string()), std::string::npos)
        << "the help's place is not the prefix's:\n"
        << help.output;

    const Ran version = run(headless("--version"));
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(version.output.starts_with("kadrill " + configured("KADRILL_E2E_VERSION") + "\n")) << version.output;
    EXPECT_NE(version.output.find("License GPL-3.0-or-later"), std::string::npos) << version.output;

    // On a display an unknown argument ends the program before any window.
    const Ran refused = run("env DISPLAY=" + x_.displayName() + " QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=" +
                            shellQuoted(noBus("session")) + " DBUS_SYSTEM_BUS_ADDRESS=" + shellQuoted(noBus("system")) +
                            " " + shellQuoted(binary_) + " --alarm");
    EXPECT_EQ(refused.code, 2) << refused.output;
    EXPECT_NE(refused.output.find("unknown option '--alarm'"), std::string::npos) << refused.output;
    const Ran twoFiles = run("env DISPLAY=" + x_.displayName() + " QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=" +
                             shellQuoted(noBus("session")) + " DBUS_SYSTEM_BUS_ADDRESS=" +
                             shellQuoted(noBus("system")) + " " + shellQuoted(binary_) + " a.alm b.alm");
    EXPECT_EQ(twoFiles.code, 2) << twoFiles.output;
    EXPECT_NE(twoFiles.output.find("unexpected argument 'b.alm'"), std::string::npos) << twoFiles.output;
}

} // namespace
