#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"

#include <QColor>
#include <QPoint>
#include <QRect>

namespace kadrill::platform::qt {

/// Twips to logical pixels and back; Qt then applies the device pixel ratio.
int toPixels(int twips);
double toPixelsF(int twips);
int toTwips(int pixels);
QRect toPixels(const Rect& twips);
Rect toTwips(const QRect& pixels);
Point toTwips(const QPoint& pixels);

/// Fonts are sized in points at 96 dpi, like the twips of the layout, so a face looks the
/// same whatever DPI the X server reports.
int pointsToPixels(double points);

QColor toQColor(Color c);

} // namespace kadrill::platform::qt
