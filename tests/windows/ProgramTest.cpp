// kadrill.exe itself under Wine, seen from outside as a person sees it: it starts, its main
// window comes up with its caption and menu bar, and the close box ends it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
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

TEST(Program, StartsWithItsMainWindowAndEndsByItsCloseBox) {
    if (const char* wired = std::getenv("KADRILL_PROGRAM_WIRED"); wired != nullptr && std::string(wired) == "0") {
        GTEST_SKIP() << "src/app/win32/main.cpp does not start the watch yet";
    }
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
