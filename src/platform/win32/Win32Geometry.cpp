#include "Win32Geometry.h"

#include "Text.h"

#include <algorithm>
#include <cmath>

namespace kadrill::platform::win32 {

namespace {

// Looked up at run time: each came with a later Windows 10 than the oldest one we run on.
template <class Function> Function user32Function(const char* name) {
    static HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name)))
                             : nullptr;
}

} // namespace

void enableDpiAwareness() {
    using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    if (auto set = user32Function<SetContext>("SetProcessDpiAwarenessContext")) {
        // Fails harmlessly where a manifest has said it already.
        set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    } else {
        ::SetProcessDPIAware();
    }
}

int systemDpi() {
    using GetForSystem = UINT(WINAPI*)();
    static const auto forSystem = user32Function<GetForSystem>("GetDpiForSystem");
    if (forSystem != nullptr) {
        return static_cast<int>(forSystem());
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDefaultDpi;
}

int dpiOf(HWND window) {
    using GetForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = user32Function<GetForWindow>("GetDpiForWindow");
    if (forWindow != nullptr && window != nullptr) {
        if (const UINT dpi = forWindow(window); dpi > 0) {
            return static_cast<int>(dpi);
        }
    }
    return systemDpi();
}

RECT windowRectFor(SIZE client, DWORD style, DWORD exStyle, bool menuBar, int dpi) {
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = user32Function<AdjustForDpi>("AdjustWindowRectExForDpi");
    RECT r{0, 0, client.cx, client.cy};
    if (adjust != nullptr) {
        adjust(&r, style, menuBar ? TRUE : FALSE, exStyle, static_cast<UINT>(dpi));
    } else {
        ::AdjustWindowRectEx(&r, style, menuBar ? TRUE : FALSE, exStyle);
    }
    return r;
}

int systemMetric(int index, int dpi) {
    using MetricForDpi = int(WINAPI*)(int, UINT);
    static const auto forDpi = user32Function<MetricForDpi>("GetSystemMetricsForDpi");
    return forDpi != nullptr ? forDpi(index, static_cast<UINT>(dpi))
                             : MulDiv(::GetSystemMetrics(index), dpi, kDefaultDpi);
}

COLORREF colorRef(Color color) {
    if (isSystemColor(color)) {
        return ::GetSysColor(static_cast<int>(color & 0xFF));
    }
    return static_cast<COLORREF>(color & 0xFFFFFF);
}

namespace {

LOGFONTW messageFont(int dpi) {
    using ParametersForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = user32Function<ParametersForDpi>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi != nullptr &&
        forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi)) != FALSE) {
        return metrics.lfMessageFont;
    }
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) != FALSE) {
        metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, systemDpi());
        return metrics.lfMessageFont;
    }
    LOGFONTW fallback{};
    fallback.lfHeight = -MulDiv(9, dpi, 72);
    fallback.lfCharSet = DEFAULT_CHARSET;
    return fallback;
}

} // namespace

HFONT createFont(const std::string& name, double points, int dpi) {
    LOGFONTW font = messageFont(dpi);
    if (name.empty()) {
        return ::CreateFontIndirectW(&font);
    }
    font.lfHeight = -static_cast<LONG>(std::lround(points * dpi / 72.0));
    font.lfWidth = 0;
    font.lfWeight = FW_NORMAL;
    font.lfItalic = FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    const std::wstring face = wide(name);
    lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
    return ::CreateFontIndirectW(&font);
}

HFONT createDialogFont(int dpi) {
    const LOGFONTW font = messageFont(dpi);
    return ::CreateFontIndirectW(&font);
}

BufferedPaint::BufferedPaint(HDC target, const RECT& area) : target_(target), area_(area) {
    memory_ = ::CreateCompatibleDC(target);
    bitmap_ =
        ::CreateCompatibleBitmap(target, std::max(1L, area.right - area.left), std::max(1L, area.bottom - area.top));
    old_ = ::SelectObject(memory_, bitmap_);
    ::SetViewportOrgEx(memory_, -area.left, -area.top, nullptr);
}

BufferedPaint::~BufferedPaint() {
    ::SetViewportOrgEx(memory_, 0, 0, nullptr);
    ::BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, memory_, 0, 0,
             SRCCOPY);
    ::SelectObject(memory_, old_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(memory_);
}

} // namespace kadrill::platform::win32
