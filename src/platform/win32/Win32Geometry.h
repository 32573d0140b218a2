#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"

#include <windows.h>

#include <string>

// Twips, device pixels, colours and fonts as the Win32 backend's windows need them.
namespace kadrill::platform::win32 {

inline constexpr int kDefaultDpi = 96;
inline constexpr int kTwipsPerInch = 1440;

/// Turns on per-monitor DPI awareness where the system has it; before the first window.
void enableDpiAwareness();
/// The window's DPI, or the system's where the window cannot tell.
int dpiOf(HWND window);
/// The DPI of the monitor a new window will open on.
int systemDpi();
/// The outer size of a window whose client area has the given size, at the DPI.
RECT windowRectFor(SIZE client, DWORD style, DWORD exStyle, bool menuBar, int dpi);
int systemMetric(int index, int dpi);

inline int toPixels(int twips, int dpi) { return MulDiv(twips, dpi, kTwipsPerInch); }
inline int toTwips(int pixels, int dpi) { return MulDiv(pixels, kTwipsPerInch, dpi); }
inline float toPixelsF(float twips, int dpi) { return twips * static_cast<float>(dpi) / kTwipsPerInch; }
inline RECT toPixels(const Rect& r, int dpi) {
    const int left = toPixels(r.left, dpi);
    const int top = toPixels(r.top, dpi);
    return {left, top, left + toPixels(r.width, dpi), top + toPixels(r.height, dpi)};
}
inline Point toTwips(POINT p, int dpi) { return {toTwips(p.x, dpi), toTwips(p.y, dpi)}; }
inline Rect toTwips(const RECT& r, int dpi) {
    return {toTwips(r.left, dpi), toTwips(r.top, dpi), toTwips(r.right - r.left, dpi), toTwips(r.bottom - r.top, dpi)};
}

/// The colour GDI draws: the same byte order, or the desktop's own colour of that index.
COLORREF colorRef(Color color);

/// A font by face name and points at the DPI; an empty name is the desktop's message font.
HFONT createFont(const std::string& name, double points, int dpi);
/// The desktop's font for dialog controls at the DPI.
HFONT createDialogFont(int dpi);

/// Owns a GDI object; deletes it when replaced or gone.
template <class Handle> class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle h) : handle_(h) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() { reset(); }
    void reset(Handle h = nullptr) {
        if (handle_ != nullptr) {
            ::DeleteObject(handle_);
        }
        handle_ = h;
    }
    Handle get() const { return handle_; }

private:
    Handle handle_ = nullptr;
};

/// Paints through an off-screen bitmap, so a repaint never shows half-drawn.
class BufferedPaint {
public:
    BufferedPaint(HDC target, const RECT& area);
    BufferedPaint(const BufferedPaint&) = delete;
    BufferedPaint& operator=(const BufferedPaint&) = delete;
    ~BufferedPaint();
    /// Draws in the target's coordinates.
    HDC dc() const { return memory_; }

private:
    HDC target_;
    RECT area_;
    HDC memory_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

} // namespace kadrill::platform::win32
