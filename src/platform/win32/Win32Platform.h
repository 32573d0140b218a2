#pragma once

#include "Win32Application.h"
#include "Win32Autostart.h"
#include "Win32Clock.h"
#include "Win32FileDialogs.h"
#include "Win32FileSystem.h"
#include "Win32Help.h"
#include "Win32KeySender.h"
#include "Win32MediaControl.h"
#include "Win32MessageBoxes.h"
#include "Win32ProgramStarter.h"
#include "Win32SystemTimeSetter.h"
#include "Win32TrayIcon.h"
#include "Win32WindowSystem.h"
#include "platform/Platform.h"

#include <functional>

namespace kadrill::platform::win32 {

/// The real Windows desktop: Win32 windows, the system clock, the notification area, MCI
/// sound, program start and SendInput. The application comes first: it makes the process
/// aware of each monitor's scale before any window exists.
class Win32Platform {
public:
    Win32Platform()
        : platform{windows, clock,       tray,     media, messages,   help,     app,
                   files,   fileDialogs, programs, keys,  timeSetter, autostart} {}

    Win32Application app;
    Win32WindowSystem windows{app};
    Win32Clock clock;
    // Events the icon and the sound raise run as handlers, with the polling timers after.
    Win32TrayIcon tray{[this](const std::function<void()>& handler) { app.dispatcher().run(handler); }};
    Win32MediaControl media{[this](const std::function<void()>& handler) { app.dispatcher().run(handler); }};
    Win32MessageBoxes messages;
    Win32Help help;
    Win32FileSystem files;
    Win32FileDialogs fileDialogs;
    Win32ProgramStarter programs;
    Win32KeySender keys;
    // The answer comes from the event loop; once the clock moved, the second edges follow it.
    Win32SystemTimeSetter timeSetter{[this](std::function<void()> answer) { app.post(std::move(answer)); },
                                     [this] { app.dispatcher().resyncSecondEdges(); }};
    Win32Autostart autostart;
    Platform platform;
};

} // namespace kadrill::platform::win32
