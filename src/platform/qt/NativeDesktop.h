#pragma once

#include "platform/KeySender.h"

#include <QImage>
#include <QPoint>
#include <QPolygonF>
#include <QRect>
#include <QRgb>
#include <QWindow>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace kadrill::platform::qt {

/// What the Qt backend needs from the window system beneath Qt, which Qt does not offer.
/// The backend of that system installs its own once, before the first window; until then,
/// and on a desktop none serves (offscreen, Wayland), every answer is "not here" and the Qt
/// backend makes do with Qt alone.
class NativeDesktop {
public:
    /// Filled line outlines of changing colour drawn straight to the screen over an area of
    /// a widget, past Qt's repaints; a layer without lines is a still picture.
    class LineLayer {
    public:
        virtual ~LineLayer() = default;

        /// Adds a line: its outline in logical pixels of the host. Returns its index.
        virtual int addLine(const QPolygonF& outline, QRgb colour, bool visible) = 0;
        /// Colours, shows or hides a line; the change is drawn at once.
        virtual void setLine(int index, QRgb colour, bool visible) = 0;
        /// Gives a line a new outline (a hand that turns); the change is drawn at once.
        virtual void moveLine(int index, const QPolygonF& outline) = 0;
        /// Moves the layer to follow its area within the host (the host moved in its window).
        virtual void follow() = 0;
        /// Puts the layer on the screen or takes it off; what lies beneath shows through.
        virtual void setShown(bool shown) = 0;
        /// Lays the layer over every other one within its host's window.
        virtual void raise() = 0;
        /// Sends what was drawn since the last flush.
        virtual void flush() = 0;

        /// Called after a write that carried new drawing has left for the screen.
        std::function<void()> flushed;
    };

    /// Whether a notification area of the system's own kind is there; says when that changes.
    class TrayWatch {
    public:
        virtual ~TrayWatch() = default;

        virtual bool present() const = 0;
    };

    /// Program starts announced as launchers announce them, so that the started program's
    /// first window gets the focus.
    class LaunchWatch {
    public:
        virtual ~LaunchWatch() = default;

        /// The id the start of `program` goes by; empty where starts cannot be announced.
        virtual std::string announce(const std::string& program) = 0;
        /// The start with this id came to nothing.
        virtual void cancel(const std::string& startupId) = 0;
        /// Watches for the first window of process `pid`, for at most `patience`.
        virtual void watch(std::int64_t pid, const std::string& startupId, std::chrono::milliseconds patience) = 0;
        /// Looks once for the windows watched for; true while some are still awaited.
        virtual bool poll() = 0;
    };

    /// Held for as long as the window manager's word on a window's frame is awaited.
    class FrameWatch {
    public:
        virtual ~FrameWatch() = default;
    };

    NativeDesktop() = default;
    NativeDesktop(const NativeDesktop&) = delete;
    NativeDesktop& operator=(const NativeDesktop&) = delete;
    virtual ~NativeDesktop() = default;

    /// A layer over `area` of `host` (logical pixels) showing `background` (at the host's
    /// device pixel ratio) under its lines, on the screen at once when `shown`.
    virtual std::unique_ptr<LineLayer> lineLayer(QWidget* /*host*/, QRect /*area*/, const QImage& /*background*/,
                                                 bool /*shown*/) {
        return nullptr;
    }
    /// Sends what every layer drew; run after each of the program's handlers.
    virtual void flushLineLayers() {}
    /// Where the client area of the top-level `window` is on the screen, in device pixels.
    virtual std::optional<QPoint> screenOrigin(WId /*window*/) { return std::nullopt; }
    /// Asks for the client area of the top-level `window` at `devicePos`.
    virtual bool moveClientTo(WId /*window*/, QPoint /*devicePos*/) { return false; }
    /// From the corner of the frame around the top-level `window` to the corner of the window,
    /// in device pixels, as the window manager tells it; empty while unframed or not yet told.
    virtual std::optional<QPoint> frameMargin(WId /*window*/) { return std::nullopt; }
    /// Whether the window manager tells each window its frame: only then is a frame not yet
    /// told one still to come.
    virtual bool framesAreTold() { return false; }
    /// Calls `told` each time the window manager tells `window` its frame, while it lives.
    virtual std::unique_ptr<FrameWatch> frameWatch(WId /*window*/, std::function<void()> /*told*/) {
        return nullptr;
    }
    /// `onChange` runs on the UI thread whenever the area comes or goes.
    virtual std::unique_ptr<TrayWatch> trayWatch(std::function<void()> /*onChange*/) { return nullptr; }
    virtual std::unique_ptr<LaunchWatch> launchWatch() { return nullptr; }
    virtual std::unique_ptr<KeySender> keySender() { return std::make_unique<NoKeySender>(); }

    /// The one installed, or the one that has nothing.
    static NativeDesktop& installed() {
        static NativeDesktop none;
        return installed_ != nullptr ? *installed_ : none;
    }
    /// For the rest of the process.
    static void install(NativeDesktop& desktop) { installed_ = &desktop; }

private:
    class NoKeySender final : public KeySender {
    public:
        bool isAvailable() const override { return false; }
        bool targetHasFocus(std::int64_t /*pid*/) const override { return false; }
        bool targetHasWindow(std::int64_t /*pid*/) const override { return false; }
        KeySendResult send(const KeyStroke& /*stroke*/, std::int64_t /*targetPid*/) override {
            return {KeySendResult::Status::Unavailable, "no desktop that lets keys be typed"};
        }
    };

    static inline NativeDesktop* installed_ = nullptr;
};

} // namespace kadrill::platform::qt
