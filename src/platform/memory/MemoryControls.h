#pragma once

#include "platform/Container.h"
#include "platform/Window.h"

#include <memory>
#include <string>
#include <vector>

namespace kadrill::platform::memory {

class MemoryWindow;
class MemoryWindowSystem;
class MemoryEventLoop;

class MemoryLine final : public LineShape {
public:
    explicit MemoryLine(const LineProperties& props) : props_(props), color_(props.color) {}
    void setVisible(bool visible) override { visible_ = visible; }
    bool isVisible() const override { return visible_; }
    void setColor(Color color) override {
        color_ = color;
        ++writes_;
    }
    Color color() const override { return color_; }

    const LineProperties& props() const { return props_; }
    /// How many times the colour was written, changed or not.
    int colorWrites() const { return writes_; }

private:
    LineProperties props_;
    Color color_;
    bool visible_ = true;
    int writes_ = 0;
};

class MemoryControlStore;

class MemoryLabel final : public Label {
public:
    MemoryLabel(const MemoryControlStore& container, const LabelProperties& props)
        : container_(container), props_(props), text_(props.text), color_(props.foreColor), visible_(props.visible) {}
    void setVisible(bool visible) override { visible_ = visible; }
    bool isVisible() const override { return visible_; }
    void setText(const std::string& text) override { text_ = text; }
    std::string text() const override { return text_; }
    void setForeColor(Color color) override { color_ = color; }
    Color foreColor() const override { return color_; }

    const LabelProperties& props() const { return props_; }
    /// Presses a mouse button over the label as a user would, at twips from its top-left;
    /// a label the user cannot see takes nothing. False when the press went through to
    /// whatever lies beneath.
    bool press(MouseButton button, Point at = {});

private:
    const MemoryControlStore& container_;
    LabelProperties props_;
    std::string text_;
    Color color_;
    bool visible_;
};

class MemoryPictureButton final : public PictureButton {
public:
    MemoryPictureButton(const MemoryControlStore& container, const PictureButtonProperties& props);
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    void setFocus() override;
    bool hasFocus() const override;

    const PictureButtonProperties& props() const { return props_; }
    /// Presses and releases a mouse button over the button as a user would: any press
    /// takes the focus, only the left button clicks. A button the user cannot see takes
    /// nothing; false when the press did not reach the button.
    bool click(MouseButton button = MouseButton::Left);
    /// Shown, and so is everything it lies in: the user can see and reach it.
    bool isShowing() const;
    /// Shown in containers that are shown: a hidden window keeps the focus for such a
    /// button until it is shown and active again.
    bool canTakeFocus() const;

private:
    const MemoryControlStore& container_;
    MemoryWindow& window_;
    PictureButtonProperties props_;
    bool visible_;
};

class MemoryFrame;
class MemoryPicture;

/// The controls of one container, in the order they were added.
class MemoryControlStore {
public:
    /// The controls of a window's client area.
    explicit MemoryControlStore(MemoryWindow& window) : window_(window) {}
    /// The controls of a frame or picture whose top-left lies at `topLeft` (twips) in its parent.
    MemoryControlStore(const MemoryControlStore& parent, const Control& container, Point topLeft)
        : window_(parent.window_), parent_(&parent),
          container_(&container), origin_{parent.origin_.x + topLeft.x, parent.origin_.y + topLeft.y} {}
    MemoryControlStore(const MemoryControlStore&) = delete;
    MemoryControlStore& operator=(const MemoryControlStore&) = delete;

    MemoryWindow& window() const { return window_; }
    /// Every container on the way to the window is visible, whether or not the window is.
    bool containersVisible() const;
    /// The window is shown and every container on the way to it is visible.
    bool isShowing() const;
    /// Where a point of the container lies on the screen, twips.
    Point toScreen(Point at) const;

    LineShape& addLine(const LineProperties& props);
    Label& addLabel(const LabelProperties& props);
    PictureButton& addPictureButton(const PictureButtonProperties& props);
    Frame& addFrame(const FrameProperties& props);
    Picture& addPicture(const PictureProperties& props);

    std::vector<std::unique_ptr<MemoryLine>> lines;
    std::vector<std::unique_ptr<MemoryLabel>> labels;
    std::vector<std::unique_ptr<MemoryPictureButton>> buttons;
    std::vector<std::unique_ptr<MemoryFrame>> frames;
    std::vector<std::unique_ptr<MemoryPicture>> pictures;

private:
    MemoryWindow& window_;
    const MemoryControlStore* parent_ = nullptr;
    const Control* container_ = nullptr;
    Point origin_; // in the window's client area, twips
};

/// A container whose controls live in a store: the part windows, frames and pictures share.
template <class Interface> class MemoryHostedContainer : public Interface {
public:
    LineShape& addLine(const LineProperties& props) override { return store_.addLine(props); }
    Label& addLabel(const LabelProperties& props) override { return store_.addLabel(props); }
    PictureButton& addPictureButton(const PictureButtonProperties& props) override {
        return store_.addPictureButton(props);
    }
    Frame& addFrame(const FrameProperties& props) override { return store_.addFrame(props); }
    Picture& addPicture(const PictureProperties& props) override { return store_.addPicture(props); }

    const MemoryControlStore& controls() const { return store_; }

protected:
    /// A window's client area.
    explicit MemoryHostedContainer(MemoryWindow& window) : store_(window) {}
    /// A frame or picture whose top-left lies at `topLeft` (twips) in its parent.
    MemoryHostedContainer(const MemoryControlStore& parent, Point topLeft) : store_(parent, *this, topLeft) {}

    MemoryControlStore store_;
};

class MemoryFrame final : public MemoryHostedContainer<Frame> {
public:
    MemoryFrame(const MemoryControlStore& parent, const FrameProperties& props)
        : MemoryHostedContainer(parent, {props.bounds.left, props.bounds.top}), props_(props), visible_(props.visible) {
    }
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }

    const FrameProperties& props() const { return props_; }

private:
    FrameProperties props_;
    bool visible_;
};

class MemoryPicture final : public MemoryHostedContainer<Picture> {
public:
    MemoryPicture(const MemoryControlStore& parent, const PictureProperties& props)
        : MemoryHostedContainer(parent, {props.bounds.left, props.bounds.top}), props_(props), visible_(props.visible) {
    }
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }

    const PictureProperties& props() const { return props_; }

    // The mouse over the picture's bare area as a user moves it, at twips from its
    // top-left. A picture the user cannot see takes nothing; false when the mouse did not
    // reach it.
    bool pressMouse(MouseButton button, Point at);
    bool moveMouse(Point at, int heldButtons);
    bool releaseMouse(MouseButton button, Point at);

private:
    PictureProperties props_;
    bool visible_;
};

class MemoryTimer final : public Timer {
public:
    MemoryTimer(MemoryEventLoop& loop, const TimerProperties& props);
    ~MemoryTimer() override;
    void setInterval(int milliseconds) override;
    int interval() const override { return props_.interval; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return props_.enabled; }
    void setPacing(TimerPacing pacing) override { props_.pacing = pacing; }
    TimerPacing pacing() const override { return props_.pacing; }

    std::int64_t nextDue() const { return nextDue_; }
    void setNextDue(std::int64_t due) { nextDue_ = due; }

private:
    MemoryEventLoop& loop_;
    TimerProperties props_;
    std::int64_t nextDue_ = 0;
};

class MemoryMenuItem final : public MenuItem {
public:
    MemoryMenuItem(std::string caption, MenuItemKind kind, bool separator)
        : caption_(std::move(caption)), kind_(kind), separator_(separator) {}
    void setChecked(bool checked) override { checked_ = checked; }
    bool isChecked() const override { return checked_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool isEnabled() const override { return enabled_; }

    const std::string& caption() const { return caption_; }
    MenuItemKind kind() const { return kind_; }
    bool isSeparator() const { return separator_; }
    /// Chooses the item as a user would; a disabled item cannot be chosen. False when
    /// the choice did not reach the item.
    bool choose();

private:
    std::string caption_;
    MenuItemKind kind_;
    bool separator_;
    bool checked_ = false;
    bool enabled_ = true;
};

class MemoryMenu final : public Menu {
public:
    MemoryMenu(MemoryWindowSystem& system, std::string caption) : system_(system), caption_(std::move(caption)) {}
    MenuItem& addItem(const std::string& caption, MenuItemKind kind) override;
    MenuItem& addSeparator() override;
    void popupAtPointer() override;

    const std::string& caption() const { return caption_; }
    const std::vector<std::unique_ptr<MemoryMenuItem>>& items() const { return items_; }
    /// The item with this caption; null when there is none.
    MemoryMenuItem* item(const std::string& caption) const;

private:
    MemoryWindowSystem& system_;
    std::string caption_;
    std::vector<std::unique_ptr<MemoryMenuItem>> items_;
};

} // namespace kadrill::platform::memory
