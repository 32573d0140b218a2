#pragma once

#include "platform/Help.h"

#include <windows.h>

#include <string>

namespace kadrill::platform::win32 {

/// The program's help as installed beside it: the compiled help kadrill.chm, opened at
/// its keyword index in the system's help viewer (HTML Help, in the same window when
/// asked again); else the pages help\index.html in the user's browser.
///
/// Construct on the user-interface thread as Win32Help help; (beside this program), or
/// Win32Help help(folder); to look in another folder (tests).
class Win32Help final : public Help {
public:
    Win32Help();
    explicit Win32Help(std::string folder);
    /// Closes the help viewer, which would otherwise outlive its thread's windows badly.
    ~Win32Help() override;

    [[nodiscard]] HelpResult showKeywordSearch() override;

private:
    using HtmlHelpFunction = HWND(WINAPI*)(HWND, const wchar_t*, UINT, DWORD_PTR);

    std::wstring folder_;
    HMODULE viewer_ = nullptr;
    HtmlHelpFunction htmlHelp_ = nullptr;
};

} // namespace kadrill::platform::win32
