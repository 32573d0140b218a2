#pragma once

#include "platform/FileDialogs.h"

namespace kadrill::platform::qt {

/// The desktop's file dialogs through Qt; overwriting is asked by the program, not here.
class QtFileDialogs final : public FileDialogs {
public:
    std::string saveFileName(const FileDialogOptions& options) override;
    std::string openFileName(const FileDialogOptions& options) override;
};

} // namespace kadrill::platform::qt
