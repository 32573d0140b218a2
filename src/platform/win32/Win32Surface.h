#pragma once

#include "Win32Pictures.h"
#include "platform/Container.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kadrill::platform::win32 {

class Win32Surface;

class Win32LineShape final : public LineShape {
public:
    Win32LineShape(Win32Surface& surface, const LineProperties& props);
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    void setColor(Color color) override;
    Color color() const override { return color_; }
    void setEnd(PointF to) override;
    PointF end() const override { return to_; }

    void paint(HDC dc, int dpi) const;
    /// The pixels it may touch at the DPI, with one to spare.
    RECT bounds(int dpi) const;

private:
    Win32Surface& surface_;
    Point from_;
    PointF to_;
    int thickness_;
    Color color_;
    bool visible_ = true;
};

/// What a container draws of its own, beneath its child windows: its ground (a colour, a
/// picture, or what its own container shows through), the persistent drawing, a border and
/// the lines. Changes repaint only what they touch, and the transparent children over it.
class Win32Surface {
public:
    struct Background {
        const PictureBitmap* picture = nullptr;
        /// Beyond the picture, or all over without one; may be a desktop colour.
        std::optional<Color> color;
        bool sunkenBorder = false;
    };
    /// Paints what the surface's own container shows at an area (pixels of this surface),
    /// beneath the picture's transparent pixels; null where nothing is beneath.
    using Underneath = std::function<void(HDC, const RECT&)>;

    Win32Surface(Background background, Underneath underneath);

    /// The window painted to; set once it is made.
    void setWindow(HWND window) { window_ = window; }
    void paint(HDC dc, const RECT& dirty, int dpi);
    void invalidate(const RECT& area);
    void invalidateAll();

    LineShape& addLine(const LineProperties& props);
    void drawMark(const DrawnMark& mark);
    void clearDrawing();
    const std::vector<DrawnMark>& drawing() const { return marks_; }
    int dpi() const;

private:
    RECT boundsOf(const DrawnMark& mark, int dpi) const;

    Background background_;
    Underneath underneath_;
    HWND window_ = nullptr;
    std::vector<std::unique_ptr<Win32LineShape>> lines_;
    std::vector<DrawnMark> marks_;
};

} // namespace kadrill::platform::win32
