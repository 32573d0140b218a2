#include "WindowManagerView.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <memory>

namespace kadrill::contract {

std::optional<unsigned long> wmActiveWindow() {
    // A connection per look: one kept until the process ends would outlive the X server.
    const std::unique_ptr<Display, int (*)(Display*)> dpy(XOpenDisplay(nullptr), XCloseDisplay);
    if (!dpy) {
        return std::nullopt;
    }
    const Atom active = XInternAtom(dpy.get(), "_NET_ACTIVE_WINDOW", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long rest = 0;
    unsigned char* data = nullptr;
    std::optional<unsigned long> window;
    if (XGetWindowProperty(dpy.get(), DefaultRootWindow(dpy.get()), active, 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &rest, &data) == Success &&
        data != nullptr && format == 32 && count == 1) {
        window = *reinterpret_cast<unsigned long*>(data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return window;
}

} // namespace kadrill::contract
