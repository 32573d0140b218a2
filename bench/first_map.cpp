// kadrill_bench_first_map: starts a program on the current X display and reports how long
// it took to map its first window, then, after it has settled, its memory.
//
//   kadrill_bench_first_map SETTLE_MS program [args...]
//   prints: first-map-ms rss-KiB pss-KiB private-KiB private-dirty-KiB
//
// Private clean pages are library pages no other running process happens to map, so that
// figure depends on what else runs; the dirty ones are the process's own.

#include <X11/Xlib.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::map<std::string, long> rollup(pid_t pid) {
    std::map<std::string, long> kib;
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        long value = 0;
        if (fields >> key >> value)
            kib[key.substr(0, key.size() - 1)] = value;
    }
    return kib;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: kadrill_bench_first_map SETTLE_MS program [args...]\n", stderr);
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        std::fputs("first_map: no display\n", stderr);
        return 1;
    }
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, False);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    double mapMs = -1;
    pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
    while (mapMs < 0) {
        while (XPending(dpy) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            // Menus and tooltips are override-redirect; the first other map is the window.
            if (event.type == MapNotify && !event.xmap.override_redirect) {
                mapMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
                break;
            }
        }
        if (mapMs < 0 && poll(&fd, 1, 30000) <= 0) {
            std::fputs("first_map: no window mapped within 30 s\n", stderr);
            kill(pid, SIGKILL);
            return 1;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(argv[1])));
    auto kib = rollup(pid);
    std::printf("%.1f %ld %ld %ld %ld\n", mapMs, kib["Rss"], kib["Pss"], kib["Private_Clean"] + kib["Private_Dirty"],
                kib["Private_Dirty"]);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    XCloseDisplay(dpy);
    return 0;
}
