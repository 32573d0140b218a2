#include "TrayHostWatcher.h"

// Qt first: Xlib defines Bool and Status as macros.
#include <QSocketNotifier>

#include "XlibHandles.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstring>
#include <string>
#include <utility>

namespace kadrill::platform::x11 {

namespace {

// Every way the owner can change: a new owner (or None) set, the owner's window destroyed,
// the owner's client gone (a crashed panel).
constexpr unsigned long kOwnerChanges =
    XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask | XFixesSelectionClientCloseNotifyMask;

} // namespace

struct TrayHostWatcher::Connection {
    DisplayPtr display;
    Atom selection = None;
    int fixesEventBase = 0;
    // Declared after the display so it lets go of the socket before the display closes it.
    std::unique_ptr<QSocketNotifier> notifier;

    /// Reads every event Xlib holds or the socket has; returns whether a host owns the
    /// selection after the last of them. Each event tells the owner at that moment, and every
    /// change of owner is reported, so no round trip to the server is needed.
    bool drain(bool present) {
        Display* dpy = display.get();
        while (XPending(dpy) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            if (event.type != fixesEventBase + XFixesSelectionNotify) {
                continue;
            }
            XFixesSelectionNotifyEvent notify;
            static_assert(sizeof notify <= sizeof event);
            std::memcpy(&notify, &event, sizeof notify);
            if (notify.selection == selection) {
                present = notify.subtype == XFixesSetSelectionOwnerNotify && notify.owner != None;
            }
        }
        return present;
    }
};

TrayHostWatcher::TrayHostWatcher(std::function<void()> onChange, const char* displayName)
    : onChange_(std::move(onChange)) {
    DisplayPtr display(XOpenDisplay(displayName));
    if (!display) {
        return;
    }
    Display* dpy = display.get();
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    // The server refuses XFixes requests until the client has stated its version.
    if (!XFixesQueryExtension(dpy, &eventBase, &errorBase) || !XFixesQueryVersion(dpy, &major, &minor) || major < 1) {
        return;
    }

    auto connection = std::make_unique<Connection>();
    connection->fixesEventBase = eventBase;
    const std::string selectionName = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(dpy));
    connection->selection = XInternAtom(dpy, selectionName.c_str(), False);

    // Ask for changes before reading the owner: a change in between is then reported, not lost.
    XFixesSelectSelectionInput(dpy, DefaultRootWindow(dpy), connection->selection, kOwnerChanges);
    present_ = XGetSelectionOwner(dpy, connection->selection) != None;

    connection->notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(dpy), QSocketNotifier::Read);
    QObject::connect(connection->notifier.get(), &QSocketNotifier::activated, connection->notifier.get(),
                     [this] { readEvents(); });
    connection->display = std::move(display);
    connection_ = std::move(connection);

    // Events read along with the owner's reply sit in Xlib's queue, where the socket notifier
    // cannot see them. The caller has not asked yet, so taking them in needs no call.
    present_ = connection_->drain(present_);
}

TrayHostWatcher::~TrayHostWatcher() = default;

bool TrayHostWatcher::isWatching() const { return connection_ != nullptr; }

bool TrayHostWatcher::present() const { return present_; }

void TrayHostWatcher::readEvents() {
    const bool present = connection_->drain(present_);
    if (present != present_) {
        present_ = present;
        onChange_();
    }
}

} // namespace kadrill::platform::x11
