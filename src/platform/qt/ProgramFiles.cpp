#include "platform/qt/ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <initializer_list>

namespace kadrill::platform::qt {

namespace {

// Where the build puts a file beside the program, then where the installation does: by
// relative paths only, so that any prefix works.
QString besideProgram(std::initializer_list<QString> relatives) {
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const QString& relative : relatives) {
        const QString path = QDir::cleanPath(programDir.filePath(relative));
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

} // namespace

QString helpCollectionFile() {
    return besideProgram({QStringLiteral("help/kadrill.qhc"), QStringLiteral(KADRILL_HELP_FROM_BINDIR "/kadrill.qhc")});
}

QString moduleFile(const QString& name) {
    // The installed place first: an installed program's own folder (/usr/bin) holds no
    // libraries, and one found there would be nobody's of ours.
    const QString installed = QStringLiteral(KADRILL_MODULES_FROM_BINDIR "/") + name + QStringLiteral(".so");
    const QString found = besideProgram({installed, name + QStringLiteral(".so")});
    return found.isEmpty() ? QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).filePath(installed)) : found;
}

QFunctionPointer FirstUseModule::resolve(const char* symbol) {
    if (file_.isEmpty()) {
        error_ = QStringLiteral("the module is not installed beside the program");
        return nullptr;
    }
    if (!library_.isLoaded()) {
        library_.setFileName(file_);
        if (!library_.load()) {
            error_ = library_.errorString();
            return nullptr;
        }
    }
    const QFunctionPointer found = library_.resolve(symbol);
    error_ = found != nullptr ? QString() : library_.errorString();
    return found;
}

} // namespace kadrill::platform::qt
