// kadrill.exe itself under Wine, seen from outside as a person sees it: it starts, its main
// window comes up with its caption and menu bar, its face shows the time of day, and the
// close box ends it.
#include "watch_face.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Start-up under Wine takes a few seconds the first time a prefix runs a program.
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kEndTimeoutMs = 10000;

/// The program as Windows names it: KADRILL_PROGRAM, a path of the build machine seen
/// through Wine's drive Z:.
std::wstring programPath() {
    const char* path = std::getenv("KADRILL_PROGRAM");
    std::wstring native;
    for (const char* c = path != nullptr ? path : ""; *c != '\0'; ++c) {
        native += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
    }
    return native.starts_with(L"\\") ? L"Z:" + native : native;
}

struct Search {
    DWORD process;
    HWND found = nullptr;
};

BOOL CALLBACK findMainWindow(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    wchar_t caption[64] = {};
    ::GetWindowTextW(window, caption, 64);
    if (process == search->process && ::IsWindowVisible(window) && std::wstring(caption) == L"Kadrill" &&
        ::GetMenu(window) != nullptr) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

/// The window's client area as it is on the screen.
e2e::Image grabClient(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    e2e::Image image(width, height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = ::GetDC(window);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    const auto* pixels = static_cast<const std::uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = pixels + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
            image.set(x, y, {p[2], p[1], p[0]});
        }
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(window, screen);
    return image;
}

/// The face's six digits as the 24-hour clock shows the local time now.
std::string digitsNow() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char text[8];
    std::snprintf(text, sizeof text, "%2u%02u%02u", now.wHour, now.wMinute, now.wSecond);
    return text;
}

TEST(Program, StartsWithItsMainWindowAndEndsByItsCloseBox) {
    std::wstring command = L"\"" + programPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(
        ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        << "cannot start " << ::GetLastError();

    Search search{started.dwProcessId};
    const DWORD begin = ::GetTickCount();
    while (search.found == nullptr && ::GetTickCount() - begin < kStartTimeoutMs &&
           ::WaitForSingleObject(started.hProcess, 100) == WAIT_TIMEOUT) {
        ::EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&search));
    }
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(started.hProcess, &code);
    EXPECT_NE(search.found, nullptr) << "no visible window \"Kadrill\" with a menu bar; exit code " << code;

    if (search.found != nullptr) {
        // The face follows the clock: its digits are the time read just before or after the
        // grab (the second may turn between them). Read again while a repaint is under way.
        std::string shown = "nothing", before, after;
        for (int attempt = 0; attempt < 20 && shown != before && shown != after; ++attempt) {
            ::Sleep(100);
            before = digitsNow();
            const e2e::Image image = grabClient(search.found);
            after = digitsNow();
            const std::optional<e2e::face::Point> face = e2e::face::locate(image);
            shown = face ? e2e::face::readDigits(image, *face) : "no face";
        }
        EXPECT_TRUE(shown == before || shown == after) << "the face shows " << shown << " at " << before;

        // What a click on the close box sends.
        ::PostMessageW(search.found, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(::WaitForSingleObject(started.hProcess, kEndTimeoutMs), WAIT_OBJECT_0) << "it did not end";
        ::GetExitCodeProcess(started.hProcess, &code);
        EXPECT_EQ(code, 0U);
    }
    if (::WaitForSingleObject(started.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(started.hProcess, 1);
    }
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
}

} // namespace
