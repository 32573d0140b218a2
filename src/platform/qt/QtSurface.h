#pragma once

#include "platform/Container.h"
#include "platform/Event.h"
#include "platform/Mouse.h"

#include <QLoggingCategory>
#include <QPixmap>
#include <QPolygonF>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace kadrill::platform::x11 {
class DirectLineLayer;
}

Q_DECLARE_LOGGING_CATEGORY(lcFlip)

namespace kadrill::platform::qt {

class QtDispatcher;
class Surface;

/// Notes, in the flip log, how far past the wall-clock second new digits reached the screen.
void logFlip();

class QtLineShape final : public LineShape {
public:
    QtLineShape(Surface& surface, const LineProperties& props);
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    void setColor(Color color) override;
    Color color() const override { return color_; }

    /// The outline of the stroked line, worked out once: filling it costs a fraction of
    /// stroking a thick round-capped pen at every repaint.
    const QPolygonF& outline() const { return outline_; }
    QRect bounds() const { return bounds_; }

    /// Its index in the surface's direct layer, or -1 where Qt paints it.
    int directIndex = -1;

private:
    Surface& surface_;
    QPolygonF outline_;
    QRect bounds_;
    Color color_;
    bool visible_ = true;
};

/// Where a surface sends the mouse events over its bare parts.
struct SurfaceMouse {
    QtDispatcher* dispatcher = nullptr;
    Event<MouseEvent>* down = nullptr;
    Event<MouseEvent>* move = nullptr;
    Event<MouseEvent>* up = nullptr;
};

/// The drawing surface of a container: its picture or plain colour, with the line shapes
/// drawn over it, repainted only where something changed. Without a background it is a
/// transparent layer that lets the mouse through.
class Surface final : public QWidget {
public:
    struct Background {
        QPixmap picture;
        std::optional<QColor> color;
        bool sunkenBorder = false;
    };

    Surface(QSize size, Background background, QWidget* parent);
    ~Surface() override;

    QtLineShape& addLine(const LineProperties& props);
    /// A line changed its colour or visibility.
    void lineChanged(const QtLineShape& line, bool colorChanged);
    /// True once after the lines changed colour: the next repaint shows new digits.
    bool takeFlipPending();
    void setMouse(SurfaceMouse mouse) { mouse_ = mouse; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void deliverMouse(Event<MouseEvent>* event, QMouseEvent* qe, MouseButton button);
    void paintBackground(QPainter& p, const QRect& dirty);
    void startDirectLayer();

    Background background_;
    std::unique_ptr<x11::DirectLineLayer> layer_;
    bool layerTried_ = false;
    std::vector<std::unique_ptr<QtLineShape>> lines_;
    SurfaceMouse mouse_;
    bool flipPending_ = false;
};

/// The mouse button of a Qt button value.
MouseButton toMouseButton(Qt::MouseButton button);
/// The held buttons as an OR of MouseButton values.
int toMouseButtons(Qt::MouseButtons buttons);

} // namespace kadrill::platform::qt
