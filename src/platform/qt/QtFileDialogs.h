#pragma once

#include "platform/FileDialogs.h"

#include <QString>

namespace kadrill::platform::qt {

/// Qt's own file dialogs (the same on every desktop, so the filter captions show as the
/// program wrote them). Overwriting is asked by the program, not here. A dialog opened
/// without an initial path starts where the last one was left.
class QtFileDialogs final : public FileDialogs {
public:
    std::string saveFileName(const FileDialogOptions& options) override;
    std::string openFileName(const FileDialogOptions& options) override;

private:
    std::string run(const FileDialogOptions& options, bool save);

    QString lastFolder_;
    QString lastName_;
};

} // namespace kadrill::platform::qt
