#include "QtProgramStarter.h"

#include <QFileInfo>
#include <QProcess>

namespace kadrill::platform::qt {

StartResult QtProgramStarter::start(const std::string& path) {
    const QString program = QString::fromStdString(path);
    if (program.isEmpty() || !QFileInfo(program).isFile()) {
        return {StartResult::Status::NotFound, 0, "no such file"};
    }
    qint64 pid = 0;
    if (!QProcess::startDetached(program, {}, QString(), &pid)) {
        return {StartResult::Status::Failed, 0, "could not be started"};
    }
    return {StartResult::Status::Started, pid, {}};
}

} // namespace kadrill::platform::qt
