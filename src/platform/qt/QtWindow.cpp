#include "QtWindow.h"

#include "QtControls.h"
#include "QtDispatcher.h"
#include "QtTimer.h"

#include <QCloseEvent>
#include <QLayout>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <cmath>
#include <ctime>

Q_LOGGING_CATEGORY(lcFlip, "kadrill.flip", QtWarningMsg)

namespace kadrill::platform::qt {

int toPixels(int twips) { return static_cast<int>(std::lround(twips / static_cast<double>(kTwipsPerPixel))); }
int toTwips(int pixels) { return pixels * kTwipsPerPixel; }

namespace {

double toPixelsF(int twips) { return twips / static_cast<double>(kTwipsPerPixel); }

} // namespace

QtLineShape::QtLineShape(FaceCanvas& canvas, const LineProperties& props) : canvas_(canvas), color_(props.color) {
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
        canvas_.lineChanged(*this, false);
    }
}

void QtLineShape::setColor(Color color) {
    // Every write counts for the program, but only a change needs repainting.
    if (color != color_) {
        color_ = color;
        canvas_.lineChanged(*this, true);
    }
}

FaceCanvas::FaceCanvas(QSize size, QPixmap picture, QWidget* parent) : QWidget(parent), picture_(std::move(picture)) {
    setFixedSize(size);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

QtLineShape& FaceCanvas::addLine(const LineProperties& props) {
    lines_.push_back(std::make_unique<QtLineShape>(*this, props));
    update(lines_.back()->bounds());
    return *lines_.back();
}

void FaceCanvas::lineChanged(const QtLineShape& line, bool colorChanged) {
    flipPending_ = flipPending_ || colorChanged;
    update(line.bounds());
}

bool FaceCanvas::takeFlipPending() {
    const bool pending = flipPending_;
    flipPending_ = false;
    return pending;
}

void FaceCanvas::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Only the dirty parts of the picture, rectangle by rectangle: a new second touches a
    // few segments, and a large blit would be handed to Qt's thread pool, waking threads.
    for (const QRect& dirty : event->region()) {
        if (picture_.isNull()) {
            p.fillRect(dirty, Qt::black);
            continue;
        }
        const qreal sx = picture_.width() / static_cast<qreal>(width());
        const qreal sy = picture_.height() / static_cast<qreal>(height());
        p.drawPixmap(QRectF(dirty), picture_,
                     QRectF(dirty.x() * sx, dirty.y() * sy, dirty.width() * sx, dirty.height() * sy));
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

QtWindow::QtWindow(QtDispatcher& dispatcher, const WindowProperties& props) : dispatcher_(dispatcher) {
    setWindowTitle(QString::fromStdString(props.caption));
    Qt::WindowFlags flags = Qt::Window;
    if (props.border == BorderStyle::None) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (props.minimizeButton) {
            flags |= Qt::WindowMinimizeButtonHint;
        }
        if (props.maximizeButton) {
            flags |= Qt::WindowMaximizeButtonHint;
        }
    }
    setWindowFlags(flags);
    if (!props.icon.empty()) {
        QIcon icon;
        icon.addPixmap(assetPixmap(props.icon + "-32"));
        icon.addPixmap(assetPixmap(props.icon + "-16"));
        setWindowIcon(icon);
    }
    canvas_ = new FaceCanvas(QSize(toPixels(props.clientWidth), toPixels(props.clientHeight)),
                             props.picture.empty() ? QPixmap() : assetPixmap(props.picture), this);
    setCentralWidget(canvas_);
    // A fixed border: the window keeps the size its face and menu bar need.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QtWindow::~QtWindow() = default;

void QtWindow::show() { QMainWindow::show(); }

void QtWindow::hide() { QMainWindow::hide(); }

Point QtWindow::position() const { return {toTwips(pos().x()), toTwips(pos().y())}; }

void QtWindow::setPosition(Point topLeft) { move(toPixels(topLeft.x), toPixels(topLeft.y)); }

WindowState QtWindow::windowState() const { return isMinimized() ? WindowState::Minimized : WindowState::Normal; }

void QtWindow::setWindowState(WindowState state) {
    if (state == WindowState::Minimized) {
        showMinimized();
    } else {
        QMainWindow::setWindowState(QMainWindow::windowState() & ~Qt::WindowMinimized);
    }
}

LineShape& QtWindow::addLine(const LineProperties& props) { return canvas_->addLine(props); }

Label& QtWindow::addLabel(const LabelProperties& props) { return *new QtLabel(props, canvas_); }

PictureButton& QtWindow::addPictureButton(const PictureButtonProperties& props) {
    return *new QtPictureButton(dispatcher_, props, canvas_);
}

Timer& QtWindow::addTimer(const TimerProperties& props) { return *new QtTimer(dispatcher_, props, this); }

Menu& QtWindow::addMenu(const std::string& caption) {
    QMenu* menu = menuBar()->addMenu(QString::fromStdString(caption));
    menus_.push_back(std::make_unique<QtMenu>(dispatcher_, menu));
    return *menus_.back();
}

void QtWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!closedRaised_) {
        closedRaised_ = true;
        dispatcher_.deliver(closed);
    }
}

bool QtWindow::event(QEvent* event) {
    const bool result = QMainWindow::event(event);
    // The repaint and flush of the new digits have just happened: note how far past the
    // wall-clock second that is.
    if (event->type() == QEvent::UpdateRequest && canvas_->takeFlipPending() && lcFlip().isDebugEnabled()) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        qCDebug(lcFlip, "flip %ld us", static_cast<long>(now.tv_nsec / 1000));
    }
    return result;
}

} // namespace kadrill::platform::qt
