#include "QtSurface.h"

#include "QtConvert.h"
#include "QtDispatcher.h"

#include <QAccessibleWidget>
#include <QChildEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QShowEvent>

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <iterator>

#include <ctime>

Q_LOGGING_CATEGORY(lcFlip, "kadrill.flip", QtWarningMsg)

namespace kadrill::platform::qt {

void logFlip() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    qCDebug(lcFlip, "flip %ld us", static_cast<long>(now.tv_nsec / 1000));
}

QtLineShape::QtLineShape(Surface& surface, const LineProperties& props)
    : surface_(surface), from_(props.from),
      to_{static_cast<float>(props.to.x), static_cast<float>(props.to.y)}, thickness_(props.thicknessPixels),
      color_(props.color) {
    makeOutline();
}

void QtLineShape::makeOutline() {
    QPainterPath path;
    path.moveTo(toPixelsF(from_.x), toPixelsF(from_.y));
    path.lineTo(toPixelsF(to_));
    QPainterPathStroker stroker;
    stroker.setWidth(thickness_);
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

void QtLineShape::setEnd(PointF to) {
    if (to == to_) {
        return;
    }
    const QRect was = bounds_;
    to_ = to;
    makeOutline();
    surface_.lineMoved(*this, was);
}

void QtLineShape::setColor(Color color) {
    // Every write counts for the program, but only a change needs repainting.
    if (color != color_) {
        color_ = color;
        surface_.lineChanged(*this, true);
    }
}

namespace {

// Settles a window's still pictures each time the program shows it.
class DirectPictureSettler final : public QObject {
public:
    // Found by name: without a meta-object of its own, a cast would take any QObject.
    static constexpr QLatin1StringView kName{"kadrill-direct-pictures"};

    explicit DirectPictureSettler(QWidget* window) : QObject(window), window_(window) {
        setObjectName(kName);
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Show && !event->spontaneous()) {
            Surface::settleDirectPictures(window_);
        }
        return false;
    }

private:
    QWidget* window_;
};

} // namespace

Surface::Surface(QSize size, Background background, QWidget* parent)
    : QWidget(parent), background_(std::move(background)) {
    setFixedSize(size);
    setAutoFillBackground(false);
    if (!background_.picture.isNull() || background_.color) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    } else {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    if (background_.directPicture && !background_.sunkenBorder) {
        // Settled when the window is shown: by then all that lies over the picture is made.
        QWidget* w = window();
        if (w->findChild<QObject*>(DirectPictureSettler::kName, Qt::FindDirectChildrenOnly) == nullptr) {
            new DirectPictureSettler(w);
        }
    }
}

Surface::~Surface() = default;

namespace {

class SurfaceAccessible final : public QAccessibleWidget {
public:
    explicit SurfaceAccessible(QWidget* surface) : QAccessibleWidget(surface, QAccessible::Client) {}
    QAccessible::Role role() const override {
        return widget()->accessibleName().isEmpty() ? QAccessible::Client : QAccessible::StaticText;
    }
};

} // namespace

QAccessibleInterface* Surface::accessibleFactory(const QString& className, QObject* object) {
    if (auto* surface = qobject_cast<Surface*>(object)) {
        return new SurfaceAccessible(surface);
    }
    // A window of ours without a menu bar is a plain widget, which Qt would read as an empty
    // filler; it is a window with a title (the dialogs, the ramen timer).
    if (className == QLatin1String("QWidget") && object->isWidgetType() && static_cast<QWidget*>(object)->isWindow()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    return nullptr;
}

QtLineShape& Surface::addLine(const LineProperties& props) {
    stopDirectPicture();
    lines_.push_back(std::make_unique<QtLineShape>(*this, props));
    update(lines_.back()->bounds());
    return *lines_.back();
}

void Surface::lineChanged(const QtLineShape& line, bool colorChanged) {
    if (line.directIndex >= 0) {
        layer_->setLine(line.directIndex, toQColorHere(line.color()).rgb(), line.isVisible());
        return;
    }
    flipPending_ = flipPending_ || colorChanged;
    update(line.bounds());
}

void Surface::lineMoved(const QtLineShape& line, QRect was) {
    if (line.directIndex >= 0) {
        layer_->moveLine(line.directIndex, line.outline());
        return;
    }
    if (line.isVisible()) {
        update(was);
        update(line.bounds());
    }
}

QColor Surface::toQColorHere(Color c) const { return toQColor(c, palette()); }

namespace {

// The device pixel a point in twips falls in: a point is that one pixel at any ratio.
QPoint devicePixelOf(PointF at, qreal ratio) {
    return {static_cast<int>(std::floor(at.x / kTwipsPerPixel * ratio)),
            static_cast<int>(std::floor(at.y / kTwipsPerPixel * ratio))};
}

} // namespace

QRect Surface::boundsOf(const DrawnMark& mark) const {
    const QPointF centre = toPixelsF(mark.at);
    const double radius = mark.kind == DrawnMark::Kind::Circle ? std::abs(mark.radius) / kTwipsPerPixel : 0.0;
    return QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius)
        .toAlignedRect()
        .adjusted(-2, -2, 2, 2);
}

void Surface::drawMark(const DrawnMark& mark) {
    stopDirectPicture();
    marks_.push_back(mark);
    update(boundsOf(mark));
}

void Surface::clearDrawing() {
    if (!marks_.empty()) {
        marks_.clear();
        update();
    }
}

void Surface::paintDrawing(QPainter& p, const QRegion& dirty) {
    if (marks_.empty()) {
        return;
    }
    const qreal ratio = devicePixelRatioF();
    p.save();
    // In device pixels and aliased, so a point lights exactly one pixel and an outline is
    // one pixel wide at any ratio; smoothing would smear both over their neighbours.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.scale(1 / ratio, 1 / ratio);
    for (const DrawnMark& mark : marks_) {
        if (!dirty.intersects(boundsOf(mark))) {
            continue;
        }
        const QColor color = toQColorHere(mark.color);
        const QPoint at = devicePixelOf(mark.at, ratio);
        if (mark.kind == DrawnMark::Kind::Point) {
            p.fillRect(QRect(at, QSize(1, 1)), color);
        } else {
            QPen pen(color, 1);
            pen.setCosmetic(true);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            const qreal radius = std::abs(mark.radius) / kTwipsPerPixel * ratio;
            p.drawEllipse(QPointF(at), radius, radius);
        }
    }
    p.restore();
}

void Surface::showEvent(QShowEvent*) {
    if (directPicture_) {
        placeDirectPicture(shown_);
    }
    if (!layerTried_) {
        layerTried_ = true;
        startDirectLayer();
    }
}

void Surface::hideEvent(QHideEvent*) {
    if (directPicture_) {
        placeDirectPicture(false);
    }
}

void Surface::childEvent(QChildEvent* event) {
    if (event->added() && event->child()->isWidgetType()) {
        stopDirectPicture();
    }
    QWidget::childEvent(event);
}

bool Surface::mayShowDirect() const {
    return background_.directPicture && !background_.sunkenBorder &&
           (!background_.picture.isNull() || background_.color) && lines_.empty() && marks_.empty() &&
           findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty();
}

namespace {

// Surface has no meta-object of its own, so findChildren<Surface*> would take any widget.
std::vector<Surface*> surfacesIn(QWidget* window) {
    std::vector<Surface*> found;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (auto* s = dynamic_cast<Surface*>(w)) {
            found.push_back(s);
        }
    }
    return found;
}

} // namespace

void Surface::settleDirectPictures(QWidget* window) {
    // In stacking order: a parent before its children, a child before the siblings made
    // after it.
    const std::vector<Surface*> surfaces = surfacesIn(window);
    std::vector<const QWidget*> direct;
    for (Surface* s : surfaces) {
        if (s->mayShowDirect()) {
            direct.push_back(s);
        }
    }
    auto isDirect = [&](const QWidget* w) { return std::find(direct.begin(), direct.end(), w) != direct.end(); };
    auto inWindow = [window](const QWidget* w) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); };
    // The server's windows lie over everything Qt draws in the window: a picture may go
    // to the server only if whatever lies over it there goes too. Hidden controls count,
    // as they may be shown at any time.
    auto coveredByQt = [&](const QWidget* s) {
        const QRect area = inWindow(s);
        for (const QWidget* c = s; c != window && c->parentWidget() != nullptr; c = c->parentWidget()) {
            bool above = false;
            for (QObject* o : c->parentWidget()->children()) {
                if (o == c) {
                    above = true;
                    continue;
                }
                if (!above || !o->isWidgetType() || static_cast<QWidget*>(o)->isWindow()) {
                    continue;
                }
                auto* sibling = static_cast<QWidget*>(o);
                QList<QWidget*> drawn = sibling->findChildren<QWidget*>();
                drawn.prepend(sibling);
                for (const QWidget* d : drawn) {
                    if (!d->isWindow() && !isDirect(d) && inWindow(d).intersects(area)) {
                        return true;
                    }
                }
            }
        }
        return false;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (auto it = direct.begin(); it != direct.end();) {
            if (coveredByQt(*it)) {
                it = direct.erase(it);
                changed = true;
            } else {
                ++it;
            }
        }
    }
    bool started = false;
    for (Surface* s : surfaces) {
        if (!isDirect(s)) {
            s->stopDirectPicture();
        } else if (!s->directPicture_) {
            started = s->startDirectPicture() || started;
        }
    }
    if (started) {
        restackDirectPictures(window);
    }
    NativeDesktop::installed().flushLineLayers();
}

void Surface::restackDirectPictures(QWidget* window) {
    // Newer windows lie over older ones: raised one by one in the widgets' order.
    for (Surface* s : surfacesIn(window)) {
        if (s->directPicture_) {
            s->layer_->raise();
        }
    }
}

bool Surface::startDirectPicture() {
    if (directPicture_) {
        return true;
    }
    shown_ = !isHidden();
    makeDirectPicture();
    if (!layer_) {
        return false;
    }
    directPicture_ = true;
    // Qt draws nothing here now; the widget stays for the mouse and the geometry, and
    // what lies beneath is painted as if the picture were not there.
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAttribute(Qt::WA_TransparentForMouseEvents, !shown_);
    QWidget::setVisible(true);
    placeDirectPicture(shown_ && isVisible());
    return true;
}

void Surface::makeDirectPicture() {
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    {
        QPainter p(&image);
        paintBackground(p, rect());
    }
    mapped_ = false;
    layer_ = NativeDesktop::installed().lineLayer(this, rect(), image, false);
}

void Surface::stopDirectPicture() {
    if (!directPicture_) {
        return;
    }
    directPicture_ = false;
    layer_.reset();
    mapped_ = false;
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    QWidget::setVisible(shown_);
    update();
}

void Surface::placeDirectPicture(bool onScreen) {
    if (onScreen != mapped_) {
        mapped_ = onScreen;
        layer_->setShown(onScreen);
    }
}

void Surface::setShown(bool shown) {
    if (!directPicture_) {
        QWidget::setVisible(shown);
        return;
    }
    if (shown == shown_) {
        return;
    }
    shown_ = shown;
    setAttribute(Qt::WA_TransparentForMouseEvents, !shown);
    placeDirectPicture(shown && isVisible());
}

void Surface::moveEvent(QMoveEvent*) {
    composed_ = QPixmap();
    if (layer_) {
        layer_->follow();
    }
}

void Surface::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
        composed_ = QPixmap();
        update();
        if (directPicture_) {
            // The ground under its transparent pixels changed: upload it anew.
            makeDirectPicture();
            if (layer_) {
                placeDirectPicture(shown_ && isVisible());
                restackDirectPictures(window());
            } else {
                stopDirectPicture();
            }
        }
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void Surface::startDirectLayer() {
    if (!background_.directLines || (background_.picture.isNull() && !background_.color)) {
        return;
    }
    // Lines under another control stay with Qt, which draws them beneath it. The rest go
    // to a layer of their own, one rectangle that must cover neither a control nor a line
    // Qt draws: while it would, keep the largest group of lines on one side of the trouble.
    std::vector<QRect> keepClear;
    for (const QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        keepClear.push_back(w->geometry());
    }
    std::vector<QtLineShape*> free;
    for (const auto& line : lines_) {
        const bool covered = std::any_of(keepClear.begin(), keepClear.end(),
                                         [&](const QRect& r) { return r.intersects(line->bounds()); });
        if (covered) {
            keepClear.push_back(line->bounds());
        } else {
            free.push_back(line.get());
        }
    }
    auto boundsOf = [](const std::vector<QtLineShape*>& lines) {
        QRect r;
        for (const QtLineShape* l : lines) {
            r |= l->bounds();
        }
        return r;
    };
    for (;;) {
        const QRect area = boundsOf(free);
        QRect trouble;
        for (const QRect& r : keepClear) {
            if (r.intersects(area)) {
                trouble |= r;
            }
        }
        if (trouble.isNull()) {
            break;
        }
        const std::array<std::function<bool(const QRect&)>, 4> sides = {
            [&](const QRect& b) { return b.left() > trouble.right(); },
            [&](const QRect& b) { return b.right() < trouble.left(); },
            [&](const QRect& b) { return b.top() > trouble.bottom(); },
            [&](const QRect& b) { return b.bottom() < trouble.top(); },
        };
        std::vector<QtLineShape*> best;
        for (const auto& side : sides) {
            std::vector<QtLineShape*> kept;
            std::copy_if(free.begin(), free.end(), std::back_inserter(kept),
                         [&](const QtLineShape* l) { return side(l->bounds()); });
            if (kept.size() > best.size()) {
                best = std::move(kept);
            }
        }
        free = std::move(best);
    }
    const QRect area = boundsOf(free) & rect();
    if (free.empty() || area.isEmpty()) {
        return;
    }
    const qreal ratio = devicePixelRatioF();
    QImage underneath(area.size() * ratio, QImage::Format_RGB32);
    underneath.setDevicePixelRatio(ratio);
    {
        QPainter p(&underneath);
        p.translate(-area.topLeft());
        paintBackground(p, area);
    }
    layer_ = NativeDesktop::installed().lineLayer(this, area, underneath, true);
    if (!layer_) {
        return;
    }
    layer_->flushed = [] {
        if (lcFlip().isDebugEnabled()) {
            logFlip();
        }
    };
    for (QtLineShape* line : free) {
        line->directIndex = layer_->addLine(line->outline(), toQColorHere(line->color()).rgb(), line->isVisible());
    }
    layer_->flush();
}

bool Surface::takeFlipPending() {
    const bool pending = flipPending_;
    flipPending_ = false;
    return pending;
}

void Surface::paintBackground(QPainter& p, const QRect& dirty) {
    if (!background_.picture.isNull()) {
        // Drawn unscaled from the top left, as the picture was made pixel for pixel;
        // a client area larger than the picture shows the background colour beyond it.
        const QRect pictureRect(QPoint(0, 0), background_.picture.size());
        const QRect shown = dirty & pictureRect;
        if (!shown.isEmpty()) {
            p.drawPixmap(shown, background_.picture.hasAlphaChannel() ? pictureOnGround() : background_.picture, shown);
        }
        for (const QRect& rest : QRegion(dirty).subtracted(pictureRect)) {
            p.fillRect(rest, background_.color ? toQColorHere(*background_.color) : QColor(Qt::black));
        }
    } else if (background_.color) {
        p.fillRect(dirty, toQColorHere(*background_.color));
    }
}

const QPixmap& Surface::pictureOnGround() {
    // Transparent pixels show the container's own ground, so a picture drawn "on the
    // dialog's grey" sits seamlessly in a frame of any style; but never the controls beside
    // or beneath it, which another picture laid over them must cover. Made once, at the
    // picture's own scale: a repaint is then one opaque copy, and the container's painting
    // (a frame's may be split over Qt's thread pool) is not redone at every show.
    if (composed_.isNull()) {
        composed_ = QPixmap(size());
        composed_.fill(palette().color(QPalette::Active, QPalette::Window));
        if (QWidget* container = parentWidget()) {
            container->render(&composed_, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
        }
        QPainter p(&composed_);
        p.drawPixmap(0, 0, background_.picture);
    }
    return composed_;
}

void Surface::paintEvent(QPaintEvent* event) {
    if (directPicture_) {
        return; // the server's window shows it
    }
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Only the dirty parts of the picture, rectangle by rectangle: a new second touches a
    // few segments, and a large blit would be handed to Qt's thread pool, waking threads.
    for (const QRect& dirty : event->region()) {
        paintBackground(p, dirty);
    }
    paintDrawing(p, event->region());
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
        // Lines of the direct layer lie under its window: drawing them here is wasted.
        if (!line->isVisible() || line->directIndex >= 0 || !event->region().intersects(line->bounds())) {
            continue;
        }
        p.setBrush(toQColorHere(line->color()));
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
