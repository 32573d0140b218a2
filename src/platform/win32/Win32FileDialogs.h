#pragma once

#include "platform/FileDialogs.h"

#include <map>
#include <string>

namespace kadrill::platform::win32 {

/// The system's open and save dialogs (GetOpenFileNameW, GetSaveFileNameW), owned by the
/// active window of the calling thread. Each purpose starts in the folder and with the
/// name its own last dialog chose. Needs nothing; construct it as Win32FileDialogs dialogs;
class Win32FileDialogs final : public FileDialogs {
public:
    std::string saveFileName(const FileDialogOptions& options) override;
    std::string openFileName(const FileDialogOptions& options) override;

private:
    std::string run(const FileDialogOptions& options, bool save);

    struct Remembered {
        std::wstring folder;
        std::wstring name;
    };
    std::map<std::string, Remembered> remembered_;
};

} // namespace kadrill::platform::win32
