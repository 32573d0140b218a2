#include "Win32Help.h"

#include "Log.h"
#include "Text.h"

#include <shellapi.h>

#include <utility>

namespace kadrill::platform::win32 {

namespace {

// From htmlhelp.h, which mingw-w64 does not ship; the viewer's library is loaded by name.
constexpr UINT kDisplayIndex = 0x0002;
constexpr UINT kCloseAll = 0x0012;

std::wstring programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return L".";
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

bool isFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

HelpResult failure(const std::wstring& file, const std::string& detail) {
    logInfo("kadrill.help", "help failed: " + utf8(file) + ": " + detail);
    return {HelpResult::Status::Failed, "ヘルプを開けません。\n\n詳細: " + detail + " (" + utf8(file) + ")"};
}

} // namespace

Win32Help::Win32Help() : folder_(programFolder()) {}

Win32Help::Win32Help(std::string folder) : folder_(nativePath(folder)) {}

Win32Help::~Win32Help() {
    if (htmlHelp_ != nullptr) {
        htmlHelp_(nullptr, nullptr, kCloseAll, 0);
    }
    if (viewer_ != nullptr) {
        ::FreeLibrary(viewer_);
    }
}

HelpResult Win32Help::showKeywordSearch() {
    const std::wstring compiled = folder_ + L"\\kadrill.chm";
    if (isFile(compiled)) {
        if (htmlHelp_ == nullptr) {
            viewer_ =
                viewer_ != nullptr ? viewer_ : ::LoadLibraryExW(L"hhctrl.ocx", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
            htmlHelp_ = viewer_ != nullptr ? reinterpret_cast<HtmlHelpFunction>(
                                                 reinterpret_cast<void*>(::GetProcAddress(viewer_, "HtmlHelpW")))
                                           : nullptr;
        }
        if (htmlHelp_ != nullptr) {
            // The index tab, its keyword field empty and focused.
            if (htmlHelp_(::GetActiveWindow(), compiled.c_str(), kDisplayIndex, reinterpret_cast<DWORD_PTR>(L"")) !=
                nullptr) {
                return {};
            }
            return failure(compiled, "the help viewer did not open the file");
        }
        // No viewer library to call: its program opens the file, at its first page.
        const auto started = reinterpret_cast<INT_PTR>(
            ::ShellExecuteW(nullptr, L"open", L"hh.exe", (L"\"" + compiled + L"\"").c_str(), nullptr, SW_SHOWNORMAL));
        if (started > 32) {
            return {};
        }
        return failure(compiled, "hh.exe: " + errorText(::GetLastError()));
    }
    const std::wstring pages = folder_ + L"\\help\\index.html";
    if (!isFile(pages)) {
        logInfo("kadrill.help", "no help beside the program in " + utf8(folder_));
        return {HelpResult::Status::Missing, {}};
    }
    const auto opened =
        reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", pages.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened > 32) {
        return {};
    }
    return failure(pages, errorText(::GetLastError()));
}

} // namespace kadrill::platform::win32
