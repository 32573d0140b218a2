#pragma once

#include <windows.h>

namespace kadrill::wintest {

/// A mouse event at a point of the screen: flags such as MOUSEEVENTF_LEFTDOWN, or 0 for a
/// move alone. The position travels with the event: a pointer moved on its own first may
/// not yet be where a busy Wine takes the button.
inline INPUT mouseAt(POINT screen, DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = ::MulDiv(screen.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = ::MulDiv(screen.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return in;
}

} // namespace kadrill::wintest
