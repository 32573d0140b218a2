#pragma once

#include "Assets.h"
#include "QtConvert.h"
#include "platform/Container.h"
#include "platform/Window.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace kadrill::platform::qt {

class QtDispatcher;

/// Takes the keyboard focus from a widget inside `hidden`, or `hidden` itself, that Qt left
/// it on because no other widget of the window could take it.
void dropFocusWithin(QWidget* hidden);

/// Sets what a screen reader reads of the widget; an unchanged text sends it no event.
void setAccessibleTextOf(QWidget* widget, const AccessibleText& text);
AccessibleText accessibleTextOf(const QWidget* widget);

/// A label that takes every mouse press over it, so none falls through to the face.
class MarkLabelWidget final : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void(QMouseEvent*)> onPress;

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class QtLabel final : public Label {
public:
    QtLabel(QtDispatcher& dispatcher, const LabelProperties& props, QWidget* parent);
    void setVisible(bool visible) override { widget_->setVisible(visible); }
    bool isVisible() const override { return !widget_->isHidden(); }
    void setText(const std::string& text) override;
    std::string text() const override;
    void setPosition(Point topLeft) override;
    Point position() const override { return position_; }
    void setForeColor(Color color) override;
    Color foreColor() const override { return color_; }
    void setEnabled(bool enabled) override { widget_->setEnabled(enabled); }
    bool isEnabled() const override { return !widget_->testAttribute(Qt::WA_ForceDisabled); }
    void setAccessibleText(const AccessibleText& text) override { setAccessibleTextOf(widget_, text); }
    AccessibleText accessibleText() const override { return accessibleTextOf(widget_); }

    QLabel* widget() const { return widget_; }

private:
    void applyForeColor();

    MarkLabelWidget* widget_;
    Color color_;
    /// In twips as the program gave it, which pixels would round.
    Point position_;
};

/// A button drawn entirely by its picture, pixel for pixel, with a pressed and a focus look.
/// Presses of other buttons than the left one are taken and ignored.
class PictureButtonWidget final : public QAbstractButton {
public:
    PictureButtonWidget(QPixmap picture, QWidget* parent);
    QSize sizeHint() const override { return size(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
};

class QtPictureButton final : public PictureButton {
public:
    QtPictureButton(QtDispatcher& dispatcher, const PictureButtonProperties& props, QWidget* parent);
    void setVisible(bool visible) override;
    bool isVisible() const override { return !widget_->isHidden(); }
    void setFocus() override;
    bool hasFocus() const override { return widget_->hasFocus(); }

    QAbstractButton* widget() const { return widget_; }

private:
    PictureButtonWidget* widget_;
};

/// The part the text boxes, command and option buttons and lists share: each holds one
/// widget, which Qt owns through its parent.
template <class Interface, class Widget> class QtInput : public Interface {
public:
    void setVisible(bool visible) override {
        widget_->setVisible(visible);
        if (!visible) {
            dropFocusWithin(widget_);
        }
    }
    bool isVisible() const override { return !widget_->isHidden(); }
    void setEnabled(bool enabled) override { widget_->setEnabled(enabled); }
    /// Qt's isEnabled() also says no inside a disabled frame; the control's own setting is this.
    bool isEnabled() const override { return !widget_->testAttribute(Qt::WA_ForceDisabled); }
    void setFocus() override {
        // Qt would give the focus to a hidden widget too, and keys would reach it there.
        if (widget_->isVisibleTo(widget_->window()) && widget_->isEnabled()) {
            widget_->setFocus(Qt::OtherFocusReason);
        }
    }
    bool hasFocus() const override { return widget_->hasFocus(); }

    Widget* widget() const { return widget_; }

protected:
    explicit QtInput(Widget* widget) : widget_(widget) {}
    /// The settings every input control has, once the widget is made.
    void applyCommon(const Rect& bounds, bool enabled, bool visible) {
        widget_->setGeometry(toPixels(bounds));
        widget_->setEnabled(enabled);
        widget_->setVisible(visible);
    }

    Widget* widget_;
};

/// A line edit that tells of a left press into it once it has taken the focus.
class TextBoxWidget final : public QLineEdit {
public:
    explicit TextBoxWidget(QWidget* parent) : QLineEdit(parent) {}
    std::function<void()> onLeftPress;
    /// Enter here presses no default button.
    bool keepsEnter = false;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class QtTextBox final : public QtInput<TextBox, TextBoxWidget> {
public:
    QtTextBox(QtDispatcher& dispatcher, const TextBoxProperties& props, QWidget* parent);
    void setText(const std::string& text) override;
    std::string text() const override;
    void setMaxLength(int characters) override;
    int maxLength() const override { return maxLength_; }

    /// The text the program last heard of, typed or set.
    const QString& knownText() const { return known_; }

private:
    int maxLength_ = 0;
    QString known_;
};

/// A button whose access key clicks it at once, as a click would, and gives it the focus;
/// Qt would first show it pressed for a tenth of a second and click only then.
template <class Base> class AccessKeyButton final : public Base {
public:
    AccessKeyButton(const QString& caption, QWidget* parent) : Base(caption, parent) {}

protected:
    bool event(QEvent* event) override;
};

class QtCommandButton final : public QtInput<CommandButton, AccessKeyButton<QPushButton>> {
public:
    QtCommandButton(QtDispatcher& dispatcher, const CommandButtonProperties& props, QWidget* parent);
    bool isDefault() const { return default_; }
    bool isCancel() const { return cancel_; }
    /// Shown and enabled in a shown window: Enter or Escape may press it.
    bool isUsable() const { return widget_->isVisible() && widget_->isEnabled(); }

private:
    bool default_;
    bool cancel_;
};

class QtOptionButton final : public QtInput<OptionButton, AccessKeyButton<QRadioButton>> {
public:
    QtOptionButton(QtDispatcher& dispatcher, const OptionButtonProperties& props, QWidget* parent);
    void setChecked(bool checked) override;
    bool isChecked() const override { return widget_->isChecked(); }
};

/// A single-selection list where the arrow keys start at the first line while no line is
/// selected, wherever Qt left its cursor.
class ListBoxWidget final : public QListWidget {
public:
    explicit ListBoxWidget(QWidget* parent) : QListWidget(parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class QtListBox final : public QtInput<ListBox, ListBoxWidget> {
public:
    QtListBox(QtDispatcher& dispatcher, const ListBoxProperties& props, QWidget* parent);
    void addItem(const std::string& text) override { insertItem(count(), text); }
    void insertItem(int index, const std::string& text) override;
    void removeItem(int index) override;
    void clear() override;
    int count() const override { return widget_->count(); }
    std::string item(int index) const override;
    int currentIndex() const override { return reported_; }
    void setCurrentIndex(int index) override;

private:
    int selectedRow() const;
    /// After a change of the program's: raises selectionChanged when another line (or
    /// none) is selected now. The program's own changes are told once, at their end.
    void settle(bool lineChanged);

    /// While the program changes the list, Qt's signals are not the user's.
    bool quiet_ = false;
    int reported_ = -1;
};

class QtMenuItem final : public MenuItem {
public:
    QtMenuItem(QtDispatcher& dispatcher, QAction* action, MenuItemKind kind);
    void setChecked(bool checked) override;
    bool isChecked() const override { return checked_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;

    QAction* action() const { return action_; }

private:
    QAction* action_;
    bool checked_ = false;
};

class QtMenu final : public Menu {
public:
    QtMenu(QtDispatcher& dispatcher, QMenu* menu) : dispatcher_(dispatcher), menu_(menu) {}
    MenuItem& addItem(const std::string& caption, MenuItemKind kind) override;
    MenuItem& addSeparator() override;
    void popupAtPointer() override;

    QMenu* menu() const { return menu_; }

private:
    QtDispatcher& dispatcher_;
    QMenu* menu_;
    std::vector<std::unique_ptr<QtMenuItem>> items_;
};

} // namespace kadrill::platform::qt
