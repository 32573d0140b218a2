#include "QtControls.h"

#include "QtDispatcher.h"
#include "QtWindow.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>

#include <cmath>

namespace kadrill::platform::qt {

namespace {

// Fonts are sized in points at 96 dpi, like the twips of the layout, so a face looks
// the same whatever DPI the X server reports.
int pointsToPixels(double points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

} // namespace

QColor toQColor(Color c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }

QtLabel::QtLabel(const LabelProperties& props, QWidget* parent)
    : QLabel(QString::fromStdString(props.text), parent), color_(props.foreColor) {
    setGeometry(toPixels(props.bounds.left), toPixels(props.bounds.top), toPixels(props.bounds.width),
                toPixels(props.bounds.height));
    QFont font(QString::fromStdString(props.fontName));
    font.setPixelSize(pointsToPixels(props.fontPoints));
    font.setHintingPreference(QApplication::font().hintingPreference());
    setFont(font);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    applyForeColor();
    QLabel::setVisible(props.visible);
}

void QtLabel::setText(const std::string& text) { QLabel::setText(QString::fromStdString(text)); }

std::string QtLabel::text() const { return QLabel::text().toStdString(); }

void QtLabel::setForeColor(Color color) {
    // The marks are recoloured every displayed second; an unchanged colour costs nothing.
    if (color != color_) {
        color_ = color;
        applyForeColor();
    }
}

void QtLabel::applyForeColor() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, toQColor(color_));
    setPalette(pal);
}

QtPictureButton::QtPictureButton(QtDispatcher& dispatcher, const PictureButtonProperties& props, QWidget* parent)
    : QAbstractButton(parent), picture_(assetPixmap(props.picture)) {
    setGeometry(toPixels(props.bounds.left), toPixels(props.bounds.top), toPixels(props.bounds.width),
                toPixels(props.bounds.height));
    setToolTip(QString::fromStdString(props.toolTip));
    // A picture says nothing to a screen reader; the tip names the button.
    setAccessibleName(toolTip());
    setFocusPolicy(Qt::StrongFocus);
    QAbstractButton::setVisible(props.visible);
    connect(this, &QAbstractButton::clicked, this, [this, &dispatcher] { dispatcher.deliver(PictureButton::clicked); });
}

void QtPictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Pixel art: scale by whole pixels, never blur.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const bool down = isDown();
    const QRect target = rect().translated(down ? 1 : 0, down ? 1 : 0);
    p.drawPixmap(target, picture_);
    if (down) {
        p.fillRect(rect(), QColor(0, 0, 0, 60));
    }
    if (QAbstractButton::hasFocus()) {
        QPen pen(QColor(255, 255, 255, 170), 1, Qt::DotLine);
        p.setPen(pen);
        p.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

QtMenuItem::QtMenuItem(QtDispatcher& dispatcher, QAction* action, MenuItemKind kind) : action_(action) {
    // Qt would toggle a check mark by itself; here only setChecked changes it, so the
    // handler sees the mark as it was when the user chose the item.
    action_->setCheckable(kind == MenuItemKind::Check);
    action_->setChecked(false);
    QObject::connect(action_, &QAction::triggered, action_, [this, &dispatcher] {
        action_->setChecked(checked_);
        dispatcher.deliver(chosen);
    });
}

void QtMenuItem::setChecked(bool checked) {
    checked_ = checked;
    action_->setChecked(checked);
}

void QtMenuItem::setEnabled(bool enabled) { action_->setEnabled(enabled); }

bool QtMenuItem::isEnabled() const { return action_->isEnabled(); }

MenuItem& QtMenu::addItem(const std::string& caption, MenuItemKind kind) {
    QAction* action = menu_->addAction(QString::fromStdString(caption));
    items_.push_back(std::make_unique<QtMenuItem>(dispatcher_, action, kind));
    return *items_.back();
}

MenuItem& QtMenu::addSeparator() {
    QAction* action = menu_->addSeparator();
    items_.push_back(std::make_unique<QtMenuItem>(dispatcher_, action, MenuItemKind::Command));
    return *items_.back();
}

} // namespace kadrill::platform::qt
