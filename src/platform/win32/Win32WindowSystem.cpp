#include "Win32WindowSystem.h"

#include "Win32Window.h"

namespace kadrill::platform::win32 {

std::unique_ptr<Window> Win32WindowSystem::createWindow(const WindowProperties& props) {
    return std::make_unique<Win32Window>(app_, props);
}

bool Win32WindowSystem::isAccessibilityActive() const {
    BOOL running = FALSE;
    return ::SystemParametersInfoW(SPI_GETSCREENREADER, 0, &running, 0) != FALSE && running != FALSE;
}

} // namespace kadrill::platform::win32
