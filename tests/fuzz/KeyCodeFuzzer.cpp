// Feeds arbitrary bytes to the key-code parser, the one gate between a settings file (or
// a hand-edited one) and the keys the alarm types. A code it accepts must mean one key
// that, written out again, reads back as the same key; the session-chord check and the
// readable form run on every stroke the parser can produce.

#include "alarm/KeyCode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

namespace {

using kadrill::platform::KeyStroke;
using kadrill::platform::NamedKey;

constexpr const char* kNames[] = {
    "BACKSPACE", "BREAK", "CAPSLOCK",   "DELETE", "END",  "ENTER", "ESC",   "HELP", "HOME", "INSERT", "NUMLOCK", "PGDN",
    "PGUP",      "PRTSC", "SCROLLLOCK", "TAB",    "DOWN", "LEFT",  "RIGHT", "UP",   "F1",   "F2",     "F3",      "F4",
    "F5",        "F6",    "F7",         "F8",     "F9",   "F10",   "F11",   "F12",  "F13",  "F14",    "F15",     "F16",
};

std::string written(const KeyStroke& stroke) {
    std::string code;
    code += stroke.shift ? "+" : "";
    code += stroke.ctrl ? "^" : "";
    code += stroke.alt ? "%" : "";
    if (const auto* named = std::get_if<NamedKey>(&stroke.key)) {
        return code + "{" + kNames[static_cast<int>(*named)] + "}";
    }
    code += "{";
    kadrill::platform::appendUtf8(code, std::get<char32_t>(stroke.key));
    return code + "}";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kadrill::alarm;
    const auto parsed = parseKeyCode(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto* stroke = std::get_if<KeyStroke>(&parsed);
    if (stroke == nullptr) {
        if (std::get<KeyCodeError>(parsed).message.empty()) {
            std::abort(); // a refusal must say what it refused
        }
        return 0;
    }
    const auto again = parseKeyCode(written(*stroke));
    if (!std::holds_alternative<KeyStroke>(again) || std::get<KeyStroke>(again) != *stroke) {
        std::abort();
    }
    (void)isSessionChord(*stroke);
    (void)kadrill::platform::describe(*stroke);
    return 0;
}
