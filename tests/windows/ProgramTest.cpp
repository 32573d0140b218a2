// kadrill.exe itself under Wine, seen from outside as a person sees it: it starts, its main
// window comes up with its caption and menu bar, its face shows the time of day, the
// stopwatch runs from the face's buttons, an alarm loaded from a file starts a program and
// types into it, and the close box ends it.
#include "MouseInput.h"
#include "watch_face.h"

#include <windows.h>

#include <oleacc.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>

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

/// A left click at a point of the screen.
void clickAt(POINT screen) {
    INPUT clicks[] = {kadrill::wintest::mouseAt(screen, 0), kadrill::wintest::mouseAt(screen, MOUSEEVENTF_LEFTDOWN),
                      kadrill::wintest::mouseAt(screen, MOUSEEVENTF_LEFTUP)};
    ::SendInput(3, clicks, sizeof(INPUT));
}

/// What a screen reader hears of a window's content: its name and its description.
struct Heard {
    std::wstring name;
    std::wstring description;
};

std::optional<Heard> hear(HWND window) {
    IAccessible* object = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&object)))) {
        return std::nullopt;
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    Heard heard;
    for (auto [get, into] : {std::pair{&IAccessible::get_accName, &heard.name},
                             std::pair{&IAccessible::get_accDescription, &heard.description}}) {
        BSTR text = nullptr;
        if ((object->*get)(self, &text) == S_OK && text != nullptr) {
            *into = text;
            ::SysFreeString(text);
        }
    }
    object->Release();
    return heard;
}

/// The time as the watch words it on the 24-hour clock.
std::wstring spokenTimeNow() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return std::to_wstring(now.wHour) + L"時" + std::to_wstring(now.wMinute) + L"分" + std::to_wstring(now.wSecond) +
           L"秒";
}

/// A screen reader running, as it tells Windows, for as long as this lives.
class ScreenReaderRunning {
public:
    ScreenReaderRunning() { ::SystemParametersInfoW(SPI_SETSCREENREADER, TRUE, nullptr, SPIF_SENDCHANGE); }
    ~ScreenReaderRunning() { ::SystemParametersInfoW(SPI_SETSCREENREADER, FALSE, nullptr, SPIF_SENDCHANGE); }
    ScreenReaderRunning(const ScreenReaderRunning&) = delete;
    ScreenReaderRunning& operator=(const ScreenReaderRunning&) = delete;
};

/// One kadrill.exe started for a test, ended with it.
class Program : public ::testing::Test {
protected:
    ~Program() override {
        if (started_.hProcess != nullptr) {
            if (::WaitForSingleObject(started_.hProcess, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(started_.hProcess, 1);
            }
            ::CloseHandle(started_.hThread);
            ::CloseHandle(started_.hProcess);
        }
    }

    /// Starts it with the arguments and waits for its main window.
    HWND start(const std::wstring& arguments = {}) {
        std::wstring command = L"\"" + programPath() + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &started_) == 0) {
            ADD_FAILURE() << "cannot start " << ::GetLastError();
            return nullptr;
        }
        Search search{started_.dwProcessId};
        const DWORD begin = ::GetTickCount();
        while (search.found == nullptr && ::GetTickCount() - begin < kStartTimeoutMs &&
               ::WaitForSingleObject(started_.hProcess, 100) == WAIT_TIMEOUT) {
            ::EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&search));
        }
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(started_.hProcess, &code);
        EXPECT_NE(search.found, nullptr) << "no visible window \"Kadrill\" with a menu bar; exit code " << code;
        window_ = search.found;
        return window_;
    }

    /// The six digits the face shows now; empty while no face can be found.
    std::string reading() const {
        const e2e::Image image = grabClient(window_);
        const std::optional<e2e::face::Point> face = e2e::face::locate(image);
        return face ? e2e::face::readDigits(image, *face) : std::string();
    }

    /// Waits up to `ms` for a reading that satisfies `wanted`; returns the last reading.
    std::string waitForReading(const std::function<bool(const std::string&)>& wanted, DWORD ms = 5000) const {
        std::string last;
        const DWORD begin = ::GetTickCount();
        do {
            last = reading();
            if (wanted(last)) {
                break;
            }
            ::Sleep(50);
        } while (::GetTickCount() - begin < ms);
        return last;
    }

    /// A left click of the mouse on the face, where the point lies, once the face is drawn.
    void clickFace(e2e::face::Point at) const {
        std::optional<e2e::face::Point> face;
        const DWORD begin = ::GetTickCount();
        while (!(face = e2e::face::locate(grabClient(window_))) && ::GetTickCount() - begin < 5000) {
            ::Sleep(50);
        }
        ASSERT_TRUE(face.has_value()) << "no face drawn to click on";
        POINT screen{face->x + at.x, face->y + at.y};
        ::ClientToScreen(window_, &screen);
        ::SetForegroundWindow(window_);
        clickAt(screen);
    }

    /// What a click on the close box sends; the program must end by it, with success.
    void closeByItsBox() {
        ::PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(::WaitForSingleObject(started_.hProcess, kEndTimeoutMs), WAIT_OBJECT_0) << "it did not end";
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(started_.hProcess, &code);
        EXPECT_EQ(code, 0U);
    }

    PROCESS_INFORMATION started_{};
    HWND window_ = nullptr;
};

TEST_F(Program, ShowsTheTimeOfDayAndEndsByItsCloseBox) {
    ASSERT_NE(start(), nullptr);
    // The face follows the clock: its digits are the time read just before or after the
    // grab (the second may turn between them). Read again while a repaint is under way.
    std::string shown = "nothing", before, after;
    for (int attempt = 0; attempt < 20 && shown != before && shown != after; ++attempt) {
        ::Sleep(100);
        before = digitsNow();
        shown = reading();
        after = digitsNow();
    }
    EXPECT_TRUE(shown == before || shown == after) << "the face shows " << shown << " at " << before;
    closeByItsBox();
}

TEST_F(Program, AScreenReaderHearsTheTimeAndTheAlarmMark) {
    const ScreenReaderRunning reader;
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    ASSERT_NE(start(), nullptr);
    // The face's content is the time, read just before or after (the second may turn).
    std::wstring before, after;
    std::optional<Heard> face;
    for (int attempt = 0; attempt < 50 && !(face && (face->name == before || face->name == after)); ++attempt) {
        ::Sleep(100);
        before = spokenTimeNow();
        face = hear(window_);
        after = spokenTimeNow();
    }
    ASSERT_TRUE(face.has_value()) << "no accessible object for the face";
    EXPECT_TRUE(face->name == before || face->name == after) << "heard " << ::testing::PrintToString(face->name);

    HWND mark = ::FindWindowExW(window_, nullptr, nullptr, L"ｱﾗｰﾑ");
    ASSERT_NE(mark, nullptr) << "no window for the alarm mark";
    const std::optional<Heard> alarm = hear(mark);
    ASSERT_TRUE(alarm.has_value());
    EXPECT_EQ(alarm->name, L"ｱﾗｰﾑ");
    EXPECT_EQ(alarm->description, L"消灯 ｱﾗｰﾑｵﾌ");
    closeByItsBox();
    ::CoUninitialize();
}

TEST_F(Program, TheStopwatchRunsFromTheFacesButtons) {
    ASSERT_NE(start(), nullptr);
    clickFace(e2e::face::kModeButton);
    const std::string cleared = waitForReading([](const std::string& d) { return d == "000000"; });
    ASSERT_EQ(cleared, "000000") << "Mode did not bring up a cleared stopwatch";
    clickFace(e2e::face::kLeftSharedButton); // Start
    ASSERT_NE(waitForReading([](const std::string& d) { return d != "000000"; }, 2000), "000000")
        << "Start did not start the stopwatch";
    // Minutes, seconds and hundredths: past one second within a few.
    const std::string running =
        waitForReading([](const std::string& d) { return d.size() == 6 && d.substr(0, 4) >= "0001"; });
    EXPECT_GE(running.substr(0, 4), "0001") << "running, the stopwatch shows " << running;
    clickFace(e2e::face::kLeftSharedButton); // Stop, in Start's place
    ::Sleep(300);
    const std::string stopped = reading();
    ::Sleep(500);
    EXPECT_EQ(reading(), stopped) << "the stopwatch goes on after Stop";
    closeByItsBox();
}

TEST_F(Program, MinimisedItLeavesItsIconWhichBringsItBack) {
    ASSERT_NE(start(), nullptr);
    ::PostMessageW(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    const DWORD hiddenAt = ::GetTickCount();
    while (::IsWindowVisible(window_) && ::GetTickCount() - hiddenAt < 5000) {
        ::Sleep(50);
    }
    ASSERT_FALSE(::IsWindowVisible(window_)) << "minimised, the watch stays on the task bar";
    // Its icon is the last in the shell's notification area, at the task bar's right end.
    HWND bar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_NE(bar, nullptr);
    RECT area{};
    ::GetWindowRect(bar, &area);
    for (LONG x = area.right - 8; x > area.right - 120 && !::IsWindowVisible(window_); x -= 12) {
        clickAt({x, (area.top + area.bottom) / 2});
        // Clicks apart, so that none is taken for a double click.
        ::Sleep(::GetDoubleClickTime() + 100);
    }
    EXPECT_TRUE(::IsWindowVisible(window_)) << "no icon in the notification area brought the watch back";
    closeByItsBox();
}

TEST_F(Program, AnAlarmLoadedFromAFileStartsAProgramAndTypesIntoIt) {
    // Due a few seconds after start-up; Wine's own Notepad types what it is sent.
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const int due = (now.wHour * 3600 + now.wMinute * 60 + now.wSecond + 8) % 86400;
    char time[16];
    std::snprintf(time, sizeof time, "#%02d:%02d:%02d#", due / 3600, due / 60 % 60, due % 60);
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"typing.alm";
    std::ofstream(file.c_str(), std::ios::binary)
        << time << "\r\n#TRUE#\r\n1\r\n\"\"\r\n\"C:\\windows\\notepad.exe\"\r\n"
        << "\"k\"\r\n\"{k}\"\r\n\"d\"\r\n\"{d}\"\r\n\"EOF\"\r\n";
    ASSERT_NE(start(L"\"" + file + L"\""), nullptr);

    std::wstring typed;
    const DWORD begin = ::GetTickCount();
    while (typed.find(L"kd") == std::wstring::npos && ::GetTickCount() - begin < 25000) {
        ::Sleep(200);
        if (HWND notepad = ::FindWindowW(L"Notepad", nullptr)) {
            if (HWND edit = ::FindWindowExW(notepad, nullptr, L"Edit", nullptr)) {
                wchar_t text[64] = {};
                ::SendMessageW(edit, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
                typed = text;
            }
        }
    }
    EXPECT_NE(typed.find(L"kd"), std::wstring::npos)
        << "Notepad holds \"" << std::string(typed.begin(), typed.end()) << "\"";
    if (HWND notepad = ::FindWindowW(L"Notepad", nullptr)) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(notepad, &pid);
        if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            ::TerminateProcess(process, 0);
            ::CloseHandle(process);
        }
    }
    closeByItsBox();
}

} // namespace
