#include "XTestKeyPlan.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <initializer_list>

namespace kadrill::platform::x11 {

namespace {

// The named keys before F1, in the order of NamedKey.
constexpr std::array<Keysym, 20> kNamedSyms = {
    XK_BackSpace, XK_Break, XK_Caps_Lock, XK_Delete, XK_End,         XK_Return, XK_Escape, XK_Help, XK_Home,  XK_Insert,
    XK_Num_Lock,  XK_Next,  XK_Prior,     XK_Print,  XK_Scroll_Lock, XK_Tab,    XK_Down,   XK_Left, XK_Right, XK_Up,
};
static_assert(static_cast<std::size_t>(NamedKey::F1) == kNamedSyms.size());
static_assert(XK_F16 == XK_F1 + 15, "F1 to F16 are consecutive symbols");

Keysym keysymForNamedKey(NamedKey key) {
    const auto index = static_cast<std::size_t>(key);
    if (index < kNamedSyms.size()) {
        return kNamedSyms[index];
    }
    return XK_F1 + (index - kNamedSyms.size());
}

struct Place {
    Keycode code;
    int column;
};

// The first key that carries `sym` in a column up to lastColumn, unshifted places first.
std::optional<Place> findSym(const KeyboardMap& map, Keysym sym, int lastColumn) {
    for (int column = 0; column <= lastColumn; ++column) {
        for (int code = map.minKeycode; code <= map.maxKeycode(); ++code) {
            if (map.sym(code, column) == sym) {
                return Place{static_cast<Keycode>(code), column};
            }
        }
    }
    return std::nullopt;
}

// Whether Caps Lock would change the symbol, and Shift with it.
bool hasCase(Keysym sym) {
    KeySym lower = NoSymbol;
    KeySym upper = NoSymbol;
    XConvertCase(sym, &lower, &upper);
    return lower != upper;
}

// A letter key: Caps Lock turns its first level into its second, and Shift turns it back.
bool isLetterKey(const KeyboardMap& map, Keycode code) {
    const Keysym lower = map.sym(code, 0);
    const Keysym upper = map.sym(code, 1);
    KeySym lowerOfLower = NoSymbol;
    KeySym upperOfLower = NoSymbol;
    XConvertCase(lower, &lowerOfLower, &upperOfLower);
    return lowerOfLower == lower && upperOfLower == upper && lower != upper;
}

bool isModifierKey(const KeyboardMap& map, int code) {
    for (const auto& row : map.modifiers) {
        for (Keycode k : row) {
            if (k == code) {
                return true;
            }
        }
    }
    return false;
}

// A keycode with no symbols that drives no modifier, searched from the top: keyboards use
// the low ones.
std::optional<Keycode> spareKeycode(const KeyboardMap& map) {
    for (int code = map.maxKeycode(); code >= map.minKeycode; --code) {
        bool unused = !isModifierKey(map, code);
        for (int column = 0; unused && column < map.symsPerKeycode; ++column) {
            unused = map.sym(code, column) == NoSymbol;
        }
        if (unused) {
            return static_cast<Keycode>(code);
        }
    }
    return std::nullopt;
}

// A key in one of the modifier rows whose own symbol is one of `syms` (earlier ones
// preferred): only such a key sets the modifier that applications read as Shift, Ctrl or Alt.
std::optional<Keycode> modifierKey(const KeyboardMap& map, int firstRow, int lastRow,
                                   std::initializer_list<Keysym> syms) {
    for (Keysym sym : syms) {
        for (int row = firstRow; row <= lastRow; ++row) {
            for (Keycode code : map.modifiers[static_cast<std::size_t>(row)]) {
                if (code != 0 && map.sym(code, 0) == sym) {
                    return code;
                }
            }
        }
    }
    return std::nullopt;
}

std::string codePointText(char32_t c) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "U+%04X", static_cast<unsigned>(c));
    return text.data();
}

} // namespace

int KeyboardMap::maxKeycode() const {
    if (symsPerKeycode <= 0) {
        return minKeycode - 1;
    }
    return minKeycode + static_cast<int>(syms.size()) / symsPerKeycode - 1;
}

Keysym KeyboardMap::sym(int keycode, int column) const {
    if (column < 0 || column >= symsPerKeycode || keycode < minKeycode || keycode > maxKeycode()) {
        return NoSymbol;
    }
    return syms[static_cast<std::size_t>((keycode - minKeycode) * symsPerKeycode + column)];
}

Keysym keysymForCharacter(char32_t c) {
    switch (c) {
    case U'\b':
        return XK_BackSpace;
    case U'\t':
        return XK_Tab;
    case U'\n':
    case U'\r':
        return XK_Return;
    case U'\x1b':
        return XK_Escape;
    default:
        break;
    }
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF)) {
        return c;
    }
    if (c < 0x100 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return NoSymbol;
    }
    return 0x01000000 + static_cast<Keysym>(c);
}

std::variant<KeyPlan, std::string> planStroke(const KeyboardMap& map, const KeyboardLocks& locks,
                                              const KeyStroke& stroke) {
    const bool modified = stroke.shift || stroke.ctrl || stroke.alt;
    bool shift = stroke.shift;
    bool ctrl = stroke.ctrl;
    KeyPlan plan;
    std::optional<Place> place;
    Keysym sym = NoSymbol;

    if (const auto* named = std::get_if<NamedKey>(&stroke.key)) {
        sym = keysymForNamedKey(*named);
        place = findSym(map, sym, 0);
        if (*named == NamedKey::Break) {
            // Break is Ctrl with the Pause key: on PC keymaps Ctrl selects its second level.
            ctrl = true;
            if (!place) {
                place = findSym(map, sym, 1);
            }
        }
    } else {
        const char32_t c = std::get<char32_t>(stroke.key);
        sym = keysymForCharacter(c);
        if (sym == NoSymbol) {
            return "cannot type " + codePointText(c);
        }
        // Columns 0 and 1 tell what a key types only while the first group is active. A
        // modified stroke names a key, and the key stays where it is in every group.
        if (modified || locks.group == 0) {
            place = findSym(map, sym, 1);
        }
        if (!modified && place) {
            shift = (place->column == 1) != (locks.capsLock && isLetterKey(map, place->code));
        }
        plan.liftCapsLock = !modified && !place && locks.capsLock && hasCase(sym);
    }

    if (place) {
        plan.key = place->code;
    } else {
        const auto spare = spareKeycode(map);
        if (!spare) {
            return "no unused keycode to type " + describe(stroke) + " with";
        }
        plan.key = *spare;
        plan.remap = sym;
    }

    if (ctrl) {
        const auto key = modifierKey(map, ControlMapIndex, ControlMapIndex, {XK_Control_L, XK_Control_R});
        if (!key) {
            return "no Ctrl key on this keyboard";
        }
        plan.modifiers.push_back(*key);
    }
    if (stroke.alt) {
        const auto key = modifierKey(map, Mod1MapIndex, Mod5MapIndex, {XK_Alt_L, XK_Alt_R, XK_Meta_L, XK_Meta_R});
        if (!key) {
            return "no Alt key on this keyboard";
        }
        plan.modifiers.push_back(*key);
    }
    if (shift) {
        const auto key = modifierKey(map, ShiftMapIndex, ShiftMapIndex, {XK_Shift_L, XK_Shift_R});
        if (!key) {
            return "no Shift key on this keyboard";
        }
        plan.modifiers.push_back(*key);
    }
    return plan;
}

} // namespace kadrill::platform::x11
