#include "KeyCode.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

namespace kadrill::alarm {

namespace {

using platform::KeyStroke;
using platform::NamedKey;

// In the order of NamedKey.
constexpr std::array<std::string_view, 36> kKeyNames = {
    "BACKSPACE", "BREAK", "CAPSLOCK",   "DELETE", "END",  "ENTER", "ESC",   "HELP", "HOME", "INSERT", "NUMLOCK", "PGDN",
    "PGUP",      "PRTSC", "SCROLLLOCK", "TAB",    "DOWN", "LEFT",  "RIGHT", "UP",   "F1",   "F2",     "F3",      "F4",
    "F5",        "F6",    "F7",         "F8",     "F9",   "F10",   "F11",   "F12",  "F13",  "F14",    "F15",     "F16",
};

struct CodePoint {
    char32_t value;
    std::size_t length; // in bytes
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
std::optional<CodePoint> decodeUtf8(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return CodePoint{lead, 1};
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1Fu;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0Fu;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07u;
        smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - at < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return std::nullopt;
    }
    return CodePoint{value, length};
}

std::string quoted(std::string_view part) { return "\"" + std::string(part) + "\""; }

KeyCodeError fail(std::string message) { return KeyCodeError{std::move(message)}; }

std::optional<KeyCodeError> checkUtf8(std::string_view code) {
    for (std::size_t at = 0; at < code.size();) {
        const std::optional<CodePoint> c = decodeUtf8(code, at);
        if (!c) {
            std::array<char, 8> hex{};
            std::snprintf(hex.data(), hex.size(), "0x%02X", static_cast<unsigned char>(code[at]));
            return fail("invalid UTF-8 at byte " + std::to_string(at) + " (" + hex.data() + ")");
        }
        at += c->length;
    }
    return std::nullopt;
}

bool* modifierOf(KeyStroke& stroke, char c) {
    switch (c) {
    case '+':
        return &stroke.shift;
    case '^':
        return &stroke.ctrl;
    case '%':
        return &stroke.alt;
    default:
        return nullptr;
    }
}

bool isAsciiAlnum(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

std::optional<NamedKey> keyNamed(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    for (std::size_t i = 0; i < kKeyNames.size(); ++i) {
        if (kKeyNames[i] == upper) {
            return static_cast<NamedKey>(i);
        }
    }
    return std::nullopt;
}

// The part in braces starting at `open`; sets the key and returns where the code goes on.
std::variant<std::size_t, KeyCodeError> readBraced(std::string_view code, std::size_t open, KeyStroke& stroke,
                                                   bool modified) {
    const std::size_t inner = open + 1;
    if (inner == code.size()) {
        return fail(quoted(code.substr(open)) + " has no closing brace");
    }
    const CodePoint first = *decodeUtf8(code, inner);
    const std::size_t afterFirst = inner + first.length;
    // One character and a closing brace: the character itself, braces included.
    if (afterFirst < code.size() && code[afterFirst] == '}') {
        char32_t c = first.value;
        if (modified && c >= U'A' && c <= U'Z') {
            c = c - U'A' + U'a';
        }
        stroke.key = c;
        return afterFirst + 1;
    }
    if (first.value == U'}') {
        return fail("empty braces " + quoted(code.substr(open, 2)));
    }
    const std::size_t close = code.find('}', inner);
    if (close == std::string_view::npos) {
        return fail(quoted(code.substr(open)) + " has no closing brace");
    }
    const std::string_view inside = code.substr(inner, close - inner);
    const std::string_view braced = code.substr(open, close - open + 1);
    for (char c : inside) {
        if (!isAsciiAlnum(c)) {
            return fail(quoted(braced) + " holds more than one character and is no key name");
        }
    }
    const std::optional<NamedKey> key = keyNamed(inside);
    if (!key) {
        return fail("unknown key name " + quoted(braced));
    }
    stroke.key = *key;
    return close + 1;
}

KeyCodeError bareCharacterError(std::string_view code, std::size_t at) {
    const std::string_view prefixes = code.substr(0, at);
    const std::string_view c = code.substr(at, decodeUtf8(code, at)->length);
    if (c == "}") {
        return fail("closing brace " + quoted(c) + " without an opening one (the character \"}\" is written \"{}}\")");
    }
    if (prefixes.empty()) {
        return fail("bare " + quoted(c) + ": a typed character goes in braces (" + quoted("{" + std::string(c) + "}") +
                    ")");
    }
    const std::string advice = c[0] >= 'a' && c[0] <= 'z' ? std::string(prefixes) + static_cast<char>(c[0] - 'a' + 'A')
                                                          : std::string(prefixes) + "{" + std::string(c) + "}";
    return fail("bare " + quoted(c) + " after " + quoted(prefixes) + ": only a capital letter stands without braces (" +
                quoted(advice) + ")");
}

} // namespace

std::variant<KeyStroke, KeyCodeError> parseKeyCode(std::string_view code) {
    if (code.empty()) {
        return fail("empty key code");
    }
    if (std::optional<KeyCodeError> bad = checkUtf8(code)) {
        return *bad;
    }
    KeyStroke stroke;
    std::size_t at = 0;
    for (; at < code.size(); ++at) {
        bool* held = modifierOf(stroke, code[at]);
        if (held == nullptr) {
            break;
        }
        if (*held) {
            return fail("repeated prefix " + quoted(code.substr(at, 1)) + " in " + quoted(code.substr(0, at + 1)));
        }
        *held = true;
    }
    const bool modified = at > 0;
    if (at == code.size()) {
        return fail("prefix " + quoted(code) + " is followed by no key");
    }

    std::size_t end = 0;
    if (code[at] == '{') {
        auto braced = readBraced(code, at, stroke, modified);
        if (auto* error = std::get_if<KeyCodeError>(&braced)) {
            return std::move(*error);
        }
        end = std::get<std::size_t>(braced);
    } else if (modified && code[at] >= 'A' && code[at] <= 'Z') {
        stroke.key = static_cast<char32_t>(code[at] - 'A' + 'a');
        end = at + 1;
    } else {
        return bareCharacterError(code, at);
    }
    if (end < code.size()) {
        return fail("text " + quoted(code.substr(end)) + " after the key " + quoted(code.substr(0, end)));
    }
    return stroke;
}

bool isSessionChord(const KeyStroke& stroke) {
    if (!stroke.ctrl || !stroke.alt) {
        return false;
    }
    const auto* named = std::get_if<NamedKey>(&stroke.key);
    if (named == nullptr) {
        return false;
    }
    return *named == NamedKey::Backspace || *named == NamedKey::Delete ||
           (*named >= NamedKey::F1 && *named <= NamedKey::F16);
}

bool isSessionChordCode(std::string_view code) {
    const auto parsed = parseKeyCode(code);
    const auto* stroke = std::get_if<KeyStroke>(&parsed);
    return stroke != nullptr && isSessionChord(*stroke);
}

} // namespace kadrill::alarm
