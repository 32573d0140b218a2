#include "Win32WindowControls.h"

#include <algorithm>
#include <cwctype>

namespace kadrill::platform::win32 {

namespace {

bool held(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

} // namespace

void focusByKey(Win32KeyTarget& target) {
    ::SetFocus(target.keyWindow());
    if (target.kind() == Win32KeyTarget::Kind::TextBox) {
        ::SendMessageW(target.keyWindow(), EM_SETSEL, 0, -1);
    }
}

void Win32WindowControls::add(Win32KeyTarget* target, int tabIndex) {
    const auto after = std::upper_bound(stops_.begin(), stops_.end(), tabIndex,
                                        [](int index, const Stop& stop) { return index < stop.tabIndex; });
    stops_.insert(after, Stop{tabIndex, target});
}

void Win32WindowControls::remove(Win32KeyTarget* target) {
    std::erase_if(stops_, [target](const Stop& stop) { return stop.target == target; });
}

bool Win32WindowControls::reachableByTab(const Win32KeyTarget* target) const {
    if (!target->usable()) {
        return false;
    }
    // A group of options is one stop: its selected option, or the first while none is.
    if (target->kind() == Win32KeyTarget::Kind::OptionButton && !target->isChecked()) {
        const Win32KeyTarget* first = nullptr;
        for (const Stop& stop : stops_) {
            const Win32KeyTarget* other = stop.target;
            if (other->kind() != Win32KeyTarget::Kind::OptionButton || other->group() != target->group() ||
                !other->usable()) {
                continue;
            }
            if (other->isChecked()) {
                return false;
            }
            if (first == nullptr) {
                first = other;
            }
        }
        return first == target;
    }
    return true;
}

void Win32WindowControls::tab(Win32KeyTarget* from, bool backwards) {
    if (stops_.empty()) {
        return;
    }
    const auto n = static_cast<std::ptrdiff_t>(stops_.size());
    std::ptrdiff_t at = -1;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        if (stops_[static_cast<std::size_t>(i)].target == from) {
            at = i;
        }
    }
    if (at < 0) {
        at = backwards ? 0 : n - 1;
    }
    for (std::ptrdiff_t step = 1; step <= n; ++step) {
        const std::ptrdiff_t i = ((at + (backwards ? -step : step)) % n + n) % n;
        Win32KeyTarget* next = stops_[static_cast<std::size_t>(i)].target;
        if (reachableByTab(next)) {
            focusByKey(*next);
            return;
        }
    }
}

bool Win32WindowControls::takeKey(Win32KeyTarget* focus, UINT msg, WPARAM wParam) {
    if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) {
        const bool menuKey = wParam == VK_APPS && !held(VK_SHIFT) && !held(VK_CONTROL) && !held(VK_MENU);
        const bool shiftF10 = wParam == VK_F10 && held(VK_SHIFT) && !held(VK_CONTROL) && !held(VK_MENU);
        // A text box has a context menu of its own.
        if ((menuKey || shiftF10) && (focus == nullptr || focus->kind() != Win32KeyTarget::Kind::TextBox)) {
            takenKey_ = wParam;
            if (contextMenuKey) {
                contextMenuKey();
            }
            return true;
        }
    }
    if ((msg == WM_KEYUP || msg == WM_SYSKEYUP) && takenKey_ != 0 && wParam == takenKey_) {
        takenKey_ = 0;
        return true;
    }
    switch (msg) {
    case WM_KEYDOWN:
        if (held(VK_CONTROL) || held(VK_MENU)) {
            return false;
        }
        switch (wParam) {
        case VK_TAB:
            tab(focus, held(VK_SHIFT));
            return true;
        case VK_RETURN:
            return !held(VK_SHIFT) && enter(focus);
        case VK_ESCAPE:
            return !held(VK_SHIFT) && escape();
        case VK_UP:
        case VK_LEFT:
        case VK_DOWN:
        case VK_RIGHT:
            return !held(VK_SHIFT) && arrow(focus, wParam == VK_UP || wParam == VK_LEFT);
        default:
            return false;
        }
    case WM_CHAR:
        // The characters of the keys taken above: a box would beep at them.
        return wParam == L'\t' || wParam == L'\r' || wParam == L'\n' || wParam == 0x1B;
    case WM_SYSCHAR:
        return accessKey(static_cast<wchar_t>(std::towupper(static_cast<wint_t>(wParam))));
    default:
        return false;
    }
}

bool Win32WindowControls::enter(Win32KeyTarget* focus) {
    if (focus != nullptr) {
        if (focus->kind() == Win32KeyTarget::Kind::ListBox || focus->keepsEnter()) {
            return true; // kept by the control: it neither presses nor closes anything
        }
        // A focused button takes Enter for itself, as on every desktop: Enter on a focused
        // キャンセル must not press OK.
        if (focus->kind() == Win32KeyTarget::Kind::CommandButton && focus->usable()) {
            focus->pressByKey();
            return true;
        }
    }
    for (const Stop& stop : std::vector<Stop>(stops_)) {
        if (stop.target->isDefault() && stop.target->usable()) {
            stop.target->pressByKey();
            return true;
        }
    }
    return true; // Enter with no default button goes no further either
}

bool Win32WindowControls::escape() {
    for (const Stop& stop : std::vector<Stop>(stops_)) {
        if (stop.target->isCancel() && stop.target->usable()) {
            stop.target->pressByKey();
            return true;
        }
    }
    return false;
}

bool Win32WindowControls::arrow(Win32KeyTarget* focus, bool backwards) {
    if (focus == nullptr || focus->kind() != Win32KeyTarget::Kind::OptionButton) {
        return false;
    }
    std::vector<Win32KeyTarget*> group;
    for (const Stop& stop : stops_) {
        if (stop.target->kind() == Win32KeyTarget::Kind::OptionButton && stop.target->group() == focus->group() &&
            (stop.target == focus || stop.target->usable())) {
            group.push_back(stop.target);
        }
    }
    const auto at = std::find(group.begin(), group.end(), focus) - group.begin();
    const auto n = static_cast<std::ptrdiff_t>(group.size());
    if (n < 2) {
        return true;
    }
    Win32KeyTarget* next = group[static_cast<std::size_t>(((at + (backwards ? -1 : 1)) % n + n) % n)];
    ::SetFocus(next->keyWindow());
    next->pressByKey();
    return true;
}

bool Win32WindowControls::accessKey(wchar_t letter) {
    if (letter == 0) {
        return false;
    }
    for (const Stop& stop : std::vector<Stop>(stops_)) {
        if (stop.target->accessKey() == letter && stop.target->usable()) {
            ::SetFocus(stop.target->keyWindow());
            stop.target->pressByKey();
            return true;
        }
    }
    return false;
}

} // namespace kadrill::platform::win32
