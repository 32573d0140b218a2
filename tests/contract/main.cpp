#include "platform/x11/X11NativeDesktop.h"

#include <QApplication>

#include <gtest/gtest.h>

// Last: Xlib's macros (None, Bool, Status) break Qt's headers.
#include "x_harness.h"

#include <cstdlib>
#include <cstring>
#include <optional>

// One QApplication for every test: the Qt backend needs it, the in-memory one ignores it.
// With KADRILL_CONTRACT_DESKTOP=x11 the Qt backend runs on a private Xvfb with a window
// manager and a notification area, and a session bus of its own, as users run it, so the fake
// is held to the real desktop and not only to Qt's offscreen platform.
int main(int argc, char** argv) {
    std::optional<e2e::TempDir> home;
    std::optional<e2e::PrivateSessionBus> sessionBus;
    std::optional<e2e::XServer> x;
    std::optional<e2e::Process> windowManager;
    std::optional<e2e::Process> trayHost;
    if (const char* desktop = std::getenv("KADRILL_CONTRACT_DESKTOP"); desktop && std::strcmp(desktop, "x11") == 0) {
        home.emplace();
        const char* busConfig = std::getenv("KADRILL_E2E_SESSION_BUS_CONFIG");
        sessionBus.emplace(busConfig != nullptr ? busConfig : "");
        setenv("DBUS_SESSION_BUS_ADDRESS", sessionBus->address().c_str(), 1);
        x.emplace();
        windowManager.emplace(e2e::startOpenbox(*x, home->path(), std::chrono::seconds(15)));
        trayHost.emplace(e2e::startTrayer(*x, std::chrono::seconds(15)));
        setenv("DISPLAY", x->displayName().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    QApplication app(argc, argv);
    kadrill::platform::x11::installNativeDesktop(); // as the program does
    // As in the program: a window closed by its close box must not end the process.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
