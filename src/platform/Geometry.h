#pragma once

// Positions and sizes of windows and controls are given in twips (1/1440 inch),
// 15 twips to a pixel at 96 dpi, y growing downwards. Backends convert.
namespace kadrill::platform {

inline constexpr int kTwipsPerPixel = 15;

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

/// A position computed in fractions of a twip, as a drawing keeps it.
struct PointF {
    float x = 0;
    float y = 0;
    friend bool operator==(const PointF&, const PointF&) = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace kadrill::platform
