#include "XlibHandles.h"

namespace kadrill::platform::x11 {

namespace {

// Xlib has one error handler for the whole process; traps are set on the UI thread only.
ErrorTrap* innermostTrap = nullptr;

} // namespace

std::optional<WindowProperty> readProperty(Display* display, Window window, Atom property, Atom type, long maxLongs) {
    WindowProperty out;
    unsigned long bytesAfter = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, maxLongs, False, type, &out.type, &out.format,
                                          &out.items, &bytesAfter, &data);
    out.data.reset(data);
    if (status != Success || out.type == None) {
        return std::nullopt;
    }
    return out;
}

ErrorTrap::ErrorTrap(Display* display)
    : display_(display), outer_(innermostTrap), previous_(XSetErrorHandler(&ErrorTrap::handle)) {
    innermostTrap = this;
}

ErrorTrap::~ErrorTrap() {
    XSync(display_, True);
    innermostTrap = outer_;
    XSetErrorHandler(previous_);
}

int ErrorTrap::sync() {
    XSync(display_, True);
    return firstError_;
}

int ErrorTrap::handle(Display* display, XErrorEvent* error) {
    ErrorTrap* outermost = nullptr;
    for (ErrorTrap* trap = innermostTrap; trap; trap = trap->outer_) {
        if (trap->display_ == display) {
            if (trap->firstError_ == 0) {
                trap->firstError_ = error->error_code;
            }
            return 0;
        }
        outermost = trap;
    }
    if (outermost && outermost->previous_) {
        return outermost->previous_(display, error);
    }
    return 0;
}

} // namespace kadrill::platform::x11
