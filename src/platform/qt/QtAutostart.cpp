#include "QtAutostart.h"

#include "platform/log/LogCategories.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QStandardPaths>

namespace kadrill::platform::qt {

namespace {

// Entries larger than this are none of ours; they are not read into memory.
constexpr qint64 kMaxEntrySize = 64 * 1024;

QString configHome() {
    // The XDG rule: a relative XDG_CONFIG_HOME is invalid and ignored.
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    return QDir::isAbsolutePath(configured) ? configured : QDir::homePath() + QStringLiteral("/.config");
}

} // namespace

QString QtAutostart::path() {
    QString name = QGuiApplication::desktopFileName();
    if (name.isEmpty()) {
        name = QStringLiteral("kadrill");
    }
    return configHome() + QStringLiteral("/autostart/") + name + QStringLiteral(".desktop");
}

std::optional<std::string> QtAutostart::entry() const {
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.read(kMaxEntrySize).toStdString();
}

bool QtAutostart::write(const std::string& text) {
    const QString target = path();
    if (!QDir().mkpath(QFileInfo(target).path())) {
        qCInfo(lcAutostart) << "cannot make the folder of" << target;
        return false;
    }
    // Written beside the old entry and renamed over it: the desktop never reads half a file.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        qCInfo(lcAutostart) << "cannot write" << target << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qCInfo(lcAutostart) << "cannot write" << target << file.errorString();
        return false;
    }
    return true;
}

bool QtAutostart::remove() {
    QFile file(path());
    if (!file.exists() || file.remove()) {
        return true;
    }
    qCInfo(lcAutostart) << "cannot remove" << file.fileName() << file.errorString();
    return false;
}

std::string QtAutostart::programCommand() const {
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString name = QFileInfo(self).fileName();
    const QString found = QStandardPaths::findExecutable(name);
    // The bare name keeps working when the program is updated or moved along the search path.
    if (!found.isEmpty() && QFileInfo(found).canonicalFilePath() == self) {
        return name.toStdString();
    }
    return self.toStdString();
}

} // namespace kadrill::platform::qt
