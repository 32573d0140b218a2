#include "NativeHandles.h"

#include "Win32Host.h"
#include "Win32Menu.h"
#include "Win32Window.h"

namespace kadrill::platform::win32 {

HWND nativeWindow(const platform::Window& window) {
    const auto* ours = dynamic_cast<const Win32Window*>(&window);
    return ours != nullptr ? ours->hwnd() : nullptr;
}

HWND nativeControl(const platform::Control& control) {
    const auto* child = dynamic_cast<const Win32Child*>(&control);
    return child != nullptr ? child->hwnd() : nullptr;
}

NativeMenuItem nativeMenuItem(const platform::MenuItem& item) {
    const auto* ours = dynamic_cast<const Win32MenuItem*>(&item);
    return ours != nullptr ? NativeMenuItem{ours->owner(), ours->menu(), ours->id()} : NativeMenuItem{};
}

} // namespace kadrill::platform::win32
