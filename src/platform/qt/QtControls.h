#pragma once

#include "Assets.h"
#include "platform/Container.h"
#include "platform/Window.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>

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

/// A label that takes every mouse press over it, so none falls through to the face.
class MarkLabelWidget final : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void(QMouseEvent*)> onPress;

protected:
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
    void setForeColor(Color color) override;
    Color foreColor() const override { return color_; }

    QLabel* widget() const { return widget_; }

private:
    void applyForeColor();

    MarkLabelWidget* widget_;
    Color color_;
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
