#include "LaunchActivation.h"

#include "StartupFeedback.h"
#include "WindowOwner.h"
#include "XlibHandles.h"

#include <X11/Xatom.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace kadrill::platform::x11 {

namespace {

// Only these characters in the id's parts, so that no value needs quoting on its way.
std::string idPart(std::string text) {
    for (char& c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '.' && c != '-') {
            c = '_';
        }
    }
    return text;
}

std::string hostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) {
        return "localhost";
    }
    return name.data();
}

} // namespace

struct LaunchActivation::Connection {
    DisplayPtr display;
    Window sender = None; // never mapped: names us in the messages and reads the server's time
};

LaunchActivation::LaunchActivation(const char* displayName) {
    DisplayPtr display(XOpenDisplay(displayName));
    if (!display) {
        return;
    }
    auto connection = std::make_unique<Connection>();
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    connection->sender = XCreateWindow(display.get(), DefaultRootWindow(display.get()), -1, -1, 1, 1, 0, 0, InputOnly,
                                       CopyFromParent, CWEventMask, &attributes);
    connection->display = std::move(display);
    connection_ = std::move(connection);
}

LaunchActivation::~LaunchActivation() = default;

bool LaunchActivation::isAvailable() const { return connection_ != nullptr; }

std::string LaunchActivation::announce(const std::string& program) {
    if (!connection_) {
        return {};
    }
    Display* display = connection_->display.get();
    // The server's time of now: a property change reports it.
    const Atom stamp = XInternAtom(display, "_KADRILL_LAUNCH_TIME", False);
    const unsigned char nothing = 0;
    XChangeProperty(display, connection_->sender, stamp, XA_STRING, 8, PropModeAppend, &nothing, 0);
    XEvent event{};
    XWindowEvent(display, connection_->sender, PropertyChangeMask, &event);
    const unsigned long time = event.xproperty.time;

    const std::string bin = program.substr(program.rfind('/') + 1);
    const std::string id = "kadrill-" + std::to_string(getpid()) + "-" + std::to_string(++serial_) + "-" +
                           idPart(hostName()) + "-" + idPart(bin) + "_TIME" + std::to_string(time);
    send("new: ID=" + id + " NAME=" + startupValue(bin) + " SCREEN=" + std::to_string(DefaultScreen(display)) +
         " BIN=" + startupValue(bin) + " TIMESTAMP=" + std::to_string(time));
    return id;
}

void LaunchActivation::cancel(const std::string& startupId) {
    if (connection_ && !startupId.empty()) {
        send(startupRemoveMessage(startupId));
    }
}

void LaunchActivation::watch(std::int64_t pid, const std::string& startupId, std::chrono::milliseconds patience) {
    if (connection_ && !startupId.empty()) {
        watches_.push_back({pid, startupId, std::chrono::steady_clock::now() + patience, {}});
    }
}

bool LaunchActivation::poll() {
    if (!connection_) {
        watches_.clear();
        return false;
    }
    Display* display = connection_->display.get();
    const Window root = DefaultRootWindow(display);
    ErrorTrap trap(display);
    std::vector<Window> clients;
    if (const auto list = readProperty(display, root, XInternAtom(display, "_NET_CLIENT_LIST", False), XA_WINDOW);
        list && list->format == 32) {
        const auto* windows = reinterpret_cast<const unsigned long*>(list->data.get());
        clients.assign(windows, windows + list->items);
    }
    const auto now = std::chrono::steady_clock::now();
    for (auto w = watches_.begin(); w != watches_.end();) {
        std::optional<Window> found;
        for (const Window client : clients) {
            if (w->others.count(client) > 0) {
                continue;
            }
            const auto owner = windowOwnerPid(display, client);
            if (owner && isSameOrDescendant(*owner, w->pid)) {
                found = client;
                break;
            }
            w->others.insert(client);
        }
        if (found) {
            // As a task bar asks for a window the user picked, with the time of the start that
            // made it: the user set the alarm up to run this program and type into it, and a
            // window manager that guards the focus against programs (KWin at High) honours
            // that where it would keep a program's own request waiting.
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = *found;
            event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
            event.xclient.format = 32;
            event.xclient.data.l[0] = 2; // from a pager: on the user's behalf
            event.xclient.data.l[1] = static_cast<long>(timeOf(w->startupId));
            XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        }
        if (found || now >= w->deadline) {
            // Programs that know the protocol have ended the feedback themselves; this is
            // for those that do not.
            send(startupRemoveMessage(w->startupId));
            w = watches_.erase(w);
        } else {
            ++w;
        }
    }
    XFlush(display);
    return !watches_.empty();
}

unsigned long LaunchActivation::timeOf(const std::string& startupId) {
    const auto at = startupId.rfind("_TIME");
    return at == std::string::npos ? 0 : std::strtoul(startupId.c_str() + at + 5, nullptr, 10);
}

void LaunchActivation::send(const std::string& message) {
    Display* display = connection_->display.get();
    const Window root = DefaultRootWindow(display);
    const Atom begin = XInternAtom(display, "_NET_STARTUP_INFO_BEGIN", False);
    const Atom more = XInternAtom(display, "_NET_STARTUP_INFO", False);
    bool first = true;
    for (const auto& piece : startupMessagePieces(message)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = connection_->sender;
        event.xclient.message_type = first ? begin : more;
        event.xclient.format = 8;
        std::memcpy(event.xclient.data.b, piece.data(), piece.size());
        XSendEvent(display, root, False, PropertyChangeMask, &event);
        first = false;
    }
    XFlush(display);
}

} // namespace kadrill::platform::x11
