#include "Win32Container.h"

#include "Text.h"
#include "Win32Controls.h"
#include "Win32Dispatcher.h"

#include <windowsx.h>

namespace kadrill::platform::win32 {

namespace {

// The caption's gap in the frame's border, each side of the text.
constexpr int kCaptionIndent = 8;
constexpr int kCaptionPadding = 2;

template <class T, class... Args> T& addChild(std::vector<std::unique_ptr<Win32Child>>& children, Args&&... args) {
    auto made = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *made;
    children.push_back(std::move(made));
    return ref;
}

} // namespace

Win32ControlHost::Win32ControlHost(Win32Host& host, Win32Surface& surface) : host_(host), surface_(surface) {}

Win32ControlHost::~Win32ControlHost() {
    // Last made first: the containers inside go before what lies beneath them.
    while (!children_.empty()) {
        children_.pop_back();
    }
}

Label& Win32ControlHost::addLabel(const LabelProperties& props) {
    return addChild<Win32Label>(children_, host_, props);
}

PictureButton& Win32ControlHost::addPictureButton(const PictureButtonProperties& props) {
    return addChild<Win32PictureButton>(children_, host_, props, host_.toolTips());
}

Frame& Win32ControlHost::addFrame(const FrameProperties& props) {
    return addChild<Win32Frame>(children_, host_, props);
}

Picture& Win32ControlHost::addPicture(const PictureProperties& props) {
    return addChild<Win32Picture>(children_, host_, props);
}

TextBox& Win32ControlHost::addTextBox(const TextBoxProperties& props) {
    return addChild<Win32TextBox>(children_, host_, props);
}

CommandButton& Win32ControlHost::addCommandButton(const CommandButtonProperties& props) {
    return addChild<Win32CommandButton>(children_, host_, props);
}

OptionButton& Win32ControlHost::addOptionButton(const OptionButtonProperties& props) {
    return addChild<Win32OptionButton>(children_, host_, props, options_);
}

ListBox& Win32ControlHost::addListBox(const ListBoxProperties& props) {
    return addChild<Win32ListBox>(children_, host_, props);
}

void Win32ControlHost::applyDpi(int dpi) {
    for (const auto& child : children_) {
        child->applyDpi(dpi);
    }
}

void Win32ControlHost::hostEnabledChanged() {
    for (const auto& child : children_) {
        child->hostEnabledChanged();
    }
    surface_.invalidateAll();
}

// --- child containers

Win32ChildContainer::Win32ChildContainer(Win32Host& host, const Rect& bounds, bool visible)
    : Win32Child(host, bounds), visible_(visible) {}

void Win32ChildContainer::create(Win32Surface& surface, Win32ControlHost& controls) {
    static const wchar_t* className = registerClass(L"KadrillContainer", &Win32ChildContainer::windowProc);
    paintSurface_ = &surface;
    childControls_ = &controls;
    const RECT r = toPixels(bounds_, host_.dpi());
    HWND made = ::CreateWindowExW(
        0, className, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0), r.left, r.top,
        r.right - r.left, r.bottom - r.top, host_.hostWindow(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    adopt(made);
    surface.setWindow(made);
}

LRESULT CALLBACK Win32ChildContainer::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (auto* self = dynamic_cast<Win32ChildContainer*>(Win32Child::of(hwnd)); self != nullptr) {
        return self->handle(msg, wParam, lParam);
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT Win32ChildContainer::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (forwardToChild(msg, wParam, lParam, result)) {
        return result;
    }
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        HDC dc = ::BeginPaint(hwnd_, &ps);
        if (::IsRectEmpty(&ps.rcPaint) == FALSE) {
            BufferedPaint buffer(dc, ps.rcPaint);
            paintGround(buffer.dc(), ps.rcPaint);
        }
        ::EndPaint(hwnd_, &ps);
        return 0;
    }
    default:
        return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}

void Win32ChildContainer::paintHostGround(HDC dc, const RECT& area) {
    RECT inHost{};
    ::GetWindowRect(hwnd_, &inHost);
    ::MapWindowPoints(nullptr, ::GetParent(hwnd_), reinterpret_cast<POINT*>(&inHost), 2);
    RECT there = area;
    ::OffsetRect(&there, inHost.left, inHost.top);
    POINT old{};
    ::OffsetViewportOrgEx(dc, -inHost.left, -inHost.top, &old);
    host_.paintGround(dc, there);
    ::SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

void Win32ChildContainer::setShown(bool shown) {
    visible_ = shown;
    if (!shown) {
        dropFocusWithin(hwnd_);
    }
    ::ShowWindow(hwnd_, shown ? SW_SHOWNA : SW_HIDE);
}

void Win32ChildContainer::applyDpi(int dpi) {
    Win32Child::applyDpi(dpi);
    childControls_->applyDpi(dpi);
    paintSurface_->invalidateAll();
}

// --- frame

Win32Frame::Win32Frame(Win32Host& host, const FrameProperties& props)
    : Win32ChildContainer(host, props.bounds, props.visible), caption_(wide(props.caption)), enabled_(props.enabled),
      font_(createDialogFont(host.dpi())), surface_({}, [this](HDC dc, const RECT& area) {
          paintHostGround(dc, area);
          paintFrame(dc);
      }) {
    controls_ = std::make_unique<Win32ControlHost>(*this, surface_);
    create(surface_, *controls_);
    ::SetWindowTextW(hwnd_, caption_.c_str());
}

Win32Frame::~Win32Frame() { controls_.reset(); }

void Win32Frame::setEnabled(bool enabled) {
    if (enabled != enabled_) {
        enabled_ = enabled;
        // The children keep their own settings for when the frame is enabled again.
        controls_->hostEnabledChanged();
    }
}

void Win32Frame::paintGround(HDC dc, const RECT& area) { surface_.paint(dc, area, dpi()); }

void Win32Frame::paintFrame(HDC dc) {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    HGDIOBJ old = ::SelectObject(dc, font_.get());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    SIZE text{};
    ::GetTextExtentPoint32W(dc, caption_.c_str(), static_cast<int>(caption_.size()), &text);
    const int dpi = this->dpi();
    const int indent = MulDiv(kCaptionIndent, dpi, kDefaultDpi);
    const int padding = MulDiv(kCaptionPadding, dpi, kDefaultDpi);
    RECT border = client;
    border.top = metrics.tmHeight / 2;
    const int saved = ::SaveDC(dc);
    if (!caption_.empty()) {
        ::ExcludeClipRect(dc, indent - padding, 0, indent + text.cx + padding, metrics.tmHeight);
    }
    ::DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);
    ::RestoreDC(dc, saved);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(enabledWithin() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    ::TextOutW(dc, indent, 0, caption_.c_str(), static_cast<int>(caption_.size()));
    ::SelectObject(dc, old);
}

void Win32Frame::applyDpi(int dpi) {
    font_.reset(createDialogFont(dpi));
    Win32ChildContainer::applyDpi(dpi);
}

LRESULT Win32Frame::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Presses on the frame itself belong to nobody: no further than here.
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        return 0;
    default:
        return Win32ChildContainer::handle(msg, wParam, lParam);
    }
}

// --- picture

Win32Picture::Win32Picture(Win32Host& host, const PictureProperties& props)
    : Win32ChildContainer(host, props.bounds, props.visible),
      surface_({props.picture.empty() ? nullptr : picture(props.picture), props.backColor, props.border},
               [this](HDC dc, const RECT& area) { paintHostGround(dc, area); }) {
    controls_ = std::make_unique<Win32ControlHost>(*this, surface_);
    create(surface_, *controls_);
}

Win32Picture::~Win32Picture() { controls_.reset(); }

void Win32Picture::drawPoint(PointF at, Color color) {
    surface_.drawMark({.kind = DrawnMark::Kind::Point, .at = at, .radius = 0, .color = color});
}

void Win32Picture::drawCircle(PointF centre, float radius, Color color) {
    surface_.drawMark({.kind = DrawnMark::Kind::Circle, .at = centre, .radius = radius, .color = color});
}

void Win32Picture::setAccessibleText(const AccessibleText& text) {
    if (text == accessible_.text()) {
        return;
    }
    accessible_.set(hwnd_, text);
    // The window's own name, where a screen reader looks at the window rather than its content.
    ::SetWindowTextW(hwnd_, wide(text.name).c_str());
}

LRESULT Win32Picture::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (LRESULT answer = 0; msg == WM_GETOBJECT && accessible_.answer(hwnd_, wParam, lParam, answer)) {
        return answer;
    }
    if (deliverMouse(dispatcher(), hwnd_, msg, wParam, lParam, mouseDown, mouseMove, mouseUp)) {
        return 0;
    }
    return Win32ChildContainer::handle(msg, wParam, lParam);
}

bool deliverMouse(Win32Dispatcher& dispatcher, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                  Event<MouseEvent>& down, Event<MouseEvent>& move, Event<MouseEvent>& up) {
    MouseButton button = MouseButton::None;
    Event<MouseEvent>* event = nullptr;
    switch (msg) {
    case WM_LBUTTONDOWN:
        button = MouseButton::Left;
        event = &down;
        break;
    case WM_RBUTTONDOWN:
        button = MouseButton::Right;
        event = &down;
        break;
    case WM_MBUTTONDOWN:
        button = MouseButton::Middle;
        event = &down;
        break;
    case WM_LBUTTONUP:
        button = MouseButton::Left;
        event = &up;
        break;
    case WM_RBUTTONUP:
        button = MouseButton::Right;
        event = &up;
        break;
    case WM_MBUTTONUP:
        button = MouseButton::Middle;
        event = &up;
        break;
    case WM_MOUSEMOVE:
        event = &move;
        break;
    default:
        return false;
    }
    constexpr WPARAM kButtons = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON;
    if (event == &down) {
        ::SetCapture(hwnd); // the moves and the release come here wherever the pointer goes
    } else if (event == &up && (wParam & kButtons) == 0 && ::GetCapture() == hwnd) {
        ::ReleaseCapture();
    } else if (event == &move && (wParam & kButtons) == 0) {
        return true; // only a move with a button held is told, as in a drag
    }
    dispatcher.deliver(*event, mouseEventOf(hwnd, button, wParam, lParam));
    return true;
}

MouseEvent mouseEventOf(HWND hwnd, MouseButton button, WPARAM wParam, LPARAM lParam) {
    const int dpi = dpiOf(hwnd);
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    MouseEvent e;
    e.button = button;
    e.buttons = ((wParam & MK_LBUTTON) != 0 ? 1 : 0) | ((wParam & MK_RBUTTON) != 0 ? 2 : 0) |
                ((wParam & MK_MBUTTON) != 0 ? 4 : 0);
    e.position = toTwips(at, dpi);
    ::ClientToScreen(hwnd, &at);
    e.screen = toTwips(at, dpi);
    return e;
}

} // namespace kadrill::platform::win32
