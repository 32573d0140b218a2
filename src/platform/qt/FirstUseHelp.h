#pragma once

#include "platform/Help.h"
#include "platform/qt/ProgramFiles.h"

#include <QIcon>
#include <QString>

#include <memory>

namespace kadrill::platform::qt {

/// The help of the kadrill-help module, loaded when the help is first asked for: Qt Help
/// and its database driver weigh more than the whole clock and most runs never open it.
/// Without the module the help fails, saying a part of the program is missing.
class FirstUseHelp final : public Help {
public:
    /// The collection and the module beside the program.
    FirstUseHelp() : FirstUseHelp(helpCollectionFile(), moduleFile(QStringLiteral("kadrill-help"))) {}
    FirstUseHelp(QString collectionFile, QString module);
    ~FirstUseHelp() override;

    /// The icon of the help window; none unless set.
    void setWindowIcon(const QIcon& icon) { icon_ = icon; }

    [[nodiscard]] HelpResult showKeywordSearch() override;

private:
    QString collectionFile_;
    QIcon icon_;
    FirstUseModule module_;
    std::unique_ptr<Help> help_; // made by the module on first use
};

} // namespace kadrill::platform::qt
