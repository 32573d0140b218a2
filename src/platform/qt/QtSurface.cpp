#include "QtSurface.h"

#include "QtConvert.h"
#include "QtDispatcher.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

namespace kadrill::platform::qt {

QtLineShape::QtLineShape(Surface& surface, const LineProperties& props) : surface_(surface), color_(props.color) {
    QPainterPath path;
    path.moveTo(toPixelsF(props.from.x), toPixelsF(props.from.y));
    path.lineTo(toPixelsF(props.to.x), toPixelsF(props.to.y));
    QPainterPathStroker stroker;
    stroker.setWidth(props.thicknessPixels);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    outline_ = stroker.createStroke(path).simplified().toFillPolygon();
    bounds_ = outline_.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
}

void QtLineShape::setVisible(bool visible) {
    if (visible != visible_) {
        visible_ = visible;
        surface_.lineChanged(*this, false);
    }
}

void QtLineShape::setColor(Color color) {
    // Every write counts for the program, but only a change needs repainting.
    if (color != color_) {
        color_ = color;
        surface_.lineChanged(*this, true);
    }
}

Surface::Surface(QSize size, Background background, QWidget* parent)
    : QWidget(parent), background_(std::move(background)) {
    setFixedSize(size);
    setAutoFillBackground(false);
    if (!background_.picture.isNull() || background_.color) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    } else {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
}

QtLineShape& Surface::addLine(const LineProperties& props) {
    lines_.push_back(std::make_unique<QtLineShape>(*this, props));
    update(lines_.back()->bounds());
    return *lines_.back();
}

void Surface::lineChanged(const QtLineShape& line, bool colorChanged) {
    flipPending_ = flipPending_ || colorChanged;
    update(line.bounds());
}

bool Surface::takeFlipPending() {
    const bool pending = flipPending_;
    flipPending_ = false;
    return pending;
}

void Surface::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Only the dirty parts of the picture, rectangle by rectangle: a new second touches a
    // few segments, and a large blit would be handed to Qt's thread pool, waking threads.
    for (const QRect& dirty : event->region()) {
        if (!background_.picture.isNull()) {
            // Drawn unscaled from the top left, as the picture was made pixel for pixel;
            // a client area larger than the picture shows the background colour beyond it.
            const QRect pictureRect(QPoint(0, 0), background_.picture.size());
            const QRect shown = dirty & pictureRect;
            if (!shown.isEmpty()) {
                p.drawPixmap(shown, background_.picture, shown);
            }
            for (const QRect& rest : QRegion(dirty).subtracted(pictureRect)) {
                p.fillRect(rest, background_.color.value_or(Qt::black));
            }
        } else if (background_.color) {
            p.fillRect(dirty, *background_.color);
        }
    }
    if (background_.sunkenBorder) {
        const QRect r = rect();
        p.setPen(QColor(128, 128, 128));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(Qt::white);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    }
    p.setPen(Qt::NoPen);
    for (const auto& line : lines_) {
        if (!line->isVisible() || !event->region().intersects(line->bounds())) {
            continue;
        }
        p.setBrush(toQColor(line->color()));
        p.drawPolygon(line->outline());
    }
}

MouseButton toMouseButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return MouseButton::Left;
    case Qt::RightButton:
        return MouseButton::Right;
    case Qt::MiddleButton:
        return MouseButton::Middle;
    default:
        return MouseButton::None;
    }
}

int toMouseButtons(Qt::MouseButtons buttons) {
    int held = 0;
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        if (buttons.testFlag(b)) {
            held |= static_cast<int>(toMouseButton(b));
        }
    }
    return held;
}

void Surface::deliverMouse(Event<MouseEvent>* event, QMouseEvent* qe, MouseButton button) {
    qe->accept();
    if (event == nullptr || mouse_.dispatcher == nullptr) {
        return;
    }
    MouseEvent e;
    e.button = button;
    e.buttons = toMouseButtons(qe->buttons());
    e.position = toTwips(qe->position().toPoint());
    e.screen = toTwips(qe->globalPosition().toPoint());
    mouse_.dispatcher->deliver(*event, e);
}

void Surface::mousePressEvent(QMouseEvent* event) { deliverMouse(mouse_.down, event, toMouseButton(event->button())); }

void Surface::mouseMoveEvent(QMouseEvent* event) { deliverMouse(mouse_.move, event, MouseButton::None); }

void Surface::mouseReleaseEvent(QMouseEvent* event) { deliverMouse(mouse_.up, event, toMouseButton(event->button())); }

} // namespace kadrill::platform::qt
