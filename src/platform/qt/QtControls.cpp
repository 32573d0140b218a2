#include "QtControls.h"

#include "QtConvert.h"
#include "QtDispatcher.h"
#include "QtSurface.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QValidator>

#include <algorithm>

namespace kadrill::platform::qt {

void setAccessibleTextOf(QWidget* widget, const AccessibleText& text) {
    const QString name = QString::fromStdString(text.name);
    const QString description = QString::fromStdString(text.description);
    if (widget->accessibleName() != name) {
        widget->setAccessibleName(name);
    }
    if (widget->accessibleDescription() != description) {
        widget->setAccessibleDescription(description);
    }
}

AccessibleText accessibleTextOf(const QWidget* widget) {
    return {widget->accessibleName().toStdString(), widget->accessibleDescription().toStdString()};
}

bool MarkLabelWidget::event(QEvent* event) {
    // Qt hands a disabled widget's presses to what lies beneath; a greyed caption still
    // takes them, so the face under it hears of none.
    if (!isEnabled()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            mousePressEvent(static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseButtonRelease:
            event->accept();
            return true;
        default:
            break;
        }
    }
    return QLabel::event(event);
}

void MarkLabelWidget::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (onPress) {
        onPress(event);
    }
}

void MarkLabelWidget::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void MarkLabelWidget::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

QtLabel::QtLabel(QtDispatcher& dispatcher, const LabelProperties& props, QWidget* parent)
    : widget_(new MarkLabelWidget(QString::fromStdString(props.text), parent)),
      color_(props.foreColor), position_{props.bounds.left, props.bounds.top} {
    widget_->setGeometry(toPixels(props.bounds));
    widget_->setFont(fontOf(props.fontName, props.fontPoints));
    widget_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    widget_->setWordWrap(true);
    widget_->setAutoFillBackground(false);
    widget_->setAttribute(Qt::WA_TranslucentBackground);
    applyForeColor();
    widget_->setEnabled(props.enabled);
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

void QtLabel::setPosition(Point topLeft) {
    position_ = topLeft;
    widget_->move(toPixels(topLeft.x), toPixels(topLeft.y));
}

void QtLabel::setForeColor(Color color) {
    // The marks are recoloured every displayed second; an unchanged colour costs nothing.
    if (color != color_) {
        color_ = color;
        applyForeColor();
    }
}

void QtLabel::applyForeColor() {
    // Not for the disabled group: a disabled label keeps the desktop's grey.
    QPalette pal = widget_->palette();
    const QColor color = toQColor(color_, widget_->parentWidget() != nullptr ? widget_->parentWidget()->palette()
                                                                              : QGuiApplication::palette());
    pal.setColor(QPalette::Active, QPalette::WindowText, color);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, color);
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

namespace {

// Characters as the user counts them: a pair of surrogates is one.
qsizetype characterCount(const QString& text) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text[i].isLowSurrogate()) {
            ++n;
        }
    }
    return n;
}

/// Keeps what the user types within the box's maximum length, cutting off what overflows
/// of an insertion (which ends at the cursor). A text the program set longer may stay,
/// and be shortened, but not grow.
class LengthLimit final : public QValidator {
public:
    LengthLimit(const QtTextBox& box, QObject* parent) : QValidator(parent), box_(box) {}

    State validate(QString& input, int& pos) const override {
        const int max = box_.maxLength();
        if (max <= 0) {
            return Acceptable;
        }
        const qsizetype allowed = std::max<qsizetype>(max, characterCount(box_.knownText()));
        qsizetype excess = characterCount(input) - allowed;
        qsizetype cut = pos;
        while (excess > 0 && cut > 0) {
            --cut;
            if (cut > 0 && input[cut].isLowSurrogate() && input[cut - 1].isHighSurrogate()) {
                --cut;
            }
            --excess;
        }
        if (excess > 0) {
            return Invalid;
        }
        input.remove(cut, pos - cut);
        pos = static_cast<int>(cut);
        return Acceptable;
    }

private:
    const QtTextBox& box_;
};

} // namespace

void TextBoxWidget::mousePressEvent(QMouseEvent* event) {
    // Qt has given the focus before the press arrives; the cursor goes where it was pressed.
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && onLeftPress) {
        onLeftPress();
    }
}

void TextBoxWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press too.
    QLineEdit::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && onLeftPress) {
        onLeftPress();
    }
}

QtTextBox::QtTextBox(QtDispatcher& dispatcher, const TextBoxProperties& props, QWidget* parent)
    : QtInput(new TextBoxWidget(parent)), maxLength_(std::max(0, props.maxLength)),
      known_(QString::fromStdString(props.text)) {
    widget_->setFont(fontOf(props.fontName, props.fontPoints));
    widget_->setValidator(new LengthLimit(*this, widget_));
    widget_->setText(known_);
    widget_->setCursorPosition(0);
    widget_->setAccessibleName(QString::fromStdString(props.accessibleName));
    widget_->keepsEnter = props.keepsEnter;
    applyCommon(props.bounds, props.enabled, props.visible);
    widget_->onLeftPress = [this, &dispatcher] { dispatcher.deliver(clicked); };
    // Qt tells of a user's edit before the change; a handler that sets the text meanwhile
    // makes the signal's own text stale, so the box's text is what counts.
    QObject::connect(widget_, &QLineEdit::textEdited, widget_, [this, &dispatcher] {
        if (widget_->text() == known_) {
            return; // all of it cut off by the maximum length
        }
        known_ = widget_->text();
        dispatcher.deliver(edited);
        dispatcher.deliver(changed);
    });
    QObject::connect(widget_, &QLineEdit::textChanged, widget_, [this, &dispatcher] {
        if (widget_->text() != known_) {
            known_ = widget_->text();
            dispatcher.deliver(changed);
        }
    });
}

void QtTextBox::setText(const std::string& text) {
    const QString now = QString::fromStdString(text);
    if (now == widget_->text()) {
        return;
    }
    // Known first: the length limit lets the program's text in whatever its length.
    known_ = now;
    widget_->setText(now);
    changed.raise();
}

std::string QtTextBox::text() const { return widget_->text().toStdString(); }

void QtTextBox::setMaxLength(int characters) { maxLength_ = std::max(0, characters); }

template <class Base> bool AccessKeyButton<Base>::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        if (this->isEnabled()) {
            this->setFocus(Qt::ShortcutFocusReason);
            this->click();
        }
        return true;
    }
    return Base::event(event);
}

template class AccessKeyButton<QPushButton>;
template class AccessKeyButton<QRadioButton>;

QtCommandButton::QtCommandButton(QtDispatcher& dispatcher, const CommandButtonProperties& props, QWidget* parent)
    : QtInput(new AccessKeyButton<QPushButton>(QString::fromStdString(props.caption), parent)),
      default_(props.isDefault), cancel_(props.isCancel) {
    // The window decides what Enter presses (the focused button, else the default one);
    // an auto-default button would also move the default's frame to whichever has the focus.
    widget_->setAutoDefault(false);
    widget_->setDefault(props.isDefault);
    widget_->setFocusPolicy(Qt::StrongFocus);
    applyCommon(props.bounds, props.enabled, props.visible);
    QObject::connect(widget_, &QAbstractButton::clicked, widget_,
                     [this, &dispatcher] { dispatcher.deliver(CommandButton::clicked); });
}

QtOptionButton::QtOptionButton(QtDispatcher& dispatcher, const OptionButtonProperties& props, QWidget* parent)
    : QtInput(new AccessKeyButton<QRadioButton>(QString::fromStdString(props.caption), parent)) {
    widget_->setChecked(props.checked);
    widget_->setFocusPolicy(Qt::StrongFocus);
    applyCommon(props.bounds, props.enabled, props.visible);
    // Qt says clicked for the user's selections only, also of the option already selected.
    QObject::connect(widget_, &QAbstractButton::clicked, widget_,
                     [this, &dispatcher] { dispatcher.deliver(OptionButton::clicked); });
}

void QtOptionButton::setChecked(bool checked) {
    QButtonGroup* group = widget_->group();
    if (!checked && group != nullptr && group->exclusive()) {
        // An exclusive group keeps its selected option; the program may leave none selected.
        group->setExclusive(false);
        widget_->setChecked(false);
        group->setExclusive(true);
        return;
    }
    widget_->setChecked(checked);
}

void ListBoxWidget::keyPressEvent(QKeyEvent* event) {
    const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    if (arrow && event->modifiers() == Qt::NoModifier && count() > 0 && selectedItems().isEmpty()) {
        setCurrentRow(0);
        scrollToItem(item(0));
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

QtListBox::QtListBox(QtDispatcher& dispatcher, const ListBoxProperties& props, QWidget* parent)
    : QtInput(new ListBoxWidget(parent)) {
    widget_->setSelectionMode(QAbstractItemView::SingleSelection);
    // A list of short lines scrolls up and down only; a sideways bar would take a line's room.
    widget_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    widget_->setAccessibleName(QString::fromStdString(props.accessibleName));
    widget_->setFocusPolicy(Qt::StrongFocus);
    applyCommon(props.bounds, props.enabled, props.visible);
    QObject::connect(widget_, &QListWidget::itemSelectionChanged, widget_, [this, &dispatcher] {
        if (quiet_) {
            return;
        }
        const int now = selectedRow();
        if (now != reported_) {
            reported_ = now;
            dispatcher.deliver(selectionChanged);
        }
    });
}

int QtListBox::selectedRow() const {
    const QModelIndexList rows = widget_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void QtListBox::settle(bool lineChanged) {
    quiet_ = false;
    reported_ = selectedRow();
    if (lineChanged) {
        selectionChanged.raise();
    }
}

void QtListBox::insertItem(int index, const std::string& text) {
    const int at = std::clamp(index, 0, count());
    quiet_ = true;
    widget_->insertItem(at, QString::fromStdString(text));
    settle(false); // the selection moves with its line
}

void QtListBox::removeItem(int index) {
    if (index < 0 || index >= count()) {
        return;
    }
    const bool wasSelected = index == reported_;
    quiet_ = true;
    delete widget_->takeItem(index);
    if (wasSelected) {
        // Qt would move its cursor to a neighbour; the next arrow starts from the top instead.
        widget_->clearSelection();
        widget_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    settle(wasSelected);
}

void QtListBox::clear() {
    const bool hadSelection = reported_ >= 0;
    quiet_ = true;
    widget_->clear();
    settle(hadSelection);
}

std::string QtListBox::item(int index) const {
    const QListWidgetItem* line = index >= 0 && index < count() ? widget_->item(index) : nullptr;
    return line != nullptr ? line->text().toStdString() : std::string();
}

void QtListBox::setCurrentIndex(int index) {
    const int target = index >= 0 && index < count() ? index : -1;
    if (target == reported_) {
        return;
    }
    quiet_ = true;
    if (target < 0) {
        widget_->clearSelection();
        widget_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        widget_->setCurrentRow(target);
        widget_->scrollToItem(widget_->item(target));
    }
    settle(true);
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
