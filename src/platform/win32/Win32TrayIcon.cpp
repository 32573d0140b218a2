#include "Win32TrayIcon.h"

#include "AssetData.h"
#include "Log.h"
#include "NativeHandles.h"
#include "Text.h"

#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kadrill::platform::win32 {

namespace {

constexpr const wchar_t* kWindowClass = L"KadrillTrayWindow";
constexpr UINT kCallbackMessage = WM_APP + 1;
// How often an icon the shell did not take is offered again, and the task bar looked for.
constexpr UINT_PTR kRetryTimer = 1;
constexpr UINT kRetryMs = 3000;
// The sizes the icon is drawn in, in assets/ as kadrill-16.xpm and so on.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64};

void copyInto(wchar_t* field, std::size_t capacity, const std::string& text) {
    const std::wstring w = wide(text);
    const std::size_t n = w.size() < capacity ? w.size() : capacity - 1;
    std::memcpy(field, w.data(), n * sizeof(wchar_t));
    field[n] = L'\0';
}

bool taskBarPresent() { return ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }

/// The XPM's colour of one palette line ("a c #RRGGBB", "  c None") as alpha and RGB in
/// the order of a 32-bit DIB; fully transparent for None and anything unknown.
std::uint32_t paletteColor(const char* line, int charsPerPixel) {
    const char* colour = std::strstr(line + charsPerPixel, " c ");
    unsigned rgb = 0;
    if (colour == nullptr || std::sscanf(colour + 3, " #%6x", &rgb) != 1) {
        return 0;
    }
    return 0xFF000000U | rgb; // 0xAARRGGBB is B, G, R, A in memory
}

/// The picture as an icon with its transparency; null for a picture that is not one.
HICON iconFromXpm(const char* const* xpm) {
    int width = 0;
    int height = 0;
    int colours = 0;
    int charsPerPixel = 0;
    if (xpm == nullptr || std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &charsPerPixel) != 4 ||
        width <= 0 || width > 256 || height <= 0 || height > 256 || colours <= 0 || charsPerPixel < 1 ||
        charsPerPixel > 2) {
        return nullptr;
    }
    std::map<std::string, std::uint32_t> palette;
    for (int i = 1; i <= colours; ++i) {
        palette[std::string(xpm[i], static_cast<std::size_t>(charsPerPixel))] = paletteColor(xpm[i], charsPerPixel);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first, as the XPM lists them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP colour = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (colour == nullptr) {
        return nullptr;
    }
    // The mask is set where the picture is transparent; its rows are whole 16-bit words.
    const int maskStride = (width + 15) / 16 * 2;
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(maskStride * height), 0);
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y) {
        const char* row = xpm[1 + colours + y];
        const std::size_t rowLength = std::strlen(row);
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(x * charsPerPixel);
            std::uint32_t pixel = 0;
            if (at + static_cast<std::size_t>(charsPerPixel) <= rowLength) {
                const auto found = palette.find(std::string(row + at, static_cast<std::size_t>(charsPerPixel)));
                pixel = found != palette.end() ? found->second : 0;
            }
            pixels[y * width + x] = pixel;
            if (pixel == 0) {
                mask[static_cast<std::size_t>(y * maskStride + x / 8)] |= static_cast<std::uint8_t>(0x80U >> (x % 8));
            }
        }
    }
    const HBITMAP maskBitmap = ::CreateBitmap(width, height, 1, 1, mask.data());
    ICONINFO parts{};
    parts.fIcon = TRUE;
    parts.hbmMask = maskBitmap;
    parts.hbmColor = colour;
    const HICON icon = maskBitmap != nullptr ? ::CreateIconIndirect(&parts) : nullptr;
    ::DeleteObject(colour);
    if (maskBitmap != nullptr) {
        ::DeleteObject(maskBitmap);
    }
    return icon;
}

/// The picture of that name in the size of a small icon: the smallest drawn size that is
/// at least as large, which the shell scales down if need be.
HICON smallIcon(const std::string& name) {
    const int wanted = ::GetSystemMetrics(SM_CXSMICON);
    for (const int size : kIconSizes) {
        if (size >= wanted || size == kIconSizes[std::size(kIconSizes) - 1]) {
            if (const char* const* xpm = assetXpm(name + "-" + std::to_string(size))) {
                return iconFromXpm(xpm);
            }
        }
    }
    return iconFromXpm(assetXpm(name));
}

ATOM registerWindowClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = ::DefWindowProcW; // replaced per window
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kWindowClass;
        return ::RegisterClassExW(&windowClass);
    }();
    return atom;
}

} // namespace

/// The icon's own menu item: the program keeps its state, the shell never shows it.
class Win32TrayIcon::OwnItem final : public MenuItem {
public:
    void setChecked(bool checked) override { checked_ = checked; }
    bool isChecked() const override { return checked_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool isEnabled() const override { return enabled_; }

private:
    bool checked_ = false;
    bool enabled_ = true;
};

Win32TrayIcon::Win32TrayIcon(RunHandler run) : run_(std::move(run)) {
    registerWindowClass();
    // A top-level window, hidden: a message-only one would not hear the shell's broadcast.
    window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"Kadrill", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr) {
        logInfo("kadrill.tray", "no window for the icon: " + errorText(::GetLastError()));
        return;
    }
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32TrayIcon::windowProc));
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    // Run as administrator, the program would not hear it from the shell otherwise.
    ::ChangeWindowMessageFilterEx(window_, taskbarCreated_, MSGFLT_ALLOW, nullptr);
}

Win32TrayIcon::~Win32TrayIcon() {
    if (record_) {
        notify(NIM_DELETE);
    }
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
    if (icon_ != nullptr) {
        ::DestroyIcon(icon_);
    }
}

UINT Win32TrayIcon::callbackMessage() { return kCallbackMessage; }

bool Win32TrayIcon::notify(DWORD what) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = static_cast<UINT>(record_->id);
    if (what != NIM_DELETE) {
        // Version 4 shows the tip only when asked to.
        data.uFlags = NIF_MESSAGE | NIF_TIP | NIF_SHOWTIP | (icon_ != nullptr ? NIF_ICON : 0U);
        data.uCallbackMessage = kCallbackMessage;
        data.hIcon = icon_;
        copyInto(data.szTip, std::size(data.szTip), record_->tip);
    }
    if (::Shell_NotifyIconW(what, &data)) {
        return true;
    }
    logInfo("kadrill.tray", "Shell_NotifyIcon " + std::to_string(what) + " failed: " + errorText(::GetLastError()));
    return false;
}

bool Win32TrayIcon::addToShell() {
    // A shell that still has the icon (the broadcast came from elsewhere, or an add timed
    // out after all) refuses to add it twice.
    if (!notify(NIM_ADD) && !notify(NIM_MODIFY)) {
        return false;
    }
    // The version that tells a click (NIN_SELECT) and the keyboard's Enter (NIN_KEYSELECT)
    // and Menu key (WM_CONTEXTMENU) as such; a shell without it sends the mouse alone.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = static_cast<UINT>(record_->id);
    data.uVersion = NOTIFYICON_VERSION_4;
    version4_ = ::Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
    return true;
}

bool Win32TrayIcon::add(const NotifyIconRecord& record) {
    if (record_ || window_ == nullptr) {
        return false;
    }
    record_ = record;
    if (icon_ != nullptr) {
        ::DestroyIcon(icon_);
    }
    icon_ = smallIcon(record.icon);
    if (icon_ == nullptr) {
        logInfo("kadrill.tray", "no picture " + record.icon + " for the icon");
    }
    shown_ = addToShell();
    taskBarSeen_ = shown_ && taskBarPresent();
    ::SetTimer(window_, kRetryTimer, kRetryMs, nullptr);
    return shown_;
}

bool Win32TrayIcon::remove(const NotifyIconRecord& record) {
    if (!record_ || record.id != record_->id) {
        return false;
    }
    ::KillTimer(window_, kRetryTimer);
    // Also where the shell seemed not to take it: it may have, after a timeout.
    notify(NIM_DELETE);
    record_.reset();
    shown_ = false;
    return true;
}

bool Win32TrayIcon::isAvailable() const { return record_ ? shown_ : taskBarPresent(); }

bool Win32TrayIcon::showMessage(const std::string& title, const std::string& text, MessageIcon icon) {
    if (!record_ || !shown_) {
        return false;
    }
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = static_cast<UINT>(record_->id);
    data.uFlags = NIF_INFO;
    copyInto(data.szInfoTitle, std::size(data.szInfoTitle), title);
    copyInto(data.szInfo, std::size(data.szInfo), text);
    switch (icon) {
    case MessageIcon::Information:
    case MessageIcon::Question:
        data.dwInfoFlags = NIIF_INFO;
        break;
    case MessageIcon::Exclamation:
        data.dwInfoFlags = NIIF_WARNING;
        break;
    case MessageIcon::Critical:
        data.dwInfoFlags = NIIF_ERROR;
        break;
    case MessageIcon::None:
        data.dwInfoFlags = NIIF_NONE;
        break;
    }
    if (::Shell_NotifyIconW(NIM_MODIFY, &data)) {
        return true;
    }
    logInfo("kadrill.tray", "no message at the icon: " + errorText(::GetLastError()));
    return false;
}

MenuItem& Win32TrayIcon::offerMenu(Menu&, const std::string&) {
    ownItem_ = std::make_unique<OwnItem>();
    return *ownItem_;
}

void Win32TrayIcon::setShown(bool shown) {
    if (shown == shown_) {
        return;
    }
    shown_ = shown;
    logInfo("kadrill.tray", shown ? "notification area present" : "notification area absent");
    if (run_) {
        run_([this] { availabilityChanged.raise(); });
    } else {
        availabilityChanged.raise();
    }
}

void Win32TrayIcon::offerAgain() {
    if (!record_) {
        return;
    }
    const bool taskBar = taskBarPresent();
    if (shown_ && taskBarSeen_ && !taskBar) {
        // Explorer has gone (it crashed, or is being restarted): the icon went with it.
        setShown(false);
    } else if (!shown_) {
        setShown(addToShell());
    }
    taskBarSeen_ = shown_ && taskBar;
}

void Win32TrayIcon::raise(TrayActivation what) {
    if (run_) {
        run_([this, what] { activated.raise(what); });
    } else {
        activated.raise(what);
    }
}

LRESULT Win32TrayIcon::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCallbackMessage) {
        // The event is lParam's low word (the whole lParam before version 4).
        switch (LOWORD(lParam)) {
        case WM_LBUTTONDOWN:
            afterDoubleClick_ = false;
            break;
        case WM_LBUTTONDBLCLK:
            // Its release may come with a selection of its own, which is no click.
            afterDoubleClick_ = true;
            break;
        case NIN_SELECT:
            if (!std::exchange(afterDoubleClick_, false)) {
                raise(TrayActivation::Activated);
            }
            break;
        case NIN_KEYSELECT:
            raise(TrayActivation::Activated);
            break;
        case WM_CONTEXTMENU:
            raise(TrayActivation::ContextRequested);
            break;
        case WM_LBUTTONUP:
            if (!version4_ && !std::exchange(afterDoubleClick_, false)) {
                raise(TrayActivation::Activated);
            }
            break;
        case WM_RBUTTONUP:
            if (!version4_) {
                raise(TrayActivation::ContextRequested);
            }
            break;
        default:
            break;
        }
        return 0;
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // A new shell knows no icons: the program's is added again.
        if (record_) {
            setShown(addToShell());
            taskBarSeen_ = shown_ && taskBarPresent();
        }
        return 0;
    }
    if (message == WM_TIMER && wParam == kRetryTimer) {
        offerAgain();
        return 0;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK Win32TrayIcon::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32TrayIcon*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return self != nullptr ? self->handle(message, wParam, lParam) : ::DefWindowProcW(window, message, wParam, lParam);
}

HWND nativeTrayWindow(const platform::TrayIcon& tray) { return dynamic_cast<const Win32TrayIcon&>(tray).window(); }

UINT trayCallbackMessage() { return Win32TrayIcon::callbackMessage(); }

} // namespace kadrill::platform::win32
