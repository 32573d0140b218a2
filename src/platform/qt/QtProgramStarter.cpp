#include "QtProgramStarter.h"

#include <QFileInfo>
#include <QProcess>

namespace kadrill::platform::qt {

QProcessEnvironment ProgramEnvironment(QProcessEnvironment session) {
    if (session.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
        session.value(QStringLiteral("DISPLAY")).isEmpty()) {
        return session;
    }
    // Each toolkit's own switch: GTK, Qt, SDL, Firefox, Electron. Without a Wayland
    // display a toolkit that would rather not use X11 has no choice left.
    session.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
    session.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    session.insert(QStringLiteral("SDL_VIDEODRIVER"), QStringLiteral("x11"));
    session.insert(QStringLiteral("MOZ_ENABLE_WAYLAND"), QStringLiteral("0"));
    session.insert(QStringLiteral("ELECTRON_OZONE_PLATFORM_HINT"), QStringLiteral("x11"));
    session.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return session;
}

StartResult QtProgramStarter::start(const std::string& path) {
    const QString program = QString::fromStdString(path);
    if (program.isEmpty() || !QFileInfo(program).isFile()) {
        return {StartResult::Status::NotFound, 0, "no such file"};
    }
    QProcess process;
    process.setProgram(program);
    process.setProcessEnvironment(ProgramEnvironment(QProcessEnvironment::systemEnvironment()));
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        return {StartResult::Status::Failed, 0, "could not be started"};
    }
    return {StartResult::Status::Started, pid, {}};
}

} // namespace kadrill::platform::qt
