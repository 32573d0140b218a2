#pragma once
// Which keys to press for a stroke, worked out from a copy of the server's keyboard
// mapping. No connection here, so the choices can be checked against any keyboard.

#include "platform/KeyStroke.h"

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kadrill::platform::x11 {

// Xlib's KeySym and KeyCode, without pulling Xlib's macros into every includer.
using Keysym = unsigned long;
using Keycode = unsigned char;

/// The core keyboard mapping at one moment. Columns 0 and 1 of a keycode are the symbols
/// of its first group without and with Shift; the other columns (second group, AltGr
/// levels) are not typed through.
struct KeyboardMap {
    int minKeycode = 8;
    int symsPerKeycode = 0;
    std::vector<Keysym> syms; // symsPerKeycode per keycode, minKeycode first
    /// The keycodes of each modifier in X's order: Shift, Lock, Control, Mod1 … Mod5.
    std::array<std::vector<Keycode>, 8> modifiers;

    int maxKeycode() const;
    /// NoSymbol (0) outside the table.
    Keysym sym(int keycode, int column) const;
};

/// Keyboard state that changes what an unmodified key types.
struct KeyboardLocks {
    bool capsLock = false;
    int group = 0; // the effective XKB group; 0 is the one columns 0 and 1 describe
};

/// The keys for one stroke: the modifiers pressed in this order, then the key; all
/// released in reverse.
struct KeyPlan {
    std::vector<Keycode> modifiers;
    Keycode key = 0;
    /// Set when `key` is an unused keycode that has to carry this symbol while it is typed:
    /// the character is on no key of the current keyboard.
    std::optional<Keysym> remap;
    /// Caps Lock is to be off while the key is typed: on a borrowed key it would capitalise
    /// the letter, and Shift cannot undo that there.
    bool liftCapsLock = false;

    friend bool operator==(const KeyPlan&, const KeyPlan&) = default;
};

/// The symbol that types `c`: Latin-1 symbols are their code point, every other character
/// has a Unicode symbol (0x01000000 + code point); tab, newline, backspace and escape are
/// their keys. NoSymbol (0) for other control characters and non-characters.
Keysym keysymForCharacter(char32_t c);

/// The keys that type `stroke` on `map`, or why it cannot be typed.
std::variant<KeyPlan, std::string> planStroke(const KeyboardMap& map, const KeyboardLocks& locks,
                                              const KeyStroke& stroke);

} // namespace kadrill::platform::x11
