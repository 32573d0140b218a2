#include "QtContainer.h"

#include "Assets.h"
#include "QtControls.h"
#include "QtConvert.h"

#include <QGroupBox>

namespace kadrill::platform::qt {

QtControlHost::QtControlHost(QtDispatcher& dispatcher, QWidget* parent, Surface* surface)
    : dispatcher_(dispatcher), parent_(parent), surface_(surface) {}

QtControlHost::~QtControlHost() = default;

LineShape& QtControlHost::addLine(const LineProperties& props) { return surface_->addLine(props); }

Label& QtControlHost::addLabel(const LabelProperties& props) {
    labels_.push_back(std::make_unique<QtLabel>(dispatcher_, props, parent_));
    return *labels_.back();
}

PictureButton& QtControlHost::addPictureButton(const PictureButtonProperties& props) {
    buttons_.push_back(std::make_unique<QtPictureButton>(dispatcher_, props, parent_));
    return *buttons_.back();
}

Frame& QtControlHost::addFrame(const FrameProperties& props) {
    frames_.push_back(std::make_unique<QtFrame>(dispatcher_, props, parent_));
    return *frames_.back();
}

Picture& QtControlHost::addPicture(const PictureProperties& props) {
    pictures_.push_back(std::make_unique<QtPicture>(dispatcher_, props, parent_));
    return *pictures_.back();
}

QtFrame::QtFrame(QtDispatcher& dispatcher, const FrameProperties& props, QWidget* parent)
    : box_(new QGroupBox(QString::fromStdString(props.caption), parent)) {
    const QRect bounds = toPixels(props.bounds);
    box_->setGeometry(bounds);
    // Lines lie on a transparent layer under the frame's controls.
    auto* layer = new Surface(bounds.size(), {}, box_);
    layer->lower();
    host_ = std::make_unique<QtControlHost>(dispatcher, box_, layer);
    box_->setVisible(props.visible);
}

QtFrame::~QtFrame() = default;

void QtFrame::setVisible(bool visible) {
    box_->setVisible(visible);
    if (!visible) {
        dropFocusWithin(box_);
    }
}

bool QtFrame::isVisible() const { return !box_->isHidden(); }

QWidget* QtFrame::widget() const { return box_; }

QtPicture::QtPicture(QtDispatcher& dispatcher, const PictureProperties& props, QWidget* parent) {
    Surface::Background background;
    if (!props.picture.empty()) {
        background.picture = assetPixmap(props.picture);
    }
    background.color = toQColor(props.backColor);
    background.sunkenBorder = props.border;
    const QRect bounds = toPixels(props.bounds);
    surface_ = new Surface(bounds.size(), std::move(background), parent);
    surface_->move(bounds.topLeft());
    surface_->setMouse({&dispatcher, &mouseDown, &mouseMove, &mouseUp});
    host_ = std::make_unique<QtControlHost>(dispatcher, surface_, surface_);
    surface_->setVisible(props.visible);
}

QtPicture::~QtPicture() = default;

void QtPicture::setVisible(bool visible) {
    surface_->setVisible(visible);
    if (!visible) {
        dropFocusWithin(surface_);
    }
}

} // namespace kadrill::platform::qt
