#include "Win32Controls.h"

#include "Text.h"
#include "Win32Container.h"
#include "Win32Dispatcher.h"
#include "Win32Pictures.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cwctype>

namespace kadrill::platform::win32 {

namespace {

/// Where the child lies in its host's client area, pixels.
RECT rectInHost(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

/// Paints into the child's own coordinates what its host shows beneath it.
void paintHostGround(Win32Host& host, HWND child, HDC dc) {
    const RECT inHost = rectInHost(child);
    POINT old{};
    ::OffsetViewportOrgEx(dc, -inHost.left, -inHost.top, &old);
    host.paintGround(dc, inHost);
    ::SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

/// Counts characters as the user does: a pair of surrogates is one.
std::size_t characterCount(const std::wstring& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](wchar_t c) { return !IS_LOW_SURROGATE(c); }));
}

/// The lines a text takes at a width: broken at its line feeds, then after the last blank
/// that fits, else after the last character that fits (Japanese has no blanks to break at).
std::vector<std::wstring> wrapped(HDC dc, const std::wstring& text, int width) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(L'\n', start), text.size());
        std::wstring paragraph = text.substr(start, end - start);
        if (!paragraph.empty() && paragraph.back() == L'\r') {
            paragraph.pop_back();
        }
        do {
            int fit = 0;
            SIZE size{};
            ::GetTextExtentExPointW(dc, paragraph.c_str(), static_cast<int>(paragraph.size()), std::max(1, width), &fit,
                                    nullptr, &size);
            if (static_cast<std::size_t>(fit) >= paragraph.size()) {
                lines.push_back(paragraph);
                break;
            }
            std::size_t cut = std::max<std::size_t>(1, static_cast<std::size_t>(fit));
            if (cut < paragraph.size() && IS_LOW_SURROGATE(paragraph[cut])) {
                cut = cut > 1 ? cut - 1 : cut + 1;
            }
            std::size_t next = cut;
            if (const auto blank = paragraph.rfind(L' ', cut); blank != std::wstring::npos && blank > 0) {
                cut = blank;
                next = blank + 1;
            }
            lines.push_back(paragraph.substr(0, cut));
            paragraph.erase(0, next);
        } while (!paragraph.empty());
        start = end + 1;
    }
    return lines;
}

/// A dark veil over a pressed picture button.
void darken(HDC dc, const RECT& r) {
    static HBITMAP veil = [] {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 1, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP made = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (made != nullptr) {
            *static_cast<std::uint32_t*>(bits) = 0x3C000000u; // black at a quarter, premultiplied
        }
        return made;
    }();
    if (veil == nullptr) {
        return;
    }
    HDC source = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(source, veil);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0, 1, 1, blend);
    ::SelectObject(source, old);
    ::DeleteDC(source);
}

} // namespace

wchar_t accessKeyOf(const std::wstring& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == L'&') {
            if (caption[i + 1] == L'&') {
                ++i;
                continue;
            }
            return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(caption[i + 1])));
        }
    }
    return 0;
}

// --- subclassed standard controls

Win32Subclassed::~Win32Subclassed() {
    if (hwnd_ != nullptr) {
        ::RemoveWindowSubclass(hwnd_, &Win32Subclassed::subclassProc, 1);
    }
}

void Win32Subclassed::create(const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle) {
    const RECT r = toPixels(bounds_, host_.dpi());
    HWND made = ::CreateWindowExW(exStyle, className, text.c_str(), style, r.left, r.top, r.right - r.left,
                                  r.bottom - r.top, host_.hostWindow(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    adopt(made);
    ::SetWindowSubclass(made, &Win32Subclassed::subclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT Win32Subclassed::original(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefSubclassProc(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Win32Subclassed::subclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                               DWORD_PTR data) {
    auto* self = reinterpret_cast<Win32Subclassed*>(data);
    LRESULT result = 0;
    if (self != nullptr && self->hwnd_ == hwnd && self->filter(msg, wParam, lParam, result)) {
        return result;
    }
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

template <class Interface> void Win32Input<Interface>::setFocus() {
    // A hidden or disabled control takes no focus: keys would reach it there.
    if (usable()) {
        host_.requestFocus(hwnd_);
    }
}

template <class Interface> void Win32Input<Interface>::finish(int tabIndex, HFONT font) {
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    hostEnabledChanged();
    host_.windowControls().add(this, tabIndex);
}

template <class Interface> bool Win32Input<Interface>::filterKeys(UINT msg, WPARAM wParam) {
    return isKeyMessage(msg) && host_.windowControls().takeKey(this, msg, wParam);
}

// --- label

Win32Label::Win32Label(Win32Host& host, const LabelProperties& props)
    : Win32Child(host, props.bounds), text_(props.text), fontName_(props.fontName), fontPoints_(props.fontPoints),
      color_(props.foreColor), visible_(props.visible), enabled_(props.enabled) {
    static const wchar_t* className = registerClass(L"KadrillLabel", &Win32Label::windowProc);
    const int dpi = host.dpi();
    font_.reset(createFont(fontName_, fontPoints_, dpi));
    const RECT r = toPixels(bounds_, dpi);
    HWND made = ::CreateWindowExW(0, className, wide(text_).c_str(), WS_CHILD | (visible_ ? WS_VISIBLE : 0), r.left,
                                  r.top, r.right - r.left, r.bottom - r.top, host.hostWindow(), nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    adopt(made);
}

LRESULT CALLBACK Win32Label::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (auto* self = dynamic_cast<Win32Label*>(Win32Child::of(hwnd)); self != nullptr) {
        return self->handle(msg, wParam, lParam);
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT Win32Label::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETOBJECT:
        if (LRESULT answer = 0; accessible_.answer(hwnd_, wParam, lParam, answer)) {
            return answer;
        }
        return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paint();
        return 0;
    case WM_LBUTTONDOWN:
        mousePress(MouseButton::Left, wParam, lParam);
        return 0;
    case WM_RBUTTONDOWN:
        mousePress(MouseButton::Right, wParam, lParam);
        return 0;
    case WM_MBUTTONDOWN:
        mousePress(MouseButton::Middle, wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        return 0; // taken: no context menu of the window's from a release here
    default:
        return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}

void Win32Label::mousePress(MouseButton button, WPARAM wParam, LPARAM lParam) {
    host_.dispatcher().deliver(mouseDown, mouseEventOf(hwnd_, button, wParam, lParam));
}

void Win32Label::paint() {
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(hwnd_, &ps);
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    {
        BufferedPaint buffer(dc, client);
        HDC m = buffer.dc();
        paintHostGround(host_, hwnd_, m);
        HGDIOBJ old = ::SelectObject(m, font_.get());
        ::SetBkMode(m, TRANSPARENT);
        ::SetTextColor(m, enabled_ && host_.enabledWithin() ? colorRef(color_) : ::GetSysColor(COLOR_GRAYTEXT));
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(m, &metrics);
        int y = 0;
        for (const std::wstring& line : wrapped(m, wide(text_), client.right)) {
            if (y >= client.bottom) {
                break;
            }
            ::TextOutW(m, 0, y, line.c_str(), static_cast<int>(line.size()));
            y += metrics.tmHeight;
        }
        ::SelectObject(m, old);
    }
    ::EndPaint(hwnd_, &ps);
}

void Win32Label::setVisible(bool visible) {
    visible_ = visible;
    ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32Label::setText(const std::string& text) {
    if (text == text_) {
        return;
    }
    text_ = text;
    if (accessible_.text().name.empty()) {
        ::SetWindowTextW(hwnd_, wide(text_).c_str());
    }
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void Win32Label::setPosition(Point topLeft) {
    bounds_.left = topLeft.x;
    bounds_.top = topLeft.y;
    const RECT r = toPixels(bounds_, host_.dpi());
    // Drawn afresh where it lands: its old pixels show the ground of its old place.
    ::SetWindowPos(hwnd_, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

void Win32Label::setForeColor(Color color) {
    // The marks are recoloured every displayed second; an unchanged colour costs nothing.
    if (color != color_) {
        color_ = color;
        ::InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

void Win32Label::setEnabled(bool enabled) {
    if (enabled != enabled_) {
        enabled_ = enabled;
        ::InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

void Win32Label::setAccessibleText(const AccessibleText& text) {
    if (text == accessible_.text()) {
        return;
    }
    accessible_.set(hwnd_, text);
    // The window's own name, where a screen reader looks at the window rather than its content.
    ::SetWindowTextW(hwnd_, wide(text.name.empty() ? text_ : text.name).c_str());
}

void Win32Label::applyDpi(int dpi) {
    font_.reset(createFont(fontName_, fontPoints_, dpi));
    Win32Child::applyDpi(dpi);
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

// --- picture button

Win32PictureButton::Win32PictureButton(Win32Host& host, const PictureButtonProperties& props, HWND toolTips)
    : Win32Subclassed(host, props.bounds), picture_(picture(props.picture)), toolTips_(toolTips),
      visible_(props.visible) {
    const std::wstring tip = wide(props.toolTip);
    // The tip is the name a screen reader gives the button too.
    create(L"BUTTON", tip, WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_OWNERDRAW | (visible_ ? WS_VISIBLE : 0));
    if (toolTips_ != nullptr && !tip.empty()) {
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = host.hostWindow();
        info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
        info.lpszText = const_cast<wchar_t*>(tip.c_str());
        ::SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    host.windowControls().add(this, props.tabIndex);
}

Win32PictureButton::~Win32PictureButton() {
    host_.windowControls().remove(this);
    if (toolTips_ != nullptr && ::IsWindow(toolTips_) != FALSE) {
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.hwnd = host_.hostWindow();
        info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
        ::SendMessageW(toolTips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void Win32PictureButton::setVisible(bool visible) {
    visible_ = visible;
    if (!visible) {
        dropFocusWithin(hwnd_);
    }
    ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32PictureButton::setFocus() {
    if (usable()) {
        host_.requestFocus(hwnd_);
    }
}

void Win32PictureButton::hostEnabledChanged() {
    if (!host_.enabledWithin()) {
        dropFocusWithin(hwnd_);
    }
    ::EnableWindow(hwnd_, host_.enabledWithin() ? TRUE : FALSE);
}

void Win32PictureButton::onCommand(WORD code) {
    if (code == BN_CLICKED && usable()) {
        host_.dispatcher().deliver(PictureButton::clicked);
    }
}

bool Win32PictureButton::filter(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_LBUTTONDBLCLK:
        // A quick second click is another click, as on the face's own buttons.
        result = original(WM_LBUTTONDOWN, wParam, lParam);
        return true;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        result = 0; // taken and ignored
        return true;
    default:
        result = 0;
        return isKeyMessage(msg) && host_.windowControls().takeKey(this, msg, wParam);
    }
}

void Win32PictureButton::onDrawItem(const DRAWITEMSTRUCT& item) {
    const RECT r = item.rcItem;
    BufferedPaint buffer(item.hDC, r);
    HDC m = buffer.dc();
    paintHostGround(host_, hwnd_, m);
    const bool down = (item.itemState & ODS_SELECTED) != 0;
    if (picture_ != nullptr) {
        drawPicture(m, *picture_, r.left + (down ? 1 : 0), r.top + (down ? 1 : 0), dpiOf(hwnd_));
    }
    if (down) {
        darken(m, r);
    }
    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = r;
        ::InflateRect(&focus, -2, -2);
        ::DrawFocusRect(m, &focus);
    }
}

// --- text box

Win32TextBox::Win32TextBox(Win32Host& host, const TextBoxProperties& props)
    : Win32Input(host, props.bounds, props.enabled, props.visible), fontName_(props.fontName),
      fontPoints_(props.fontPoints), maxLength_(std::max(0, props.maxLength)), keepsEnter_(props.keepsEnter),
      known_(wide(props.text)) {
    setting_ = true;
    create(L"EDIT", known_, commonStyle() | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE);
    setting_ = false;
    font_.reset(createFont(fontName_, fontPoints_, host.dpi()));
    finish(props.tabIndex, font_.get());
}

Win32TextBox::~Win32TextBox() { host_.windowControls().remove(this); }

std::wstring Win32TextBox::currentText() const {
    const int length = ::GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd_, text.data(), length + 1)));
    return text;
}

std::string Win32TextBox::text() const { return utf8(currentText()); }

void Win32TextBox::setText(const std::string& text) {
    const std::wstring now = wide(text);
    if (now == currentText()) {
        return;
    }
    // Known first: the length limit lets the program's text in whatever its length.
    known_ = now;
    setting_ = true;
    ::SetWindowTextW(hwnd_, now.c_str());
    setting_ = false;
    changed.raise();
}

void Win32TextBox::onCommand(WORD code) {
    if (code != EN_CHANGE || setting_) {
        return;
    }
    std::wstring now = currentText();
    if (maxLength_ > 0) {
        // What overflows of the user's insertion (which ends at the caret) is cut off; a
        // longer text the program set may stay, and shrink, but not grow.
        const std::size_t allowed = std::max<std::size_t>(static_cast<std::size_t>(maxLength_), characterCount(known_));
        std::size_t excess = characterCount(now) > allowed ? characterCount(now) - allowed : 0;
        if (excess > 0) {
            DWORD caretEnd = 0;
            ::SendMessageW(hwnd_, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caretEnd));
            std::size_t cut = std::min<std::size_t>(caretEnd, now.size());
            const std::size_t end = cut;
            while (excess > 0 && cut > 0) {
                --cut;
                if (cut > 0 && IS_LOW_SURROGATE(now[cut]) && IS_HIGH_SURROGATE(now[cut - 1])) {
                    --cut;
                }
                --excess;
            }
            now = excess > 0 ? known_ : now.erase(cut, end - cut);
            setting_ = true;
            ::SetWindowTextW(hwnd_, now.c_str());
            ::SendMessageW(hwnd_, EM_SETSEL, excess > 0 ? now.size() : cut, excess > 0 ? now.size() : cut);
            setting_ = false;
        }
    }
    if (now == known_) {
        return; // all of it cut off by the maximum length
    }
    known_ = now;
    host_.dispatcher().deliver(edited);
    host_.dispatcher().deliver(changed);
}

bool Win32TextBox::filter(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // The box takes the focus and places the caret first; the press is told after.
        result = original(msg, wParam, lParam);
        if (usable()) {
            host_.dispatcher().deliver(clicked);
        }
        return true;
    case WM_KEYDOWN:
        // Ctrl+A selects all, as in the boxes of newer desktops.
        if (wParam == 'A' && (::GetKeyState(VK_CONTROL) & 0x8000) != 0 && (::GetKeyState(VK_MENU) & 0x8000) == 0) {
            ::SendMessageW(hwnd_, EM_SETSEL, 0, -1);
            result = 0;
            return true;
        }
        result = 0;
        return filterKeys(msg, wParam);
    case WM_CHAR:
        if (wParam == 0x01) { // the character of Ctrl+A, which the box would beep at
            result = 0;
            return true;
        }
        result = 0;
        return filterKeys(msg, wParam);
    default:
        result = 0;
        return filterKeys(msg, wParam);
    }
}

void Win32TextBox::applyDpi(int dpi) {
    font_.reset(createFont(fontName_, fontPoints_, dpi));
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    Win32Child::applyDpi(dpi);
}

// --- command button

Win32CommandButton::Win32CommandButton(Win32Host& host, const CommandButtonProperties& props)
    : Win32Input(host, props.bounds, props.enabled, props.visible), accessKey_(accessKeyOf(wide(props.caption))),
      default_(props.isDefault), cancel_(props.isCancel) {
    create(L"BUTTON", wide(props.caption), commonStyle() | WS_TABSTOP | (default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
    font_.reset(createDialogFont(host.dpi()));
    finish(props.tabIndex, font_.get());
}

Win32CommandButton::~Win32CommandButton() { host_.windowControls().remove(this); }

void Win32CommandButton::onCommand(WORD code) {
    if (code == BN_CLICKED && usable()) {
        host_.dispatcher().deliver(CommandButton::clicked);
    }
}

void Win32CommandButton::pressByKey() {
    if (usable()) {
        host_.dispatcher().deliver(CommandButton::clicked);
    }
}

bool Win32CommandButton::filter(UINT msg, WPARAM wParam, LPARAM /*lParam*/, LRESULT& result) {
    result = 0;
    return filterKeys(msg, wParam);
}

void Win32CommandButton::applyDpi(int dpi) {
    font_.reset(createDialogFont(dpi));
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    Win32Child::applyDpi(dpi);
}

// --- option button

Win32OptionButton::Win32OptionButton(Win32Host& host, const OptionButtonProperties& props,
                                     std::vector<Win32OptionButton*>& group)
    : Win32Input(host, props.bounds, props.enabled, props.visible), group_(group),
      accessKey_(accessKeyOf(wide(props.caption))) {
    create(L"BUTTON", wide(props.caption), commonStyle() | WS_TABSTOP | BS_RADIOBUTTON);
    font_.reset(createDialogFont(host.dpi()));
    group_.push_back(this);
    // Joined once its own setting is in: a second selected option takes over from the first.
    if (props.checked) {
        select();
    }
    finish(props.tabIndex, font_.get());
}

Win32OptionButton::~Win32OptionButton() {
    host_.windowControls().remove(this);
    std::erase(group_, this);
}

bool Win32OptionButton::isChecked() const { return ::SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Win32OptionButton::select() {
    for (Win32OptionButton* other : group_) {
        if (other != this) {
            ::SendMessageW(other->hwnd_, BM_SETCHECK, BST_UNCHECKED, 0);
        }
    }
    ::SendMessageW(hwnd_, BM_SETCHECK, BST_CHECKED, 0);
}

void Win32OptionButton::setChecked(bool checked) {
    if (checked) {
        select();
    } else {
        ::SendMessageW(hwnd_, BM_SETCHECK, BST_UNCHECKED, 0); // the program may leave none selected
    }
}

void Win32OptionButton::pressByKey() {
    if (usable()) {
        select();
        host_.dispatcher().deliver(OptionButton::clicked);
    }
}

void Win32OptionButton::onCommand(WORD code) {
    // An option tells of a click when it merely takes the focus, unselected; that is none.
    if (code == BN_CLICKED && !focusing_ && usable()) {
        select();
        host_.dispatcher().deliver(OptionButton::clicked);
    }
}

bool Win32OptionButton::filter(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_SETFOCUS) {
        focusing_ = true;
        result = original(msg, wParam, lParam);
        focusing_ = false;
        return true;
    }
    result = 0;
    return filterKeys(msg, wParam);
}

void Win32OptionButton::applyDpi(int dpi) {
    font_.reset(createDialogFont(dpi));
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    Win32Child::applyDpi(dpi);
}

// --- list box

Win32ListBox::Win32ListBox(Win32Host& host, const ListBoxProperties& props)
    : Win32Input(host, props.bounds, props.enabled, props.visible) {
    // A list of short lines scrolls up and down only.
    create(L"LISTBOX", wide(props.accessibleName),
           commonStyle() | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE);
    font_.reset(createDialogFont(host.dpi()));
    finish(props.tabIndex, font_.get());
}

Win32ListBox::~Win32ListBox() { host_.windowControls().remove(this); }

void Win32ListBox::insertItem(int index, const std::string& text) {
    const int at = std::clamp(index, 0, count());
    ::SendMessageW(hwnd_, LB_INSERTSTRING, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(wide(text).c_str()));
    items_.insert(items_.begin() + at, text);
    if (reported_ >= at) {
        ++reported_; // the selection moves with its line
        ::SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(reported_), 0);
    }
}

void Win32ListBox::removeItem(int index) {
    if (index < 0 || index >= count()) {
        return;
    }
    const bool wasSelected = index == reported_;
    ::SendMessageW(hwnd_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    items_.erase(items_.begin() + index);
    if (wasSelected) {
        reported_ = -1;
        ::SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        selectionChanged.raise();
    } else if (reported_ > index) {
        --reported_;
        ::SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(reported_), 0);
    }
}

void Win32ListBox::clear() {
    const bool hadSelection = reported_ >= 0;
    ::SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    items_.clear();
    reported_ = -1;
    if (hadSelection) {
        selectionChanged.raise();
    }
}

std::string Win32ListBox::item(int index) const {
    return index >= 0 && index < count() ? items_[static_cast<std::size_t>(index)] : std::string();
}

void Win32ListBox::setCurrentIndex(int index) {
    const int target = index >= 0 && index < count() ? index : -1;
    if (target == reported_) {
        return;
    }
    reported_ = target;
    ::SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(target), 0); // scrolls the line into view
    selectionChanged.raise();
}

void Win32ListBox::userSelection() {
    const auto now = static_cast<int>(::SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
    const int selected = now >= 0 ? now : -1;
    if (selected != reported_) {
        reported_ = selected;
        host_.dispatcher().deliver(selectionChanged);
    }
}

void Win32ListBox::onCommand(WORD code) {
    if (code == LBN_SELCHANGE) {
        userSelection();
    }
}

bool Win32ListBox::filter(UINT msg, WPARAM wParam, LPARAM /*lParam*/, LRESULT& result) {
    result = 0;
    if (filterKeys(msg, wParam)) {
        return true;
    }
    // With no line selected the arrows start at the first line, wherever the caret was left.
    if (msg == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN) && count() > 0 &&
        ::SendMessageW(hwnd_, LB_GETCURSEL, 0, 0) == LB_ERR) {
        ::SendMessageW(hwnd_, LB_SETCURSEL, 0, 0);
        userSelection();
        return true;
    }
    return false;
}

void Win32ListBox::applyDpi(int dpi) {
    font_.reset(createDialogFont(dpi));
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    Win32Child::applyDpi(dpi);
}

template class Win32Input<TextBox>;
template class Win32Input<CommandButton>;
template class Win32Input<OptionButton>;
template class Win32Input<ListBox>;

} // namespace kadrill::platform::win32
