#include "mutter_session.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace e2e {

namespace {

constexpr auto kMutterStartTimeout = 30s;

// The children of `parent` whose command is `name`, read from /proc.
std::vector<pid_t> childrenNamed(pid_t parent, const std::string& name) {
    std::vector<pid_t> out;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // pid (comm) state ppid ...; comm may hold spaces, so read from its closing bracket.
        const auto open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && line.substr(open + 1, close - open - 1) == name)
            out.push_back(static_cast<pid_t>(std::stol(pid)));
    }
    return out;
}

// The command line of a process, its arguments apart.
std::vector<std::string> commandLine(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::vector<std::string> args;
    std::string arg;
    while (std::getline(in, arg, '\0'))
        args.push_back(arg);
    return args;
}

// XWayland's sockets live in /tmp/.X11-unix, which mutter uses only when anyone may
// write there (as an X server leaves it); it makes the directory itself with its umask.
std::string x11SocketDirProblem() {
    const char* dir = "/tmp/.X11-unix";
    struct stat st {};
    if (lstat(dir, &st) != 0) {
        if (mkdir(dir, 01777) != 0 || chmod(dir, 01777) != 0)
            return std::string("cannot make ") + dir;
        return {};
    }
    if ((st.st_mode & 01022) != 01022)
        return std::string(dir) + " is not writable by everyone with the sticky bit, which mutter requires";
    return {};
}

} // namespace

MutterSession::MutterSession(const std::string& sessionBusConfig) {
    try {
        start(sessionBusConfig);
    } catch (const std::exception& e) {
        unavailable_ = e.what();
    }
}

void MutterSession::start(const std::string& sessionBusConfig) {
    if (const std::string problem = x11SocketDirProblem(); !problem.empty())
        throw std::runtime_error(problem);
    bus_.emplace(sessionBusConfig);
    waylandDisplay_ = "kadrill-e2e-" + std::to_string(getpid());
    mutter_.emplace(std::vector<std::string>{"mutter", "--headless", "--wayland", "--virtual-monitor", "1280x800",
                                             "--wayland-display=" + waylandDisplay_},
                    Process::Options{.env = {{"XDG_RUNTIME_DIR", runtime_.path().string()},
                                             {"DBUS_SESSION_BUS_ADDRESS", bus_->address()},
                                             {"HOME", home_.path().string()},
                                             {"XDG_CONFIG_HOME", (home_.path() / "config").string()},
                                             {"XDG_DATA_HOME", (home_.path() / "data").string()},
                                             {"XDG_CACHE_HOME", (home_.path() / "cache").string()},
                                             // Settings in memory: nothing of the machine's, nothing written.
                                             {"GSETTINGS_BACKEND", "memory"},
                                             {"DISPLAY", std::nullopt},
                                             {"WAYLAND_DISPLAY", std::nullopt},
                                             {"XAUTHORITY", std::nullopt}},
                                     .quiet = true});
    // XWayland comes up with its display number on the command line and its authority in
    // the runtime directory.
    const bool up = pollUntil(kMutterStartTimeout, [&] {
        if (!mutter_->running())
            return false;
        const auto xwayland = childrenNamed(mutter_->pid(), "Xwayland");
        if (xwayland.empty())
            return false;
        const auto args = commandLine(xwayland.front());
        if (args.size() < 2 || args[1].empty() || args[1][0] != ':')
            return false;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(runtime_.path(), ignored))
            if (entry.path().filename().string().starts_with(".mutter-Xwaylandauth."))
                xauthority_ = entry.path();
        if (xauthority_.empty())
            return false;
        xwayland_ = xwayland.front();
        x11Display_ = args[1];
        return true;
    });
    if (!up)
        throw std::runtime_error(mutter_->running() ? "mutter started no XWayland within 30 s"
                                                    : "mutter ended at start (is it installed?)");
    // Our own Xlib connections to XWayland need its authority.
    setenv("XAUTHORITY", xauthority_.c_str(), 1);
    const bool answers = pollUntil(kMutterStartTimeout, [&] {
        Display* probe = XOpenDisplay(x11Display_.c_str());
        if (probe)
            XCloseDisplay(probe);
        return probe != nullptr;
    });
    if (!answers)
        throw std::runtime_error("XWayland on " + x11Display_ + " does not answer");
}

MutterSession::~MutterSession() {
    // Mutter first: it takes its XWayland down with it and removes the display's lock and
    // sockets; an XWayland that went first would end mutter with an error, leaving them.
    if (mutter_ && mutter_->running()) {
        kill(mutter_->pid(), SIGTERM);
        mutter_->waitForExit(5s);
    }
    if (xwayland_ > 0 && kill(xwayland_, 0) == 0)
        kill(xwayland_, SIGTERM);
    mutter_.reset(); // whatever is left of its process group, and reaped
}

EnvChanges MutterSession::sessionEnvironment() const {
    return {
        {"DISPLAY", x11Display_},
        {"XAUTHORITY", xauthority_.string()},
        {"WAYLAND_DISPLAY", waylandDisplay_},
        {"XDG_RUNTIME_DIR", runtime_.path().string()},
        {"XDG_SESSION_TYPE", "wayland"},
        {"XDG_CURRENT_DESKTOP", "GNOME"},
        {"DBUS_SESSION_BUS_ADDRESS", bus_ ? bus_->address() : std::string()},
        // Each program chooses its platform itself, as in a real session.
        {"QT_QPA_PLATFORM", std::nullopt},
        {"GDK_BACKEND", std::nullopt},
        // No accessibility bus on the private session bus: GTK need not look for one.
        {"NO_AT_BRIDGE", "1"},
    };
}

MutterSession& sharedMutter() {
    static MutterSession session(
        std::getenv("KADRILL_E2E_SESSION_BUS_CONFIG") ? std::getenv("KADRILL_E2E_SESSION_BUS_CONFIG") : "");
    return session;
}

} // namespace e2e
