#include "Win32KeySender.h"

#include "Log.h"
#include "Text.h"
#include "Win32Handle.h"

#include <windows.h>

#include <tlhelp32.h>

#include <chrono>
#include <map>
#include <thread>
#include <utility>
#include <vector>

namespace kadrill::platform::win32 {

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// How long a modifier the user holds may hold up a key. Typing meanwhile would make a chord
// nobody asked for, so after this the key is refused instead; a hand lets go well within it.
constexpr auto kHeldModifierPatience = 1500ms;
constexpr auto kHeldModifierPoll = 10ms;
// How long the target may take to handle what is in its queue before the next key; a
// program that hangs longer gets its keys all the same, queued.
constexpr UINT kTargetPatienceMs = 500;
// A parent chain longer than this has looped through a reused process id.
constexpr int kMaxAncestors = 64;

/// Who started whom, as the system listed it a moment ago.
class ProcessTree {
public:
    ProcessTree() {
        const Win32Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        if (snapshot && ::Process32FirstW(snapshot.get(), &entry)) {
            do {
                parents_[entry.th32ProcessID] = entry.th32ParentProcessID;
            } while (::Process32NextW(snapshot.get(), &entry));
        }
    }

    bool isSameOrDescendant(DWORD pid, std::int64_t ancestor) const {
        if (ancestor <= 0) {
            return false;
        }
        for (int hop = 0; hop < kMaxAncestors && pid != 0; ++hop) {
            if (pid == static_cast<DWORD>(ancestor)) {
                return true;
            }
            const auto parent = parents_.find(pid);
            if (parent == parents_.end() || parent->second == pid) {
                return false;
            }
            pid = parent->second;
        }
        return false;
    }

private:
    std::map<DWORD, DWORD> parents_;
};

DWORD ownerOf(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return pid;
}

/// The foreground window when it and the control with its focus are the target's; null
/// otherwise (another program's window, one embedded in the target's, a locked screen).
HWND targetForeground(std::int64_t pid) {
    const HWND foreground = ::GetForegroundWindow();
    if (foreground == nullptr) {
        return nullptr;
    }
    const ProcessTree tree;
    if (!tree.isSameOrDescendant(ownerOf(foreground), pid)) {
        return nullptr;
    }
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(foreground, nullptr), &gui) && gui.hwndFocus != nullptr &&
        !tree.isSameOrDescendant(ownerOf(gui.hwndFocus), pid)) {
        return nullptr;
    }
    return foreground;
}

bool modifierDown() {
    for (const int key : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN}) {
        if ((::GetAsyncKeyState(key) & 0x8000) != 0) {
            return true;
        }
    }
    return false;
}

bool waitForModifiersUp() {
    const auto deadline = SteadyClock::now() + kHeldModifierPatience;
    while (modifierDown()) {
        if (SteadyClock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kHeldModifierPoll);
    }
    return true;
}

struct VirtualKey {
    WORD code = 0;
    bool extended = false; // on the keys beside the number pad, not on it
};

VirtualKey virtualKey(NamedKey key) {
    switch (key) {
    case NamedKey::Backspace:
        return {VK_BACK};
    case NamedKey::Break:
        return {VK_CANCEL, true};
    case NamedKey::CapsLock:
        return {VK_CAPITAL};
    case NamedKey::Delete:
        return {VK_DELETE, true};
    case NamedKey::End:
        return {VK_END, true};
    case NamedKey::Enter:
        return {VK_RETURN};
    case NamedKey::Esc:
        return {VK_ESCAPE};
    case NamedKey::Help:
        return {VK_HELP};
    case NamedKey::Home:
        return {VK_HOME, true};
    case NamedKey::Insert:
        return {VK_INSERT, true};
    case NamedKey::NumLock:
        return {VK_NUMLOCK, true};
    case NamedKey::PageDown:
        return {VK_NEXT, true};
    case NamedKey::PageUp:
        return {VK_PRIOR, true};
    case NamedKey::PrintScreen:
        return {VK_SNAPSHOT, true};
    case NamedKey::ScrollLock:
        return {VK_SCROLL};
    case NamedKey::Tab:
        return {VK_TAB};
    case NamedKey::Down:
        return {VK_DOWN, true};
    case NamedKey::Left:
        return {VK_LEFT, true};
    case NamedKey::Right:
        return {VK_RIGHT, true};
    case NamedKey::Up:
        return {VK_UP, true};
    default:
        break;
    }
    // F1 to F16 follow each other in both lists.
    return {static_cast<WORD>(VK_F1 + (static_cast<int>(key) - static_cast<int>(NamedKey::F1)))};
}

INPUT keyEvent(VirtualKey key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key.code;
    // Programs that read the scan code (games, remote desktops) see the same key.
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key.code, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (key.extended ? KEYEVENTF_EXTENDEDKEY : 0U) | (down ? 0U : KEYEVENTF_KEYUP);
    return input;
}

INPUT unicodeEvent(wchar_t unit, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = static_cast<WORD>(unit);
    input.ki.dwFlags = KEYEVENTF_UNICODE | (down ? 0U : KEYEVENTF_KEYUP);
    return input;
}

/// The events of one stroke: the modifiers down, the key down and up, the modifiers up.
/// Empty with `why` set where the layout has no key for the character.
std::vector<INPUT> plan(const KeyStroke& stroke, HKL layout, std::string& why) {
    std::vector<INPUT> events;
    if (const auto* character = std::get_if<char32_t>(&stroke.key)) {
        const char32_t c = *character;
        if (!stroke.shift && !stroke.ctrl && !stroke.alt) {
            std::vector<wchar_t> units;
            if (c >= 0x10000 && c <= 0x10FFFF) {
                units = {static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)),
                         static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF))};
            } else {
                units = {static_cast<wchar_t>(c)};
            }
            for (const wchar_t unit : units) {
                events.push_back(unicodeEvent(unit, true));
                events.push_back(unicodeEvent(unit, false));
            }
            return events;
        }
        const SHORT scan = c <= 0xFFFF ? ::VkKeyScanExW(static_cast<wchar_t>(c), layout) : -1;
        if (scan == -1 || LOBYTE(scan) == 0xFF) {
            why = "no key of the keyboard layout types U+" + std::to_string(static_cast<unsigned>(c));
            return {};
        }
        // The shift states the layout needs for the character itself (AltGr is Ctrl+Alt).
        const unsigned needs = HIBYTE(scan);
        const VirtualKey key{LOBYTE(scan)};
        std::vector<VirtualKey> modifiers;
        if (stroke.shift || (needs & 1U) != 0) {
            modifiers.push_back({VK_SHIFT});
        }
        if (stroke.ctrl || (needs & 2U) != 0) {
            modifiers.push_back({VK_CONTROL});
        }
        if (stroke.alt || (needs & 4U) != 0) {
            modifiers.push_back({VK_MENU});
        }
        for (const VirtualKey& m : modifiers) {
            events.push_back(keyEvent(m, true));
        }
        events.push_back(keyEvent(key, true));
        events.push_back(keyEvent(key, false));
        for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) {
            events.push_back(keyEvent(*m, false));
        }
        return events;
    }
    const VirtualKey key = virtualKey(std::get<NamedKey>(stroke.key));
    std::vector<VirtualKey> modifiers;
    if (stroke.shift) {
        modifiers.push_back({VK_SHIFT});
    }
    if (stroke.ctrl) {
        modifiers.push_back({VK_CONTROL});
    }
    if (stroke.alt) {
        modifiers.push_back({VK_MENU});
    }
    for (const VirtualKey& m : modifiers) {
        events.push_back(keyEvent(m, true));
    }
    events.push_back(keyEvent(key, true));
    events.push_back(keyEvent(key, false));
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) {
        events.push_back(keyEvent(*m, false));
    }
    return events;
}

KeySendResult notTyped(KeySendResult::Status status, std::string why) {
    logInfo("kadrill.keys", "key not typed: " + why);
    return {status, std::move(why)};
}

} // namespace

bool Win32KeySender::targetHasFocus(std::int64_t pid) const { return targetForeground(pid) != nullptr; }

bool Win32KeySender::targetHasWindow(std::int64_t pid) const {
    struct Search {
        ProcessTree tree;
        std::int64_t pid = 0;
        bool found = false;
    } search;
    search.pid = pid;
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            if (::IsWindowVisible(window) && s.tree.isSameOrDescendant(ownerOf(window), s.pid)) {
                s.found = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

KeySendResult Win32KeySender::send(const KeyStroke& stroke, std::int64_t targetPid) {
    if (!waitForModifiersUp()) {
        return notTyped(KeySendResult::Status::Failed, "a modifier key stayed held down");
    }
    // The wait left the user time to switch windows: the key goes only where the focus is now.
    const HWND target = targetForeground(targetPid);
    if (target == nullptr) {
        return notTyped(KeySendResult::Status::FocusLost, "the focus left the target's window before the key");
    }
    std::string why;
    std::vector<INPUT> events = plan(stroke, ::GetKeyboardLayout(::GetWindowThreadProcessId(target, nullptr)), why);
    if (events.empty()) {
        return notTyped(KeySendResult::Status::Failed, why);
    }
    const UINT inserted = ::SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
    if (inserted < events.size()) {
        const DWORD error = ::GetLastError();
        // Whatever went down goes up again: a modifier left held would change every key the
        // user types afterwards.
        std::vector<INPUT> releases;
        for (UINT i = 0; i < inserted; ++i) {
            if ((events[i].ki.dwFlags & KEYEVENTF_KEYUP) == 0) {
                INPUT up = events[i];
                up.ki.dwFlags |= KEYEVENTF_KEYUP;
                releases.insert(releases.begin(), up);
            }
        }
        if (!releases.empty()) {
            ::SendInput(static_cast<UINT>(releases.size()), releases.data(), sizeof(INPUT));
        }
        // A program run as administrator takes no input from one that is not (UIPI); Windows
        // says so by no error at all.
        return notTyped(KeySendResult::Status::Failed,
                        "SendInput took " + std::to_string(inserted) + " of " + std::to_string(events.size()) +
                            " events: " + (error != 0 ? errorText(error) : "the target runs with higher rights"));
    }
    // The target has taken its queue, the stroke with it, before the next one comes.
    DWORD_PTR unused = 0;
    ::SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kTargetPatienceMs, &unused);
    return {};
}

} // namespace kadrill::platform::win32
