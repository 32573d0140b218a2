#pragma once

#include <string>

namespace kadrill::platform {

struct FileDialogOptions {
    std::string title;
    /// The folder and file name the dialog starts with.
    std::string initialPath;
    /// What the filter shows, and its pattern: "ｱﾗｰﾑ設定ﾌｧｲﾙ " and "*.alm".
    std::string filterName;
    std::string filterPattern;
};

/// The desktop's open-file and save-file dialogs. Both wait for the user while timers and
/// other windows go on.
class FileDialogs {
public:
    FileDialogs() = default;
    FileDialogs(const FileDialogs&) = delete;
    FileDialogs& operator=(const FileDialogs&) = delete;
    virtual ~FileDialogs() = default;

    /// The path the user chose to save to; empty when cancelled. The dialog itself does
    /// not ask about overwriting: the program does.
    virtual std::string saveFileName(const FileDialogOptions& options) = 0;
    /// The path of the file the user chose to open; empty when cancelled.
    virtual std::string openFileName(const FileDialogOptions& options) = 0;
};

} // namespace kadrill::platform
