#include "KeyStroke.h"

#include <array>

namespace kadrill::platform {

namespace {

constexpr std::array<const char*, 36> kNames = {
    "BackSpace", "Break",   "CapsLock", "Delete", "End",         "Enter",      "Esc", "Help", "Home",
    "Insert",    "NumLock", "PageDown", "PageUp", "PrintScreen", "ScrollLock", "Tab", "Down", "Left",
    "Right",     "Up",      "F1",       "F2",     "F3",          "F4",         "F5",  "F6",   "F7",
    "F8",        "F9",      "F10",      "F11",    "F12",         "F13",        "F14", "F15",  "F16",
};

} // namespace

std::string describe(const KeyStroke& stroke) {
    std::string key;
    if (const auto* named = std::get_if<NamedKey>(&stroke.key)) {
        key = kNames[static_cast<std::size_t>(*named)];
    }
    const bool modified = stroke.shift || stroke.ctrl || stroke.alt;
    if (!std::holds_alternative<NamedKey>(stroke.key)) {
        char32_t c = std::get<char32_t>(stroke.key);
        // A modified letter names the letter's key, written as a key cap is.
        if (modified && c >= U'a' && c <= U'z') {
            c = c - U'a' + U'A';
        }
        appendUtf8(key, c);
    }
    if (!modified && std::holds_alternative<char32_t>(stroke.key)) {
        return key;
    }
    std::string text = "[";
    text += stroke.ctrl ? "Ctrl+" : "";
    text += stroke.alt ? "Alt+" : "";
    text += stroke.shift ? "Shift+" : "";
    return text + key + "]";
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace kadrill::platform
