#pragma once

#include "QtSurface.h"
#include "platform/Container.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class QButtonGroup;
class QGroupBox;
class QKeyEvent;

namespace kadrill::platform::qt {

class QtDispatcher;
class QtLabel;
class QtPictureButton;
class QtFrame;
class QtPicture;
class QtTextBox;
class QtCommandButton;
class QtOptionButton;
class QtListBox;

/// What the controls of one window share, wherever they lie in it: the tab order, and the
/// buttons Enter and Escape press.
class QtWindowControls {
public:
    /// Tab visits the window's controls by ascending index, across frames and pictures;
    /// equal indexes in the order the controls were made.
    void addToTabOrder(QWidget* widget, int tabIndex);
    void addCommandButton(const QtCommandButton* button) { commandButtons_.push_back(button); }

    /// Enter or Escape that no control took, with the focus on `focus` (or none); true
    /// when the window takes the key. Enter presses the focused command button, or else
    /// the enabled default button, but in a list or a box that keeps Enter it does nothing;
    /// Escape presses the cancel button.
    bool takeKey(QKeyEvent* event, QWidget* focus);

private:
    struct TabStop {
        int tabIndex;
        QPointer<QWidget> widget;
    };
    std::vector<TabStop> tabStops_;
    std::vector<const QtCommandButton*> commandButtons_;
};

/// The controls of one container: widgets go into its widget, lines onto its surface.
/// Our adapters live here; Qt owns the widgets through their parent.
class QtControlHost {
public:
    QtControlHost(QtDispatcher& dispatcher, QtWindowControls& window, QWidget* parent, Surface* surface);
    ~QtControlHost();

    LineShape& addLine(const LineProperties& props);
    Label& addLabel(const LabelProperties& props);
    PictureButton& addPictureButton(const PictureButtonProperties& props);
    Frame& addFrame(const FrameProperties& props);
    Picture& addPicture(const PictureProperties& props);
    TextBox& addTextBox(const TextBoxProperties& props);
    CommandButton& addCommandButton(const CommandButtonProperties& props);
    OptionButton& addOptionButton(const OptionButtonProperties& props);
    ListBox& addListBox(const ListBoxProperties& props);

    QWidget* parent() const { return parent_; }
    Surface* surface() const { return surface_; }

private:
    QtDispatcher& dispatcher_;
    QtWindowControls& window_;
    QWidget* parent_;
    Surface* surface_;
    /// The options of this container, one of which is selected; made with the first.
    QButtonGroup* options_ = nullptr;
    std::vector<std::unique_ptr<QtLabel>> labels_;
    std::vector<std::unique_ptr<QtPictureButton>> buttons_;
    std::vector<std::unique_ptr<QtFrame>> frames_;
    std::vector<std::unique_ptr<QtPicture>> pictures_;
    std::vector<std::unique_ptr<QtTextBox>> textBoxes_;
    std::vector<std::unique_ptr<QtCommandButton>> commandButtons_;
    std::vector<std::unique_ptr<QtOptionButton>> optionButtons_;
    std::vector<std::unique_ptr<QtListBox>> listBoxes_;
};

/// A container whose controls live in a host: the part every Qt container shares.
template <class Interface> class QtHostedContainer : public Interface {
public:
    LineShape& addLine(const LineProperties& props) override { return host_->addLine(props); }
    Label& addLabel(const LabelProperties& props) override { return host_->addLabel(props); }
    PictureButton& addPictureButton(const PictureButtonProperties& props) override {
        return host_->addPictureButton(props);
    }
    Frame& addFrame(const FrameProperties& props) override { return host_->addFrame(props); }
    Picture& addPicture(const PictureProperties& props) override { return host_->addPicture(props); }
    TextBox& addTextBox(const TextBoxProperties& props) override { return host_->addTextBox(props); }
    CommandButton& addCommandButton(const CommandButtonProperties& props) override {
        return host_->addCommandButton(props);
    }
    OptionButton& addOptionButton(const OptionButtonProperties& props) override {
        return host_->addOptionButton(props);
    }
    ListBox& addListBox(const ListBoxProperties& props) override { return host_->addListBox(props); }

protected:
    std::unique_ptr<QtControlHost> host_;
};

class QtFrame final : public QtHostedContainer<Frame> {
public:
    QtFrame(QtDispatcher& dispatcher, QtWindowControls& window, const FrameProperties& props, QWidget* parent);
    ~QtFrame() override;
    void setVisible(bool visible) override;
    bool isVisible() const override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;

    QWidget* widget() const;

private:
    QGroupBox* box_;
};

class QtPicture final : public QtHostedContainer<Picture> {
public:
    QtPicture(QtDispatcher& dispatcher, QtWindowControls& window, const PictureProperties& props, QWidget* parent);
    ~QtPicture() override;
    void setVisible(bool visible) override;
    bool isVisible() const override { return surface_->isShown(); }
    void drawPoint(PointF at, Color color) override;
    void drawCircle(PointF centre, float radius, Color color) override;
    void clearDrawing() override { surface_->clearDrawing(); }
    std::vector<DrawnMark> drawing() const override { return surface_->drawing(); }
    void setAccessibleText(const AccessibleText& text) override;
    AccessibleText accessibleText() const override;

    Surface* widget() const { return surface_; }

private:
    Surface* surface_;
};

} // namespace kadrill::platform::qt
