#pragma once

#include "Color.h"
#include "Controls.h"
#include "Geometry.h"

#include <string>
#include <vector>

namespace kadrill::platform {

class Frame;
class Picture;

struct LineProperties {
    Point from; ///< twips, from the container's top-left
    Point to;   ///< twips
    int thicknessPixels = 1;
    Color color = 0;
};

struct LabelProperties {
    Rect bounds{}; ///< twips
    std::string text{};
    std::string fontName{};
    double fontPoints = 9.0;
    Color foreColor = 0;
    bool visible = true;
    bool enabled = true;
};

/// Tab order: Tab visits the input controls of a window by ascending tabIndex, across
/// frames; controls with equal indexes in the order they were added.
struct TextBoxProperties {
    Rect bounds{}; ///< twips
    std::string text{};
    std::string fontName{}; ///< empty for the desktop's default
    double fontPoints = 9.0;
    int maxLength = 0;
    int tabIndex = 0;
    /// What screen readers call it; usually the caption of the label in front of it.
    std::string accessibleName{};
    /// Enter in this box does nothing, instead of pressing the window's default button.
    bool keepsEnter = false;
    bool enabled = true;
    bool visible = true;
};

struct CommandButtonProperties {
    Rect bounds{}; ///< twips
    std::string caption{};
    int tabIndex = 0;
    /// Enter presses it, unless the focus is on another command button (which Enter
    /// presses instead), in a list or in a box that keeps Enter.
    bool isDefault = false;
    /// Escape presses it.
    bool isCancel = false;
    bool enabled = true;
    bool visible = true;
};

struct OptionButtonProperties {
    Rect bounds{}; ///< twips
    std::string caption{};
    int tabIndex = 0;
    bool checked = false;
    bool enabled = true;
    bool visible = true;
};

/// A list keeps Enter to itself: it never presses the window's default button.
struct ListBoxProperties {
    Rect bounds{}; ///< twips
    int tabIndex = 0;
    std::string accessibleName{};
    bool enabled = true;
    bool visible = true;
};

struct PictureButtonProperties {
    Rect bounds{}; ///< twips
    std::string picture{};
    std::string toolTip{};
    int tabIndex = 0;
    bool visible = true;
};

struct FrameProperties {
    Rect bounds{}; ///< twips
    std::string caption{};
    bool visible = true;
    bool enabled = true;
};

struct PictureProperties {
    Rect bounds{}; ///< twips, the outer size including the border
    /// Drawn at the top left; empty for a plain background. Its transparent pixels show
    /// the container's own ground, never the controls beneath the picture.
    std::string picture{};
    Color backColor = 0xFFFFFF; ///< may be a system colour
    bool border = false;        ///< a sunken one-pixel border
    bool visible = true;
};

/// Something controls live in: a window's client area, a frame or a picture. Lines are
/// drawn on the container's own surface, beneath the other controls in it. Controls
/// belong to their container and live as long as it does.
class Container {
public:
    Container() = default;
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;
    virtual ~Container() = default;

    virtual LineShape& addLine(const LineProperties& props) = 0;
    virtual Label& addLabel(const LabelProperties& props) = 0;
    virtual PictureButton& addPictureButton(const PictureButtonProperties& props) = 0;
    virtual Frame& addFrame(const FrameProperties& props) = 0;
    virtual Picture& addPicture(const PictureProperties& props) = 0;
    virtual TextBox& addTextBox(const TextBoxProperties& props) = 0;
    virtual CommandButton& addCommandButton(const CommandButtonProperties& props) = 0;
    virtual OptionButton& addOptionButton(const OptionButtonProperties& props) = 0;
    virtual ListBox& addListBox(const ListBoxProperties& props) = 0;
};

/// A captioned border that groups the controls inside it.
class Frame : public Control, public Container {
public:
    /// A disabled frame greys out its caption and everything in it, which then takes no
    /// input; the controls keep their own settings for when it is enabled again.
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
};

/// What has been drawn on a picture's persistent surface, for reading back.
struct DrawnMark {
    enum class Kind { Point, Circle };
    Kind kind = Kind::Point;
    PointF at;         ///< twips, the point or the circle's centre
    float radius = 0;  ///< twips, circles only
    Color color = 0;
    friend bool operator==(const DrawnMark&, const DrawnMark&) = default;
};

/// A rectangle showing a picture or a plain colour, with mouse events of its own. While a
/// button is held after a press on it, the picture gets the moves and the release even
/// where the pointer leaves it.
class Picture : public Control, public Container {
public:
    /// Persistent drawing: what is drawn stays, beneath the picture's lines and controls,
    /// until cleared. A point is one device pixel; a circle an outline one pixel wide.
    virtual void drawPoint(PointF at, Color color) = 0;
    virtual void drawCircle(PointF centre, float radius, Color color) = 0;
    virtual void clearDrawing() = 0;
    /// Everything drawn since the last clear, in order.
    virtual std::vector<DrawnMark> drawing() const = 0;
    /// What a screen reader reads of the picture; an unchanged text tells it nothing new.
    virtual void setAccessibleText(const AccessibleText& text) = 0;
    virtual AccessibleText accessibleText() const = 0;

    Event<MouseEvent> mouseDown;
    Event<MouseEvent> mouseMove;
    Event<MouseEvent> mouseUp;
};

} // namespace kadrill::platform
