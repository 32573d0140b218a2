#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QPointF>
#include <QRect>

#include <string>

class QPalette;

namespace kadrill::platform::qt {

/// Twips to logical pixels and back; Qt then applies the device pixel ratio.
int toPixels(int twips);
double toPixelsF(int twips);
int toTwips(int pixels);
QRect toPixels(const Rect& twips);
Rect toTwips(const QRect& pixels);
Point toTwips(const QPoint& pixels);
/// A position kept in fractions of a twip, in logical pixels.
QPointF toPixelsF(PointF twips);

/// Fonts are sized in points at 96 dpi, like the twips of the layout, so a face looks the
/// same whatever DPI the X server reports.
int pointsToPixels(double points);

/// The desktop's own colours come from the palette of whatever draws them, so a drawing
/// follows the theme; the one without a palette takes the application's.
QColor toQColor(Color c);
QColor toQColor(Color c, const QPalette& palette);

/// A font by name (empty for the desktop's) and size in points at 96 dpi.
QFont fontOf(const std::string& name, double points);

} // namespace kadrill::platform::qt
