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
    void setEnd(PointF to) override { end_ = to; }
    PointF end() const override { return end_; }

    const LineProperties& props() const { return props_; }
    /// How many times the colour was written, changed or not.
    int colorWrites() const { return writes_; }

private:
    LineProperties props_;
    Color color_;
    PointF end_{static_cast<float>(props_.to.x), static_cast<float>(props_.to.y)};
    bool visible_ = true;
    int writes_ = 0;
};

/// What the window's keyboard handling needs of a control that can take the focus.
class MemoryFocusTarget {
public:
    MemoryFocusTarget() = default;
    MemoryFocusTarget(const MemoryFocusTarget&) = delete;
    MemoryFocusTarget& operator=(const MemoryFocusTarget&) = delete;
    virtual ~MemoryFocusTarget() = default;

    /// On screen and enabled, with every container on the way: the user can reach it.
    virtual bool isUsable() const = 0;
    /// Could hold the focus once its window is shown: visible in visible containers.
    virtual bool canTakeFocus() const = 0;
    virtual int tabIndex() const = 0;
    /// The order in which the window's controls were made, for equal tab indexes.
    virtual int serial() const = 0;
    /// Enter there does not press the default button.
    virtual bool keepsEnter() const { return false; }
    /// Enter on the focused control; false when it leaves Enter to the window.
    virtual bool enter() { return false; }
    /// Space on the focused control; false when it does nothing with it.
    virtual bool space() { return false; }
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
    void setPosition(Point topLeft) override { position_ = topLeft; }
    Point position() const override { return position_; }
    void setForeColor(Color color) override { color_ = color; }
    Color foreColor() const override { return color_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool isEnabled() const override { return enabled_; }
    void setAccessibleText(const AccessibleText& text) override { accessible_ = text; }
    AccessibleText accessibleText() const override { return accessible_; }

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
    bool enabled_ = props_.enabled;
    Point position_{props_.bounds.left, props_.bounds.top};
    AccessibleText accessible_;
};

class MemoryPictureButton final : public PictureButton, public MemoryFocusTarget {
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
    bool canTakeFocus() const override;
    bool isUsable() const override;
    int tabIndex() const override { return props_.tabIndex; }
    int serial() const override { return serial_; }
    bool space() override;

private:
    const MemoryControlStore& container_;
    MemoryWindow& window_;
    PictureButtonProperties props_;
    bool visible_;
    int serial_;
};

/// The part the text boxes, buttons, options and lists share: visibility, enabling, focus.
template <class Interface> class MemoryInput : public Interface, public MemoryFocusTarget {
public:
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    void setFocus() override;
    bool hasFocus() const override;

    bool isUsable() const override;
    bool canTakeFocus() const override;
    int tabIndex() const override { return tabIndex_; }
    int serial() const override { return serial_; }
    const MemoryControlStore& container() const { return container_; }

protected:
    MemoryInput(const MemoryControlStore& container, bool visible, bool enabled, int tabIndex);
    /// Takes the focus for a user's press; false when the user cannot reach the control.
    bool takeUserFocus();

    const MemoryControlStore& container_;
    MemoryWindow& window_;

private:
    bool visible_;
    bool enabled_;
    int tabIndex_;
    int serial_;
};

class MemoryTextBox final : public MemoryInput<TextBox> {
public:
    MemoryTextBox(const MemoryControlStore& container, const TextBoxProperties& props);
    void setText(const std::string& text) override;
    std::string text() const override { return text_; }
    void setMaxLength(int characters) override { maxLength_ = characters; }
    int maxLength() const override { return maxLength_; }
    bool keepsEnter() const override { return props_.keepsEnter; }

    const TextBoxProperties& props() const { return props_; }

    // What a user does. Each is false when the user cannot reach the box.
    /// A left press into the box.
    bool clickInto();
    /// Types at the end of the text, as far as the maximum length lets characters in.
    bool type(const std::string& text);
    /// Selects everything and types the text over it (an empty text deletes it all).
    bool replaceAll(const std::string& text);

private:
    void userEdit(std::string text);

    TextBoxProperties props_;
    std::string text_;
    int maxLength_;
};

class MemoryCommandButton final : public MemoryInput<CommandButton> {
public:
    MemoryCommandButton(const MemoryControlStore& container, const CommandButtonProperties& props);
    const CommandButtonProperties& props() const { return props_; }
    bool space() override;
    bool enter() override { return press(); }
    /// A click as a user makes it; false when the user cannot reach the button.
    bool click();
    /// Presses it without moving the focus (Enter, Escape, access key).
    bool press();

private:
    CommandButtonProperties props_;
};

class MemoryOptionButton final : public MemoryInput<OptionButton> {
public:
    MemoryOptionButton(const MemoryControlStore& container, const OptionButtonProperties& props);
    void setChecked(bool checked) override;
    bool isChecked() const override { return checked_; }
    const OptionButtonProperties& props() const { return props_; }
    /// The user selects it; false when the user cannot reach it.
    bool click();

private:
    OptionButtonProperties props_;
    bool checked_;
};

class MemoryListBox final : public MemoryInput<ListBox> {
public:
    MemoryListBox(const MemoryControlStore& container, const ListBoxProperties& props);
    void addItem(const std::string& text) override;
    void insertItem(int index, const std::string& text) override;
    void removeItem(int index) override;
    void clear() override;
    int count() const override { return static_cast<int>(items_.size()); }
    std::string item(int index) const override;
    int currentIndex() const override { return current_; }
    void setCurrentIndex(int index) override;
    bool keepsEnter() const override { return true; }

    const ListBoxProperties& props() const { return props_; }
    const std::vector<std::string>& items() const { return items_; }
    /// The user clicks line `index`; false when the user cannot reach the list or the line.
    bool clickLine(int index);
    /// The arrow keys on the focused list: the next or previous line (the first one when
    /// none is selected). False when the list does not have the focus.
    bool pressDown();
    bool pressUp();

private:
    void select(int index);

    ListBoxProperties props_;
    std::vector<std::string> items_;
    int current_ = -1;
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
    /// No frame on the way to the window is disabled.
    bool containersEnabled() const;
    /// Where a point of the container lies on the screen, twips.
    Point toScreen(Point at) const;

    LineShape& addLine(const LineProperties& props);
    Label& addLabel(const LabelProperties& props);
    PictureButton& addPictureButton(const PictureButtonProperties& props);
    Frame& addFrame(const FrameProperties& props);
    Picture& addPicture(const PictureProperties& props);
    TextBox& addTextBox(const TextBoxProperties& props);
    CommandButton& addCommandButton(const CommandButtonProperties& props);
    OptionButton& addOptionButton(const OptionButtonProperties& props);
    ListBox& addListBox(const ListBoxProperties& props);

    std::vector<std::unique_ptr<MemoryLine>> lines;
    std::vector<std::unique_ptr<MemoryLabel>> labels;
    std::vector<std::unique_ptr<MemoryPictureButton>> buttons;
    std::vector<std::unique_ptr<MemoryFrame>> frames;
    std::vector<std::unique_ptr<MemoryPicture>> pictures;
    std::vector<std::unique_ptr<MemoryTextBox>> textBoxes;
    std::vector<std::unique_ptr<MemoryCommandButton>> commandButtons;
    std::vector<std::unique_ptr<MemoryOptionButton>> optionButtons;
    std::vector<std::unique_ptr<MemoryListBox>> listBoxes;

    /// Every control of this container and those inside it that can take the focus.
    void collectFocusTargets(std::vector<MemoryFocusTarget*>& into) const;

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
    TextBox& addTextBox(const TextBoxProperties& props) override { return store_.addTextBox(props); }
    CommandButton& addCommandButton(const CommandButtonProperties& props) override {
        return store_.addCommandButton(props);
    }
    OptionButton& addOptionButton(const OptionButtonProperties& props) override {
        return store_.addOptionButton(props);
    }
    ListBox& addListBox(const ListBoxProperties& props) override { return store_.addListBox(props); }

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
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }

    const FrameProperties& props() const { return props_; }

private:
    FrameProperties props_;
    bool visible_;
    bool enabled_ = props_.enabled;
};

class MemoryPicture final : public MemoryHostedContainer<Picture> {
public:
    MemoryPicture(const MemoryControlStore& parent, const PictureProperties& props)
        : MemoryHostedContainer(parent, {props.bounds.left, props.bounds.top}), props_(props), visible_(props.visible) {
    }
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }

    void drawPoint(PointF at, Color color) override {
        drawing_.push_back({DrawnMark::Kind::Point, at, 0, color});
    }
    void drawCircle(PointF centre, float radius, Color color) override {
        drawing_.push_back({DrawnMark::Kind::Circle, centre, radius, color});
    }
    void clearDrawing() override { drawing_.clear(); }
    std::vector<DrawnMark> drawing() const override { return drawing_; }
    void setAccessibleText(const AccessibleText& text) override { accessible_ = text; }
    AccessibleText accessibleText() const override { return accessible_; }

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
    std::vector<DrawnMark> drawing_;
    AccessibleText accessible_;
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
