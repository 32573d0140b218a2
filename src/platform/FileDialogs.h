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
    /// What the dialog is for ("sound", "settings"): each purpose starts where its own last
    /// dialog was left, in that folder with that file name, whatever the others showed.
    std::string purpose;
    /// Where the first dialog of the purpose starts: a folder, a folder and a file name,
    /// or a pattern such as "*.alm" that fills in no name. While the purpose has no name
    /// of its own yet, the name comes from here. Empty: the current folder, no name.
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
