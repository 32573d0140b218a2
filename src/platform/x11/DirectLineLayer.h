#pragma once

#include "platform/qt/NativeDesktop.h"

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
///
/// The layer follows its host's window to each new native handle Qt gives it; while the
/// window has none, changes are kept and drawn once it has one again.
class DirectLineLayer final : public qt::NativeDesktop::LineLayer {
public:
    /// A layer over `area` of `host` (logical pixels of the host widget), showing
    /// `background` (the area without lines, at the host's device pixel ratio) under the
    /// lines; on the screen at once when `shown`. Null where Qt does not draw on X11, or
    /// the screen's format is not the usual 24-bit TrueColor that the background is
    /// uploaded in.
    static std::unique_ptr<DirectLineLayer> create(QWidget* host, QRect area, const QImage& background,
                                                   bool shown = true);
    ~DirectLineLayer() override;
    DirectLineLayer(const DirectLineLayer&) = delete;
    DirectLineLayer& operator=(const DirectLineLayer&) = delete;

    int addLine(const QPolygonF& outline, QRgb colour, bool visible) override;
    void setLine(int index, QRgb colour, bool visible) override;
    void moveLine(int index, const QPolygonF& outline) override;
    void follow() override;
    void setShown(bool shown) override;
    /// Over every other window within its host's window.
    void raise() override;
    void flush() override;
    /// Flushes every layer that has drawn something; run after each of the program's
    /// handlers, which are where lines change.
    static void flushAll();

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
    static void handleChanged(QWidget* top);

    std::unique_ptr<Connection> connection_;
    std::vector<Line> lines_;
};

} // namespace kadrill::platform::x11
