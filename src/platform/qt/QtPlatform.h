#pragma once

#include "FirstUseHelp.h"
#include "FirstUseMediaControl.h"
#include "NativeDesktop.h"
#include "QtApplication.h"
#include "QtAutostart.h"
#include "QtDispatcher.h"
#include "QtFileDialogs.h"
#include "QtFileSystem.h"
#include "QtMessageBoxes.h"
#include "QtProgramStarter.h"
#include "QtTrayIcon.h"
#include "QtWindowSystem.h"
#include "platform/Platform.h"
#include "platform/posix/SystemClock.h"

namespace kadrill::platform::qt {

/// The real desktop: Qt windows, the system clock, the notification area, sound, program
/// start and key sending. Needs a QApplication. Setting the clock is handed in: the real
/// setter is wired only by the program itself, never by a test.
class QtPlatform {
public:
    explicit QtPlatform(SystemTimeSetter& timeSetter)
        : windows(dispatcher), tray(dispatcher),
          app(dispatcher), platform{windows, clock,       tray,     media, messages,   help,     app,
                                    files,   fileDialogs, programs, keys,  timeSetter, autostart} {}

    QtDispatcher dispatcher;
    QtWindowSystem windows;
    posix::SystemClock clock;
    QtTrayIcon tray;
    // The sound's end is heard on the mixer's thread and handled through the dispatcher.
    FirstUseMediaControl media{[this](const Event<>& e) { dispatcher.deliver(e); }};
    QtMessageBoxes messages;
    FirstUseHelp help;
    QtApplication app;
    QtFileSystem files;
    QtFileDialogs fileDialogs;
    QtProgramStarter programs;
    std::unique_ptr<KeySender> keySender = NativeDesktop::installed().keySender();
    KeySender& keys = *keySender;
    QtAutostart autostart;
    Platform platform;
};

} // namespace kadrill::platform::qt
