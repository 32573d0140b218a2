#include "Win32Window.h"

#include "Text.h"
#include "Win32Application.h"
#include "Win32Geometry.h"
#include "Win32Menu.h"
#include "Win32Pictures.h"
#include "Win32Timer.h"

#include <commctrl.h>

namespace kadrill::platform::win32 {

namespace {

constexpr UINT kStartMoveMessage = WM_APP + 10;
constexpr UINT kPopupMessage = WM_APP + 11;
constexpr UINT_PTR kPopupRetryTimer = 1;
// How soon a popup asked for while another is open looks again whether that one has gone.
constexpr UINT kPopupRetryMs = 20;

/// The popup menu open now, of any window: one at a time.
bool popupOpen = false;

DWORD styleOf(const WindowProperties& props) {
    if (props.border == BorderStyle::None) {
        return WS_POPUP | WS_CLIPCHILDREN;
    }
    // A fixed border: no thick frame to drag the size by.
    return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | (props.minimizeButton ? WS_MINIMIZEBOX : 0) |
           (props.maximizeButton ? WS_MAXIMIZEBOX : 0);
}

Win32Surface::Background backgroundOf(const WindowProperties& props) {
    // The watch face is black beyond its picture; a dialog has the desktop's own ground.
    if (props.picture.empty()) {
        return {nullptr, kSystemButtonFaceColor, false};
    }
    return {picture(props.picture), rgb(0, 0, 0), false};
}

} // namespace

Win32Window::Win32Window(Win32Application& app, const WindowProperties& props)
    : app_(app), surface_(backgroundOf(props), nullptr), style_(styleOf(props)),
      exStyle_(0), clientTwips_{props.clientWidth, props.clientHeight}, iconName_(props.icon), dpi_(systemDpi()) {
    static const wchar_t* className = registerClass(L"KadrillWindow", &Win32Window::windowProc);
    const RECT outer = windowRectFor({toPixels(clientTwips_.cx, dpi_), toPixels(clientTwips_.cy, dpi_)}, style_,
                                     exStyle_, props.menuBar, dpi_);
    const bool popup = props.border == BorderStyle::None;
    hwnd_ = ::CreateWindowExW(exStyle_, className, wide(props.caption).c_str(), style_, popup ? 0 : CW_USEDEFAULT,
                              popup ? 0 : CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top, nullptr,
                              nullptr, ::GetModuleHandleW(nullptr), this);
    if (props.menuBar) {
        menuBar_ = ::CreateMenu();
        ::SetMenu(hwnd_, menuBar_);
    }
    surface_.setWindow(hwnd_);
    toolTips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    controls_ = std::make_unique<Win32ControlHost>(*this, surface_);
    keys_.contextMenuKey = [this] { dispatcher().deliver(contextMenuKey); };
    dpi_ = dpiOf(hwnd_);
    fitClientArea();
    setIcons();
    app_.addWindow(hwnd_);
}

Win32Window::~Win32Window() {
    app_.removeWindow(hwnd_);
    timers_.clear();
    controls_.reset();
    menus_.clear();
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(toolTips_);
    ::DestroyWindow(hwnd_);
    for (HICON icon : {smallIcon_, bigIcon_}) {
        if (icon != nullptr) {
            ::DestroyIcon(icon);
        }
    }
}

Win32Dispatcher& Win32Window::dispatcher() { return app_.dispatcher(); }

LRESULT CALLBACK Win32Window::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && (self->hwnd_ == hwnd || self->hwnd_ == nullptr)) {
        if (self->hwnd_ == nullptr) {
            self->hwnd_ = hwnd;
        }
        return self->handle(msg, wParam, lParam);
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT Win32Window::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (forwardToChild(msg, wParam, lParam, result)) {
        return result;
    }
    if (controls_ != nullptr && deliverMouse(dispatcher(), hwnd_, msg, wParam, lParam, mouseDown, mouseMove, mouseUp)) {
        return 0;
    }
    switch (msg) {
    case WM_GETOBJECT:
        if (accessible_.answer(hwnd_, wParam, lParam, result)) {
            return result;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        HDC dc = ::BeginPaint(hwnd_, &ps);
        if (::IsRectEmpty(&ps.rcPaint) == FALSE) {
            BufferedPaint buffer(dc, ps.rcPaint);
            surface_.paint(buffer.dc(), ps.rcPaint, dpi_);
        }
        ::EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) == 0) {
            if (Win32MenuItem* item = menuItem(LOWORD(wParam)); item != nullptr && item->choosable()) {
                dispatcher().deliver(item->chosen);
            }
            return 0;
        }
        break;
    case WM_CLOSE:
        // Raised once; the window then only hides: the program destroys it.
        if (!closedRaised_) {
            closedRaised_ = true;
            dispatcher().deliver(closed);
        }
        if (::IsWindow(hwnd_) != FALSE) {
            ::ShowWindow(hwnd_, SW_HIDE);
        }
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            activated(false);
            return 0;
        }
        if (HIWORD(wParam) == 0) {
            activated(true);
            return 0;
        }
        break;
    case WM_SIZE:
        reportState();
        break;
    case WM_CONTEXTMENU:
        // The keys that ask for it are told by the window's controls (keys_), which take
        // them before Windows makes this message of them, once or twice.
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
        if (keys_.takeKey(nullptr, msg, wParam)) {
            return 0;
        }
        break;
    case WM_DPICHANGED:
        applyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP:
        dispatcher().enterSystemLoop();
        break;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP:
        dispatcher().leaveSystemLoop();
        break;
    case WM_TIMECHANGE:
        dispatcher().resyncSecondEdges();
        break;
    case kStartMoveMessage: {
        // Only while the press that asked for it still holds: a quick click moves nothing.
        const int left = ::GetSystemMetrics(SM_SWAPBUTTON) != 0 ? VK_RBUTTON : VK_LBUTTON;
        if ((::GetAsyncKeyState(left) & 0x8000) != 0) {
            POINT at{};
            ::GetCursorPos(&at);
            ::ReleaseCapture();
            ::SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(at.x, at.y));
        }
        return 0;
    }
    case kPopupMessage:
        trackPopup(static_cast<std::size_t>(wParam));
        return 0;
    case WM_TIMER:
        if (wParam >= kPopupRetryTimer + 1) {
            ::KillTimer(hwnd_, wParam);
            trackPopup(static_cast<std::size_t>(wParam - kPopupRetryTimer - 1));
            return 0;
        }
        break;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void Win32Window::activated(bool active) {
    if (!active) {
        // Where the focus goes when the window is activated again.
        HWND focus = ::GetFocus();
        if (pendingFocus_ == nullptr && focus != nullptr && ::IsChild(hwnd_, focus) != FALSE) {
            pendingFocus_ = focus;
        }
        dispatcher().deliver(deactivated);
        return;
    }
    if (demandsAttention_) {
        demandsAttention_ = false;
        FLASHWINFO stop{sizeof(FLASHWINFO), hwnd_, FLASHW_STOP, 0, 0};
        ::FlashWindowEx(&stop);
    }
    HWND target = pendingFocus_;
    pendingFocus_ = nullptr;
    if (target != nullptr && ::IsWindow(target) != FALSE && ::IsChild(hwnd_, target) != FALSE &&
        ::IsWindowVisible(target) != FALSE && ::IsWindowEnabled(target) != FALSE) {
        ::SetFocus(target);
    } else {
        ::SetFocus(hwnd_);
    }
}

void Win32Window::requestFocus(HWND control) {
    if (::GetActiveWindow() == hwnd_ && ::IsWindowVisible(hwnd_) != FALSE) {
        ::SetFocus(control);
    } else {
        pendingFocus_ = control;
    }
}

void Win32Window::paintGround(HDC dc, const RECT& area) { surface_.paint(dc, area, dpi_); }

void Win32Window::show() {
    if (minimizedHidden_) {
        ::ShowWindow(hwnd_, ::IsIconic(hwnd_) != FALSE ? SW_SHOWNA : SW_SHOWMINNOACTIVE);
    } else {
        ::ShowWindow(hwnd_, ::IsIconic(hwnd_) != FALSE ? SW_RESTORE : SW_SHOW);
    }
    minimizedHidden_ = false;
    ::UpdateWindow(hwnd_);
    noteClientOffset();
    reportState();
}

void Win32Window::hide() {
    if (::IsWindowVisible(hwnd_) != FALSE) {
        minimizedHidden_ = ::IsIconic(hwnd_) != FALSE;
    }
    ::ShowWindow(hwnd_, SW_HIDE);
}

bool Win32Window::isVisible() const { return ::IsWindowVisible(hwnd_) != FALSE; }

void Win32Window::activate() {
    ::BringWindowToTop(hwnd_);
    ::SetForegroundWindow(hwnd_);
    ::SetActiveWindow(hwnd_);
}

void Win32Window::requestAttention() {
    if (::GetForegroundWindow() == hwnd_) {
        return;
    }
    demandsAttention_ = true;
    // Until the window comes to the foreground: the task bar button flashes.
    FLASHWINFO flash{sizeof(FLASHWINFO), hwnd_, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    ::FlashWindowEx(&flash);
}

RECT Win32Window::outerRect() const {
    RECT r{};
    if (::IsIconic(hwnd_) != FALSE) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        ::GetWindowPlacement(hwnd_, &placement);
        return placement.rcNormalPosition;
    }
    ::GetWindowRect(hwnd_, &r);
    return r;
}

Point Win32Window::position() const {
    const RECT r = outerRect();
    return toTwips(POINT{r.left, r.top}, dpi_);
}

void Win32Window::setPosition(Point topLeft) {
    const int x = toPixels(topLeft.x, dpi_);
    const int y = toPixels(topLeft.y, dpi_);
    if (::IsIconic(hwnd_) != FALSE) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        ::GetWindowPlacement(hwnd_, &placement);
        ::OffsetRect(&placement.rcNormalPosition, x - placement.rcNormalPosition.left,
                     y - placement.rcNormalPosition.top);
        placement.showCmd = isVisible() ? SW_SHOWMINNOACTIVE : SW_HIDE;
        ::SetWindowPlacement(hwnd_, &placement);
        return;
    }
    ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect Win32Window::frameRect() const { return toTwips(outerRect(), dpi_); }

void Win32Window::noteClientOffset() const {
    if (!isVisible() || ::IsIconic(hwnd_) != FALSE) {
        return;
    }
    RECT outer{};
    ::GetWindowRect(hwnd_, &outer);
    POINT client{0, 0};
    ::ClientToScreen(hwnd_, &client);
    clientOffset_ = toTwips(POINT{client.x - outer.left, client.y - outer.top}, dpi_);
}

std::optional<Point> Win32Window::clientOffset() const {
    // Known once the window has been on screen; kept from then on, also while hidden.
    noteClientOffset();
    return clientOffset_;
}

Rect Win32Window::availableArea() const {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &info);
    return toTwips(info.rcWork, dpi_);
}

WindowState Win32Window::windowState() const {
    const bool minimized = isVisible() ? ::IsIconic(hwnd_) != FALSE : minimizedHidden_ || ::IsIconic(hwnd_) != FALSE;
    return minimized ? WindowState::Minimized : WindowState::Normal;
}

void Win32Window::setWindowState(WindowState state) {
    const bool minimize = state == WindowState::Minimized;
    if (!isVisible()) {
        minimizedHidden_ = minimize;
        if (!minimize && ::IsIconic(hwnd_) != FALSE) {
            // Out of the minimised state without showing the window.
            WINDOWPLACEMENT placement{};
            placement.length = sizeof placement;
            ::GetWindowPlacement(hwnd_, &placement);
            placement.showCmd = SW_HIDE;
            ::SetWindowPlacement(hwnd_, &placement);
            ::SetWindowLongPtrW(hwnd_, GWL_STYLE, ::GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~WS_MINIMIZE);
        }
    } else if (minimize != (::IsIconic(hwnd_) != FALSE)) {
        ::ShowWindow(hwnd_, minimize ? SW_MINIMIZE : SW_RESTORE);
    }
    reportState();
}

void Win32Window::reportState() {
    const WindowState now = windowState();
    if (now != reportedState_) {
        reportedState_ = now;
        dispatcher().deliver(stateChanged);
    }
}

bool Win32Window::startSystemMove() {
    // Posted: the window system's move loop runs once the press's handler has returned.
    ::PostMessageW(hwnd_, kStartMoveMessage, 0, 0);
    return true;
}

Timer& Win32Window::addTimer(const TimerProperties& props) {
    timers_.push_back(std::make_unique<Win32Timer>(dispatcher(), props));
    return *timers_.back();
}

Menu& Win32Window::addMenu(const std::string& caption) {
    HMENU popup = ::CreatePopupMenu();
    if (menuBar_ != nullptr) {
        ::AppendMenuW(menuBar_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), wide(caption).c_str());
        ::DrawMenuBar(hwnd_);
        fitClientArea();
    }
    menus_.push_back(std::make_unique<Win32Menu>(*this, popup));
    return *menus_.back();
}

Win32MenuItem* Win32Window::menuItem(UINT id) const {
    for (const auto& menu : menus_) {
        if (Win32MenuItem* item = menu->item(id)) {
            return item;
        }
    }
    return nullptr;
}

void Win32Window::popUp(Win32Menu& menu) {
    for (std::size_t i = 0; i < menus_.size(); ++i) {
        if (menus_[i].get() == &menu) {
            if (popupOpen) {
                ::EndMenu(); // the earlier popup closes first
            }
            ::PostMessageW(hwnd_, kPopupMessage, i, 0);
            return;
        }
    }
}

void Win32Window::trackPopup(std::size_t menuIndex) {
    if (menuIndex >= menus_.size() || app_.quitting()) {
        return;
    }
    if (popupOpen) {
        ::SetTimer(hwnd_, kPopupRetryTimer + 1 + menuIndex, kPopupRetryMs, nullptr);
        return;
    }
    HMENU menu = menus_[menuIndex]->menu();
    // The menu needs its owner in the foreground to take the keys and to close when the user
    // clicks elsewhere: a hidden window is no owner while a window of ours is there.
    HWND owner = hwnd_;
    if (!isVisible()) {
        HWND foreground = ::GetForegroundWindow();
        const bool ours =
            foreground != nullptr && ::GetWindowThreadProcessId(foreground, nullptr) == ::GetCurrentThreadId();
        owner = ours ? foreground : app_.menuOwner();
    }
    UINT chosen = 0;
    dispatcher().run([&] {
        POINT at{};
        ::GetCursorPos(&at);
        ::SetForegroundWindow(owner);
        popupOpen = true;
        chosen = static_cast<UINT>(
            ::TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, owner, nullptr));
        popupOpen = false;
        ::PostMessageW(owner, WM_NULL, 0, 0);
    });
    if (Win32MenuItem* item = menuItem(chosen); item != nullptr && item->choosable()) {
        dispatcher().deliver(item->chosen);
    }
}

void Win32Window::fitClientArea() {
    const SIZE wanted{toPixels(clientTwips_.cx, dpi_), toPixels(clientTwips_.cy, dpi_)};
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    if (client.right == wanted.cx && client.bottom == wanted.cy) {
        return;
    }
    // A menu bar that wraps takes more than one row.
    RECT outer{};
    ::GetWindowRect(hwnd_, &outer);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left + wanted.cx - client.right,
                   outer.bottom - outer.top + wanted.cy - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::applyDpi(int dpi, const RECT* suggested) {
    dpi_ = dpi;
    const RECT outer = windowRectFor({toPixels(clientTwips_.cx, dpi), toPixels(clientTwips_.cy, dpi)}, style_, exStyle_,
                                     menuBar_ != nullptr, dpi);
    const int x = suggested != nullptr ? suggested->left : outerRect().left;
    const int y = suggested != nullptr ? suggested->top : outerRect().top;
    ::SetWindowPos(hwnd_, nullptr, x, y, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    fitClientArea();
    controls_->applyDpi(dpi);
    setIcons();
    surface_.invalidateAll();
}

void Win32Window::setIcons() {
    if (iconName_.empty()) {
        return;
    }
    HICON small = createIcon(iconName_, systemMetric(SM_CXSMICON, dpi_));
    HICON big = createIcon(iconName_, systemMetric(SM_CXICON, dpi_));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    for (HICON old : {smallIcon_, bigIcon_}) {
        if (old != nullptr) {
            ::DestroyIcon(old);
        }
    }
    smallIcon_ = small;
    bigIcon_ = big;
}

} // namespace kadrill::platform::win32
