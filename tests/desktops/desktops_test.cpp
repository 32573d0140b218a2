// The watch on the desktops people run, each started headless from its own packages in a
// session of its own: Xfce, KDE Plasma on X11, GNOME Shell with the AppIndicator extension.
// The real program, seen from outside: its face, its icon and the icon's menu as the panel
// reads them, minimise and back, the panel's end, and an alarm's keys into a GTK program.
// Not part of `make test` (`make desktops`): a desktop takes long to start.

#include "kadrill_fixture.h"
#include "status_notifier.h"

#include <signal.h>

#include <cstdlib>
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

constexpr auto kDesktopStartTimeout = 90s; // Plasma drawn in software on two busy cores

// Plasma with KWin's focus-stealing prevention at High, which keeps a started program
// behind unless its start is the user's.
enum class Kind { Xfce, Plasma, PlasmaHighFocusGuard, Gnome };

struct DesktopCase {
    const char* name;
    Kind kind;
    // What brings a hidden watch back there: the icon's activation (a click), or the icon
    // menu's own item where the panel activates only on a double click.
    bool clickActivates;
};

// The X server, session bus and programs of one desktop, in a home of their own; everything
// stopped by its process id, the bus last.
class DesktopSession {
public:
    explicit DesktopSession(Kind kind) : kind_(kind) {
        try {
            start();
        } catch (const std::exception& e) {
            unavailable_ = e.what();
        }
    }
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;
    ~DesktopSession() {
        while (!programs_.empty())
            programs_.pop_back();
    }

    const std::string& unavailable() const { return unavailable_; }
    const std::string& x11Display() const { return display_; }
    const std::string& busAddress() const { return bus_->address(); }

    // What the desktop gives the programs it starts; Kadrill's own home stays its own.
    EnvChanges programEnvironment() const {
        EnvChanges env = {{"DBUS_SESSION_BUS_ADDRESS", bus_->address()}, {"TZ", "UTC"}};
        for (const auto& [name, value] : sessionVariables())
            env.emplace_back(name, value);
        if (!xauthority_.empty())
            env.emplace_back("XAUTHORITY", xauthority_.string());
        return env;
    }

    // The panel goes away: its process ends, or GNOME turns the extension off.
    void endPanel() {
        if (kind_ == Kind::Gnome) {
            run({"gsettings", "set", "org.gnome.shell", "enabled-extensions", "[]"});
        } else {
            kill(panel_, SIGKILL);
        }
    }

    // The last lines each program of the desktop wrote, for a failure.
    std::string logs() const {
        std::string out;
        for (const auto& name : logNames_) {
            std::ifstream in(home_.path() / (name + ".log"));
            std::vector<std::string> lines;
            for (std::string line; std::getline(in, line);)
                lines.push_back(line);
            out += "\n  " + name + (lines.empty() ? " said nothing" : " said, last:");
            for (std::size_t i = lines.size() > 8 ? lines.size() - 8 : 0; i < lines.size(); ++i)
                out += "\n    " + lines[i];
        }
        return out;
    }

private:
    std::vector<std::pair<std::string, std::string>> sessionVariables() const {
        switch (kind_) {
        case Kind::Xfce:
            return {{"XDG_CURRENT_DESKTOP", "XFCE"}, {"XDG_SESSION_TYPE", "x11"}};
        case Kind::Plasma:
        case Kind::PlasmaHighFocusGuard:
            return {{"XDG_CURRENT_DESKTOP", "KDE"},
                    {"XDG_SESSION_TYPE", "x11"},
                    {"KDE_FULL_SESSION", "true"},
                    {"KDE_SESSION_VERSION", "5"}};
        case Kind::Gnome:
            return {{"XDG_CURRENT_DESKTOP", "GNOME"}, {"XDG_SESSION_TYPE", "wayland"}};
        }
        return {};
    }

    EnvChanges desktopEnvironment() const {
        const auto& home = home_.path();
        EnvChanges env = {{"HOME", home.string()},
                          {"XDG_CONFIG_HOME", (home / "config").string()},
                          {"XDG_DATA_HOME", (home / "data").string()},
                          {"XDG_CACHE_HOME", (home / "cache").string()},
                          {"XDG_RUNTIME_DIR", runtime_.path().string()},
                          {"LANG", "C.UTF-8"},
                          {"LIBGL_ALWAYS_SOFTWARE", "1"},
                          {"NO_AT_BRIDGE", "1"},
                          {"DISPLAY", display_.empty() ? std::nullopt : std::optional(display_)},
                          {"WAYLAND_DISPLAY", std::nullopt},
                          {"DBUS_SESSION_BUS_ADDRESS", bus_->address()}};
        for (const auto& [name, value] : sessionVariables())
            env.emplace_back(name, value);
        if (systemBus_)
            env.emplace_back("DBUS_SYSTEM_BUS_ADDRESS", systemBus_->address());
        if (!xauthority_.empty())
            env.emplace_back("XAUTHORITY", xauthority_.string());
        return env;
    }

    // One program of the desktop, what it says kept in a log of its own.
    pid_t launch(const std::string& name, std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"sh", "-c", "exec \"$@\" >>\"$0\" 2>&1", (home_.path() / (name + ".log")).string()});
        logNames_.push_back(name);
        programs_.emplace_back(argv, Process::Options{.env = desktopEnvironment()});
        return programs_.back().pid();
    }

    // A command of the desktop's that ends by itself.
    void run(const std::vector<std::string>& argv) const {
        Process command(argv, Process::Options{.env = desktopEnvironment(), .quiet = true});
        if (command.waitForExit(kStartTimeout) != 0)
            throw std::runtime_error(argv.front() + " " + argv[1] + " failed");
    }

    std::string watcherSays(const std::string& property) const {
        return busCall(bus_->address(), "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                       "org.freedesktop.DBus.Properties.Get",
                       "string:org.kde.StatusNotifierWatcher string:" + property);
    }

    void start() {
        const char* standard = "/usr/share/dbus-1/session.conf"; // the desktop's own services, on demand
        bus_.emplace(standard);
        if (kind_ != Kind::Gnome) {
            xvfb_.emplace();
            display_ = xvfb_->displayName();
        }
        // Services the bus starts see the session as its programs do (the settings service
        // too, which keeps them in this home).
        std::vector<std::string> update{"dbus-update-activation-environment"};
        for (const auto& [name, value] : desktopEnvironment())
            if (value && name != "DBUS_SESSION_BUS_ADDRESS")
                update.push_back(name + "=" + *value);
        run(update);
        if (kind_ == Kind::Gnome) {
            // The shell asks logind on the system bus where the machine has seats; give it a
            // bus of its own that has none.
            if (std::filesystem::exists("/run/systemd/seats"))
                systemBus_.emplace(standard);
            run({"gsettings", "set", "org.gnome.shell", "enabled-extensions", "['ubuntu-appindicators@ubuntu.com']"});
            const std::string socket = "kadrill-desktop-" + std::to_string(getpid());
            panel_ = launch("gnome-shell", {"gnome-shell", "--headless", "--wayland", "--virtual-monitor", "1280x800",
                                            "--wayland-display=" + socket});
            findXWayland();
        }
        if (kind_ == Kind::Xfce) {
            launch("xfwm4", {"xfwm4"});
            panel_ = launch("xfce4-panel", {"xfce4-panel"});
        } else if (kind_ != Kind::Gnome) {
            if (kind_ == Kind::PlasmaHighFocusGuard) {
                std::filesystem::create_directories(home_.path() / "config");
                std::ofstream(home_.path() / "config" / "kwinrc") << "[Windows]\nFocusStealingPreventionLevel=3\n";
            }
            launch("kwin_x11", {"kwin_x11"});
            launch("kded5", {"kded5"});
            panel_ = launch("plasmashell", {"plasmashell"});
        }
        if (!pollUntil(kDesktopStartTimeout, [&] {
                return watcherSays("IsStatusNotifierHostRegistered").find("boolean true") != std::string::npos;
            }))
            throw std::runtime_error("no panel registered a host with a watcher within " +
                                     std::to_string(kDesktopStartTimeout.count()) + " s" + logs());
    }

    // GNOME starts XWayland when the first X client comes, on a display it has locked.
    void findXWayland() {
        const std::string shell = std::to_string(panel_);
        const bool found = pollUntil(kDesktopStartTimeout, [&] {
            for (int n = 0; n < 1000; ++n) {
                std::ifstream lock("/tmp/.X" + std::to_string(n) + "-lock");
                std::string pid;
                if (lock >> pid && pid == shell)
                    display_ = ":" + std::to_string(n);
            }
            std::error_code ignored;
            for (const auto& entry : std::filesystem::directory_iterator(runtime_.path(), ignored))
                if (entry.path().filename().string().starts_with(".mutter-Xwaylandauth."))
                    xauthority_ = entry.path();
            return !display_.empty() && !xauthority_.empty();
        });
        if (!found)
            throw std::runtime_error("gnome-shell offered no X display" + logs());
        // Our own Xlib connections need its authority.
        setenv("XAUTHORITY", xauthority_.c_str(), 1);
        if (!pollUntil(kDesktopStartTimeout, [&] {
                Display* probe = XOpenDisplay(display_.c_str());
                if (probe)
                    XCloseDisplay(probe);
                return probe != nullptr;
            }))
            throw std::runtime_error("XWayland on " + display_ + " does not answer" + logs());
    }

    Kind kind_;
    TempDir home_;
    TempDir runtime_; // 0700, as mkdtemp makes it
    std::optional<PrivateSessionBus> bus_;
    std::optional<PrivateSessionBus> systemBus_;
    std::optional<XServer> xvfb_;
    std::string display_;
    std::filesystem::path xauthority_;
    std::vector<Process> programs_;
    std::vector<std::string> logNames_;
    pid_t panel_ = -1;
    std::string unavailable_;
};

// Started before the fixture connects to the desktop's X display.
struct SessionFirst {
    SessionFirst()
        : session(std::make_unique<DesktopSession>(::testing::WithParamInterface<DesktopCase>::GetParam().kind)) {}
    std::unique_ptr<DesktopSession> session;
};

class OnDesktop : protected SessionFirst, public KadrillTest, public ::testing::WithParamInterface<DesktopCase> {
protected:
    OnDesktop() : KadrillTest(session->x11Display()) {}

    void SetUp() override {
        ASSERT_TRUE(session->unavailable().empty()) << GetParam().name << " did not start: " << session->unavailable();
        KadrillTest::SetUp();
    }

    // The face of a window from its own pixels (XWayland keeps no picture of its root).
    std::optional<std::string> digitsOf(Window w) const {
        auto image = x_.grab(w);
        const auto grab = image ? readFace(std::move(*image)) : std::nullopt;
        if (!grab || grab->digits.find('?') != std::string::npos)
            return std::nullopt;
        return grab->digits;
    }

    std::string screenNote(Window w, const std::string& tag) const {
        const auto image = x_.grab(w);
        return image ? screenshotNote(*image, tag) : std::string("\n  (window not grabbable)");
    }

    // What a click on the icon, or on its menu's first item, does where that is the way.
    void actOnIcon(const StatusNotifierItem& item, const std::string& menu) const {
        const std::string& bus = session->busAddress();
        if (GetParam().clickActivates) {
            busCall(bus, item.service, item.path, "org.kde.StatusNotifierItem.Activate", "int32:0 int32:0");
            return;
        }
        const auto id = menuEntryId(menu, "時計を隠す(_K)");
        ASSERT_TRUE(id) << "the icon's menu has no item to hide the watch:\n" << menu;
        busCall(bus, item.service, itemMenuPath(item), "com.canonical.dbusmenu.Event",
                "int32:" + std::to_string(*id) + " string:clicked variant:int32:0 uint32:0");
    }

    std::string itemMenuPath(const StatusNotifierItem& item) const {
        const std::string said =
            busCall(session->busAddress(), item.service, item.path, "org.freedesktop.DBus.Properties.Get",
                    "string:org.kde.StatusNotifierItem string:Menu");
        const auto at = said.find('"', said.find("object path"));
        return at == std::string::npos ? "/" : said.substr(at + 1, said.find('"', at + 1) - at - 1);
    }
};

TEST_P(OnDesktop, TheWatchItsIconAndItsAlarmWorkThere) {
    // The alarm starts a GTK program and types into it; the program writes down what it got.
    const TempDir scratch;
    const auto typed = scratch.path() / "typed";
    const auto program = scratch.path() / "entry.sh";
    std::ofstream(program) << "#!/bin/sh\nexec zenity --entry --title=entry > '" << typed.string() << "'\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const auto alarm = scratch.path() / "desktop.alm";
    std::ofstream(alarm, std::ios::binary)
        << "#10:20:25#\r\n#TRUE#\r\n1\r\n\"\"\r\n\"" << program.string()
        << "\"\r\n\"k\"\r\n\"{k}\"\r\n\"d\"\r\n\"{d}\"\r\n\"Enter\"\r\n\"{ENTER}\"\r\n\"EOF\"\r\n";

    EnvChanges env = session->programEnvironment();
    for (auto& change : fakeClock("2026-12-09 10:20:00"))
        env.push_back(std::move(change));
    startKadrill(env, {alarm.string()});
    const Window main = mainWindow();
    ASSERT_NE(main, Window(None)) << session->logs();

    const auto first = pollFor<std::string>(kStartTimeout, [&] { return digitsOf(main); });
    ASSERT_TRUE(first) << "no face" << screenNote(main, "no-face");
    EXPECT_TRUE(pollFor<std::string>(kStartTimeout,
                                     [&]() -> std::optional<std::string> {
                                         const auto now = digitsOf(main);
                                         return now && *now != *first ? now : std::nullopt;
                                     }))
        << "the face stood still" << screenNote(main, "still");

    const std::string& bus = session->busAddress();
    const auto item = pollFor<StatusNotifierItem>(kStartTimeout, [&] { return itemOf(bus, app_->pid()); });
    ASSERT_TRUE(item) << "the icon never registered with the panel; the watcher lists:" << [&] {
        std::string listed;
        for (const auto& other : registeredItems(bus))
            listed += " " + other.service + other.path;
        return listed;
    }() << session->logs();
    const std::string menu = publishedMenu(bus, *item);
    for (const char* label : {"時計を隠す(_K)", "12時間表示(_W)", "全ての文字を表示(_A)", "ﾒﾆｭｰﾊﾞｰを隠す(_H)"})
        EXPECT_NE(menu.find(label), std::string::npos) << label << " is not in the icon's menu:\n" << menu;

    auto received = [&] {
        std::ifstream in(typed);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_TRUE(pollUntil(40s, [&] { return received() == "kd\n"; }))
        << "the started program received \"" << received() << "\"" << screenNote(x_.root(), "alarm");

    x_.iconify(main);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !x_.isViewable(main) && !x_.wmState(main); }))
        << "minimised, the watch was not hidden to the icon" << screenNote(x_.root(), "minimised");
    actOnIcon(*item, menu);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return x_.isViewable(main); }))
        << "the icon did not bring the watch back" << screenNote(x_.root(), "back");

    std::this_thread::sleep_for(1s);
    actOnIcon(*item, menu);
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return !x_.isViewable(main); })) << "the icon did not hide the watch";
    session->endPanel();
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return x_.isViewable(main); }))
        << "with the panel gone, the hidden watch stayed hidden" << session->logs();
}

INSTANTIATE_TEST_SUITE_P(Desktops, OnDesktop,
                         ::testing::Values(DesktopCase{"Xfce", Kind::Xfce, true},
                                           DesktopCase{"Plasma", Kind::Plasma, true},
                                           DesktopCase{"PlasmaHighFocusGuard", Kind::PlasmaHighFocusGuard, true},
                                           DesktopCase{"GnomeAppIndicator", Kind::Gnome, false}),
                         [](const ::testing::TestParamInfo<DesktopCase>& p) { return std::string(p.param.name); });

} // namespace
