// A plain Xlib client for the key-sending tests: a window that takes the keyboard focus and
// appends every key it receives, as text, to the file named on its command line. The file
// is created, empty, once the window has the focus.
//
// The text is what an application would make of each key: a typed character as itself
// ("A" for Shift with the A key), and a named key or a key with Ctrl or Alt as
// "[Ctrl+Alt+Shift+Name]" ("[Enter]", "[Shift+F1]", "[Ctrl+C]"). A focus loss shows as
// "[FocusOut]", so a test sees it if something disturbed the focus.

#include "platform/KeyStroke.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <string>
#include <utility>

namespace {

constexpr std::pair<KeySym, const char*> kNamedKeys[] = {
    {XK_BackSpace, "BackSpace"},
    {XK_Break, "Break"},
    {XK_Pause, "Pause"},
    {XK_Caps_Lock, "CapsLock"},
    {XK_Delete, "Delete"},
    {XK_End, "End"},
    {XK_Return, "Enter"},
    {XK_Escape, "Esc"},
    {XK_Help, "Help"},
    {XK_Home, "Home"},
    {XK_Insert, "Insert"},
    {XK_Num_Lock, "NumLock"},
    {XK_Next, "PageDown"},
    {XK_Prior, "PageUp"},
    {XK_Print, "PrintScreen"},
    {XK_Scroll_Lock, "ScrollLock"},
    {XK_Tab, "Tab"},
    {XK_ISO_Left_Tab, "Tab"},
    {XK_Down, "Down"},
    {XK_Left, "Left"},
    {XK_Right, "Right"},
    {XK_Up, "Up"},
};


// The character of a Latin-1 or Unicode keysym; 0 for anything else.
unsigned long characterOf(KeySym sym) {
    if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF)) {
        return sym;
    }
    if ((sym & 0xFF000000UL) == 0x01000000UL) {
        return sym & 0x00FFFFFFUL;
    }
    return 0;
}

std::string nameOf(KeySym sym) {
    for (const auto& [named, name] : kNamedKeys) {
        if (named == sym) {
            return name;
        }
    }
    if (sym >= XK_F1 && sym <= XK_F35) {
        return "F" + std::to_string(sym - XK_F1 + 1);
    }
    return {};
}

std::string describeKey(XKeyEvent& event) {
    KeySym sym = NoSymbol;
    char ignored[16];
    XLookupString(&event, ignored, sizeof ignored, &sym, nullptr);
    const bool ctrl = event.state & ControlMask;
    const bool alt = event.state & Mod1Mask;
    const bool shift = event.state & ShiftMask;
    std::string name = nameOf(sym);
    const unsigned long character = characterOf(sym);
    if (name.empty() && character != 0) {
        if (!ctrl && !alt) {
            std::string text;
            kadrill::platform::appendUtf8(text, static_cast<char32_t>(character));
            return text;
        }
        KeySym lower = NoSymbol;
        KeySym upper = NoSymbol;
        XConvertCase(sym, &lower, &upper);
        kadrill::platform::appendUtf8(name, static_cast<char32_t>(characterOf(upper)));
    }
    if (name.empty()) {
        if (IsModifierKey(sym)) {
            return {};
        }
        char hex[24];
        std::snprintf(hex, sizeof hex, "0x%lx", sym);
        name = hex;
    }
    return std::string("[") + (ctrl ? "Ctrl+" : "") + (alt ? "Alt+" : "") + (shift ? "Shift+" : "") + name + "]";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    // Read the keymap now and follow its changes from the start, as toolkits do; Xlib would
    // otherwise first read it at the first key, and might miss a change made meanwhile.
    int xkbEvent = 0;
    int xkbError = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, nullptr, &xkbEvent, &xkbError, &major, &minor)) {
        std::fprintf(stderr, "no XKB\n");
        return 1;
    }
    XkbSelectEvents(display, XkbUseCoreKbd, XkbMapNotifyMask | XkbNewKeyboardNotifyMask,
                    XkbMapNotifyMask | XkbNewKeyboardNotifyMask);
    XKeysymToKeycode(display, XK_space);

    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 200, 0, 0, 0xFFFFFF);
    XStoreName(display, window, "key receiver");
    XSelectInput(display, window, KeyPressMask | StructureNotifyMask | FocusChangeMask);
    XMapWindow(display, window);
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != MapNotify);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);

    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        return 1;
    }
    for (;;) {
        XNextEvent(display, &event);
        std::string text;
        if (event.type == xkbEvent) {
            auto* xkb = reinterpret_cast<XkbEvent*>(&event);
            if (xkb->any.xkb_type == XkbMapNotify) {
                XkbRefreshKeyboardMapping(&xkb->map);
            }
        } else if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
        } else if (event.type == KeyPress) {
            text = describeKey(event.xkey);
        } else if (event.type == FocusOut) {
            text = "[FocusOut]";
        }
        if (!text.empty()) {
            std::fputs(text.c_str(), out);
            std::fflush(out);
        }
    }
}
