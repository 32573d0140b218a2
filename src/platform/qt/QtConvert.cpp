#include "QtConvert.h"

#include <QApplication>
#include <QPalette>

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

QPointF toPixelsF(PointF twips) {
    return {twips.x / static_cast<double>(kTwipsPerPixel), twips.y / static_cast<double>(kTwipsPerPixel)};
}

QColor toQColor(Color c) { return toQColor(c, QGuiApplication::palette()); }

QColor toQColor(Color c, const QPalette& palette) {
    if (!isSystemColor(c)) {
        return QColor(redOf(c), greenOf(c), blueOf(c));
    }
    switch (c) {
    case kSystemMenuColor:
        // The surface colour menus are drawn on in the common themes.
        return palette.color(QPalette::Active, QPalette::Window);
    case kSystemButtonFaceColor:
        return palette.color(QPalette::Active, QPalette::Window);
    case kSystemWindowTextColor:
        return palette.color(QPalette::Active, QPalette::WindowText);
    default:
        // A desktop colour this backend does not know: plain text colour is the least surprise.
        return palette.color(QPalette::Active, QPalette::WindowText);
    }
}

QFont fontOf(const std::string& name, double points) {
    QFont font = name.empty() ? QApplication::font() : QFont(QString::fromStdString(name));
    font.setPixelSize(pointsToPixels(points));
    font.setHintingPreference(QApplication::font().hintingPreference());
    return font;
}

} // namespace kadrill::platform::qt
