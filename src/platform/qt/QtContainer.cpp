#include "QtContainer.h"

#include "Assets.h"
#include "QtControls.h"
#include "QtConvert.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QKeyEvent>

#include <algorithm>

namespace kadrill::platform::qt {

void QtWindowControls::addToTabOrder(QWidget* widget, int tabIndex) {
    const auto after = std::upper_bound(tabStops_.begin(), tabStops_.end(), tabIndex,
                                        [](int index, const TabStop& stop) { return index < stop.tabIndex; });
    tabStops_.insert(after, TabStop{tabIndex, widget});
    // Qt's chain is rebuilt whole: a new control may come anywhere in it.
    QWidget* previous = nullptr;
    for (const TabStop& stop : tabStops_) {
        if (stop.widget.isNull()) {
            continue;
        }
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, stop.widget);
        }
        previous = stop.widget;
    }
}

bool QtWindowControls::takeKey(QKeyEvent* event, QWidget* focus) {
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if ((!enter && key != Qt::Key_Escape) ||
        (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    if (enter && focus != nullptr) {
        const auto* box = dynamic_cast<const TextBoxWidget*>(focus);
        if (qobject_cast<const QListWidget*>(focus) != nullptr || (box != nullptr && box->keepsEnter)) {
            return true; // kept by the control: it neither presses nor closes anything
        }
        // A focused button takes Enter for itself, as on every desktop: Enter on a focused
        // キャンセル must not press OK.
        for (const QtCommandButton* button : commandButtons_) {
            if (button->widget() == focus && button->isUsable()) {
                button->widget()->click();
                return true;
            }
        }
    }
    for (const QtCommandButton* button : commandButtons_) {
        if ((enter ? button->isDefault() : button->isCancel()) && button->isUsable()) {
            button->widget()->click();
            return true;
        }
    }
    return enter; // Enter with no default button goes no further either
}

QtControlHost::QtControlHost(QtDispatcher& dispatcher, QtWindowControls& window, QWidget* parent, Surface* surface)
    : dispatcher_(dispatcher), window_(window), parent_(parent), surface_(surface) {}

QtControlHost::~QtControlHost() = default;

LineShape& QtControlHost::addLine(const LineProperties& props) { return surface_->addLine(props); }

Label& QtControlHost::addLabel(const LabelProperties& props) {
    labels_.push_back(std::make_unique<QtLabel>(dispatcher_, props, parent_));
    return *labels_.back();
}

PictureButton& QtControlHost::addPictureButton(const PictureButtonProperties& props) {
    buttons_.push_back(std::make_unique<QtPictureButton>(dispatcher_, props, parent_));
    window_.addToTabOrder(buttons_.back()->widget(), props.tabIndex);
    return *buttons_.back();
}

Frame& QtControlHost::addFrame(const FrameProperties& props) {
    frames_.push_back(std::make_unique<QtFrame>(dispatcher_, window_, props, parent_));
    return *frames_.back();
}

Picture& QtControlHost::addPicture(const PictureProperties& props) {
    pictures_.push_back(std::make_unique<QtPicture>(dispatcher_, window_, props, parent_));
    return *pictures_.back();
}

TextBox& QtControlHost::addTextBox(const TextBoxProperties& props) {
    textBoxes_.push_back(std::make_unique<QtTextBox>(dispatcher_, props, parent_));
    window_.addToTabOrder(textBoxes_.back()->widget(), props.tabIndex);
    return *textBoxes_.back();
}

CommandButton& QtControlHost::addCommandButton(const CommandButtonProperties& props) {
    commandButtons_.push_back(std::make_unique<QtCommandButton>(dispatcher_, props, parent_));
    window_.addToTabOrder(commandButtons_.back()->widget(), props.tabIndex);
    window_.addCommandButton(commandButtons_.back().get());
    return *commandButtons_.back();
}

OptionButton& QtControlHost::addOptionButton(const OptionButtonProperties& props) {
    if (options_ == nullptr) {
        options_ = new QButtonGroup(parent_);
        options_->setExclusive(true);
    }
    optionButtons_.push_back(std::make_unique<QtOptionButton>(dispatcher_, props, parent_));
    QtOptionButton& option = *optionButtons_.back();
    // Joined once its own setting is in: a second selected option takes over from the first.
    options_->addButton(option.widget());
    if (props.checked) {
        option.setChecked(true);
    }
    window_.addToTabOrder(option.widget(), props.tabIndex);
    return option;
}

ListBox& QtControlHost::addListBox(const ListBoxProperties& props) {
    listBoxes_.push_back(std::make_unique<QtListBox>(dispatcher_, props, parent_));
    window_.addToTabOrder(listBoxes_.back()->widget(), props.tabIndex);
    return *listBoxes_.back();
}

QtFrame::QtFrame(QtDispatcher& dispatcher, QtWindowControls& window, const FrameProperties& props, QWidget* parent)
    : box_(new QGroupBox(QString::fromStdString(props.caption), parent)) {
    const QRect bounds = toPixels(props.bounds);
    box_->setGeometry(bounds);
    // Lines lie on a transparent layer under the frame's controls.
    auto* layer = new Surface(bounds.size(), {}, box_);
    layer->lower();
    host_ = std::make_unique<QtControlHost>(dispatcher, window, box_, layer);
    box_->setEnabled(props.enabled);
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

// Qt greys the caption and every child, and gives the children their own settings back
// when the frame is enabled again.
void QtFrame::setEnabled(bool enabled) { box_->setEnabled(enabled); }

bool QtFrame::isEnabled() const { return !box_->testAttribute(Qt::WA_ForceDisabled); }

QWidget* QtFrame::widget() const { return box_; }

QtPicture::QtPicture(QtDispatcher& dispatcher, QtWindowControls& window, const PictureProperties& props,
                     QWidget* parent) {
    Surface::Background background;
    if (!props.picture.empty()) {
        background.picture = assetPixmap(props.picture);
    }
    background.color = props.backColor;
    background.sunkenBorder = props.border;
    background.directLines = false;
    background.directPicture = true;
    const QRect bounds = toPixels(props.bounds);
    surface_ = new Surface(bounds.size(), std::move(background), parent);
    surface_->move(bounds.topLeft());
    surface_->setMouse({&dispatcher, &mouseDown, &mouseMove, &mouseUp});
    host_ = std::make_unique<QtControlHost>(dispatcher, window, surface_, surface_);
    surface_->setVisible(props.visible);
}

QtPicture::~QtPicture() = default;

void QtPicture::setVisible(bool visible) {
    surface_->setShown(visible);
    if (!visible) {
        dropFocusWithin(surface_);
    }
}

void QtPicture::setAccessibleText(const AccessibleText& text) { setAccessibleTextOf(surface_, text); }

AccessibleText QtPicture::accessibleText() const { return accessibleTextOf(surface_); }

void QtPicture::drawPoint(PointF at, Color color) {
    surface_->drawMark({.kind = DrawnMark::Kind::Point, .at = at, .radius = 0, .color = color});
}

void QtPicture::drawCircle(PointF centre, float radius, Color color) {
    surface_->drawMark({.kind = DrawnMark::Kind::Circle, .at = centre, .radius = radius, .color = color});
}

} // namespace kadrill::platform::qt
