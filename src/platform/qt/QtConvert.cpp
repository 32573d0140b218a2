#include "QtConvert.h"

#include <cmath>

namespace kadrill::platform::qt {

int toPixels(int twips) { return static_cast<int>(std::lround(twips / static_cast<double>(kTwipsPerPixel))); }

double toPixelsF(int twips) { return twips / static_cast<double>(kTwipsPerPixel); }

int toTwips(int pixels) { return pixels * kTwipsPerPixel; }

QRect toPixels(const Rect& twips) {
    return {toPixels(twips.left), toPixels(twips.top), toPixels(twips.width), toPixels(twips.height)};
}

Rect toTwips(const QRect& pixels) {
    return {toTwips(pixels.x()), toTwips(pixels.y()), toTwips(pixels.width()), toTwips(pixels.height())};
}

Point toTwips(const QPoint& pixels) { return {toTwips(pixels.x()), toTwips(pixels.y())}; }

int pointsToPixels(double points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

QColor toQColor(Color c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }

} // namespace kadrill::platform::qt
