#include "mainwin/CMain.h"
#include "platform/win32/Text.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32SingleInstance.h"
#include "state/WatchState.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using kadrill::platform::win32::utf8;
using kadrill::platform::win32::wide;

std::vector<std::wstring> arguments() {
    int count = 0;
    LPWSTR* list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> out;
    for (int i = 1; list != nullptr && i < count; ++i) {
        out.emplace_back(list[i]);
    }
    ::LocalFree(list);
    return out;
}

// A windowed program has no console; one started from a console answers there.
void print(const std::string& text) {
    if (::AttachConsole(ATTACH_PARENT_PROCESS) != 0) {
        std::FILE* out = nullptr;
        if (::_wfreopen_s(&out, L"CONOUT$", L"w", stdout) == 0) {
            std::fputs(text.c_str(), stdout);
            std::fflush(stdout);
            return;
        }
    }
    ::MessageBoxW(nullptr, wide(text).c_str(), L"Kadrill", MB_OK | MB_ICONINFORMATION);
}

const char* const kUsage = "Usage: kadrill [FILE.alm]\n"
                           "       kadrill --help | --version\n"
                           "\n"
                           "Kadrill is a desktop clock in the form of a digital wristwatch: the time of day,\n"
                           "a stopwatch, a daily alarm that plays a sound or types keys into a program,\n"
                           "a ramen timer, and setting the computer's clock. Its texts are Japanese.\n"
                           "\n"
                           "FILE.alm is an alarm settings file, saved from the alarm dialog; it is loaded\n"
                           "at start as the dialog's 設定の読込み loads it.\n"
                           "Kadrill runs once per logon: started again, it brings the running watch\n"
                           "forward, and a FILE.alm given then is loaded by the running watch.\n";

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::string alarmFile;
    for (const std::wstring& argument : arguments()) {
        if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            print(kUsage);
            return 0;
        }
        if (argument == L"--version") {
            print("kadrill " KADRILL_VERSION "\n"
                  "Copyright (C) 2026 the Kadrill developers\n"
                  "License GPL-3.0-or-later: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>\n");
            return 0;
        }
        if (!alarmFile.empty() || argument.starts_with(L"-")) {
            print("kadrill: unexpected argument '" + utf8(argument) +
                  "'\nTry 'kadrill --help' for more information.\n");
            return 2;
        }
        // Absolute now: a running watch that is handed the file has another working folder.
        wchar_t full[MAX_PATH * 4];
        const DWORD n = ::GetFullPathNameW(argument.c_str(), MAX_PATH * 4, full, nullptr);
        alarmFile = utf8(n > 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : argument);
    }

    // One clock, one icon and one alarm per logon: a second start hands over and ends.
    kadrill::platform::win32::Win32SingleInstance instance;
    switch (instance.claim(alarmFile)) {
    case kadrill::platform::win32::Win32SingleInstance::Outcome::Forwarded:
        return 0;
    case kadrill::platform::win32::Win32SingleInstance::Outcome::NoAnswer:
        print("kadrill: Kadrill already runs but does not answer: " + instance.error() + "\n");
        return 1;
    case kadrill::platform::win32::Win32SingleInstance::Outcome::First:
        break;
    }

    kadrill::platform::win32::Win32Platform desktop;
    kadrill::state::WatchState state;
    kadrill::mainwin::CMain main(desktop.platform, state);
    main.Start();
    using Source = kadrill::alarm::AlarmFileCommands::Source;
    if (!alarmFile.empty()) {
        // From the event loop, so that its messages stand over a watch already on screen.
        desktop.app.post([&main, alarmFile] { main.openAlarmFile(alarmFile, Source::StartUp); });
    }
    instance.activated = [&desktop, &main] { desktop.app.dispatcher().run([&main] { main.bringToFront(); }); };
    instance.opened = [&desktop, &main](const std::string& file) {
        desktop.app.dispatcher().run([&main] { main.bringToFront(); });
        desktop.app.post([&main, file] { main.openAlarmFile(file, Source::Handed); });
    };
    return desktop.app.run();
}
