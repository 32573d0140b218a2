#pragma once

#include "NativeDesktop.h"
#include "QtContainer.h"
#include "platform/Window.h"

#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QEvent;
class QWidget;

namespace kadrill::platform::qt {

class QtDispatcher;
class QtMenu;
class QtTimer;
class Surface;

/// A top-level window. The main window is a QMainWindow for its menu bar; every other
/// window is a plain QWidget. The client area is a Surface with the window's picture.
class QtWindow final : public QtHostedContainer<Window> {
public:
    QtWindow(QtDispatcher& dispatcher, const WindowProperties& props);
    ~QtWindow() override;

    void show() override;
    void hide() override;
    bool isVisible() const override;
    void activate() override;
    void requestAttention() override;
    bool isDemandingAttention() const override { return demandsAttention_; }
    Point position() const override;
    void setPosition(Point topLeft) override;
    Rect frameRect() const override;
    std::optional<Point> clientOffset() const override;
    Rect availableArea() const override;
    WindowState windowState() const override;
    void setWindowState(WindowState state) override;
    bool startSystemMove() override;
    void setAccessibleText(const AccessibleText& text) override;
    AccessibleText accessibleText() const override;

    Timer& addTimer(const TimerProperties& props) override;
    Menu& addMenu(const std::string& caption) override;

    /// The top-level widget and the client area, for tests and the flip log.
    QWidget* widget() const { return top_.get(); }
    Surface* surface() const { return surface_; }

    /// True while the window is still on its way to where it was last placed: waiting for
    /// its frame, or moved without Qt having heard where it now is. For tests, which point
    /// the mouse by Qt's idea of the window.
    bool placementPending() const;

    /// Everything that reaches the top-level widget passes here; base runs Qt's own handling.
    bool topLevelEvent(QEvent* event, const std::function<bool()>& base);

private:
    void noteClientOffset() const;
    /// From the frame's corner to the client area's, in device pixels.
    QPoint deviceFrameMargin() const;
    /// The frame's margin if it is known now: empty while a frame is still to come.
    std::optional<QPoint> currentFrameMargin() const;
    /// Tries the placement again once the window manager tells the window its frame.
    void watchFrame();
    /// Moves the window to the device pixel its last position asked for, if it is not there.
    void placeExactly();
    void minimisedReport(bool minimised);
    /// Keeps input queued before a hide from reaching the hidden window's controls, and
    /// places the window once the window system shows it.
    void filterHandle();

    QtDispatcher& dispatcher_;
    QtWindowControls controls_;
    // Our adapters outlive the widgets they talk to: top_ is declared last, destroyed first
    // (the controls' adapters, in the base, outlive it too).
    std::vector<std::unique_ptr<QtTimer>> timers_;
    std::vector<std::unique_ptr<QtMenu>> menus_;
    std::unique_ptr<QWidget> top_;
    Surface* surface_ = nullptr;
    bool closedRaised_ = false;
    bool demandsAttention_ = false;
    mutable std::optional<Point> clientOffset_;
    /// Where a hidden window goes when shown, in device pixels (X11).
    std::optional<QPoint> pendingDevicePosition_;
    /// Since the last placing or showing: how late a placement may still be put right.
    QElapsedTimer sincePlaced_;
    /// Where the client area was last moved to the device pixel, and since when.
    std::optional<QPoint> movedTo_;
    QElapsedTimer sinceMoved_;
    /// The frame's margin as last seen, device pixels; null while never seen or none.
    mutable QPoint knownFrameMargin_;
    /// Waits for the window manager to tell the frame of a window placed before it was framed.
    std::unique_ptr<NativeDesktop::FrameWatch> frameWatch_;
    /// Since the program last restored the window from minimised.
    QElapsedTimer sinceRestore_;
    /// Drops the input queued for the window before it hid; owned by the top-level widget.
    QObject* handleFilter_ = nullptr;
    bool maximizable_ = false;
};

} // namespace kadrill::platform::qt
