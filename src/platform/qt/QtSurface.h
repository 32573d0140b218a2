#pragma once

#include "NativeDesktop.h"
#include "platform/Container.h"
#include "platform/Event.h"
#include "platform/Mouse.h"

#include <QLoggingCategory>
#include <QPixmap>
#include <QPolygonF>
#include <QWidget>

class QAccessibleInterface;

#include <memory>
#include <optional>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcFlip)

namespace kadrill::platform::qt {

class QtDispatcher;
class Surface;

/// Notes, in the flip log, how far past the wall-clock second new digits reached the screen.
void logFlip();

class QtLineShape final : public LineShape {
public:
    QtLineShape(Surface& surface, const LineProperties& props);
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    void setColor(Color color) override;
    Color color() const override { return color_; }
    void setEnd(PointF to) override;
    PointF end() const override { return to_; }

    /// The outline of the stroked line, worked out once: filling it costs a fraction of
    /// stroking a thick round-capped pen at every repaint.
    const QPolygonF& outline() const { return outline_; }
    QRect bounds() const { return bounds_; }

    /// Its index in the surface's direct layer, or -1 where Qt paints it.
    int directIndex = -1;

private:
    void makeOutline();

    Surface& surface_;
    Point from_;
    PointF to_;
    int thickness_;
    QPolygonF outline_;
    QRect bounds_;
    Color color_;
    bool visible_ = true;
};

/// Where a surface sends the mouse events over its bare parts.
struct SurfaceMouse {
    QtDispatcher* dispatcher = nullptr;
    Event<MouseEvent>* down = nullptr;
    Event<MouseEvent>* move = nullptr;
    Event<MouseEvent>* up = nullptr;
};

/// The drawing surface of a container: its picture or plain colour, with the line shapes
/// drawn over it, repainted only where something changed. Without a background it is a
/// transparent layer that lets the mouse through.
class Surface final : public QWidget {
    // Its own class name, so that its accessible interface is ours (accessibleFactory).
    Q_OBJECT

public:
    struct Background {
        QPixmap picture;
        /// May be one of the desktop's colours, taken from the palette at each repaint.
        std::optional<Color> color;
        bool sunkenBorder = false;
        /// Lines may go to a layer of their own over the background. Not where the
        /// program draws beneath them: the layer would cover that drawing.
        bool directLines = true;
        /// A still picture with nothing drawn on it may be shown by the X server itself,
        /// so that showing and hiding it costs Qt no repaint. Not with a border.
        bool directPicture = false;
    };

    Surface(QSize size, Background background, QWidget* parent);
    ~Surface() override;

    QtLineShape& addLine(const LineProperties& props);
    /// A line changed its colour or visibility.
    void lineChanged(const QtLineShape& line, bool colorChanged);
    /// A line took a new outline; `was` is where it lay before.
    void lineMoved(const QtLineShape& line, QRect was);

    // The persistent drawing beneath the lines, in twips.
    void drawMark(const DrawnMark& mark);
    void clearDrawing();
    const std::vector<DrawnMark>& drawing() const { return marks_; }
    /// The colour a platform colour is drawn in here.
    QColor colorOf(Color c) const { return toQColorHere(c); }
    /// True once after the lines changed colour: the next repaint shows new digits.
    bool takeFlipPending();
    void setMouse(SurfaceMouse mouse) { mouse_ = mouse; }

    /// Shows or hides the surface. One the server shows by itself only goes on or off the
    /// screen, and lets the mouse through while off.
    void setShown(bool shown);
    bool isShown() const { return directPicture_ ? shown_ : !isHidden(); }
    /// True while the X server shows this picture by itself.
    bool showsDirect() const { return directPicture_; }

    /// Which still pictures of `window` the server may show: those that nothing Qt draws
    /// lies over. Settled each time the program shows the window.
    static void settleDirectPictures(QWidget* window);

    /// Qt's factory of accessible interfaces for surfaces and plain windows: a surface the
    /// program has named shows something (the watch face, a dial) and reads as a text, not
    /// as an empty filler.
    static QAccessibleInterface* accessibleFactory(const QString& className, QObject* object);

protected:
    void childEvent(QChildEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void deliverMouse(Event<MouseEvent>* event, QMouseEvent* qe, MouseButton button);
    void paintBackground(QPainter& p, const QRect& dirty);
    /// The picture over what the container paints of its own where this surface lies.
    const QPixmap& pictureOnGround();
    void paintDrawing(QPainter& p, const QRegion& dirty);
    void startDirectLayer();
    static void restackDirectPictures(QWidget* window);
    bool mayShowDirect() const;
    /// Hands the picture to the server; false where it cannot take it.
    bool startDirectPicture();
    /// Gives the picture back to Qt: something is to be drawn on it.
    void stopDirectPicture();
    void makeDirectPicture();
    /// The server's window on the screen while the picture and all it lies in are shown.
    void placeDirectPicture(bool onScreen);
    QColor toQColorHere(Color c) const;
    /// The logical pixels a mark touches, with a pixel to spare for rounding.
    QRect boundsOf(const DrawnMark& mark) const;

    Background background_;
    std::unique_ptr<NativeDesktop::LineLayer> layer_;
    bool layerTried_ = false;
    bool directPicture_ = false;
    bool shown_ = true; // while the server shows the picture
    bool mapped_ = false;
    std::vector<std::unique_ptr<QtLineShape>> lines_;
    std::vector<DrawnMark> marks_;
    /// A picture with transparent pixels over the container's ground; made when first needed.
    QPixmap composed_;
    SurfaceMouse mouse_;
    bool flipPending_ = false;
};

/// The mouse button of a Qt button value.
MouseButton toMouseButton(Qt::MouseButton button);
/// The held buttons as an OR of MouseButton values.
int toMouseButtons(Qt::MouseButtons buttons);

} // namespace kadrill::platform::qt
