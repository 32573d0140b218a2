#include "QtProgramStarter.h"

#include "platform/log/LogCategories.h"

#include <QFileInfo>
#include <QProcess>

#include <chrono>

namespace kadrill::platform::qt {

namespace {

using namespace std::chrono_literals;

// How long a started program may take to show its first window; as long as the alarm
// waits for it to take the focus.
constexpr auto kFirstWindowPatience = 30s;
constexpr auto kFirstWindowPoll = 50ms;

StartResult notStarted(StartResult::Status status, const QString& path, const QString& why) {
    qCInfo(lcAlarm) << "program not started:" << path << why;
    return {status, 0, why.toStdString()};
}

} // namespace

QtProgramStarter::QtProgramStarter() {
    activationPoll_.setInterval(kFirstWindowPoll);
    QObject::connect(&activationPoll_, &QTimer::timeout, [this] {
        if (!activation_->poll()) {
            activationPoll_.stop();
        }
    });
}

QtProgramStarter::~QtProgramStarter() = default;

QProcessEnvironment programEnvironment(QProcessEnvironment session) {
    // Kadrill's own sound stream properties (set at its start) are not the program's.
    session.remove(QStringLiteral("PULSE_PROP_application.icon_name"));
    session.remove(QStringLiteral("PULSE_PROP_media.role"));
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
    // A name without a slash is the file in the working folder, where the alarm looked
    // for it; QProcess would search PATH for it and start another program than the one
    // checked.
    const QFileInfo file(QString::fromStdString(path));
    const QString program = file.absoluteFilePath();
    if (path.empty() || !file.isFile()) {
        return notStarted(StartResult::Status::NotFound, program, QStringLiteral("no such file"));
    }
    if (!file.isExecutable()) {
        return notStarted(StartResult::Status::NotExecutable, program, QStringLiteral("no permission to execute"));
    }
    if (!activation_) {
        activation_ = NativeDesktop::installed().launchWatch();
    }
    const std::string startupId = activation_ ? activation_->announce(program.toStdString()) : std::string();

    QProcess process;
    process.setProgram(program);
    QProcessEnvironment environment = programEnvironment(QProcessEnvironment::systemEnvironment());
    if (!startupId.empty()) {
        environment.insert(QStringLiteral("DESKTOP_STARTUP_ID"), QString::fromStdString(startupId));
    }
    process.setProcessEnvironment(environment);
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        if (activation_) {
            activation_->cancel(startupId);
        }
        return notStarted(StartResult::Status::Failed, program, process.errorString());
    }
    if (activation_ && !startupId.empty()) {
        activation_->watch(pid, startupId, kFirstWindowPatience);
        activationPoll_.start();
    }
    return {StartResult::Status::Started, pid, {}};
}

} // namespace kadrill::platform::qt
