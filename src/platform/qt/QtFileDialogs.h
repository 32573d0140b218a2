#pragma once

#include "platform/FileDialogs.h"

#include <QString>

#include <map>
#include <string>

namespace kadrill::platform::qt {

/// Qt's own file dialogs (the same on every desktop, so the filter captions show as the
/// program wrote them). Overwriting is asked by the program, not here. Each purpose
/// remembers its own folder and file name.
class QtFileDialogs final : public FileDialogs {
public:
    std::string saveFileName(const FileDialogOptions& options) override;
    std::string openFileName(const FileDialogOptions& options) override;

private:
    std::string run(const FileDialogOptions& options, bool save);

    struct Remembered {
        QString folder;
        QString name;
    };
    std::map<std::string, Remembered> remembered_;
};

} // namespace kadrill::platform::qt
