#include "KeyTable.h"

#include <array>
#include <string>

namespace kadrill::alarm {

namespace {

constexpr std::size_t kRows = 409;
constexpr std::size_t kFunctionKeys = 16;

// The base keys other than F1-F16, which follow them.
constexpr std::array<std::array<const char*, 2>, 20> kBaseKeys = {{
    {"BackSpace", "{BACKSPACE}"},
    {"Ctrl + Break", "{BREAK}"},
    {"CapsLock", "{CAPSLOCK}"},
    {"Delete", "{DELETE}"},
    {"End", "{END}"},
    {"Enter", "{ENTER}"},
    {"Esc", "{ESC}"},
    {"Help", "{HELP}"},
    {"Home", "{HOME}"},
    {"Insert", "{INSERT}"},
    {"NumLock", "{NUMLOCK}"},
    {"PageDown", "{PGDN}"},
    {"PageUp", "{PGUP}"},
    {"PrintScreen", "{PRTSC}"},
    {"ScrollLock", "{SCROLLLOCK}"},
    {"Tab", "{TAB}"},
    {"↓", "{DOWN}"},
    {"←", "{LEFT}"},
    {"→", "{RIGHT}"},
    {"↑", "{UP}"},
}};

// The base name that already holds a "+" is parenthesised after a prefix, so that
// "Shift+(Ctrl + Break)" reads as one key.
constexpr const char* kBreakName = "Ctrl + Break";

struct Block {
    const char* namePrefix;
    const char* codePrefix;
};

constexpr std::array<Block, 6> kBlocks = {{
    {"Shift+", "+"},
    {"Ctrl+", "^"},
    {"Alt+", "%"},
    {"Ctrl+Shift+", "^+"},
    {"Alt+Shift+", "%+"},
    {"Ctrl+Alt+", "^%"},
}};

std::vector<state::SpecialKey> baseKeys() {
    std::vector<state::SpecialKey> keys;
    for (const auto& [name, code] : kBaseKeys) {
        keys.push_back({name, code});
    }
    for (std::size_t n = 1; n <= kFunctionKeys; ++n) {
        const std::string f = "F" + std::to_string(n);
        keys.push_back({f, "{" + f + "}"});
    }
    return keys;
}

} // namespace

std::vector<state::SpecialKey> buildSpecialKeyTable() {
    const std::vector<state::SpecialKey> base = baseKeys();
    std::vector<state::SpecialKey> table = base;
    table.reserve(kRows);
    for (const Block& block : kBlocks) {
        const std::string namePrefix = block.namePrefix;
        const std::string codePrefix = block.codePrefix;
        for (const state::SpecialKey& key : base) {
            const std::string name = key.name == kBreakName ? "(" + key.name + ")" : key.name;
            table.push_back({namePrefix + name, codePrefix + key.code});
        }
        // One empty row parts the Shift keys from the Shift letters; the dialog addresses
        // rows by number, so every later row keeps its place behind it.
        if (&block == &kBlocks.front()) {
            table.push_back({});
        }
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            table.push_back({namePrefix + letter, codePrefix + letter});
        }
    }
    // Two names keep their established spelling: saved sequences hold names, and those
    // must still match what the list offers.
    table[289].name = "ALt+Shift+End";
    table[372].name = "Ctrl+Atl+F6";
    return table;
}

} // namespace kadrill::alarm
