#include "QtWindow.h"

#include "Assets.h"
#include "NativeDesktop.h"
#include "QtContainer.h"
#include "QtControls.h"
#include "QtConvert.h"
#include "QtDispatcher.h"
#include "QtSurface.h"
#include "QtTimer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QMetaObject>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <cmath>
#include <utility>

namespace kadrill::platform::qt {

namespace {

// A window manager may report a minimise it was asked for before the window was hidden
// only after the program has shown the window again; such a late report is no request
// of the user's. No person minimises a window this soon after bringing it back.
constexpr qint64 kLateMinimiseReportMs = 750;
// How long after being placed a window may still be put right to the device pixel: later
// moves are the user's (a drag by the title bar), which nothing undoes.
constexpr qint64 kExactPlacementMs = 1000;

bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// On the window's native handle. Input the window system queued before the window hid (a
// second quick click on the OK that closed a dialog) reaches a hidden window all the same;
// the program has let go of its controls by then, and nobody can aim at a window out of
// sight. Also tells when the window system has shown the window.
class HandleFilter final : public QObject {
public:
    HandleFilter(QWidget& top, std::function<void()> exposed)
        : QObject(&top), top_(top), exposed_(std::move(exposed)) {}

    bool eventFilter(QObject* /*watched*/, QEvent* e) override {
        if (e->type() == QEvent::Expose) {
            // After Qt has taken the exposure in, and outside its event handling.
            QMetaObject::invokeMethod(this, exposed_, Qt::QueuedConnection);
            return false;
        }
        if (top_.isVisible()) {
            return false;
        }
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
        }
    }

private:
    QWidget& top_;
    std::function<void()> exposed_;
};

template <class Base> class TopLevelWidget final : public Base {
public:
    explicit TopLevelWidget(QtWindow& owner) : owner_(owner) {}

protected:
    bool event(QEvent* e) override {
        return owner_.topLevelEvent(e, [this, e] { return Base::event(e); });
    }

private:
    QtWindow& owner_;
};

Qt::WindowFlags flagsOf(const WindowProperties& props) {
    Qt::WindowFlags flags = Qt::Window;
    if (props.border == BorderStyle::None) {
        return flags | Qt::FramelessWindowHint;
    }
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (props.minimizeButton) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (props.maximizeButton) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    return flags;
}

} // namespace

QtWindow::QtWindow(QtDispatcher& dispatcher, const WindowProperties& props) : dispatcher_(dispatcher) {
    Surface::Background background;
    if (!props.picture.empty()) {
        background.picture = assetPixmap(props.picture);
    }
    // The watch face is black beyond its picture; a dialog has the desktop's own ground.
    background.color = props.picture.empty() ? kSystemButtonFaceColor : rgb(0, 0, 0);
    const QSize clientSize(toPixels(props.clientWidth), toPixels(props.clientHeight));

    if (props.menuBar) {
        auto* main = new TopLevelWidget<QMainWindow>(*this);
        top_.reset(main);
        surface_ = new Surface(clientSize, std::move(background), main);
        main->setCentralWidget(surface_);
        // Made now, not with the first menu, so the frame's size is right from the start.
        main->menuBar();
    } else {
        auto* plain = new TopLevelWidget<QWidget>(*this);
        top_.reset(plain);
        surface_ = new Surface(clientSize, std::move(background), plain);
        auto* layout = new QVBoxLayout(plain);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(surface_);
    }
    handleFilter_ = new HandleFilter(*top_, [this] { placeExactly(); });
    maximizable_ = props.maximizeButton;
    // A fixed border: the window keeps the size its client area and menu bar need.
    top_->layout()->setSizeConstraint(QLayout::SetFixedSize);
    top_->setWindowFlags(flagsOf(props));
    top_->setWindowTitle(QString::fromStdString(props.caption));
    if (!props.icon.empty()) {
        top_->setWindowIcon(assetIcon(props.icon));
    }
    surface_->setMouse({&dispatcher_, &mouseDown, &mouseMove, &mouseUp});
    host_ = std::make_unique<QtControlHost>(dispatcher_, controls_, surface_, surface_);
}

QtWindow::~QtWindow() = default;

void QtWindow::setAccessibleText(const AccessibleText& text) { setAccessibleTextOf(surface_, text); }

AccessibleText QtWindow::accessibleText() const { return accessibleTextOf(surface_); }

void QtWindow::show() {
    // A Wayland client cannot take a minimise back (the protocol has no request for it):
    // a hidden window shown with its minimised state would stay out of sight, and only a
    // second attempt would bring it. X11 keeps the state across the hide, as it should.
    if (!top_->isVisible() && QGuiApplication::platformName() != QLatin1String("xcb")) {
        top_->setWindowState(top_->windowState() & ~Qt::WindowMinimized);
    }
    top_->show();
    filterHandle();
    sincePlaced_.start();
    // A window without a frame is where it asks to be whatever the window manager makes of
    // the request; one with a frame waits until it is framed: the Move event below, or the
    // window manager telling the frame, as it may leave the window where Qt thinks it is.
    if (top_->windowFlags().testFlag(Qt::FramelessWindowHint)) {
        placeExactly();
    } else if (pendingDevicePosition_) {
        watchFrame();
    }
}

std::optional<QPoint> QtWindow::currentFrameMargin() const {
    if (top_->windowFlags().testFlag(Qt::FramelessWindowHint)) {
        return QPoint();
    }
    const auto told = NativeDesktop::installed().frameMargin(top_->winId());
    // Mapped (again) and not framed yet: placed before its frame, the client area would
    // stand where the frame was asked. Qt still knows the frame the window had before it
    // hid, which is no sign it has one now.
    if (!told && NativeDesktop::installed().framesAreTold()) {
        return std::nullopt;
    }
    // Qt's measure, which position() goes by too; the window manager may tell it first.
    if (const QPoint margin = deviceFrameMargin(); !margin.isNull()) {
        return margin;
    }
    if (told) {
        return told;
    }
    // A window manager that never tells frames: the frame the window had; without one the
    // client is the frame.
    return knownFrameMargin_;
}

void QtWindow::watchFrame() {
    if (frameWatch_ != nullptr) {
        return;
    }
    frameWatch_ = NativeDesktop::installed().frameWatch(top_->winId(), [this] {
        // No title bar to drag by until now: the time to put it right starts here.
        sincePlaced_.start();
        // After Qt has seen the event too, and outside its event handling.
        QMetaObject::invokeMethod(top_.get(), [this] { placeExactly(); }, Qt::QueuedConnection);
    });
}

void QtWindow::placeExactly() {
    // Once the window manager has placed the window (its frame known), and only once.
    if (!pendingDevicePosition_) {
        return;
    }
    if (!sincePlaced_.isValid() || sincePlaced_.elapsed() >= kExactPlacementMs) {
        pendingDevicePosition_.reset();
        frameWatch_.reset();
        return;
    }
    const auto margin = currentFrameMargin();
    if (!margin) {
        watchFrame();
        return;
    }
    frameWatch_.reset();
    const QPoint client = *pendingDevicePosition_ + *margin;
    // Until it shows the window, the window manager may still place it by rules of its own
    // (openbox, mapping a window again, at times puts it in the free corner after framing
    // it where it was asked): the request holds until then.
    const QWindow* handle = top_->windowHandle();
    if (handle != nullptr && handle->isExposed()) {
        pendingDevicePosition_.reset();
    }
    if (NativeDesktop::installed().screenOrigin(top_->winId()) != client &&
        NativeDesktop::installed().moveClientTo(top_->winId(), client)) {
        movedTo_ = client;
        sinceMoved_.start();
    }
}

bool QtWindow::placementPending() const {
    if (!onX11() || !top_->isVisible()) {
        return false;
    }
    if (pendingDevicePosition_ && sincePlaced_.isValid() && sincePlaced_.elapsed() < kExactPlacementMs) {
        return true;
    }
    const auto device = NativeDesktop::installed().screenOrigin(top_->winId());
    if (!device) {
        return false;
    }
    // The window manager moves the window in its own time, if it moves it at all.
    if (movedTo_ && *device != *movedTo_ && sinceMoved_.isValid() && sinceMoved_.elapsed() < kExactPlacementMs) {
        return true;
    }
    // Qt's logical pixels reach the device pixels only to within one of them.
    const qreal ratio = top_->devicePixelRatioF();
    const QPoint logical = top_->geometry().topLeft();
    return std::abs(logical.x() * ratio - device->x()) >= ratio || std::abs(logical.y() * ratio - device->y()) >= ratio;
}

void QtWindow::hide() { top_->hide(); }

void QtWindow::filterHandle() {
    // Again at every show: Qt may have made the window a new handle. Installing a filter
    // twice only moves it to the front.
    if (QWindow* handle = top_->windowHandle()) {
        handle->installEventFilter(handleFilter_);
    }
}

bool QtWindow::isVisible() const { return top_->isVisible(); }

void QtWindow::activate() {
    top_->raise();
    top_->activateWindow();
}

void QtWindow::requestAttention() {
    if (top_->isActiveWindow()) {
        return;
    }
    demandsAttention_ = true;
    // Until the window is activated: on X11 the demands-attention state, which task bars
    // show; the window system drops it by itself on activation.
    QApplication::alert(top_.get(), 0);
}

namespace {

// Twips and device pixels at the window's scale, each rounded once: a position and an
// offset read this way add up to the device pixel they came from.
Point deviceToTwips(QPoint device, qreal ratio) {
    return {static_cast<int>(std::lround(device.x() * kTwipsPerPixel / ratio)),
            static_cast<int>(std::lround(device.y() * kTwipsPerPixel / ratio))};
}

QPoint twipsToDevice(Point twips, qreal ratio) {
    return {static_cast<int>(std::lround(twips.x * ratio / kTwipsPerPixel)),
            static_cast<int>(std::lround(twips.y * ratio / kTwipsPerPixel))};
}

QPoint logicalToDevice(QPoint logical, qreal ratio) {
    return {static_cast<int>(std::lround(logical.x() * ratio)), static_cast<int>(std::lround(logical.y() * ratio))};
}

} // namespace

QPoint QtWindow::deviceFrameMargin() const {
    return logicalToDevice(top_->geometry().topLeft() - top_->frameGeometry().topLeft(), top_->devicePixelRatioF());
}

Point QtWindow::position() const {
    if (onX11() && top_->isVisible()) {
        if (const auto client = NativeDesktop::installed().screenOrigin(top_->winId())) {
            return deviceToTwips(*client - deviceFrameMargin(), top_->devicePixelRatioF());
        }
    }
    return toTwips(top_->pos());
}

void QtWindow::setPosition(Point topLeft) {
    top_->move(toPixels(topLeft.x), toPixels(topLeft.y));
    // Qt's own pixels reach only some device pixels at a fractional or double scale.
    if (onX11()) {
        pendingDevicePosition_ = twipsToDevice(topLeft, top_->devicePixelRatioF());
        sincePlaced_.start();
        if (top_->isVisible()) {
            placeExactly();
        }
    }
}

Rect QtWindow::frameRect() const { return toTwips(top_->frameGeometry()); }

void QtWindow::noteClientOffset() const {
    if (!top_->isVisible()) {
        return;
    }
    const qreal ratio = top_->devicePixelRatioF();
    const QPoint margin = deviceFrameMargin();
    if (!margin.isNull()) {
        knownFrameMargin_ = margin;
    }
    clientOffset_ = deviceToTwips(margin + logicalToDevice(surface_->mapTo(top_.get(), QPoint(0, 0)), ratio), ratio);
}

std::optional<Point> QtWindow::clientOffset() const {
    // Known once the window has been on screen; kept from then on, also while hidden.
    noteClientOffset();
    return clientOffset_;
}

Rect QtWindow::availableArea() const {
    QScreen* screen = QGuiApplication::screenAt(top_->frameGeometry().center());
    if (screen == nullptr) {
        screen = top_->screen();
    }
    return screen != nullptr ? toTwips(screen->availableGeometry()) : Rect{};
}

WindowState QtWindow::windowState() const {
    return top_->windowState().testFlag(Qt::WindowMinimized) ? WindowState::Minimized : WindowState::Normal;
}

void QtWindow::setWindowState(WindowState state) {
    if (state == WindowState::Minimized) {
        sinceRestore_.invalidate();
        if (top_->isVisible()) {
            top_->showMinimized();
        } else {
            top_->setWindowState(top_->windowState() | Qt::WindowMinimized);
        }
    } else {
        sinceRestore_.start();
        top_->setWindowState(top_->windowState() & ~Qt::WindowMinimized);
    }
}

bool QtWindow::startSystemMove() {
    QWindow* handle = top_->windowHandle();
    return handle != nullptr && handle->startSystemMove();
}

Timer& QtWindow::addTimer(const TimerProperties& props) {
    timers_.push_back(std::make_unique<QtTimer>(dispatcher_, props));
    return *timers_.back();
}

Menu& QtWindow::addMenu(const std::string& caption) {
    auto* main = qobject_cast<QMainWindow*>(top_.get());
    Q_ASSERT(main != nullptr); // only the window made with a menu bar has menus
    QMenu* menu = main->menuBar()->addMenu(QString::fromStdString(caption));
    menus_.push_back(std::make_unique<QtMenu>(dispatcher_, menu));
    return *menus_.back();
}

void QtWindow::minimisedReport(bool minimised) {
    if (minimised && sinceRestore_.isValid() && sinceRestore_.elapsed() < kLateMinimiseReportMs) {
        // Stays where the program put it: shown and restored.
        QMetaObject::invokeMethod(
            top_.get(),
            [this] {
                if (top_->isVisible()) {
                    top_->showNormal();
                    activate();
                }
            },
            Qt::QueuedConnection);
        return;
    }
    dispatcher_.deliver(stateChanged);
}

bool QtWindow::topLevelEvent(QEvent* event, const std::function<bool()>& base) {
    switch (event->type()) {
    case QEvent::Close: {
        const bool result = base();
        event->accept();
        if (!closedRaised_) {
            closedRaised_ = true;
            dispatcher_.deliver(closed);
        }
        return result;
    }
    case QEvent::WindowStateChange: {
        const bool was = static_cast<QWindowStateChangeEvent*>(event)->oldState().testFlag(Qt::WindowMinimized);
        const bool result = base();
        const bool now = top_->windowState().testFlag(Qt::WindowMinimized);
        if (was != now) {
            minimisedReport(now);
        }
        // Qt's own title bar on Wayland offers to maximise any window, this one of a fixed
        // size too: it stays as it is, and says so.
        if (!maximizable_ && top_->windowState().testFlag(Qt::WindowMaximized)) {
            QMetaObject::invokeMethod(
                top_.get(), [this] { top_->setWindowState(top_->windowState() & ~Qt::WindowMaximized); },
                Qt::QueuedConnection);
        }
        return result;
    }
    case QEvent::ActivationChange: {
        const bool result = base();
        if (!top_->isActiveWindow()) {
            dispatcher_.deliver(deactivated);
        } else {
            demandsAttention_ = false;
        }
        return result;
    }
    case QEvent::Move:
    case QEvent::Show: {
        const bool result = base();
        noteClientOffset();
        // Mapped and placed by the window manager in Qt's own pixels: now to the device pixel.
        if (event->type() == QEvent::Move && top_->isVisible()) {
            placeExactly();
        }
        return result;
    }
    case QEvent::ContextMenu:
        // The Menu key's own press follows on X11 and is told below; on other platforms
        // it comes alone.
        if (static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            event->accept();
            return true;
        }
        return base();
    case QEvent::KeyPress: {
        // Only what no control took comes this far.
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
            event->accept();
            dispatcher_.deliver(contextMenuKey);
            return true;
        }
        if (controls_.takeKey(key, top_->focusWidget())) {
            event->accept();
            return true;
        }
        return base();
    }
    case QEvent::UpdateRequest: {
        const bool result = base();
        // The repaint and flush of the new digits have just happened: note how far past
        // the wall-clock second that is.
        if (surface_->takeFlipPending() && lcFlip().isDebugEnabled()) {
            logFlip();
        }
        return result;
    }
    default:
        return base();
    }
}

} // namespace kadrill::platform::qt
