#include "mainwin/CMain.h"
#include "platform/dbus/TimedatedTimeSetter.h"
#include "platform/qt/Assets.h"
#include "platform/qt/QtPlatform.h"
#include "watch/WatchState.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>

namespace {

bool hasDisplay() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v != nullptr && *v != '\0';
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}


} // namespace

int main(int argc, char* argv[]) {
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
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kadrill"));
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
    kadrill::platform::qt::QtPlatform desktop(timeSetter);
    clockOwner = &desktop;
    QIcon icon;
    icon.addPixmap(kadrill::platform::qt::assetPixmap("kadrill-32"));
    icon.addPixmap(kadrill::platform::qt::assetPixmap("kadrill-16"));
    desktop.help.setWindowIcon(icon);
    kadrill::watch::WatchState state;
    kadrill::mainwin::CMain main(desktop.platform, state);
    main.Start();
    return QApplication::exec();
}
