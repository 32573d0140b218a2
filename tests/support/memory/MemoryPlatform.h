#pragma once

// An in-memory desktop for tests. It keeps the event semantics of the real one:
// a timer ticks only while enabled and only when the fake time passes its interval,
// every change a control makes is readable back, and what a user does (clicks,
// choices, presses on the tray icon) comes through the same events as on the desktop.

#include "MemoryClock.h"
#include "MemoryControls.h"
#include "MemoryServices.h"
#include "MemorySystemTimeSetter.h"
#include "MemoryWindow.h"
#include "platform/Platform.h"

namespace kadrill::platform::memory {

/// All in-memory services together, with one fake clock driving them.
class MemoryPlatform {
public:
    MemoryPlatform() : loop(clock), windows(loop), app(loop), fileDialogs(files), programs(files), keys(loop) {}

    FakeClock clock;
    MemoryEventLoop loop;
    MemoryWindowSystem windows;
    MemoryTrayIcon tray;
    MemoryMediaControl media;
    MemoryMessageBoxes messages;
    MemoryHelp help;
    MemoryApplication app;
    MemoryFileSystem files;
    MemoryFileDialogs fileDialogs;
    MemoryProgramStarter programs;
    MemoryKeySender keys;
    MemorySystemTimeSetter timeSetter{loop};
    MemoryAutostart autostart;
    Platform platform{windows, clock,       tray,     media, messages,   help,     app,
                      files,   fileDialogs, programs, keys,  timeSetter, autostart};
};

} // namespace kadrill::platform::memory
