#include "Win32Surface.h"

#include "Win32Geometry.h"

#include <algorithm>
#include <cmath>

namespace kadrill::platform::win32 {

namespace {

int pixelOf(float twips, int dpi) { return static_cast<int>(std::floor(toPixelsF(twips, dpi))); }
int roundedPixelOf(float twips, int dpi) { return static_cast<int>(std::lround(toPixelsF(twips, dpi))); }

} // namespace

Win32LineShape::Win32LineShape(Win32Surface& surface, const LineProperties& props)
    : surface_(surface), from_(props.from), to_{static_cast<float>(props.to.x), static_cast<float>(props.to.y)},
      thickness_(std::max(1, props.thicknessPixels)), color_(props.color) {}

void Win32LineShape::setVisible(bool visible) {
    if (visible != visible_) {
        visible_ = visible;
        surface_.invalidate(bounds(surface_.dpi()));
    }
}

void Win32LineShape::setColor(Color color) {
    // Written every displayed second; only a change needs repainting.
    if (color != color_) {
        color_ = color;
        if (visible_) {
            surface_.invalidate(bounds(surface_.dpi()));
        }
    }
}

void Win32LineShape::setEnd(PointF to) {
    if (to == to_) {
        return;
    }
    const RECT was = bounds(surface_.dpi());
    to_ = to;
    if (visible_) {
        surface_.invalidate(was);
        surface_.invalidate(bounds(surface_.dpi()));
    }
}

RECT Win32LineShape::bounds(int dpi) const {
    const int x0 = roundedPixelOf(static_cast<float>(from_.x), dpi);
    const int y0 = roundedPixelOf(static_cast<float>(from_.y), dpi);
    const int x1 = roundedPixelOf(to_.x, dpi);
    const int y1 = roundedPixelOf(to_.y, dpi);
    const int pad = MulDiv(thickness_, dpi, kDefaultDpi) / 2 + 2;
    return {std::min(x0, x1) - pad, std::min(y0, y1) - pad, std::max(x0, x1) + pad + 1, std::max(y0, y1) + pad + 1};
}

void Win32LineShape::paint(HDC dc, int dpi) const {
    if (!visible_) {
        return;
    }
    const LOGBRUSH brush{BS_SOLID, colorRef(color_), 0};
    const DWORD width = static_cast<DWORD>(std::max(1, MulDiv(thickness_, dpi, kDefaultDpi)));
    HPEN pen = ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, width, &brush, 0, nullptr);
    HGDIOBJ old = ::SelectObject(dc, pen);
    ::MoveToEx(dc, roundedPixelOf(static_cast<float>(from_.x), dpi), roundedPixelOf(static_cast<float>(from_.y), dpi),
               nullptr);
    ::LineTo(dc, roundedPixelOf(to_.x, dpi), roundedPixelOf(to_.y, dpi));
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
}

Win32Surface::Win32Surface(Background background, Underneath underneath)
    : background_(background), underneath_(std::move(underneath)) {}

int Win32Surface::dpi() const { return dpiOf(window_); }

void Win32Surface::invalidate(const RECT& area) {
    if (window_ != nullptr) {
        // The transparent children over the area show it too.
        ::RedrawWindow(window_, &area, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

void Win32Surface::invalidateAll() {
    if (window_ != nullptr) {
        ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

LineShape& Win32Surface::addLine(const LineProperties& props) {
    lines_.push_back(std::make_unique<Win32LineShape>(*this, props));
    invalidate(lines_.back()->bounds(dpi()));
    return *lines_.back();
}

RECT Win32Surface::boundsOf(const DrawnMark& mark, int dpi) const {
    const int x = pixelOf(mark.at.x, dpi);
    const int y = pixelOf(mark.at.y, dpi);
    const int r = mark.kind == DrawnMark::Kind::Circle ? roundedPixelOf(std::abs(mark.radius), dpi) : 0;
    return {x - r - 2, y - r - 2, x + r + 3, y + r + 3};
}

void Win32Surface::drawMark(const DrawnMark& mark) {
    marks_.push_back(mark);
    invalidate(boundsOf(mark, dpi()));
}

void Win32Surface::clearDrawing() {
    if (!marks_.empty()) {
        marks_.clear();
        invalidateAll();
    }
}

void Win32Surface::paint(HDC dc, const RECT& dirty, int dpi) {
    RECT client{};
    ::GetClientRect(window_, &client);
    const COLORREF ground = colorRef(background_.color.value_or(0));
    auto fill = [&](const RECT& r) {
        RECT shown{};
        if (::IntersectRect(&shown, &r, &dirty) != FALSE) {
            ::SetBkColor(dc, ground);
            ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &shown, nullptr, 0, nullptr);
        }
    };
    if (background_.picture != nullptr) {
        const RECT pictureRect{0, 0, MulDiv(background_.picture->width, dpi, kDefaultDpi),
                               MulDiv(background_.picture->height, dpi, kDefaultDpi)};
        RECT shown{};
        if (::IntersectRect(&shown, &pictureRect, &dirty) != FALSE) {
            // Transparent pixels show the container's own ground, never the controls beside.
            if (underneath_) {
                underneath_(dc, shown);
            } else {
                fill(shown);
            }
            drawPicture(dc, *background_.picture, 0, 0, dpi);
        }
        fill({pictureRect.right, 0, std::max(client.right, dirty.right), std::max(client.bottom, dirty.bottom)});
        fill({0, pictureRect.bottom, pictureRect.right, std::max(client.bottom, dirty.bottom)});
    } else if (background_.color) {
        fill(dirty);
    } else if (underneath_) {
        underneath_(dc, dirty);
    }
    // Aliased, in device pixels: a point lights one pixel and an outline is one pixel wide.
    for (const DrawnMark& mark : marks_) {
        RECT touched = boundsOf(mark, dpi);
        RECT shown{};
        if (::IntersectRect(&shown, &touched, &dirty) == FALSE) {
            continue;
        }
        const COLORREF color = colorRef(mark.color);
        const int x = pixelOf(mark.at.x, dpi);
        const int y = pixelOf(mark.at.y, dpi);
        if (mark.kind == DrawnMark::Kind::Point) {
            ::SetPixelV(dc, x, y, color);
        } else {
            const int r = roundedPixelOf(std::abs(mark.radius), dpi);
            HPEN pen = ::CreatePen(PS_SOLID, 0, color);
            HGDIOBJ oldPen = ::SelectObject(dc, pen);
            HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
            ::Ellipse(dc, x - r, y - r, x + r + 1, y + r + 1);
            ::SelectObject(dc, oldBrush);
            ::SelectObject(dc, oldPen);
            ::DeleteObject(pen);
        }
    }
    if (background_.sunkenBorder) {
        HPEN shadow = ::CreatePen(PS_SOLID, 0, RGB(128, 128, 128));
        HPEN light = ::CreatePen(PS_SOLID, 0, RGB(255, 255, 255));
        HGDIOBJ old = ::SelectObject(dc, shadow);
        ::MoveToEx(dc, 0, client.bottom - 1, nullptr);
        ::LineTo(dc, 0, 0);
        ::LineTo(dc, client.right, 0);
        ::SelectObject(dc, light);
        ::MoveToEx(dc, 0, client.bottom - 1, nullptr);
        ::LineTo(dc, client.right - 1, client.bottom - 1);
        ::LineTo(dc, client.right - 1, -1);
        ::SelectObject(dc, old);
        ::DeleteObject(shadow);
        ::DeleteObject(light);
    }
    for (const auto& line : lines_) {
        RECT touched = line->bounds(dpi);
        RECT shown{};
        if (line->isVisible() && ::IntersectRect(&shown, &touched, &dirty) != FALSE) {
            line->paint(dc, dpi);
        }
    }
}

} // namespace kadrill::platform::win32
