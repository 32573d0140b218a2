#include "Win32Host.h"

#include "Win32Geometry.h"

namespace kadrill::platform::win32 {

namespace {

constexpr wchar_t kChildProperty[] = L"KadrillChild";

} // namespace

Win32Child::~Win32Child() {
    if (hwnd_ != nullptr) {
        ::RemovePropW(hwnd_, kChildProperty);
        ::DestroyWindow(hwnd_);
    }
}

Win32Child* Win32Child::of(HWND hwnd) {
    return hwnd != nullptr ? static_cast<Win32Child*>(::GetPropW(hwnd, kChildProperty)) : nullptr;
}

void Win32Child::adopt(HWND hwnd) {
    hwnd_ = hwnd;
    ::SetPropW(hwnd, kChildProperty, this);
    // Each control lies over those made before it in its container; Windows would put a new
    // child beneath its siblings.
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32Child::applyDpi(int dpi) {
    const RECT r = toPixels(bounds_, dpi);
    ::SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Win32Child::shownWithin() const {
    return (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0 && host_.shownWithin();
}

const wchar_t* registerClass(const wchar_t* name, WNDPROC proc, HBRUSH background, UINT style) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    ::RegisterClassExW(&wc); // fails harmlessly when registered already
    return name;
}

bool forwardToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_COMMAND:
        if (lParam != 0) {
            if (Win32Child* child = Win32Child::of(reinterpret_cast<HWND>(lParam))) {
                child->onCommand(HIWORD(wParam));
                result = 0;
                return true;
            }
        }
        return false;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (Win32Child* child = Win32Child::of(item->hwndItem)) {
            child->onDrawItem(*item);
            result = TRUE;
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

void dropFocusWithin(HWND within) {
    HWND focus = ::GetFocus();
    if (focus != nullptr && (focus == within || ::IsChild(within, focus))) {
        // The window itself holds the keyboard now: keys still reach its handlers.
        ::SetFocus(::GetAncestor(within, GA_ROOT));
    }
}

} // namespace kadrill::platform::win32
