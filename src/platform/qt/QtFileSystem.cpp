#include "QtFileSystem.h"

#include "platform/log/LogCategories.h"

#include "platform/posix/PosixFiles.h"

#include <QDir>
#include <QStandardPaths>

namespace kadrill::platform::qt {

FileStatus QtFileSystem::status(const std::string& path) const { return posix::fileStatus(path); }

ReadResult QtFileSystem::readFile(const std::string& path, std::size_t maxBytes) const {
    ReadResult result = posix::readFile(path, maxBytes);
    if (result.status != ReadResult::Status::Read) {
        qCInfo(lcFiles, "not read: %s", result.reason.c_str());
    }
    return result;
}

WriteResult QtFileSystem::replaceFile(const std::string& path, std::string_view bytes) {
    WriteResult result = posix::replaceFile(path, bytes);
    if (result.status != WriteResult::Status::Written) {
        qCInfo(lcFiles, "not written: %s%s", result.reason.c_str(),
               result.untouched ? "" : " (the file there had already begun to change)");
    }
    return result;
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
