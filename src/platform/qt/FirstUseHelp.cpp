#include "platform/qt/FirstUseHelp.h"

#include "platform/log/LogCategories.h"

#include <QFileInfo>

#include <utility>

namespace kadrill::platform::qt {

FirstUseHelp::FirstUseHelp(QString collectionFile, QString module)
    : collectionFile_(std::move(collectionFile)), module_(std::move(module)) {}

FirstUseHelp::~FirstUseHelp() = default;

HelpResult FirstUseHelp::showKeywordSearch() {
    if (!help_) {
        // No collection, no reason to load the engine that would only say so.
        if (collectionFile_.isEmpty() || !QFileInfo(collectionFile_).isFile()) {
            qCInfo(lcHelp) << "no help collection beside the program";
            return {HelpResult::Status::Missing, {}};
        }
        using Create = Help* (*)(const QString*, const QIcon*);
        const auto create = reinterpret_cast<Create>(module_.resolve("kadrill_help_create"));
        if (create == nullptr) {
            qCInfo(lcHelp).noquote() << "the help module cannot be loaded:" << module_.error();
            // The help files are there; calling the help missing would send the user looking
            // for the wrong thing.
            return {HelpResult::Status::Failed, "ヘルプを開けません。ヘルプの表示に必要な部品が見つかりません。"};
        }
        help_.reset(create(&collectionFile_, &icon_));
    }
    return help_->showKeywordSearch();
}

} // namespace kadrill::platform::qt
