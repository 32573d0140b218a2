#include "Win32Backend.h"

#include "MouseInput.h"
#include "platform/win32/NativeHandles.h"
#include "platform/win32/Text.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>

namespace kadrill::contract {

using namespace platform;
namespace win32 = platform::win32;

namespace {

// How often the helper looks for a message box or file dialog to answer.
constexpr UINT kPollMs = 10;
// How long a click or key may take to reach the thread it was meant for.
constexpr DWORD kInputTimeoutMs = 2000;
// How long events are handled after input that lands on no window of ours.
constexpr DWORD kStrayInputMs = 50;
// A file dialog fills its view after it shows; it is answered once it has settled.
constexpr DWORD kFileDialogSettleMs = 100;
// The notification area is searched this many icons from its right end, each for this long.
constexpr int kTraySlots = 8;
constexpr int kTraySlotWaitMs = 200;
// No test leaves a menu open this long on purpose: the window got stuck in a menu's loop.
constexpr DWORD kStuckMenuMs = 1000;
// An action of the driver that has not returned after this long is stuck in a loop of the
// window system's that nothing will end.
constexpr DWORD kStuckActionMs = 10000;
constexpr int kDesktopTimeoutMs = 10000;
// The id Windows gives the text of a message box.
constexpr int kMessageBoxText = 0xFFFF;
constexpr const wchar_t* kHelperClass = L"KadrillContractDriver";
constexpr const wchar_t* kAnsweredProperty = L"KadrillContractAnswered";

// Releases of keys and mouse buttons retrieved by this thread's event loops, whichever loop
// (a message box's, a menu's) took them: how the driver knows its input has been handled.
thread_local int releasesSeen = 0;

LRESULT CALLBACK countReleases(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        switch (reinterpret_cast<const MSG*>(lParam)->message) {
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
        case WM_NCLBUTTONUP:
        case WM_NCRBUTTONUP:
        case WM_NCMBUTTONUP:
            ++releasesSeen;
            break;
        default:
            break;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

/// One hook for every backend on the thread.
class ReleaseCounter {
public:
    ReleaseCounter() : hook_(::SetWindowsHookExW(WH_GETMESSAGE, countReleases, nullptr, ::GetCurrentThreadId())) {}
    ReleaseCounter(const ReleaseCounter&) = delete;
    ReleaseCounter& operator=(const ReleaseCounter&) = delete;
    ~ReleaseCounter() { ::UnhookWindowsHookEx(hook_); }

private:
    HHOOK hook_;
};

bool ours(HWND window) {
    return window != nullptr && ::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId();
}

int dpiOf(HWND window) {
    const UINT dpi = ::GetDpiForWindow(window);
    return dpi != 0 ? static_cast<int>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

POINT pixels(HWND window, Point twips) {
    const int dpi = dpiOf(window);
    return {::MulDiv(twips.x, dpi, 1440), ::MulDiv(twips.y, dpi, 1440)};
}

POINT onScreen(HWND window, POINT client) {
    ::ClientToScreen(window, &client);
    return client;
}

POINT middleOf(HWND control) {
    RECT r{};
    ::GetClientRect(control, &r);
    return {(r.right - r.left) / 2, (r.bottom - r.top) / 2};
}

INPUT key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    // Arrows and the Menu key are extended keys; without the flag they read as keypad keys.
    if (vk == VK_UP || vk == VK_DOWN || vk == VK_LEFT || vk == VK_RIGHT || vk == VK_APPS || vk == VK_HOME ||
        vk == VK_END || vk == VK_DELETE) {
        in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    }
    return in;
}

// A press or release of the button where the pointer is to be.
INPUT button(MouseButton mb, bool up, POINT at) {
    switch (mb) {
    case MouseButton::Right:
        return wintest::mouseAt(at, up ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_RIGHTDOWN);
    case MouseButton::Middle:
        return wintest::mouseAt(at, up ? MOUSEEVENTF_MIDDLEUP : MOUSEEVENTF_MIDDLEDOWN);
    case MouseButton::Left:
    case MouseButton::None:
        break;
    }
    return wintest::mouseAt(at, up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN);
}

int buttonId(MessageAnswer answer) {
    switch (answer) {
    case MessageAnswer::Ok:
        return IDOK;
    case MessageAnswer::Cancel:
        return IDCANCEL;
    case MessageAnswer::Yes:
        return IDYES;
    case MessageAnswer::No:
        return IDNO;
    }
    return IDOK;
}

/// The edit a file dialog takes its file name in: in a combo box (cmb13), or on its own (edt1).
HWND fileNameEdit(HWND dialog) {
    if (HWND combo = ::GetDlgItem(dialog, cmb13)) {
        if (HWND edit = ::FindWindowExW(combo, nullptr, L"Edit", nullptr)) {
            return edit;
        }
        return combo;
    }
    return ::GetDlgItem(dialog, edt1);
}

std::wstring textOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

/// The dialog shows its folder: the shell's view of it is there and it names the folder.
bool fileDialogReady(HWND dialog) {
    if (::FindWindowExW(dialog, nullptr, L"SHELLDLL_DefView", nullptr) == nullptr) {
        return false;
    }
    wchar_t folder[MAX_PATH] = {};
    return ::SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder)) > 1;
}

/// Marks the time an action of the driver began, for as long as it runs.
class ActionWatch {
public:
    explicit ActionWatch(DWORD& since) : since_(since), outer_(since) {
        if (since_ == 0) {
            since_ = ::GetTickCount();
        }
    }
    ActionWatch(const ActionWatch&) = delete;
    ActionWatch& operator=(const ActionWatch&) = delete;
    ~ActionWatch() { since_ = outer_; }

private:
    DWORD& since_;
    DWORD outer_;
};

struct Found {
    std::vector<HWND> dialogs;
};

BOOL CALLBACK collectDialogs(HWND window, LPARAM lParam) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && ::IsWindowVisible(window) &&
        ::GetPropW(window, kAnsweredProperty) == nullptr) {
        reinterpret_cast<Found*>(lParam)->dialogs.push_back(window);
    }
    return TRUE;
}

} // namespace

Win32Backend::Win32Backend()
    : windows_(app_), tray_([this](const std::function<void()>& f) { app_.dispatcher().run(f); }),
      media_([this](const std::function<void()>& f) { app_.dispatcher().run(f); }) {
    static ReleaseCounter counter;
    (void)counter;

    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    static std::atomic<int> made{0};
    std::wstring dir = std::wstring(temp) + L"kadrill-contract-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                       std::to_wstring(++made);
    ::CreateDirectoryW(dir.c_str(), nullptr);
    wchar_t full[MAX_PATH + 1] = {};
    ::GetLongPathNameW(dir.c_str(), full, MAX_PATH + 1);
    scratch_ = win32::utf8(full[0] != L'\0' ? full : dir.c_str());

    WNDCLASSW wc{};
    wc.lpfnWndProc = helperProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kHelperClass;
    ::RegisterClassW(&wc); // once per process; later calls fail harmlessly
    helper_ = ::CreateWindowExW(0, kHelperClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(helper_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetTimer(helper_, 1, kPollMs, nullptr);
    // Input goes to the virtual desktop, which Wine's explorer makes a moment after the
    // first window: the test starts once its task bar is there.
    (void)::GetDesktopWindow();
    (void)waitUntil([] { return ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }, kDesktopTimeoutMs);
}

Win32Backend::~Win32Backend() {
    ::KillTimer(helper_, 1);
    ::DestroyWindow(helper_);
    for (HANDLE pipe : pipes_) {
        ::CloseHandle(pipe);
    }
    // The scratch folder and what the tests left in it.
    const std::wstring dir = win32::wide(scratch_);
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring path = dir + L"\\" + found.cFileName;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(dir.c_str());
}

std::string Win32Backend::readableFile() {
    const std::string path = scratch_ + "\\alarm.alm";
    HANDLE file = ::CreateFileW(win32::wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const char bytes[] = "#07:30:00#\r\n";
        DWORD written = 0;
        ::WriteFile(file, bytes, sizeof bytes - 1, &written, nullptr);
        ::CloseHandle(file);
    }
    return path;
}

std::string Win32Backend::program() {
    wchar_t system[MAX_PATH + 1] = {};
    ::GetSystemDirectoryW(system, MAX_PATH + 1);
    return win32::utf8(system) + "\\hostname.exe";
}

std::string Win32Backend::specialFile() {
    const std::string name = "\\\\.\\pipe\\kadrill-contract-" + std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(pipes_.size());
    HANDLE pipe = ::CreateNamedPipeW(win32::wide(name).c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                                     4096, 0, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) {
        pipes_.push_back(pipe);
    }
    return name;
}

void Win32Backend::makeReadOnly(const std::string& path) {
    const std::wstring native = win32::wide(path);
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    ::SetFileAttributesW(native.c_str(),
                         (attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes) | FILE_ATTRIBUTE_READONLY);
}

void Win32Backend::show(Window& w) {
    w.show();
    HWND window = win32::nativeWindow(w);
    (void)waitUntil([window] { return ::IsWindowVisible(window) != FALSE; }, 2000);
    app_.processEvents();
}

bool Win32Backend::activate(Window& w) {
    w.activate();
    HWND window = win32::nativeWindow(w);
    return waitUntil([window] { return ::GetForegroundWindow() == window && ::GetActiveWindow() == window; }, 2000);
}

bool Win32Backend::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start >= static_cast<DWORD>(timeoutMs)) {
            return done();
        }
        app_.waitForEvents(1);
    }
    return true;
}

// --- real input ----------------------------------------------------------------------

void Win32Backend::sendAndSettle(std::vector<INPUT> inputs, int releases) {
    const ActionWatch watch(actionSince_);
    const int expected = releasesSeen + releases;
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    const DWORD start = ::GetTickCount();
    const DWORD timeout = releases > 0 ? kInputTimeoutMs : kStrayInputMs;
    while (releasesSeen < expected || releases == 0) {
        app_.processEvents();
        if (::GetTickCount() - start >= timeout) {
            break;
        }
        if (releasesSeen < expected || releases == 0) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
    }
    app_.processEvents();
}

void Win32Backend::clickAt(POINT screen, MouseButton mb) {
    // Lands on one of our windows, or on something else that is not the test's to watch.
    HWND under = ::WindowFromPoint(screen);
    const bool here = ours(under);
    // Two clicks asked for are two clicks, not a double click: the second waits as a person
    // does when the first was at the same place a moment ago.
    const DWORD since = ::GetTickCount() - lastClickAt_;
    if (under == lastClickWindow_ && std::abs(screen.x - lastClick_.x) <= ::GetSystemMetrics(SM_CXDOUBLECLK) &&
        std::abs(screen.y - lastClick_.y) <= ::GetSystemMetrics(SM_CYDOUBLECLK) && since <= ::GetDoubleClickTime()) {
        wait(static_cast<int>(::GetDoubleClickTime() - since) + 1);
    }
    sendAndSettle({wintest::mouseAt(screen, 0), button(mb, false, screen), button(mb, true, screen)}, here ? 1 : 0);
    lastClick_ = screen;
    lastClickAt_ = ::GetTickCount();
    lastClickWindow_ = under;
    // Out of the way, so no window the test shows next finds the pointer over it.
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    ::SetCursorPos(width - 1, height - 1);
    app_.processEvents();
}

void Win32Backend::clickIn(HWND control, POINT pixel) {
    if (control == nullptr || !::IsWindowVisible(::GetAncestor(control, GA_ROOT))) {
        return; // nothing on the screen there
    }
    clickAt(onScreen(control, pixel), MouseButton::Left);
}

void Win32Backend::keys(std::initializer_list<Stroke> strokes) {
    std::vector<INPUT> inputs;
    int releases = 0;
    for (const Stroke& stroke : strokes) {
        for (WORD modifier : stroke.modifiers) {
            inputs.push_back(key(modifier, false));
        }
        inputs.push_back(key(stroke.key, false));
        inputs.push_back(key(stroke.key, true));
        for (auto m = stroke.modifiers.rbegin(); m != stroke.modifiers.rend(); ++m) {
            inputs.push_back(key(*m, true));
        }
        releases += 1 + static_cast<int>(stroke.modifiers.size());
    }
    // Keys go to the window with the focus in the foreground; only ours are watched.
    sendAndSettle(std::move(inputs), ours(::GetForegroundWindow()) ? releases : 0);
}

void Win32Backend::typeCharacters(const std::string& text) {
    // As an input method hands them over: each UTF-16 unit as a character of its own.
    std::vector<INPUT> inputs;
    for (wchar_t c : win32::wide(text)) {
        for (bool up : {false, true}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = static_cast<WORD>(c);
            in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(in);
        }
    }
    const int releases = static_cast<int>(inputs.size() / 2);
    sendAndSettle(std::move(inputs), ours(::GetForegroundWindow()) ? releases : 0);
}

void Win32Backend::click(PictureButton& button, MouseButton mb) {
    HWND control = win32::nativeControl(button);
    if (control == nullptr || !::IsWindowVisible(::GetAncestor(control, GA_ROOT))) {
        return;
    }
    clickAt(onScreen(control, middleOf(control)), mb);
}

void Win32Backend::click(CommandButton& button) {
    HWND control = win32::nativeControl(button);
    clickIn(control, middleOf(control));
}

void Win32Backend::click(OptionButton& option) {
    // On the round mark, which a short caption leaves at the left of a wide option.
    HWND control = win32::nativeControl(option);
    clickIn(control, {::MulDiv(7, dpiOf(control), USER_DEFAULT_SCREEN_DPI), middleOf(control).y});
}

void Win32Backend::clickInto(TextBox& box) {
    HWND control = win32::nativeControl(box);
    clickIn(control, {::MulDiv(4, dpiOf(control), USER_DEFAULT_SCREEN_DPI), middleOf(control).y});
}

void Win32Backend::clickLine(ListBox& list, int index) {
    HWND control = win32::nativeControl(list);
    if (control == nullptr || !::IsWindowVisible(control)) {
        return;
    }
    ::SendMessageW(control, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0); // scrolled to, as the user would
    RECT line{};
    if (::SendMessageW(control, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&line)) ==
        LB_ERR) {
        return;
    }
    clickIn(control, {(line.left + line.right) / 2, (line.top + line.bottom) / 2});
}

bool Win32Backend::focusBox(TextBox& box) {
    HWND control = win32::nativeControl(box);
    if (control == nullptr || !::IsWindowVisible(control) || !::IsWindowEnabled(control)) {
        return false;
    }
    HWND top = ::GetAncestor(control, GA_ROOT);
    ::SetForegroundWindow(top);
    if (!waitUntil([top] { return ::GetForegroundWindow() == top; }, 2000)) {
        return false;
    }
    // As Tab would put it there: a click would be an event of its own.
    ::SetFocus(control);
    app_.processEvents();
    return ::GetFocus() == control;
}

void Win32Backend::type(TextBox& box, const std::string& text) {
    if (focusBox(box)) {
        keys({{VK_END}});
        typeCharacters(text);
    }
}

void Win32Backend::replaceText(TextBox& box, const std::string& text) {
    if (!focusBox(box)) {
        return;
    }
    keys({{VK_HOME}, {VK_END, {VK_SHIFT}}});
    if (text.empty()) {
        keys({{VK_DELETE}});
    } else {
        typeCharacters(text);
    }
}

void Win32Backend::press(Key key) {
    switch (key) {
    case Key::Enter:
        keys({{VK_RETURN}});
        break;
    case Key::Escape:
        keys({{VK_ESCAPE}});
        break;
    case Key::Tab:
        keys({{VK_TAB}});
        break;
    case Key::BackTab:
        keys({{VK_TAB, {VK_SHIFT}}});
        break;
    case Key::Up:
        keys({{VK_UP}});
        break;
    case Key::Down:
        keys({{VK_DOWN}});
        break;
    case Key::Menu:
        keys({{VK_APPS}});
        break;
    case Key::ShiftF10:
        keys({{VK_F10, {VK_SHIFT}}});
        break;
    }
}

void Win32Backend::pressAccessKey(char letter) {
    const auto upper = static_cast<WORD>(std::toupper(static_cast<unsigned char>(letter)));
    keys({{upper, {VK_MENU}}});
}

// --- what a person's action turns into ------------------------------------------------

void Win32Backend::choose(MenuItem& item) {
    const win32::NativeMenuItem native = win32::nativeMenuItem(item);
    if (native.owner == nullptr || native.menu == nullptr) {
        return;
    }
    // Opening the menu, as the user does before a choice.
    ::SendMessageW(native.owner, WM_INITMENU, reinterpret_cast<WPARAM>(::GetMenu(native.owner)), 0);
    ::SendMessageW(native.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(native.menu), 0);
    const UINT state = ::GetMenuState(native.menu, native.id, MF_BYCOMMAND);
    if (state == static_cast<UINT>(-1) || (state & (MF_DISABLED | MF_GRAYED | MF_SEPARATOR)) != 0) {
        return; // the user cannot pick it
    }
    const ActionWatch watch(actionSince_);
    ::SendMessageW(native.owner, WM_COMMAND, MAKEWPARAM(native.id, 0), 0);
    app_.processEvents();
}

bool Win32Backend::markShown(MenuItem& item) {
    const win32::NativeMenuItem native = win32::nativeMenuItem(item);
    const UINT state = ::GetMenuState(native.menu, native.id, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

void Win32Backend::closeByBox(Window& w) {
    HWND window = win32::nativeWindow(w);
    if (::IsWindowVisible(window)) {
        // What a click on the close box sends.
        const ActionWatch watch(actionSince_);
        ::SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        app_.processEvents();
    }
}

void Win32Backend::mouseMessage(MouseAction action, HWND over, MouseButton mb, Point twips) {
    if (over == nullptr || !::IsWindowVisible(::GetAncestor(over, GA_ROOT))) {
        return; // nothing on the screen to point at
    }
    const POINT screen = onScreen(over, pixels(over, twips));
    // Where Windows sends it: the window holding the capture, else the one under the point.
    HWND target = ::GetCapture();
    if (!ours(target)) {
        target = ::WindowFromPoint(screen);
    }
    if (!ours(target)) {
        return;
    }
    const int bit = static_cast<int>(mb);
    UINT message = WM_MOUSEMOVE;
    switch (action) {
    case MouseAction::Press:
        held_ |= bit;
        message = mb == MouseButton::Right    ? WM_RBUTTONDOWN
                  : mb == MouseButton::Middle ? WM_MBUTTONDOWN
                                              : WM_LBUTTONDOWN;
        break;
    case MouseAction::Release:
        held_ &= ~bit;
        message = mb == MouseButton::Right ? WM_RBUTTONUP : mb == MouseButton::Middle ? WM_MBUTTONUP : WM_LBUTTONUP;
        break;
    case MouseAction::Move:
        break;
    }
    WPARAM keys = 0;
    keys |= (held_ & static_cast<int>(MouseButton::Left)) != 0 ? MK_LBUTTON : 0;
    keys |= (held_ & static_cast<int>(MouseButton::Right)) != 0 ? MK_RBUTTON : 0;
    keys |= (held_ & static_cast<int>(MouseButton::Middle)) != 0 ? MK_MBUTTON : 0;
    POINT client = screen;
    ::ScreenToClient(target, &client);
    const ActionWatch watch(actionSince_);
    ::SendMessageW(target, message, keys, MAKELPARAM(static_cast<WORD>(client.x), static_cast<WORD>(client.y)));
    app_.processEvents();
}

void Win32Backend::pressMouse(Window& w, MouseButton mb, Point at) {
    mouseMessage(MouseAction::Press, win32::nativeWindow(w), mb, at);
}

void Win32Backend::moveMouse(Window& w, Point at) {
    mouseMessage(MouseAction::Move, win32::nativeWindow(w), MouseButton::None, at);
}

void Win32Backend::releaseMouse(Window& w, MouseButton mb, Point at) {
    mouseMessage(MouseAction::Release, win32::nativeWindow(w), mb, at);
}

void Win32Backend::pressMouse(Picture& picture, MouseButton mb, Point at) {
    mouseMessage(MouseAction::Press, win32::nativeControl(picture), mb, at);
}

void Win32Backend::moveMouse(Picture& picture, Point at) {
    mouseMessage(MouseAction::Move, win32::nativeControl(picture), MouseButton::None, at);
}

void Win32Backend::releaseMouse(Picture& picture, MouseButton mb, Point at) {
    mouseMessage(MouseAction::Release, win32::nativeControl(picture), mb, at);
}

void Win32Backend::clickLabel(Label& label, MouseButton mb, Point at) {
    // A label may have no window of its own: its place on its container is where it is.
    HWND control = win32::nativeControl(label);
    mouseMessage(MouseAction::Press, control, mb, at);
    mouseMessage(MouseAction::Release, control, mb, at);
}

void Win32Backend::pressTray(TrayPress press) {
    // The shell's own notification area, Wine's task bar: the icon is clicked there and the
    // shell tells the icon's window in the form it agreed with it (classic or version 4).
    HWND bar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    HWND trayWindow = win32::nativeTrayWindow(tray_);
    if (!tray_.isAvailable() || bar == nullptr || trayWindow == nullptr) {
        return; // no icon to press
    }
    TrayWatch watch{win32::trayCallbackMessage()};
    ::SetWindowSubclass(trayWindow, watchTray, 1, reinterpret_cast<DWORD_PTR>(&watch));
    const POINT icon = findTrayIcon(bar, watch);
    if (icon.x >= 0) {
        // Presses asked for one after another are not taken for a double click.
        const DWORD since = ::GetTickCount() - lastTrayClickAt_;
        if (since <= ::GetDoubleClickTime()) {
            wait(static_cast<int>(::GetDoubleClickTime() - since) + 1);
        }
        const MouseButton mb = press == TrayPress::Right    ? MouseButton::Right
                               : press == TrayPress::Middle ? MouseButton::Middle
                                                            : MouseButton::Left;
        std::vector<INPUT> inputs{button(mb, false, icon), button(mb, true, icon)};
        UINT last = mb == MouseButton::Right ? WM_RBUTTONUP : mb == MouseButton::Middle ? WM_MBUTTONUP : WM_LBUTTONUP;
        if (press == TrayPress::DoubleClick) {
            // The contract's double click is its second click, as the other desktops report
            // it: what the shell says of the first click does not reach the icon.
            inputs.insert(inputs.end(), {button(mb, false, icon), button(mb, true, icon)});
            watch.swallowFirstClick = true;
        }
        watch.seen.clear();
        sendAndSettle(std::move(inputs), 0);
        (void)waitUntil(
            [&] {
                return !watch.swallowFirstClick &&
                       std::find(watch.seen.begin(), watch.seen.end(), last) != watch.seen.end();
            },
            static_cast<int>(kInputTimeoutMs));
        // What the shell adds to a release (NIN_SELECT, WM_CONTEXTMENU) comes right after it.
        (void)waitUntil([&] { return ::GetTickCount() - watch.lastAt > kStrayInputMs; },
                        static_cast<int>(kInputTimeoutMs));
        lastTrayClickAt_ = ::GetTickCount();
    }
    ::RemoveWindowSubclass(trayWindow, watchTray, 1);
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) / 2, 0);
    app_.processEvents();
}

POINT Win32Backend::findTrayIcon(HWND bar, TrayWatch& watch) {
    // Icons sit side by side from the right end of the bar, the newest leftmost; the pointer
    // over ours makes the shell tell the icon of a move.
    RECT r{};
    ::GetWindowRect(bar, &r);
    const int slot = ::GetSystemMetrics(SM_CXSMICON) + 4;
    for (int k = 0; k < kTraySlots; ++k) {
        const POINT at{r.right - slot * k - slot / 2, (r.top + r.bottom) / 2};
        watch.seen.clear();
        ::SetCursorPos(at.x, at.y);
        if (waitUntil([&] { return std::find(watch.seen.begin(), watch.seen.end(), WM_MOUSEMOVE) != watch.seen.end(); },
                      kTraySlotWaitMs)) {
            return at;
        }
    }
    return {-1, -1};
}

LRESULT CALLBACK Win32Backend::watchTray(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* watch = reinterpret_cast<TrayWatch*>(data);
    if (msg == watch->callback) {
        // The event is lParam's low word in either form.
        const UINT event = LOWORD(lParam);
        watch->seen.push_back(event);
        watch->lastAt = ::GetTickCount();
        if (watch->swallowFirstClick) {
            if (event != WM_LBUTTONDBLCLK) {
                return 0;
            }
            watch->swallowFirstClick = false;
        }
    }
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

// --- message boxes and file dialogs --------------------------------------------------

void Win32Backend::answerNextBox(MessageAnswer answer, int afterMs) {
    answers_.push_back({.answer = answer, .path = {}, .afterMs = afterMs});
}

void Win32Backend::closeNextBox(int afterMs) { answers_.push_back({.close = true, .path = {}, .afterMs = afterMs}); }

void Win32Backend::answerNextFileDialog(const std::string& path) {
    answers_.push_back({.fileDialog = true, .path = path, .afterMs = static_cast<int>(kFileDialogSettleMs)});
}

LRESULT CALLBACK Win32Backend::helperProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) {
        if (auto* self = reinterpret_cast<Win32Backend*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
            self->poll();
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32Backend::poll() {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const bool inMenu = ::GetGUIThreadInfo(::GetCurrentThreadId(), &gui) &&
                        (gui.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0;
    if (!inMenu) {
        menuSince_ = 0;
    } else if (menuSince_ == 0) {
        menuSince_ = ::GetTickCount();
    } else if (::GetTickCount() - menuSince_ >= kStuckMenuMs) {
        // Nothing else would ever end it, and the test would wait for its time-out.
        ADD_FAILURE() << "a menu's loop took over the window after the last action and was left open";
        ::EndMenu();
        menuSince_ = 0;
    }
    if (actionSince_ != 0 && ::GetTickCount() - actionSince_ >= kStuckActionMs) {
        wchar_t active[64] = {};
        ::GetClassNameW(gui.hwndActive, active, 64);
        ADD_FAILURE() << "the last action has not returned for " << kStuckActionMs / 1000 << " s: window system flags "
                      << gui.flags << ", active window of class " << win32::utf8(active)
                      << "; ending the loop it is in";
        actionSince_ = 0;
        ::EndMenu();
        ::ReleaseCapture();
        if (gui.hwndActive != nullptr) {
            ::PostMessageW(gui.hwndActive, WM_CANCELMODE, 0, 0);
        }
    }
    if (answers_.empty()) {
        return;
    }
    Answer& next = answers_.front();
    if (next.seen == nullptr) {
        Found found;
        ::EnumThreadWindows(::GetCurrentThreadId(), collectDialogs, reinterpret_cast<LPARAM>(&found));
        for (HWND dialog : found.dialogs) {
            const bool isFileDialog = fileNameEdit(dialog) != nullptr;
            const bool isBox = ::GetDlgItem(dialog, kMessageBoxText) != nullptr;
            if ((next.fileDialog && isFileDialog) || (!next.fileDialog && isBox)) {
                next.seen = dialog;
                next.seenAt = ::GetTickCount();
                break;
            }
        }
        return;
    }
    if (!::IsWindow(next.seen)) {
        answers_.pop_front(); // closed by someone else
        return;
    }
    if (next.fileDialog && !fileDialogReady(next.seen)) {
        next.seenAt = ::GetTickCount(); // a person waits until the folder shows
        return;
    }
    if (::GetTickCount() - next.seenAt < static_cast<DWORD>(next.afterMs)) {
        return;
    }
    Answer answer = std::move(next);
    answers_.pop_front();
    ::SetPropW(answer.seen, kAnsweredProperty, reinterpret_cast<HANDLE>(1));
    act(answer, answer.seen);
}

void Win32Backend::act(Answer& answer, HWND dialog) {
    if (!answer.fileDialog) {
        if (answer.close) {
            // What a click on the close box sends.
            ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (HWND pressed = ::GetDlgItem(dialog, buttonId(answer.answer))) {
            ::SendMessageW(pressed, BM_CLICK, 0, 0);
        }
        return;
    }
    // Where the dialog started: its folder and the name filled in.
    std::wstring folder(MAX_PATH * 4, L'\0');
    const LRESULT length =
        ::SendMessageW(dialog, CDM_GETFOLDERPATH, folder.size(), reinterpret_cast<LPARAM>(folder.data()));
    folder.resize(length > 0 ? static_cast<std::size_t>(length) - 1 : 0);
    HWND edit = fileNameEdit(dialog);
    fileDialogStart_ = win32::utf8(folder) + "/" + win32::utf8(textOf(edit));
    if (answer.path.empty()) {
        ::SendMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        return;
    }
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(win32::wide(answer.path).c_str()));
    ::SendMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

} // namespace kadrill::contract
