#include "Win32Application.h"

#include "Win32Geometry.h"

#include <commctrl.h>

#include <chrono>

namespace kadrill::platform::win32 {

namespace {

// More than any burst of input or painting: what is posted meanwhile waits for the next call.
constexpr int kMostMessagesPerCall = 10000;

bool enableAwarenessOnce() {
    enableDpiAwareness();
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    return true;
}

} // namespace

Win32Application::Win32Application() {
    static const bool ready = enableAwarenessOnce();
    (void)ready;
}

Win32Application::~Win32Application() {
    if (menuOwner_ != nullptr) {
        ::DestroyWindow(menuOwner_);
    }
}

bool Win32Application::dispatch(const MSG& msg) {
    if (msg.message == WM_QUIT) {
        quitting(static_cast<int>(msg.wParam));
        return false;
    }
    const std::uint64_t before = dispatcher_.handlersRun();
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    dispatcher_.afterMessage(msg, before);
    return true;
}

void Win32Application::quitting(int code) {
    if (!quitting_) {
        quitting_ = true;
        exitCode_ = code;
    }
    dispatcher_.stop();
}

int Win32Application::run() {
    MSG msg{};
    while (!quitting_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            break;
        }
        if (got == 0 || !dispatch(msg)) {
            quitting(static_cast<int>(msg.wParam));
            break;
        }
    }
    return exitCode_;
}

void Win32Application::quit() {
    // No handler runs from here on, not even for the windows going from the screen now;
    // their objects go with the program's own.
    quitting(0);
    for (HWND window : std::vector<HWND>(windows_)) {
        ::ShowWindow(window, SW_HIDE);
    }
    ::PostQuitMessage(0);
}

void Win32Application::processEvents() {
    MSG msg{};
    for (int n = 0; n < kMostMessagesPerCall && !quitting_ && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        if (!dispatch(msg)) {
            ::PostQuitMessage(static_cast<int>(msg.wParam)); // for the loops outside this one
            return;
        }
    }
}

void Win32Application::waitForEvents(int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(std::max(0, milliseconds));
    while (!quitting_) {
        processEvents();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0 || quitting_) {
            return;
        }
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

HWND Win32Application::menuOwner() {
    if (menuOwner_ == nullptr) {
        menuOwner_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
    }
    return menuOwner_;
}

} // namespace kadrill::platform::win32
