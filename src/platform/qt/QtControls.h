#pragma once

#include "platform/Controls.h"
#include "platform/Window.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace kadrill::platform::qt {

class QtDispatcher;

QColor toQColor(Color c);

class QtLabel final : public QLabel, public Label {
public:
    QtLabel(const LabelProperties& props, QWidget* parent);
    void setVisible(bool visible) override { QLabel::setVisible(visible); }
    bool isVisible() const override { return !isHidden(); }
    void setText(const std::string& text) override;
    std::string text() const override;
    void setForeColor(Color color) override;
    Color foreColor() const override { return color_; }

private:
    void applyForeColor();

    Color color_;
};

/// A button drawn entirely by its picture, pixel for pixel, with a pressed and a focus look.
class QtPictureButton final : public QAbstractButton, public PictureButton {
public:
    QtPictureButton(QtDispatcher& dispatcher, const PictureButtonProperties& props, QWidget* parent);
    void setVisible(bool visible) override { QAbstractButton::setVisible(visible); }
    bool isVisible() const override { return !isHidden(); }
    void setFocus() override { QAbstractButton::setFocus(Qt::OtherFocusReason); }
    bool hasFocus() const override { return QAbstractButton::hasFocus(); }
    QSize sizeHint() const override { return size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

class QtMenuItem final : public MenuItem {
public:
    QtMenuItem(QtDispatcher& dispatcher, QAction* action, MenuItemKind kind);
    void setChecked(bool checked) override;
    bool isChecked() const override { return checked_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;

private:
    QAction* action_;
    bool checked_ = false;
};

class QtMenu final : public Menu {
public:
    QtMenu(QtDispatcher& dispatcher, QMenu* menu) : dispatcher_(dispatcher), menu_(menu) {}
    MenuItem& addItem(const std::string& caption, MenuItemKind kind) override;
    MenuItem& addSeparator() override;

private:
    QtDispatcher& dispatcher_;
    QMenu* menu_;
    std::vector<std::unique_ptr<QtMenuItem>> items_;
};

/// The picture of the given name from the program's embedded assets.
QPixmap assetPixmap(const std::string& name);

} // namespace kadrill::platform::qt
