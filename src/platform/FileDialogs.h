#pragma once

#include <string>
#include <vector>

namespace kadrill::platform {

/// One choice of a file dialog's type list.
struct FileFilter {
    /// Shown verbatim: "ｻｳﾝﾄﾞﾌｧｲﾙ (*.wav;*.mid)".
    std::string caption;
    /// Names matching any of these patterns are listed: "*.wav", "*.mid"; "*" for all.
    std::vector<std::string> patterns;
    /// Lists only files the user may execute (programs have no extension here), whatever
    /// their names; `patterns` is then ignored.
    bool executablesOnly = false;
};

struct FileDialogOptions {
    std::string title;
    /// The folder and file name the dialog starts with; empty to keep what the dialog
    /// showed last.
    std::string initialPath;
    /// The first is selected when the dialog opens.
    std::vector<FileFilter> filters;
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
