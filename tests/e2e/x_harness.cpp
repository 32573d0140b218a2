#include "x_harness.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace e2e {

bool pollUntil(std::chrono::milliseconds timeout, const std::function<bool()>& condition) {
    return pollFor<bool>(timeout,
                         [&]() -> std::optional<bool> {
                             if (condition())
                                 return true;
                             return std::nullopt;
                         })
        .has_value();
}

// ---------------------------------------------------------------- processes

namespace {

std::vector<std::string> mergedEnvironment(const EnvChanges& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    for (const auto& [key, value] : changes) {
        const std::string prefix = key + "=";
        std::erase_if(env, [&](const std::string& entry) { return entry.starts_with(prefix); });
        if (value)
            env.push_back(prefix + *value);
    }
    return env;
}

std::vector<char*> cStrings(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

int exitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

Process::Process(const std::vector<std::string>& argv, const Options& options) {
    if (argv.empty())
        throw std::invalid_argument("Process: empty command line");
    // Everything the child needs is prepared before fork(): after it only
    // async-signal-safe calls are allowed.
    std::vector<std::string> args = argv;
    std::vector<std::string> env = mergedEnvironment(options.env);
    std::vector<char*> argp = cStrings(args);
    std::vector<char*> envp = cStrings(env);

    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");

    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) {
        close(errorPipe[0]);
        close(errorPipe[1]);
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        setpgid(0, 0);
        // If the test binary is killed (ctest timeout, crash), take the child along.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        if (options.quiet) {
            const int devNull = open("/dev/null", O_WRONLY);
            if (devNull >= 0) {
                dup2(devNull, STDOUT_FILENO);
                dup2(devNull, STDERR_FILENO);
            }
        }
        if (options.inheritFd >= 0)
            fcntl(options.inheritFd, F_SETFD, 0);
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
            const int error = errno;
            [[maybe_unused]] auto written = write(errorPipe[1], &error, sizeof error);
            _exit(127);
        }
        execvpe(argp[0], argp.data(), envp.data());
        const int error = errno;
        [[maybe_unused]] auto written = write(errorPipe[1], &error, sizeof error);
        _exit(127);
    }
    setpgid(pid_, pid_); // also from here, so the group exists before we could signal it
    close(errorPipe[1]);
    int childError = 0;
    ssize_t got;
    do {
        got = read(errorPipe[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    close(errorPipe[0]);
    if (got == sizeof childError) {
        int status;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        throw std::runtime_error("cannot run " + argv[0] + ": " + std::strerror(childError));
    }
}

Process::Process(Process&& other) noexcept : pid_(std::exchange(other.pid_, -1)), exitCode_(other.exitCode_) {}

Process::~Process() {
    if (pid_ <= 0 || exitCode_)
        return;
    kill(-pid_, SIGTERM);
    if (!waitForExit(3s)) {
        kill(-pid_, SIGKILL);
        int status;
        if (waitpid(pid_, &status, 0) == pid_)
            reap(status);
    }
}

void Process::reap(int status) { exitCode_ = exitCodeOf(status); }

bool Process::running() {
    if (exitCode_)
        return false;
    // Look without reaping: while the leader is a zombie its group id cannot be
    // reused, so the group kill below only ever hits our own children.
    siginfo_t info{};
    if (waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        if (errno != ECHILD)
            return true;
        exitCode_ = -1; // not our child any more; nothing left to wait for
        return false;
    }
    if (info.si_pid == 0)
        return true;
    kill(-pid_, SIGKILL); // helpers the child may have left behind
    int status;
    if (waitpid(pid_, &status, 0) == pid_)
        reap(status);
    return false;
}

std::optional<int> Process::waitForExit(std::chrono::milliseconds timeout) {
    if (pollUntil(timeout, [this] { return !running(); }))
        return exitCode_;
    return std::nullopt;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kadrill-e2e-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

// ---------------------------------------------------------------- images

EnvChanges privateDesktop(const XServer& x, const std::filesystem::path& home) {
    return {
        {"DISPLAY", x.displayName()},
        {"QT_QPA_PLATFORM", "xcb"},
        {"HOME", home.string()},
        {"XDG_CONFIG_HOME", (home / "config").string()},
        {"XDG_DATA_HOME", (home / "data").string()},
        {"XDG_CACHE_HOME", (home / "cache").string()},
        {"XDG_RUNTIME_DIR", home.string()},
        {"QT_SCALE_FACTOR", std::nullopt},
        {"QT_SCREEN_SCALE_FACTORS", std::nullopt},
        {"QT_AUTO_SCREEN_SCALE_FACTOR", std::nullopt},
        {"QT_ENABLE_HIGHDPI_SCALING", std::nullopt},
        {"QT_FONT_DPI", std::nullopt},
    };
}

std::filesystem::path saveScreenshot(const Image& image, const std::string& name) {
    std::filesystem::path dir = std::filesystem::temp_directory_path();
    if (const char* configured = std::getenv("KADRILL_E2E_SCREENSHOTS"); configured && *configured)
        dir = configured;
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    std::string safe = name;
    std::replace_if(
        safe.begin(), safe.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)) && c != '-'; }, '_');
    const auto file = dir / (safe + ".ppm");
    image.savePpm(file);
    return file;
}

std::string readLine(int fd, std::chrono::milliseconds timeout, const std::string& who) {
    std::string text;
    const auto deadline = Clock::now() + timeout;
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms)
            throw std::runtime_error(who + " did not report in time");
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0)
            throw std::runtime_error(who + " exited before reporting");
        if (n > 0)
            text.append(buffer, std::size_t(n));
    }
    text.erase(text.find('\n'));
    return text;
}

namespace {

// Starts a daemon that writes one line (its address or display) to a descriptor it is
// given; `argv` makes its command line for that descriptor. Returns the line.
std::string startReporting(std::optional<Process>& daemon, const std::function<std::vector<std::string>(int)>& argv,
                           const std::string& who) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    try {
        daemon.emplace(argv(fds[1]), Process::Options{.env = {}, .quiet = true, .inheritFd = fds[1]});
        close(std::exchange(fds[1], -1));
        std::string line = readLine(fds[0], 15s, who);
        close(fds[0]);
        return line;
    } catch (...) {
        close(fds[0]);
        if (fds[1] >= 0)
            close(fds[1]);
        throw;
    }
}

} // namespace

PrivateSessionBus::PrivateSessionBus(const std::string& configFile) {
    address_ = startReporting(
        daemon_,
        [&](int fd) {
            return std::vector<std::string>{"dbus-daemon", "--config-file=" + configFile, "--nofork", "--nopidfile",
                                            "--print-address=" + std::to_string(fd)};
        },
        "dbus-daemon");
}

// ---------------------------------------------------------------- X server

namespace {

// Windows come and go while we walk the tree; a vanished one is not an error.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

} // namespace

XServer::XServer() {
    // -displayfd lets Xvfb pick a free display, so tests can run in parallel.
    displayName_ = ":" + startReporting(
                             xvfb_,
                             [](int fd) {
                                 return std::vector<std::string>{"Xvfb",      "-displayfd", std::to_string(fd),
                                                                 "-screen",   "0",          "1024x768x24",
                                                                 "-nolisten", "tcp",        "-noreset"};
                             },
                             "Xvfb");
    XSetErrorHandler(ignoreXErrors);
    dpy_ = XOpenDisplay(displayName_.c_str());
    if (!dpy_)
        throw std::runtime_error("cannot connect to Xvfb on " + displayName_);
}

XServer::XServer(const std::string& displayName) : displayName_(displayName) {
    if (displayName_.empty())
        return;
    XSetErrorHandler(ignoreXErrors);
    dpy_ = XOpenDisplay(displayName_.c_str());
    if (!dpy_)
        throw std::runtime_error("cannot connect to the X server on " + displayName_);
}

XServer::~XServer() {
    if (dpy_)
        XCloseDisplay(dpy_);
}

Window XServer::root() const { return DefaultRootWindow(dpy_); }

Atom XServer::atom(const char* name) const { return XInternAtom(dpy_, name, False); }

std::vector<Window> XServer::children(Window w) const {
    Window rootReturn = 0, parent = 0;
    Window* kids = nullptr;
    unsigned count = 0;
    std::vector<Window> out;
    if (XQueryTree(dpy_, w, &rootReturn, &parent, &kids, &count) && kids) {
        out.assign(kids, kids + count);
        XFree(kids);
    }
    return out;
}

std::vector<Window> XServer::descendants(Window w) const {
    std::vector<Window> out;
    for (Window child : children(w)) {
        out.push_back(child);
        for (Window grandChild : descendants(child))
            out.push_back(grandChild);
    }
    return out;
}

std::string XServer::name(Window w) const {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, w, atom("_NET_WM_NAME"), 0, 1024, False, atom("UTF8_STRING"), &type, &format, &items,
                           &after, &data) == Success &&
        data) {
        std::string utf8(reinterpret_cast<char*>(data), items);
        XFree(data);
        if (type != None)
            return utf8;
    }
    char* legacy = nullptr;
    std::string out;
    if (XFetchName(dpy_, w, &legacy) && legacy) {
        out = legacy;
        XFree(legacy);
    }
    return out;
}

std::optional<unsigned long> XServer::pid(Window w) const {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<unsigned long> out;
    if (XGetWindowProperty(dpy_, w, atom("_NET_WM_PID"), 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                           &data) == Success &&
        data) {
        if (type == XA_CARDINAL && format == 32 && items == 1)
            out = *reinterpret_cast<unsigned long*>(data); // Xlib hands 32-bit items back as longs
        XFree(data);
    }
    return out;
}

bool XServer::hasProperty(Window w, const char* property) const {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const bool ok = XGetWindowProperty(dpy_, w, atom(property), 0, 0, False, AnyPropertyType, &type, &format, &items,
                                       &after, &data) == Success;
    if (data)
        XFree(data);
    return ok && type != None;
}

bool XServer::isViewable(Window w) const {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(dpy_, w, &attributes) && attributes.map_state == IsViewable;
}

std::optional<std::pair<int, int>> XServer::size(Window w) const {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy_, w, &attributes))
        return std::nullopt;
    return std::pair{attributes.width, attributes.height};
}

std::optional<Window> XServer::findTopLevel(const std::string& title, pid_t owner, std::pair<int, int> minSize,
                                            std::pair<int, int> maxSize) const {
    for (Window w : topLevels(title, owner)) {
        const auto wh = size(w);
        if (wh && wh->first >= minSize.first && wh->second >= minSize.second && wh->first <= maxSize.first &&
            wh->second <= maxSize.second)
            return w;
    }
    return std::nullopt;
}

std::vector<Window> XServer::topLevels(const std::string& title, pid_t owner) const {
    auto matches = [&](Window w) {
        if (!isViewable(w) || name(w) != title)
            return false;
        const auto windowPid = pid(w);
        return !windowPid || *windowPid == static_cast<unsigned long>(owner);
    };
    std::vector<Window> out;
    for (Window top : children(root())) {
        if (matches(top)) {
            out.push_back(top);
            continue;
        }
        // A window manager's frame holds the client one or two levels down.
        if (!isViewable(top) || !name(top).empty())
            continue;
        for (Window inner : descendants(top))
            if (matches(inner)) {
                out.push_back(inner);
                break;
            }
    }
    return out;
}

std::optional<Window> XServer::waitForTopLevel(const std::string& title, pid_t owner, std::pair<int, int> minSize,
                                               std::chrono::milliseconds timeout) const {
    return pollFor<Window>(timeout, [&] { return findTopLevel(title, owner, minSize); });
}

std::optional<Image> XServer::grab(Window w) const {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy_, w, &attributes) || attributes.map_state != IsViewable ||
        attributes.visual->c_class != TrueColor)
        return std::nullopt;
    XImage* raw = XGetImage(dpy_, w, 0, 0, unsigned(attributes.width), unsigned(attributes.height), AllPlanes, ZPixmap);
    if (!raw)
        return std::nullopt;
    struct Channel {
        unsigned long mask;
        int shift;
        unsigned long max;
    };
    auto channel = [](unsigned long mask) {
        return Channel{mask, std::countr_zero(mask), (1UL << std::popcount(mask)) - 1};
    };
    const Channel channels[3] = {channel(raw->red_mask), channel(raw->green_mask), channel(raw->blue_mask)};
    auto level = [](const Channel& c, unsigned long pixel) {
        return std::uint8_t(((pixel & c.mask) >> c.shift) * 255 / c.max);
    };
    Image image(attributes.width, attributes.height);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const unsigned long p = XGetPixel(raw, x, y);
            image.set(x, y, {level(channels[0], p), level(channels[1], p), level(channels[2], p)});
        }
    XDestroyImage(raw);
    return image;
}

void XServer::sendDeleteWindow(Window w) const {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = atom("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(atom("WM_DELETE_WINDOW"));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy_, w, False, NoEventMask, &event);
    XFlush(dpy_);
}

std::optional<std::pair<int, int>> XServer::rootPosition(Window w) const {
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(dpy_, w, root(), 0, 0, &x, &y, &child))
        return std::nullopt;
    return std::pair{x, y};
}

std::optional<long> XServer::wmState(Window w) const {
    const Atom wmStateAtom = atom("WM_STATE");
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<long> out;
    if (XGetWindowProperty(dpy_, w, wmStateAtom, 0, 2, False, wmStateAtom, &type, &format, &items, &after, &data) ==
            Success &&
        data) {
        if (type == wmStateAtom && format == 32 && items >= 1)
            out = *reinterpret_cast<long*>(data);
        XFree(data);
    }
    if (out && *out == 0) // WithdrawnState
        return std::nullopt;
    return out;
}

void XServer::iconify(Window w) const {
    XIconifyWindow(dpy_, w, DefaultScreen(dpy_));
    XFlush(dpy_);
}

void XServer::movePointer(int rootX, int rootY) const {
    XTestFakeMotionEvent(dpy_, -1, rootX, rootY, CurrentTime);
    XFlush(dpy_);
}

void XServer::pressButton(unsigned button) const {
    XTestFakeButtonEvent(dpy_, button, True, CurrentTime);
    XFlush(dpy_);
}

void XServer::releaseButton(unsigned button) const {
    XTestFakeButtonEvent(dpy_, button, False, CurrentTime);
    XFlush(dpy_);
}

void XServer::click(int rootX, int rootY, unsigned button) const {
    movePointer(rootX, rootY);
    // Leave the toolkit time to see the pointer arrive before the press, as a hand would.
    std::this_thread::sleep_for(30ms);
    pressButton(button);
    std::this_thread::sleep_for(30ms);
    releaseButton(button);
}

void XServer::keyChord(const std::vector<std::string>& keysyms) const {
    std::vector<KeyCode> codes;
    for (const std::string& name : keysyms) {
        const KeySym sym = XStringToKeysym(name.c_str());
        if (sym == NoSymbol)
            throw std::invalid_argument("no keysym " + name);
        codes.push_back(XKeysymToKeycode(dpy_, sym));
    }
    for (KeyCode code : codes) {
        XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
        XFlush(dpy_);
        std::this_thread::sleep_for(20ms);
    }
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) {
        XTestFakeKeyEvent(dpy_, *it, False, CurrentTime);
        XFlush(dpy_);
        std::this_thread::sleep_for(20ms);
    }
}

void XServer::typeText(const std::string& text) const {
    const KeyCode shift = XKeysymToKeycode(dpy_, XK_Shift_L);
    auto key = [&](KeyCode code, bool down) {
        XTestFakeKeyEvent(dpy_, code, down ? True : False, CurrentTime);
        XFlush(dpy_);
        std::this_thread::sleep_for(10ms);
    };
    for (const char c : text) {
        // Printable ASCII keysyms are the characters' own codes.
        const auto sym = static_cast<KeySym>(static_cast<unsigned char>(c));
        if (sym < 0x20 || sym > 0x7e)
            throw std::invalid_argument("typeText: only printable ASCII can be typed");
        const KeyCode code = XKeysymToKeycode(dpy_, sym);
        if (code == 0)
            throw std::invalid_argument(std::string("typeText: no key gives '") + c + "'");
        // The character needs Shift when the key's unshifted level gives another.
        const bool shifted = XkbKeycodeToKeysym(dpy_, code, 0, 0) != sym;
        if (shifted)
            key(shift, true);
        key(code, true);
        key(code, false);
        if (shifted)
            key(shift, false);
    }
}

Process startOpenbox(XServer& x, const std::filesystem::path& home, std::chrono::milliseconds timeout) {
    Process wm({"openbox", "--sm-disable", "--config-file", KADRILL_OPENBOX_CONFIG},
               Process::Options{.env = {{"DISPLAY", x.displayName()}, {"HOME", home.string()}}, .quiet = true});
    // Openbox owns the WM selection before its event loop runs, and a window mapped
    // in between waits unmanaged until some later event stirs it. So map a window of
    // our own and stir (a property change on the root, which it watches) until it is
    // managed: from then on the loop runs.
    const Atom wmSelection = x.atom("WM_S0");
    if (!pollUntil(timeout, [&] { return XGetSelectionOwner(x.dpy(), wmSelection) != None; }))
        throw std::runtime_error("openbox never took the window manager selection");
    Display* dpy = x.dpy();
    const ::Window probe = XCreateSimpleWindow(dpy, x.root(), 0, 0, 10, 10, 0, 0, 0);
    XMapWindow(dpy, probe);
    const Atom stir = x.atom("_KADRILL_E2E_STIR");
    long count = 0;
    const bool managed = pollUntil(timeout, [&] {
        ++count;
        XChangeProperty(dpy, x.root(), stir, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&count),
                        1);
        XFlush(dpy);
        return x.wmState(probe).has_value();
    });
    XDestroyWindow(dpy, probe);
    XDeleteProperty(dpy, x.root(), stir);
    XFlush(dpy);
    if (!managed)
        throw std::runtime_error("openbox never managed a window");
    return wm;
}

Process startTrayer(XServer& x, std::chrono::milliseconds timeout) {
    Process host({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                  "--transparent", "false", "--expand", "true"},
                 Process::Options{.env = {{"DISPLAY", x.displayName()}}, .quiet = true});
    const Atom traySelection = x.atom("_NET_SYSTEM_TRAY_S0");
    if (!pollUntil(timeout, [&] { return XGetSelectionOwner(x.dpy(), traySelection) != None; }))
        throw std::runtime_error("trayer never took the system tray selection");
    return host;
}

} // namespace e2e
