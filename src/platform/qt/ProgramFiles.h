#pragma once

#include <QFunctionPointer>
#include <QLibrary>
#include <QString>

#include <utility>

namespace kadrill::platform::qt {

/// The help collection beside the program: help/kadrill.qhc in the build tree, then
/// ../share/kadrill/help/kadrill.qhc once installed; empty when it is in neither place.
/// Needs a QCoreApplication, for the program's directory.
QString helpCollectionFile();

/// A module of ours by name ("kadrill-help"): name.so in ../lib/kadrill once installed,
/// else beside the program in the build tree. Where it is in neither place, the installed
/// path, so that the failure to load it names the file.
QString moduleFile(const QString& name);

/// A module of ours loaded on the first call that needs it, so that what only one feature
/// uses (the help engine, the sound library) costs nothing until that feature is used.
/// Never unloaded: objects it made may live until the program ends.
class FirstUseModule {
public:
    /// file: the module's path; empty when none was found.
    explicit FirstUseModule(QString file) : file_(std::move(file)) {}

    /// Loads the module if need be and finds symbol in it; nullptr, with error() telling
    /// why, when the module is missing or broken.
    QFunctionPointer resolve(const char* symbol);
    const QString& error() const { return error_; }

private:
    QString file_;
    QLibrary library_;
    QString error_;
};

} // namespace kadrill::platform::qt
