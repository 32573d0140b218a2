#include "alarm/KeyCode.h"
#include "alarm/KeyTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace kadrill::test {
namespace {

using alarm::isSessionChord;
using alarm::KeyCodeError;
using alarm::parseKeyCode;
using platform::KeyStroke;
using platform::NamedKey;

KeyStroke stroke(std::variant<NamedKey, char32_t> key, bool shift = false, bool ctrl = false, bool alt = false) {
    return KeyStroke{shift, ctrl, alt, key};
}

// The stroke a code means, or the error's message prefixed with "error: ".
std::string parsed(std::string_view code) {
    const auto result = parseKeyCode(code);
    if (const auto* error = std::get_if<KeyCodeError>(&result)) {
        return "error: " + error->message;
    }
    return platform::describe(std::get<KeyStroke>(result));
}

// What a key-list name says, read without looking at the code beside it.
std::optional<KeyStroke> strokeNamed(std::string_view name) {
    // The base keys other than F1-F16, in NamedKey order.
    constexpr std::array<std::string_view, 20> kBase = {
        "BackSpace", "Ctrl + Break", "CapsLock", "Delete",      "End",        "Enter", "Esc", "Help", "Home", "Insert",
        "NumLock",   "PageDown",     "PageUp",   "PrintScreen", "ScrollLock", "Tab",   "↓",   "←",    "→",    "↑"};
    // Modifiers are named in the order Ctrl, Alt, Shift.
    KeyStroke s;
    for (const auto& [prefix, flag] : {std::pair{"Ctrl+", &KeyStroke::ctrl}, std::pair{"Alt+", &KeyStroke::alt},
                                       std::pair{"Shift+", &KeyStroke::shift}}) {
        if (name.starts_with(prefix)) {
            s.*flag = true;
            name.remove_prefix(std::string_view(prefix).size());
        }
    }
    const bool modified = s.shift || s.ctrl || s.alt;
    // After a prefix the one base name holding a "+" is parenthesised.
    if (modified && name == "(Ctrl + Break)") {
        name = "Ctrl + Break";
    } else if (modified && name == "Ctrl + Break") {
        return std::nullopt;
    }
    int f = 0;
    const char* end = name.data() + name.size();
    const auto base = std::find(kBase.begin(), kBase.end(), name);
    if (base != kBase.end()) {
        s.key = static_cast<NamedKey>(base - kBase.begin());
    } else if (modified && name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') {
        s.key = static_cast<char32_t>(name[0] - 'A' + 'a');
    } else if (name.starts_with("F") && std::from_chars(name.data() + 1, end, f).ptr == end && f >= 1 && f <= 16) {
        s.key = static_cast<NamedKey>(static_cast<int>(NamedKey::F1) + f - 1);
    } else {
        return std::nullopt;
    }
    return s;
}

// The key a row holds by its place: base keys in NamedKey order, then per modifier block
// its base keys and its letters. Nothing for the empty row.
std::optional<KeyStroke> strokeAtRow(std::size_t row) {
    struct Block {
        bool shift, ctrl, alt;
        std::size_t firstBase, firstLetter;
    };
    for (const Block& b :
         {Block{false, false, false, 0, 409}, Block{true, false, false, 36, 73}, Block{false, true, false, 99, 135},
          Block{false, false, true, 161, 197}, Block{true, true, false, 223, 259}, Block{true, false, true, 285, 321},
          Block{false, true, true, 347, 383}}) {
        if (row >= b.firstBase && row < b.firstBase + 36) {
            return stroke(static_cast<NamedKey>(row - b.firstBase), b.shift, b.ctrl, b.alt);
        }
        if (row >= b.firstLetter && row < b.firstLetter + 26) {
            return stroke(static_cast<char32_t>(U'a' + (row - b.firstLetter)), b.shift, b.ctrl, b.alt);
        }
    }
    return std::nullopt;
}

TEST(SpecialKeyTable, EachRowHoldsTheKeyOfItsPlaceAndItsNameAndCodeBothSayIt) {
    // The rows whose names are spelled off the rule, with the names the rule gives.
    const std::map<std::size_t, std::pair<std::string, std::string>> oddNames = {
        {289, {"ALt+Shift+End", "Alt+Shift+End"}}, {372, {"Ctrl+Atl+F6", "Ctrl+Alt+F6"}}};
    const auto table = alarm::buildSpecialKeyTable();
    ASSERT_EQ(table.size(), 409u);
    for (std::size_t row = 0; row < table.size(); ++row) {
        SCOPED_TRACE("row " + std::to_string(row) + " \"" + table[row].name + "\" " + table[row].code);
        const std::optional<KeyStroke> expected = strokeAtRow(row);
        if (!expected) {
            EXPECT_EQ(row, 72u);
            EXPECT_TRUE(table[row].name.empty() && table[row].code.empty());
            continue;
        }
        std::string name = table[row].name;
        if (auto odd = oddNames.find(row); odd != oddNames.end()) {
            EXPECT_EQ(name, odd->second.first);
            name = odd->second.second;
        }
        EXPECT_EQ(strokeNamed(name), expected) << "the name";
        const auto result = parseKeyCode(table[row].code);
        ASSERT_TRUE(std::holds_alternative<KeyStroke>(result)) << std::get<KeyCodeError>(result).message;
        EXPECT_EQ(std::get<KeyStroke>(result), *expected) << "the code";
    }
    for (const auto& [row, name, code] : std::initializer_list<std::tuple<std::size_t, const char*, const char*>>{
             {1, "Ctrl + Break", "{BREAK}"},
             {37, "Shift+(Ctrl + Break)", "+{BREAK}"},
             {56, "Shift+F1", "+{F1}"},
             {137, "Ctrl+C", "^C"},
             {184, "Alt+F4", "%{F4}"},
             {408, "Ctrl+Alt+Z", "^%Z"}}) {
        EXPECT_EQ(table[row].name, name);
        EXPECT_EQ(table[row].code, code);
    }
}

TEST(KeyCode, ReadsNamesCharactersAndPrefixedLetters) {
    struct Row {
        const char* code;
        KeyStroke key;
    };
    for (const Row& r : {Row{"{a}", stroke(U'a')},
                         {"{A}", stroke(U'A')},
                         {"{+}", stroke(U'+')},
                         {"{^}", stroke(U'^')},
                         {"{{}", stroke(U'{')},
                         {"{}}", stroke(U'}')},
                         {"{\"}", stroke(U'"')},
                         {"{ }", stroke(U' ')},
                         {"{あ}", stroke(U'あ')},
                         {"{𠮷}", stroke(U'𠮷')},
                         {"{ENTER}", stroke(NamedKey::Enter)},
                         {"{Enter}", stroke(NamedKey::Enter)},
                         {"{pgdn}", stroke(NamedKey::PageDown)},
                         {"{F16}", stroke(NamedKey::F16)},
                         {"+A", stroke(U'a', true)},
                         {"^%Z", stroke(U'z', false, true, true)},
                         {"^{a}", stroke(U'a', false, true)},
                         {"^{A}", stroke(U'a', false, true)},
                         {"+{1}", stroke(U'1', true)},
                         {"%{}}", stroke(U'}', false, false, true)},
                         {"+^%{F1}", stroke(NamedKey::F1, true, true, true)},
                         {"%+^{F1}", stroke(NamedKey::F1, true, true, true)}}) {
        SCOPED_TRACE(r.code);
        const auto result = parseKeyCode(r.code);
        ASSERT_TRUE(std::holds_alternative<KeyStroke>(result)) << std::get<KeyCodeError>(result).message;
        EXPECT_EQ(std::get<KeyStroke>(result), r.key);
    }
}

TEST(KeyCode, RefusesMalformedCodesNamingTheOffendingPart) {
    struct Row {
        std::string code;
        const char* named; // must appear in the message
    };
    for (const Row& r : {
             Row{"", "empty"},
             {"{ENTRE}", "unknown key name \"{ENTRE}\""},
             {"{F17}", "\"{F17}\""},
             {"{F01}", "\"{F01}\""},
             {"{ab}", "\"{ab}\""},
             {"{a+}", "\"{a+}\" holds more than one character"},
             {"{ああ}", "\"{ああ}\""},
             {"{ENTER", "\"{ENTER\" has no closing brace"},
             {"^{", "\"{\" has no closing brace"},
             {"{}", "empty braces \"{}\""},
             {"}", "\"}\""},
             {"a", "bare \"a\""},
             {"A", "\"{A}\""},
             {"あ", "bare \"あ\""},
             {"^a", "\"^A\""},
             {"^1", "\"^{1}\""},
             {"^", "prefix \"^\" is followed by no key"},
             {"+^%", "\"+^%\""},
             {"^^C", "repeated prefix \"^\""},
             {"+^+A", "repeated prefix \"+\""},
             {"{ENTER}{TAB}", "text \"{TAB}\" after the key \"{ENTER}\""},
             {"^CD", "\"D\""},
             {"{{}}", "text \"}\""},
             {"{a}+", "text \"+\""},
             {"{\xFF}", "UTF-8 at byte 1 (0xFF)"},
             {"{\xE3\x81}", "UTF-8"},         // cut short
             {"{\xC0\xAF}", "UTF-8"},         // overlong "/"
             {"{\xED\xA0\x80}", "UTF-8"},     // a surrogate
             {"{\xF4\x90\x80\x80}", "UTF-8"}, // above U+10FFFF
         }) {
        SCOPED_TRACE(r.code);
        const auto result = parseKeyCode(r.code);
        ASSERT_TRUE(std::holds_alternative<KeyCodeError>(result));
        EXPECT_NE(std::get<KeyCodeError>(result).message.find(r.named), std::string::npos)
            << std::get<KeyCodeError>(result).message;
    }
}

TEST(KeyCode, DescribesParsedStrokesAsKeyCaps) {
    for (const auto& [code, text] :
         std::initializer_list<std::pair<const char*, const char*>>{{"{a}", "a"},
                                                                    {"{A}", "A"},
                                                                    {"{あ}", "あ"},
                                                                    {"{ENTER}", "[Enter]"},
                                                                    {"+{F1}", "[Shift+F1]"},
                                                                    {"^C", "[Ctrl+C]"},
                                                                    {"^{c}", "[Ctrl+C]"},
                                                                    {"+^%{DELETE}", "[Ctrl+Alt+Shift+Delete]"}}) {
        EXPECT_EQ(parsed(code), text) << code;
    }
}

TEST(KeyCode, SessionChordsAreCtrlAltWithAFunctionKeyBackSpaceOrDelete) {
    const auto refusedAsChord = [](const char* code) {
        const auto result = parseKeyCode(code);
        return std::holds_alternative<KeyStroke>(result) && isSessionChord(std::get<KeyStroke>(result));
    };
    for (const char* code : {"^%{F1}", "^%{F16}", "+^%{F7}", "^%{BACKSPACE}", "^%{DELETE}", "^%+{DELETE}"}) {
        EXPECT_TRUE(refusedAsChord(code)) << code;
    }
    for (const char* code : {"^{F1}", "%{F1}", "{F1}", "^+{DELETE}", "%{BACKSPACE}", "{DELETE}", "^%{END}",
                             "^%{INSERT}", "^%D", "^%{d}"}) {
        EXPECT_FALSE(refusedAsChord(code)) << code;
    }
    // In the key list they are the Ctrl+Alt block's BackSpace, Delete and F1-F16 only.
    std::set<std::size_t> rows;
    const auto table = alarm::buildSpecialKeyTable();
    for (std::size_t row = 0; row < table.size(); ++row) {
        const auto result = parseKeyCode(table[row].code);
        if (const auto* s = std::get_if<KeyStroke>(&result); s != nullptr && isSessionChord(*s)) {
            rows.insert(row);
        }
    }
    std::set<std::size_t> expected = {347, 350};
    for (std::size_t row = 367; row <= 382; ++row) {
        expected.insert(row);
    }
    EXPECT_EQ(rows, expected);
}

} // namespace
} // namespace kadrill::test
