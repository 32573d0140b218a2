#include "QtControls.h"

#include "QtConvert.h"
#include "QtDispatcher.h"
#include "QtSurface.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace kadrill::platform::qt {

void MarkLabelWidget::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (onPress) {
        onPress(event);
    }
}

void MarkLabelWidget::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void MarkLabelWidget::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

QtLabel::QtLabel(QtDispatcher& dispatcher, const LabelProperties& props, QWidget* parent)
    : widget_(new MarkLabelWidget(QString::fromStdString(props.text), parent)), color_(props.foreColor) {
    widget_->setGeometry(toPixels(props.bounds));
    QFont font(QString::fromStdString(props.fontName));
    font.setPixelSize(pointsToPixels(props.fontPoints));
    font.setHintingPreference(QApplication::font().hintingPreference());
    widget_->setFont(font);
    widget_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    widget_->setAutoFillBackground(false);
    widget_->setAttribute(Qt::WA_TranslucentBackground);
    applyForeColor();
    widget_->setVisible(props.visible);
    widget_->onPress = [this, &dispatcher](QMouseEvent* qe) {
        MouseEvent e;
        e.button = toMouseButton(qe->button());
        e.buttons = toMouseButtons(qe->buttons());
        e.position = toTwips(qe->position().toPoint());
        e.screen = toTwips(qe->globalPosition().toPoint());
        dispatcher.deliver(mouseDown, e);
    };
}

void QtLabel::setText(const std::string& text) { widget_->setText(QString::fromStdString(text)); }

std::string QtLabel::text() const { return widget_->text().toStdString(); }

void QtLabel::setForeColor(Color color) {
    // The marks are recoloured every displayed second; an unchanged colour costs nothing.
    if (color != color_) {
        color_ = color;
        applyForeColor();
    }
}

void QtLabel::applyForeColor() {
    QPalette pal = widget_->palette();
    pal.setColor(QPalette::WindowText, toQColor(color_));
    widget_->setPalette(pal);
}

PictureButtonWidget::PictureButtonWidget(QPixmap picture, QWidget* parent)
    : QAbstractButton(parent), picture_(std::move(picture)) {
    setFocusPolicy(Qt::StrongFocus);
}

void PictureButtonWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Pixel art: scale by whole pixels, never blur.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const bool down = isDown();
    const QRect target = rect().translated(down ? 1 : 0, down ? 1 : 0);
    p.drawPixmap(target, picture_);
    if (down) {
        p.fillRect(rect(), QColor(0, 0, 0, 60));
    }
    if (hasFocus()) {
        QPen pen(QColor(255, 255, 255, 170), 1, Qt::DotLine);
        p.setPen(pen);
        p.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void PictureButtonWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QAbstractButton::mousePressEvent(event);
    } else {
        event->accept();
    }
}

void PictureButtonWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QAbstractButton::mouseReleaseEvent(event);
    } else {
        event->accept();
    }
}

void PictureButtonWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second click is another click, as on the face's own buttons.
    mousePressEvent(event);
}

QtPictureButton::QtPictureButton(QtDispatcher& dispatcher, const PictureButtonProperties& props, QWidget* parent)
    : widget_(new PictureButtonWidget(assetPixmap(props.picture), parent)) {
    widget_->setGeometry(toPixels(props.bounds));
    widget_->setToolTip(QString::fromStdString(props.toolTip));
    // A picture says nothing to a screen reader; the tip names the button.
    widget_->setAccessibleName(widget_->toolTip());
    widget_->setVisible(props.visible);
    QObject::connect(widget_, &QAbstractButton::clicked, widget_,
                     [this, &dispatcher] { dispatcher.deliver(PictureButton::clicked); });
}

void QtPictureButton::setVisible(bool visible) {
    widget_->setVisible(visible);
    if (!visible) {
        dropFocusWithin(widget_);
    }
}

void QtPictureButton::setFocus() {
    // Qt would give the focus to a hidden widget too, and Space would click it there.
    if (widget_->isVisibleTo(widget_->window())) {
        widget_->setFocus(Qt::OtherFocusReason);
    }
}

void dropFocusWithin(QWidget* hidden) {
    QWidget* focus = hidden->window()->focusWidget();
    if (focus != nullptr && (focus == hidden || hidden->isAncestorOf(focus))) {
        focus->clearFocus();
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

void QtMenu::popupAtPointer() {
    // The same menu may be open from the menu bar or an earlier popup; one at a time.
    menu_->hide();
    menu_->popup(QCursor::pos());
}

} // namespace kadrill::platform::qt
