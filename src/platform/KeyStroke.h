#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace kadrill::platform {

/// The keys that key codes name between braces.
enum class NamedKey {
    Backspace,
    Break,
    CapsLock,
    Delete,
    End,
    Enter,
    Esc,
    Help,
    Home,
    Insert,
    NumLock,
    PageDown,
    PageUp,
    PrintScreen,
    ScrollLock,
    Tab,
    Down,
    Left,
    Right,
    Up,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
    F13,
    F14,
    F15,
    F16,
};

/// One key to type, with the modifiers held down for it.
///
/// A named key, or a character (one Unicode code point). Without modifiers a character is
/// typed as itself, whatever keys the keyboard needs for it ("A" and "+" take Shift on most
/// layouts). With modifiers it names the key that types it, and a letter is given in lower
/// case: Ctrl+C is {ctrl, 'c'}, Shift+A is {shift, 'a'}.
struct KeyStroke {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    std::variant<NamedKey, char32_t> key = NamedKey::Enter;

    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

/// A readable form for logs and tests: "a", "あ", "[Enter]", "[Shift+F1]", "[Ctrl+C]"
/// (a modified letter is written as its capital).
std::string describe(const KeyStroke& stroke);

/// Appends the UTF-8 bytes of one code point.
void appendUtf8(std::string& out, char32_t c);

} // namespace kadrill::platform
