#pragma once

#include <QImage>
#include <QPolygon>
#include <QRect>
#include <QRgb>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace kadrill::platform::x11 {

/// Draws a set of filled line outlines of changing colour straight onto an X window of
/// its own, a child of a Qt window, bypassing Qt's repaint and backing store.
///
/// A running stopwatch changes its last digits sixty times a second. Through Qt each change
/// is a posted repaint, a painter, a backing-store update and a flush, several times the
/// cost of the two or three polygon fills that are all that changes. Here a change is a
/// fill request, and all the requests of one handler go to the server in one write when
/// the handler is done (flushAll). The server keeps the window's background (what lies
/// under the lines) as the window's background pixmap and repaints it on exposure; the
/// layer then draws the lines again.
///
/// A layer without lines is a still picture the server shows and hides by itself: no
/// exposure ever reaches the program for it.
///
/// The layer takes no input: presses over it go to the Qt window beneath.
class DirectLineLayer {
public:
    /// A layer over `area` of `host` (logical pixels of the host widget), showing
    /// `background` (the area without lines, at the host's device pixel ratio) under the
    /// lines; on the screen at once when `shown`. Null where Qt does not draw on X11, or
    /// the screen's format is not the usual 24-bit TrueColor that the background is
    /// uploaded in.
    static std::unique_ptr<DirectLineLayer> create(QWidget* host, QRect area, const QImage& background,
                                                   bool shown = true);
    ~DirectLineLayer();
    DirectLineLayer(const DirectLineLayer&) = delete;
    DirectLineLayer& operator=(const DirectLineLayer&) = delete;

    /// Adds a line: its outline in logical pixels of the host. Returns its index.
    int addLine(const QPolygonF& outline, QRgb colour, bool visible);
    /// Colours, shows or hides a line; the change is drawn at once.
    void setLine(int index, QRgb colour, bool visible);
    /// Gives a line a new outline (a hand that turns); the change is drawn at once.
    void moveLine(int index, const QPolygonF& outline);
    /// Moves the layer to follow its area within the host (the host moved in its window).
    void follow();
    /// Puts the layer on the screen or takes it off; what lies beneath shows through.
    void setShown(bool shown);
    /// Lays the layer over every other window within its host's window.
    void raise();
    /// Sends what was drawn since the last flush to the server.
    void flush();
    /// Flushes every layer that has drawn something; run after each of the program's
    /// handlers, which are where lines change.
    static void flushAll();

    /// Called after a write that carried new drawing has left for the server.
    std::function<void()> flushed;

    struct Connection;

private:
    struct Line {
        std::vector<int> points; // x, y pairs in device pixels of the layer
        QRect bounds;            // device pixels of the layer
        QRgb colour = 0;
        bool visible = true;
    };

    explicit DirectLineLayer(std::unique_ptr<Connection> connection);
    void place(Line& line, const QPolygonF& outline) const;
    void fill(const Line& line);
    void redraw(QRect rect);
    void watchExposures();

    std::unique_ptr<Connection> connection_;
    std::vector<Line> lines_;
};

} // namespace kadrill::platform::x11
