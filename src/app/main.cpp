#include "mainwin/CMain.h"
#include "platform/dbus/SingleInstance.h"
#include "platform/dbus/TimedatedTimeSetter.h"
#include "platform/qt/Assets.h"
#include "platform/qt/FontConfigWarmUp.h"
#include "platform/qt/ProgramFiles.h"
#include "platform/qt/QtPlatform.h"
#include "platform/x11/StartupFeedback.h"
#include "platform/x11/X11NativeDesktop.h"
#include "state/WatchState.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

#include <unistd.h>

namespace {

bool hasDisplay() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v != nullptr && *v != '\0';
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

enum class Request { Run, Help, Version };

// The program's own options; anything else is left to QApplication, which takes its own
// (a session manager's -session, -display and the like) and leaves the rest.
Request requested(int argc, char* argv[]) {
    Request request = Request::Run;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return Request::Help;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            request = Request::Version;
        }
    }
    return request;
}

int printHelp(int argc, char* argv[]) {
    // No window: a core application is enough to know where the program lies.
    QCoreApplication core(argc, argv);
    const QString help = kadrill::platform::qt::helpCollectionFile();
    std::printf("Usage: kadrill [FILE.alm]\n"
                "       kadrill --help | --version\n"
                "\n"
                "Kadrill is a desktop clock in the form of a digital wristwatch: the time of day,\n"
                "a stopwatch, a daily alarm that plays a sound or types keys into a program,\n"
                "a ramen timer, and setting the computer's clock. Its texts are Japanese.\n"
                "\n"
                "FILE.alm is an alarm settings file, saved from the alarm dialog; it is loaded\n"
                "at start as the dialog's 設定の読込み loads it (a file that cannot be loaded is\n"
                "reported and the alarm stays off).\n"
                "\n"
                "Options:\n"
                "  -h, --help   print this help and exit\n"
                "  --version    print the version and exit\n"
                "\n"
                "Kadrill runs once per desktop session: started again, it brings the running\n"
                "watch forward, and a FILE.alm given then is loaded by the running watch.\n"
                "Its help opens from the menu ﾍﾙﾌﾟ; the help files are\n"
                "%s.\n",
                help.isEmpty() ? "missing (they belong in ../share/kadrill/help beside the program)"
                               : qPrintable(QStringLiteral("in ") + help.left(help.lastIndexOf(u'/'))));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    switch (requested(argc, argv)) {
    case Request::Help:
        return printHelp(argc, argv);
    case Request::Version:
        std::printf("kadrill %s\n"
                    "Copyright (C) 2026 the Kadrill developers\n"
                    "License GPL-3.0-or-later: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>\n"
                    "This is free software: you are free to change and redistribute it.\n"
                    "There is NO WARRANTY, to the extent permitted by law.\n",
                    KADRILL_VERSION);
        return 0;
    case Request::Run:
        break;
    }
    if (!hasDisplay()) {
        std::fputs("kadrill: no display to open a window on (DISPLAY is not set); "
                   "to run without a screen use: xvfb-run make run\n",
                   stderr);
        return 1;
    }
    // Over shared memory the X server answers every repaint with a completion event,
    // waking two threads each second to send a few kilobytes of digits; the plain
    // socket path wakes none.
    if (qEnvironmentVariableIsEmpty("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    // On a Wayland session the watch runs through XWayland: a Wayland client may neither
    // place its windows nor send keys to another program, and the watch does both.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    // The alarm's sound as PulseAudio's protocol (also PipeWire's, through pipewire-pulse)
    // shows it: with Kadrill's icon, as an event sound, the kind alarms are. SDL has no hint
    // for either there; the sound library reads them from here. Started programs do not
    // inherit them.
    qputenv("PULSE_PROP_application.icon_name", KADRILL_APP_ID);
    qputenv("PULSE_PROP_media.role", "event");
    // The launcher's startup id, for the running Kadrill if this start is handed to it; Qt
    // takes it out of the environment when it connects to the display.
    QVariantMap launch;
    if (!qEnvironmentVariableIsEmpty("DESKTOP_STARTUP_ID")) {
        launch.insert(QStringLiteral("desktop-startup-id"), qEnvironmentVariable("DESKTOP_STARTUP_ID"));
    }
    if (!qEnvironmentVariableIsEmpty("XDG_ACTIVATION_TOKEN")) {
        launch.insert(QStringLiteral("activation-token"), qEnvironmentVariable("XDG_ACTIVATION_TOKEN"));
    }
    QApplication qapp(argc, argv);
    // Meanwhile, while the window is built. Not before: Qt changes the environment as it
    // connects to the display, and the configuration is read from it.
    kadrill::platform::qt::FontConfigWarmUp fontConfig;
    // What Qt left: at most one alarm settings file, its name the bytes it was given (a
    // name that is not UTF-8 names a file all the same).
    QByteArray alarmFile;
    for (int i = 1; i < argc; ++i) {
        const bool option = argv[i][0] == '-';
        if (option || i > 1) {
            std::fprintf(stderr, "kadrill: %s '%s'\nTry 'kadrill --help' for more information.\n",
                         option ? "unknown option" : "unexpected argument", argv[i]);
            return 2;
        }
        // Absolute now: a running watch that is handed the file has another working folder.
        alarmFile = argv[i];
        if (!alarmFile.startsWith('/')) {
            char* folder = ::getcwd(nullptr, 0);
            alarmFile.prepend(QByteArray(folder != nullptr ? folder : ".") + '/');
            std::free(folder);
        }
        // Latin-1 keeps every byte as it is; only the slashes and dots matter here.
        alarmFile = QDir::cleanPath(QString::fromLatin1(alarmFile)).toLatin1();
    }
    QApplication::setApplicationName(QStringLiteral("Kadrill"));
    QApplication::setApplicationVersion(QStringLiteral(KADRILL_VERSION));
    // The window belongs to the installed desktop entry (its name and icon in task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral(KADRILL_APP_ID));

    // One clock, one tray icon and one alarm per session: a second start hands over to the
    // first and ends.
    using kadrill::platform::dbus::SingleInstance;
    SingleInstance instance(QStringLiteral(KADRILL_APP_ID));
    const QStringList uris =
        alarmFile.isEmpty() ? QStringList() : QStringList{SingleInstance::uriOfLocalFile(alarmFile)};
    switch (instance.claim(launch, uris)) {
    case SingleInstance::Outcome::Forwarded:
        // No window of ours will end the launcher's busy feedback for this start.
        (void)kadrill::platform::x11::endStartupFeedback(
            launch.value(QStringLiteral("desktop-startup-id")).toString().toStdString());
        return 0;
    case SingleInstance::Outcome::NoAnswer:
        std::fprintf(stderr, "kadrill: Kadrill already runs in this session but does not answer: %s\n",
                     qPrintable(instance.error()));
        return 1;
    case SingleInstance::Outcome::NoBus:
        if (!instance.error().isEmpty()) {
            std::fprintf(stderr, "kadrill: %s; starting without checking for a running Kadrill\n",
                         qPrintable(instance.error()));
        }
        break;
    case SingleInstance::Outcome::First:
        break;
    }
    // Tray and dialogs must not end the program when the main window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    // One Japanese font for menus and marks alike: loading a second font file for the
    // menus alone would cost more memory than the whole face.
    QFont font(QStringLiteral("IPAPGothic"), 9);
    // Unhinted outlines: the hinter would pull in much of the font file for a handful of
    // glyphs, and the face's marks are drawn large enough not to need it.
    font.setHintingPreference(QFont::PreferNoHinting);
    QApplication::setFont(font);
    // Every text of the program is Japanese, so Qt's own (the file dialogs' buttons and
    // labels) are too, whatever the session's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    // The setter re-arms the clock's second edges once the service has moved the clock.
    kadrill::platform::qt::QtPlatform* clockOwner = nullptr;
    kadrill::platform::dbus::TimedatedTimeSetter timeSetter([&clockOwner] {
        if (clockOwner != nullptr) {
            clockOwner->dispatcher.resyncSecondEdges();
        }
    });
    kadrill::platform::x11::installNativeDesktop();
    kadrill::platform::qt::QtPlatform desktop(timeSetter);
    clockOwner = &desktop;
    desktop.help.setWindowIcon(kadrill::platform::qt::assetIcon("kadrill"));
    kadrill::state::WatchState state;
    kadrill::mainwin::CMain main(desktop.platform, state);
    fontConfig.wait();
    main.Start();
    using Source = kadrill::alarm::AlarmFileCommands::Source;
    if (!alarmFile.isEmpty()) {
        // From the event loop, so that its messages stand over a watch already on screen.
        desktop.app.post([&main, path = alarmFile.toStdString()] { main.openAlarmFile(path, Source::StartUp); });
    }
    instance.activated = [&desktop, &main](const QVariantMap&) {
        desktop.dispatcher.run([&main] { main.bringToFront(); });
    };
    instance.opened = [&desktop, &main](const QStringList& handed, const QVariantMap&) {
        desktop.dispatcher.run([&main] { main.bringToFront(); });
        // One alarm, so one file: the first that is on this computer. Loaded once the call
        // is answered, since its messages wait for the user and the caller would not.
        for (const QString& uri : handed) {
            const QByteArray file = SingleInstance::localFileOfUri(uri);
            if (!file.isEmpty()) {
                desktop.app.post([&main, path = file.toStdString()] { main.openAlarmFile(path, Source::Handed); });
                break;
            }
        }
    };
    return QApplication::exec();
}
