#pragma once

#include "QtSurface.h"
#include "platform/Container.h"

#include <QWidget>

#include <memory>
#include <vector>

class QGroupBox;

namespace kadrill::platform::qt {

class QtDispatcher;
class QtLabel;
class QtPictureButton;
class QtFrame;
class QtPicture;

/// The controls of one container: widgets go into its widget, lines onto its surface.
/// Our adapters live here; Qt owns the widgets through their parent.
class QtControlHost {
public:
    QtControlHost(QtDispatcher& dispatcher, QWidget* parent, Surface* surface);
    ~QtControlHost();

    LineShape& addLine(const LineProperties& props);
    Label& addLabel(const LabelProperties& props);
    PictureButton& addPictureButton(const PictureButtonProperties& props);
    Frame& addFrame(const FrameProperties& props);
    Picture& addPicture(const PictureProperties& props);

    QWidget* parent() const { return parent_; }
    Surface* surface() const { return surface_; }

private:
    QtDispatcher& dispatcher_;
    QWidget* parent_;
    Surface* surface_;
    std::vector<std::unique_ptr<QtLabel>> labels_;
    std::vector<std::unique_ptr<QtPictureButton>> buttons_;
    std::vector<std::unique_ptr<QtFrame>> frames_;
    std::vector<std::unique_ptr<QtPicture>> pictures_;
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

protected:
    std::unique_ptr<QtControlHost> host_;
};

class QtFrame final : public QtHostedContainer<Frame> {
public:
    QtFrame(QtDispatcher& dispatcher, const FrameProperties& props, QWidget* parent);
    ~QtFrame() override;
    void setVisible(bool visible) override;
    bool isVisible() const override;

    QWidget* widget() const;

private:
    QGroupBox* box_;
};

class QtPicture final : public QtHostedContainer<Picture> {
public:
    QtPicture(QtDispatcher& dispatcher, const PictureProperties& props, QWidget* parent);
    ~QtPicture() override;
    void setVisible(bool visible) override;
    bool isVisible() const override { return !surface_->isHidden(); }

    QWidget* widget() const { return surface_; }

private:
    Surface* surface_;
};

} // namespace kadrill::platform::qt
