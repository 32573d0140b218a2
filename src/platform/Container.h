#pragma once

#include "Color.h"
#include "Controls.h"
#include "Geometry.h"

#include <string>

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
    Rect bounds; ///< twips
    std::string text;
    std::string fontName;
    double fontPoints = 9.0;
    Color foreColor = 0;
    bool visible = true;
};

struct PictureButtonProperties {
    Rect bounds; ///< twips
    std::string picture;
    std::string toolTip;
    int tabIndex = 0;
    bool visible = true;
};

struct FrameProperties {
    Rect bounds; ///< twips
    std::string caption;
    bool visible = true;
};

struct PictureProperties {
    Rect bounds;         ///< twips, the outer size including the border
    std::string picture; ///< drawn at the top left; empty for a plain background
    Color backColor = 0xFFFFFF;
    bool border = false; ///< a sunken one-pixel border
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
};

/// A captioned border that groups the controls inside it.
class Frame : public Control, public Container {};

/// A rectangle showing a picture or a plain colour, with mouse events of its own.
class Picture : public Control, public Container {
public:
    Event<MouseEvent> mouseDown;
    Event<MouseEvent> mouseMove;
    Event<MouseEvent> mouseUp;
};

} // namespace kadrill::platform
