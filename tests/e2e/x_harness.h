#pragma once
// Plumbing for the end-to-end tests: child processes, a private Xvfb, finding
// windows and reading their pixels. Plain Xlib so the test never shares a
// toolkit (and its bugs) with the program it watches.

#include "image.h"

#include <X11/Xlib.h>

#include <sys/types.h>

#include <chrono>
#include <compare>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Variables to set (value) or remove (nullopt) on top of our own environment.
using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// Calls `probe` every few milliseconds until it yields a value or `timeout`
// passes. Everything that waits on another process goes through here, so a
// slow machine costs time only when it is actually slow.
template <typename T>
std::optional<T> pollFor(std::chrono::milliseconds timeout, const std::function<std::optional<T>()>& probe);

bool pollUntil(std::chrono::milliseconds timeout, const std::function<bool()>& condition);

// A child process in its own process group. The destructor terminates the whole
// group and reaps it, so a failed assertion never leaves a client or an X
// server behind.
class Process {
public:
    struct Options {
        EnvChanges env;
        bool quiet = false; // send stdout/stderr to /dev/null
        int inheritFd = -1; // one extra descriptor the child keeps open
        std::string workingDirectory = {}; // empty: the caller's
    };

    Process(const std::vector<std::string>& argv, const Options& options);
    Process(Process&& other) noexcept;
    Process& operator=(Process&&) = delete;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    pid_t pid() const { return pid_; }
    bool running();
    // Exit code, 128 + signal number when killed, or nullopt on timeout.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);

private:
    void reap(int status);

    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

// One line that a child writes to `fd`, without its newline. Throws when none comes within
// `timeout` or the writer closes first; `who` names the writer in the message.
std::string readLine(int fd, std::chrono::milliseconds timeout, const std::string& who);

// A dbus-daemon of our own, as the session bus of the programs a test starts; never the
// user's. Its configuration names no service directories, so nothing of the machine's own
// is started on it on demand.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const std::string& configFile);
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;
    const std::string& address() const { return address_; }

private:
    std::optional<Process> daemon_;
    std::string address_;
};

// A scratch directory removed with everything in it when it goes out of scope.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Saves `image` where a person can look at it after a failure and returns the path.
std::filesystem::path saveScreenshot(const Image& image, const std::string& name);

// Xvfb on a free display number, plus our own connection to it.
class XServer {
public:
    XServer();
    // Our own connection to an X server that is already there (a compositor's XWayland);
    // none when `displayName` is empty.
    explicit XServer(const std::string& displayName);
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    ~XServer();

    const std::string& displayName() const { return displayName_; }
    Display* dpy() const { return dpy_; }
    Window root() const;

    Atom atom(const char* name) const;
    std::vector<Window> children(Window w) const;
    std::string name(Window w) const; // _NET_WM_NAME, else WM_NAME
    std::optional<unsigned long> pid(Window w) const;
    bool hasProperty(Window w, const char* property) const;
    bool isViewable(Window w) const;
    std::optional<std::pair<int, int>> size(Window w) const;

    // A mapped top-level window with this title that belongs to `owner`; under a window
    // manager, the client window inside its frame. At least minSize in pixels (a tray icon
    // bears the program's title too and stands at the top level for a moment before the
    // tray host docks it), and at most maxSize where one is given.
    std::optional<Window> findTopLevel(const std::string& title, pid_t owner, std::pair<int, int> minSize = {0, 0},
                                       std::pair<int, int> maxSize = {1 << 20, 1 << 20}) const;
    std::optional<Window> waitForTopLevel(const std::string& title, pid_t owner, std::pair<int, int> minSize,
                                          std::chrono::milliseconds timeout) const;
    // Every mapped top-level window with this title that belongs to `owner`, of any size:
    // several windows of one program may share a title (a message box and the main window).
    std::vector<Window> topLevels(const std::string& title, pid_t owner) const;
    // Every window under `w`, depth first, `w` excluded.
    std::vector<Window> descendants(Window w) const;

    std::optional<Image> grab(Window w) const;
    // What a window manager sends when the user clicks the close button.
    void sendDeleteWindow(Window w) const;

    // Where the window's top-left corner is on the screen.
    std::optional<std::pair<int, int>> rootPosition(Window w) const;
    // The ICCCM state a window manager keeps on a client (1 normal, 3 iconic); empty
    // while the window is withdrawn or unmanaged.
    std::optional<long> wmState(Window w) const;
    // Asks the window manager to minimise the window, as its minimise button does.
    void iconify(Window w) const;

    // Synthetic input through XTest, as a person at this display would give it.
    void movePointer(int rootX, int rootY) const;
    void pressButton(unsigned button) const;
    void releaseButton(unsigned button) const;
    void click(int rootX, int rootY, unsigned button = 1) const;
    // Presses the keys in order, then releases them in reverse: {"Alt_L", "v"}.
    void keyChord(const std::vector<std::string>& keysyms) const;
    // Types printable ASCII key by key, with Shift where the keyboard map needs it.
    void typeText(const std::string& text) const;

private:
    std::optional<Process> xvfb_;
    std::string displayName_;
    Display* dpy_ = nullptr;
};

// A program's environment on `x` with `home` as its whole home (settings, data, cache,
// runtime files), drawn at one device pixel per pixel whatever the caller's desktop says.
EnvChanges privateDesktop(const XServer& x, const std::filesystem::path& home);

template <typename T>
std::optional<T> pollFor(std::chrono::milliseconds timeout, const std::function<std::optional<T>()>& probe) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto value = probe())
            return value;
        if (Clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(20ms);
    }
}

// Openbox on `x`, as every desktop has a window manager; without one nothing minimises or
// moves windows but the program itself. Returns once it manages windows; throws when it
// never does within `timeout`.
Process startOpenbox(XServer& x, const std::filesystem::path& home, std::chrono::milliseconds timeout);

// Trayer on `x`: a notification area on the top edge of the screen. Returns once it owns
// the system tray selection; throws when it never does within `timeout`.
Process startTrayer(XServer& x, std::chrono::milliseconds timeout);

} // namespace e2e
