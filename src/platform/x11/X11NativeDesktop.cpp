#include "X11NativeDesktop.h"

#include "DevicePlacement.h"
#include "DirectLineLayer.h"
#include "LaunchActivation.h"
#include "TrayHostWatcher.h"
#include "XTestKeySender.h"

#include <QGuiApplication>

namespace kadrill::platform::x11 {

namespace {

// Under Wayland a DISPLAY may still lead to Xwayland, whose tray and window manager are not
// the desktop's. Keys are the exception: they go to programs the alarm steers to X11.
bool qtDrawsOnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

class X11NativeDesktop final : public qt::NativeDesktop {
public:
    std::unique_ptr<LineLayer> lineLayer(QWidget* host, QRect area, const QImage& background, bool shown) override {
        return DirectLineLayer::create(host, area, background, shown);
    }
    void flushLineLayers() override { DirectLineLayer::flushAll(); }
    std::optional<QPoint> screenOrigin(WId window) override { return x11::screenOrigin(window); }
    bool moveClientTo(WId window, QPoint devicePos) override { return x11::moveClientTo(window, devicePos); }
    std::optional<QPoint> frameMargin(WId window) override { return x11::frameMargin(window); }
    bool framesAreTold() override { return x11::framesAreTold(); }
    std::unique_ptr<FrameWatch> frameWatch(WId window, std::function<void()> told) override {
        return std::make_unique<x11::FrameWatch>(window, std::move(told));
    }

    std::unique_ptr<TrayWatch> trayWatch(std::function<void()> onChange) override {
        if (!qtDrawsOnX11()) {
            return nullptr;
        }
        auto watcher = std::make_unique<TrayHostWatcher>(std::move(onChange));
        return watcher->isWatching() ? std::move(watcher) : nullptr;
    }
    std::unique_ptr<LaunchWatch> launchWatch() override {
        return qtDrawsOnX11() ? std::make_unique<LaunchActivation>() : nullptr;
    }
    std::unique_ptr<KeySender> keySender() override { return std::make_unique<XTestKeySender>(); }
};

} // namespace

void installNativeDesktop() {
    static X11NativeDesktop desktop;
    qt::NativeDesktop::install(desktop);
}

} // namespace kadrill::platform::x11
