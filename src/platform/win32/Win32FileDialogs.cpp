#include "Win32FileDialogs.h"

#include "Log.h"
#include "Text.h"

#include <windows.h>

#include <commdlg.h>
#include <objbase.h>

#include <algorithm>
#include <cwchar>

namespace kadrill::platform::win32 {

namespace {

// The longest path Windows takes anywhere, for the name the user types.
constexpr std::size_t kPathBuffer = 32768;

// What Windows starts by itself when given the name: the programs an alarm may start.
constexpr const wchar_t* kExecutablePatterns = L"*.exe;*.com;*.bat;*.cmd";

bool isFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isPattern(const std::wstring& name) { return name.find_first_of(L"*?") != std::wstring::npos; }

/// The type list as the dialog takes it: caption, NUL, patterns joined by ";", NUL, ...,
/// and one NUL more at the end.
std::wstring filterList(const std::vector<FileFilter>& filters) {
    std::wstring list;
    for (const FileFilter& filter : filters) {
        list += wide(filter.caption);
        list += L'\0';
        if (filter.executablesOnly) {
            list += kExecutablePatterns;
        } else {
            for (std::size_t i = 0; i < filter.patterns.size(); ++i) {
                list += (i > 0 ? L";" : L"") + wide(filter.patterns[i]);
            }
        }
        list += L'\0';
    }
    list += L'\0';
    return list;
}

/// COM for the shell's parts of the dialog, on this thread as long as the dialog is open,
/// unless the program has set it up already.
class ComForDialog {
public:
    ComForDialog() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComForDialog(const ComForDialog&) = delete;
    ComForDialog& operator=(const ComForDialog&) = delete;
    ~ComForDialog() {
        if (initialised_) {
            ::CoUninitialize();
        }
    }

private:
    bool initialised_;
};

} // namespace

std::string Win32FileDialogs::saveFileName(const FileDialogOptions& options) { return run(options, true); }

std::string Win32FileDialogs::openFileName(const FileDialogOptions& options) { return run(options, false); }

std::string Win32FileDialogs::run(const FileDialogOptions& options, bool save) {
    std::wstring initialFolder;
    std::wstring initialName;
    if (!options.initialPath.empty()) {
        const std::wstring start = fullPath(nativePath(options.initialPath));
        if (isFolder(start)) {
            initialFolder = start;
        } else {
            const std::size_t slash = start.find_last_of(L'\\');
            initialFolder = slash == std::wstring::npos ? std::wstring() : start.substr(0, slash == 2 ? 3 : slash);
            const std::wstring name = slash == std::wstring::npos ? start : start.substr(slash + 1);
            // "*.alm" names what to list, which the filter already does; no file is called that.
            initialName = isPattern(name) ? std::wstring() : name;
        }
    }
    const bool firstOfPurpose = remembered_.count(options.purpose) == 0;
    Remembered& memory = remembered_[options.purpose];
    if (firstOfPurpose) {
        memory.folder = initialFolder;
    }
    const std::wstring& name = memory.name.empty() ? initialName : memory.name;

    std::wstring file(kPathBuffer, L'\0');
    std::copy_n(name.begin(), std::min(name.size(), kPathBuffer - 1), file.begin());
    const std::wstring filters = filterList(options.filters);
    const std::wstring title = wide(options.title);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = ::GetActiveWindow();
    dialog.lpstrFilter = options.filters.empty() ? nullptr : filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = memory.folder.empty() ? nullptr : memory.folder.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    // No question about overwriting: the program asks its own. The working folder stays,
    // since a relative path of the program's means the folder it was started in.
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                   OFN_DONTADDTORECENT | (save ? 0U : OFN_FILEMUSTEXIST);

    const ComForDialog com;
    const BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    if (!chosen) {
        if (const DWORD error = ::CommDlgExtendedError(); error != 0) {
            logInfo("kadrill.files", "the file dialog failed: code " + std::to_string(error));
        }
        return {};
    }
    file.resize(std::wcslen(file.c_str()));
    const std::size_t slash = file.find_last_of(L'\\');
    if (slash != std::wstring::npos) {
        memory.folder = file.substr(0, slash == 2 ? 3 : slash);
        memory.name = file.substr(slash + 1);
    }
    return utf8(file);
}

} // namespace kadrill::platform::win32
