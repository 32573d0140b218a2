#pragma once

#include "platform/Window.h"

#include <QMainWindow>
#include <QPixmap>
#include <QWidget>

#include <memory>
#include <vector>

namespace kadrill::platform::qt {

class QtDispatcher;
class FaceCanvas;
class QtMenu;

/// Twips to logical pixels; Qt then applies the device pixel ratio.
int toPixels(int twips);
int toTwips(int pixels);

class QtLineShape final : public LineShape {
public:
    QtLineShape(FaceCanvas& canvas, const LineProperties& props);
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    void setColor(Color color) override;
    Color color() const override { return color_; }

    /// The outline of the stroked line, worked out once: filling it costs a fraction of
    /// stroking a thick round-capped pen at every repaint.
    const QPolygonF& outline() const { return outline_; }
    QRect bounds() const { return bounds_; }

private:
    FaceCanvas& canvas_;
    QPolygonF outline_;
    QRect bounds_;
    Color color_;
    bool visible_ = true;
};

/// The client area of a window: its picture with the line shapes drawn over it.
class FaceCanvas final : public QWidget {
public:
    FaceCanvas(QSize size, QPixmap picture, QWidget* parent);

    QtLineShape& addLine(const LineProperties& props);
    /// A line changed its colour or visibility.
    void lineChanged(const QtLineShape& line, bool colorChanged);
    /// True once after the lines changed colour: the next repaint shows new digits.
    bool takeFlipPending();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    std::vector<std::unique_ptr<QtLineShape>> lines_;
    bool flipPending_ = false;
};

class QtWindow final : public QMainWindow, public Window {
public:
    QtWindow(QtDispatcher& dispatcher, const WindowProperties& props);
    ~QtWindow() override;

    void show() override;
    void hide() override;
    bool isVisible() const override { return QMainWindow::isVisible(); }
    Point position() const override;
    void setPosition(Point topLeft) override;
    WindowState windowState() const override;
    void setWindowState(WindowState state) override;

    LineShape& addLine(const LineProperties& props) override;
    Label& addLabel(const LabelProperties& props) override;
    PictureButton& addPictureButton(const PictureButtonProperties& props) override;
    Timer& addTimer(const TimerProperties& props) override;
    Menu& addMenu(const std::string& caption) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QtDispatcher& dispatcher_;
    FaceCanvas* canvas_ = nullptr;
    std::vector<std::unique_ptr<QtMenu>> menus_;
    bool closedRaised_ = false;
};

} // namespace kadrill::platform::qt
