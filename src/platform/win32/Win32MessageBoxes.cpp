#include "Win32MessageBoxes.h"

#include "Text.h"

#include <windows.h>

#include <commctrl.h>

namespace kadrill::platform::win32 {

namespace {

UINT iconStyle(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return MB_ICONERROR;
    case MessageIcon::Question:
        return MB_ICONQUESTION;
    case MessageIcon::Exclamation:
        return MB_ICONWARNING;
    case MessageIcon::Information:
        return MB_ICONINFORMATION;
    case MessageIcon::None:
        break;
    }
    return 0;
}

UINT buttonStyle(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return MB_OK;
    case MessageButtons::OkCancel:
        return MB_OKCANCEL;
    case MessageButtons::YesNo:
        return MB_YESNO;
    case MessageButtons::YesNoCancel:
        return MB_YESNOCANCEL;
    }
    return MB_OK;
}

/// What closing the box answers: Cancel where there is one, else the last button.
MessageAnswer closingAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::YesNo:
        return MessageAnswer::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
        break;
    }
    return MessageAnswer::Cancel;
}

constexpr UINT_PTR kCloseAnswersNo = 1;

// Windows greys the close box of a yes/no box and ignores Escape there; the program's
// boxes answer No to both, as on the other desktops.
LRESULT CALLBACK closeAnswersNo(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    const bool closing = (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE ||
                         (message == WM_SYSCOMMAND && (wParam & 0xFFF0U) == SC_CLOSE);
    if (closing) {
        ::EndDialog(box, IDNO);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(box, closeAnswersNo, id);
    }
    return ::DefSubclassProc(box, message, wParam, lParam);
}

thread_local HHOOK yesNoHook = nullptr;

// The first dialog box the thread activates after the call is the message box.
LRESULT CALLBACK findYesNoBox(int code, WPARAM wParam, LPARAM lParam) {
    const HHOOK hook = yesNoHook;
    if (code == HCBT_ACTIVATE && hook != nullptr) {
        const auto box = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        if (::GetClassNameW(box, className, 16) > 0 && lstrcmpW(className, L"#32770") == 0) {
            ::SetWindowSubclass(box, closeAnswersNo, kCloseAnswersNo, 0);
            ::EnableMenuItem(::GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
            ::UnhookWindowsHookEx(hook);
            yesNoHook = nullptr;
        }
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

} // namespace

MessageAnswer Win32MessageBoxes::show(const std::string& text, const std::string& title, MessageIcon icon,
                                      MessageButtons buttons) {
    const HWND owner = ::GetActiveWindow();
    // Without an owner the box still keeps the program's other windows from input meanwhile.
    const UINT style =
        iconStyle(icon) | buttonStyle(buttons) | (owner == nullptr ? MB_TASKMODAL : 0U) | MB_SETFOREGROUND;
    const bool yesNo = buttons == MessageButtons::YesNo;
    const HHOOK outerHook = yesNoHook; // a box shown while another waits
    if (yesNo) {
        yesNoHook = ::SetWindowsHookExW(WH_CBT, findYesNoBox, nullptr, ::GetCurrentThreadId());
    }
    const int answer = ::MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(), style);
    if (yesNo && yesNoHook != nullptr) {
        ::UnhookWindowsHookEx(yesNoHook);
    }
    yesNoHook = outerHook;
    switch (answer) {
    case IDOK:
        return MessageAnswer::Ok;
    case IDCANCEL:
        // Wine answers a closed OK box so; Windows answers OK.
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
    case IDYES:
        return MessageAnswer::Yes;
    case IDNO:
        return MessageAnswer::No;
    default:
        break;
    }
    // No box could be shown (0): as if it had been closed.
    return closingAnswer(buttons);
}

} // namespace kadrill::platform::win32
