#pragma once

#include "platform/Help.h"

#include <QIcon>
#include <QPointer>
#include <QString>

namespace kadrill::platform::qt {

class QtHelpWindow;

/// The program's help: a Qt Help collection shown in a help window of our own.
///
/// The window is made on the first request and destroyed when the user closes it, like
/// the program's other windows; the help engine and its database connections go with it,
/// so a closed help costs the clock nothing.
class QtHelp final : public Help {
public:
    /// Looks for the collection beside the program: help/kadrill.qhc in the build tree,
    /// then ../share/kadrill/help/kadrill.qhc once installed.
    QtHelp();
    /// Uses the given collection file (tests, or a program that knows better).
    explicit QtHelp(QString collectionFile);
    ~QtHelp() override;

    /// The icon of the help window; none unless set.
    void setWindowIcon(const QIcon& icon) { icon_ = icon; }

    [[nodiscard]] HelpResult showKeywordSearch() override;

    /// The collection file in use; empty when none was found beside the program.
    const QString& collectionFile() const { return collectionFile_; }

    /// Where the default constructor finds the collection; empty when it is in neither
    /// place. Needs a QCoreApplication, for the program's directory.
    static QString collectionBesideProgram();

private:
    QString collectionFile_;
    QIcon icon_;
    QPointer<QtHelpWindow> window_;
};

} // namespace kadrill::platform::qt
