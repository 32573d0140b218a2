#pragma once

#include "platform/KeyStroke.h"

#include <string>
#include <string_view>
#include <variant>

namespace kadrill::alarm {

/// Why a key code was refused. The message quotes the part of the code at fault; it is
/// meant for logs and for the reason a settings file is rejected.
struct KeyCodeError {
    std::string message;

    friend bool operator==(const KeyCodeError&, const KeyCodeError&) = default;
};

/// Reads one stored key code (UTF-8) as exactly one key.
///
/// A code is optional prefixes, in any order and each at most once ("+" Shift, "^" Ctrl,
/// "%" Alt), followed by one of:
/// - a key name in braces: "{ENTER}", "{PGDN}", "{F12}". Names are matched without regard
///   to ASCII case, so a hand-written "{Enter}" is the same key; no name is a single
///   character, so "{a}" is never read as one.
/// - one character (one code point) in braces, typed literally whatever it is: "{a}",
///   "{+}", "{{}", "{}}", "{あ}". After a prefix it names the key that types it, and a
///   letter of either case names the letter's key: "^{A}" and "^{a}" are both Ctrl+A.
/// - after at least one prefix, a bare capital letter for that letter's key: "^C".
///
/// Anything else is refused, text after the key included: the same check validates the
/// sequences of settings files, which a person may have edited by hand.
std::variant<platform::KeyStroke, KeyCodeError> parseKeyCode(std::string_view code);

/// Whether the stroke acts on the whole session or the display server instead of a
/// window: Ctrl+Alt with F1-F16 (console switch), BackSpace (ends the X server) or
/// Delete, Shift held or not. The alarm refuses a sequence that holds one.
bool isSessionChord(const platform::KeyStroke& stroke);

/// isSessionChord for a stored key code, for the places that take codes in (the dialog's
/// key list, settings files); false for a code that is no key at all.
bool isSessionChordCode(std::string_view code);

} // namespace kadrill::alarm
