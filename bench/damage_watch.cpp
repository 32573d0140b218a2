// kadrill_damage_watch: watches one X window from the outside and reports when
// its pixels change, so any clock (ours or a reference one that keeps no log)
// can be timed the same way.
//
//   kadrill_damage_watch (--name NAME | --id WINDOW) [--wait SEC] [--edge MS]
//                        [--gap MS] [--updates] [--group MS] [--raw]
//
// Output, one line each, flushed at once:
//   window 0x<id> <w>x<h>+<x>+<y>           the watched window, once found
//   flip <epoch-s> <us>                      a repaint that started within --edge ms
//                                            after the second edge <epoch-s> and
//                                            finished <us> microseconds past it
//   other <epoch-s> <us>                     any other repaint (start time)
//   update <epoch-s> <us> <rects>            one frame put on screen (--updates only):
//                                            its start time and how many damage
//                                            rectangles it was made of
//   damage <epoch-s> <us> <x> <y> <w> <h>    every damage rectangle (--raw only)
//
// A repaint is a burst of damage rectangles with no pause longer than --gap ms;
// its end is the time of its last rectangle. Times are CLOCK_REALTIME taken
// when the event is read, which on a local connection trails the server by
// a few microseconds.
//
// A frame is what one redraw of the toolkit sends: a backing-store flush is a
// handful of image uploads, one per rectangle of the changed region, that
// reach us within microseconds. So damage with no pause longer than --group
// ms (default 2) is one update. That is well below the 16 ms between frames
// of a display-rate animation and well above the spread within one flush,
// so the count is the number of times new digits reached the screen. The
// repaint bursts above use a far longer gap and would merge such frames.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

struct Options {
    std::string name;
    Window id = None;
    double waitSeconds = 10.0;
    std::int64_t edgeUs = 200'000;
    std::int64_t gapUs = 20'000;
    bool updates = false;
    std::int64_t groupUs = 2'000;
    bool raw = false;
};

std::int64_t nowUs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

void usage() {
    std::fprintf(stderr, "usage: kadrill_damage_watch (--name NAME | --id WINDOW) [--wait SEC] "
                         "[--edge MS] [--gap MS] [--updates] [--group MS] [--raw]\n");
}

std::optional<Options> parseArgs(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--raw") {
            o.raw = true;
        } else if (a == "--updates") {
            o.updates = true;
        } else if (a == "--group" && hasValue) {
            o.groupUs = static_cast<std::int64_t>(std::strtod(argv[++i], nullptr) * 1000.0);
        } else if (a == "--name" && hasValue) {
            o.name = argv[++i];
        } else if (a == "--id" && hasValue) {
            o.id = static_cast<Window>(std::strtoul(argv[++i], nullptr, 0));
        } else if (a == "--wait" && hasValue) {
            o.waitSeconds = std::strtod(argv[++i], nullptr);
        } else if (a == "--edge" && hasValue) {
            o.edgeUs = static_cast<std::int64_t>(std::strtod(argv[++i], nullptr) * 1000.0);
        } else if (a == "--gap" && hasValue) {
            o.gapUs = static_cast<std::int64_t>(std::strtod(argv[++i], nullptr) * 1000.0);
        } else {
            return std::nullopt;
        }
    }
    if (o.name.empty() == (o.id == None)) {
        return std::nullopt;
    }
    return o;
}

// Both the ICCCM name and the EWMH UTF-8 name, since toolkits differ in which
// one they keep up to date.
bool hasName(Display* dpy, Window w, const std::string& wanted) {
    char* legacy = nullptr;
    if (XFetchName(dpy, w, &legacy) && legacy) {
        const bool match = wanted == legacy;
        XFree(legacy);
        if (match) {
            return true;
        }
    }
    static const Atom netWmName = XInternAtom(dpy, "_NET_WM_NAME", False);
    static const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    bool match = false;
    if (XGetWindowProperty(dpy, w, netWmName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) == Success &&
        data) {
        match = type == utf8 && format == 8 && wanted == std::string(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    return match;
}

bool isViewable(Display* dpy, Window w) {
    XWindowAttributes attrs{};
    return XGetWindowAttributes(dpy, w, &attrs) && attrs.map_state == IsViewable;
}

// Depth-first, so with a window manager the client window is found below its
// frame; only mapped windows count, which skips toolkits' hidden helpers.
Window findByName(Display* dpy, Window parent, const std::string& wanted) {
    if (hasName(dpy, parent, wanted) && isViewable(dpy, parent)) {
        return parent;
    }
    Window root = None;
    Window up = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, parent, &root, &up, &children, &count)) {
        return None;
    }
    Window found = None;
    for (unsigned int i = 0; i < count && found == None; ++i) {
        found = findByName(dpy, children[i], wanted);
    }
    if (children) {
        XFree(children);
    }
    return found;
}

// Windows come and go while we search; a vanished one is not an error here.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

struct Burst {
    std::int64_t startUs = 0;
    std::int64_t endUs = 0;
    int rects = 0;
    bool open = false;

    // Damage seen at t; the caller has already closed a burst whose gap ran out.
    void add(std::int64_t t) {
        if (!open) {
            *this = Burst{t, t, 0, true};
        }
        endUs = t;
        ++rects;
    }
};

class Reporter {
public:
    explicit Reporter(const Options& o) : opt(o) {}

    void damage(std::int64_t t, const XRectangle& r) {
        if (opt.raw) {
            std::printf("damage %lld %lld %d %d %u %u\n", static_cast<long long>(t / 1'000'000),
                        static_cast<long long>(t % 1'000'000), r.x, r.y, r.width, r.height);
        }
        if (burst.open && t - burst.endUs > opt.gapUs) {
            close();
        }
        burst.add(t);
        if (opt.updates) {
            if (frame.open && t - frame.endUs > opt.groupUs) {
                closeFrame();
            }
            frame.add(t);
        }
    }

    // Called whenever the connection has been quiet; finishes a burst whose
    // gap has run out so it is reported without waiting for the next one.
    void idle(std::int64_t now) {
        if (burst.open && now - burst.endUs > opt.gapUs) {
            close();
        }
        if (frame.open && now - frame.endUs > opt.groupUs) {
            closeFrame();
        }
    }

    // When idle() next has something to finish, or -1 for never.
    std::int64_t deadline() const {
        std::int64_t d = burst.open ? burst.endUs + opt.gapUs + 1 : -1;
        if (frame.open) {
            const std::int64_t f = frame.endUs + opt.groupUs + 1;
            d = d < 0 ? f : std::min(d, f);
        }
        return d;
    }

private:
    void close() {
        burst.open = false;
        const std::int64_t second = burst.startUs / 1'000'000;
        const std::int64_t startPast = burst.startUs % 1'000'000;
        if (startPast < opt.edgeUs && second != lastFlipSecond) {
            lastFlipSecond = second;
            std::printf("flip %lld %lld\n", static_cast<long long>(second),
                        static_cast<long long>(burst.endUs - second * 1'000'000));
        } else {
            std::printf("other %lld %lld\n", static_cast<long long>(second), static_cast<long long>(startPast));
        }
        std::fflush(stdout);
    }

    void closeFrame() {
        frame.open = false;
        std::printf("update %lld %lld %d\n", static_cast<long long>(frame.startUs / 1'000'000),
                    static_cast<long long>(frame.startUs % 1'000'000), frame.rects);
        std::fflush(stdout);
    }

    const Options& opt;
    Burst burst;
    Burst frame;
    std::int64_t lastFlipSecond = -1;
};

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> parsed = parseArgs(argc, argv);
    if (!parsed) {
        usage();
        return 2;
    }
    const Options& opt = *parsed;

    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "kadrill_damage_watch: cannot open display\n");
        return 1;
    }
    int damageEvent = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(dpy, &damageEvent, &damageError)) {
        std::fprintf(stderr, "kadrill_damage_watch: no DAMAGE extension\n");
        return 1;
    }
    int fixesEvent = 0;
    int fixesError = 0;
    if (!XFixesQueryExtension(dpy, &fixesEvent, &fixesError)) {
        std::fprintf(stderr, "kadrill_damage_watch: no XFIXES extension\n");
        return 1;
    }
    XSetErrorHandler(ignoreXErrors);

    Window target = opt.id;
    const std::int64_t giveUp = nowUs() + static_cast<std::int64_t>(opt.waitSeconds * 1e6);
    while (target == None) {
        target = findByName(dpy, DefaultRootWindow(dpy), opt.name);
        if (target == None) {
            if (nowUs() > giveUp) {
                std::fprintf(stderr, "kadrill_damage_watch: no mapped window named \"%s\"\n", opt.name.c_str());
                return 1;
            }
            const timespec pause{0, 50'000'000};
            nanosleep(&pause, nullptr);
        }
    }

    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(dpy, target, &attrs)) {
        std::fprintf(stderr, "kadrill_damage_watch: window 0x%lx is gone\n", target);
        return 1;
    }
    // StructureNotify tells us when the window goes away, so we stop instead
    // of waiting forever on a dead id.
    XSelectInput(dpy, target, StructureNotifyMask);
    // Raw rectangles: every drawing operation is reported, so the end of a
    // repaint is seen, not just its first pixel. The damage also covers
    // drawing into child windows, which clip-by-children would not.
    const Damage damage = XDamageCreate(dpy, target, XDamageReportRawRectangles);
    XSync(dpy, False);
    std::printf("window 0x%lx %dx%d+%d+%d\n", target, attrs.width, attrs.height, attrs.x, attrs.y);
    std::fflush(stdout);

    Reporter reporter(opt);
    pollfd pfd{ConnectionNumber(dpy), POLLIN, 0};
    for (;;) {
        while (XEventsQueued(dpy, QueuedAfterReading) > 0) {
            XEvent ev{};
            XNextEvent(dpy, &ev);
            const std::int64_t t = nowUs();
            if (ev.type == damageEvent + XDamageNotify) {
                const auto& de = reinterpret_cast<const XDamageNotifyEvent&>(ev);
                reporter.damage(t, de.area);
            } else if (ev.type == DestroyNotify || ev.type == UnmapNotify) {
                reporter.idle(INT64_MAX);
                return 0;
            }
        }
        // Keeps the server's accumulated region empty; raw reporting does not
        // depend on it, but an ever-growing region would cost the server.
        XDamageSubtract(dpy, damage, None, None);
        XFlush(dpy);

        const std::int64_t deadline = reporter.deadline();
        int timeoutMs = -1;
        if (deadline >= 0) {
            timeoutMs = static_cast<int>(std::max<std::int64_t>(0, (deadline - nowUs() + 999) / 1000));
        }
        const int ready = poll(&pfd, 1, timeoutMs);
        if (ready < 0 && errno != EINTR) {
            std::perror("kadrill_damage_watch: poll");
            return 1;
        }
        if (pfd.revents & (POLLHUP | POLLERR)) {
            reporter.idle(INT64_MAX);
            return 0;
        }
        reporter.idle(nowUs());
    }
}
