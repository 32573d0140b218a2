#include "QtFileSystem.h"

#include <QDir>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace kadrill::platform::qt {

bool QtFileSystem::isReadableFile(const std::string& path) const {
    // stat, not open: opening a named pipe would wait for a writer, with the clock.
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

std::string QtFileSystem::documentsFolder() const {
    // XDG's documents folder; a system without one offers the home folder.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::homePath();
    }
    return QDir::cleanPath(folder).toStdString();
}

} // namespace kadrill::platform::qt
