#pragma once

#include "BackendDriver.h"
#include "platform/win32/Win32Application.h"
#include "platform/win32/Win32Autostart.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32FileDialogs.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32MediaControl.h"
#include "platform/win32/Win32MessageBoxes.h"
#include "platform/win32/Win32ProgramStarter.h"
#include "platform/win32/Win32TrayIcon.h"
#include "platform/win32/Win32WindowSystem.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace kadrill::contract {

/// The Win32 desktop under Wine, worked as a person works it. Buttons, lists, text boxes and
/// keys get real input (SendInput) at the places the controls have on the screen, so the
/// window system itself finds the control under the pointer or with the focus; so does the
/// notification-area icon, clicked in Wine's task bar, whose shell then tells the icon in
/// the form it agreed with it. Presses and drags over pictures and bare client areas, where
/// a real pointer would first have to move there and be seen moving, come as the mouse
/// messages that input makes, routed as Windows routes them (to the window holding the
/// capture, else the one under the point). Menu choices come as the WM_COMMAND a menu
/// sends; message boxes and file dialogs are answered by finding them among the thread's
/// windows and pressing their buttons.
class Win32Backend {
public:
    static constexpr const char* kName = "Win32";
    static constexpr char kPathSeparator = '\\';

    Win32Backend();
    ~Win32Backend();
    Win32Backend(const Win32Backend&) = delete;
    Win32Backend& operator=(const Win32Backend&) = delete;

    platform::WindowSystem& windows() { return windows_; }
    platform::TrayIcon& tray() { return tray_; }
    platform::MessageBoxes& messages() { return messages_; }
    platform::Clock& clock() { return clock_; }
    platform::Application& app() { return app_; }
    platform::FileDialogs& fileDialogs() { return fileDialogs_; }
    platform::FileSystem& files() { return files_; }
    platform::ProgramStarter& programs() { return programs_; }
    platform::MediaControl& media() { return media_; }
    platform::Autostart& autostart() { return autostart_; }

    // Paths in a scratch folder of the backend's own, as Windows writes them.
    std::string readableFile();
    std::string folder() { return scratch_; }
    std::string missingPath() { return scratch_ + "\\gone.alm"; }
    /// A program every Windows has: hostname.exe.
    std::string program();
    /// A named pipe the backend holds open; and the file made read-only.
    std::string specialFile();
    void makeReadOnly(const std::string& path);

    void show(platform::Window& w);
    bool activate(platform::Window& w);
    void wait(int ms) { app_.waitForEvents(ms); }
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);

    void click(platform::PictureButton& button, platform::MouseButton mb = platform::MouseButton::Left);
    void pressSpace() { keys({{VK_SPACE}}); }
    void choose(platform::MenuItem& item);
    bool markShown(platform::MenuItem& item);
    void closeByBox(platform::Window& w);
    void pressMouse(platform::Window& w, platform::MouseButton mb, platform::Point at);
    void moveMouse(platform::Window& w, platform::Point at);
    void releaseMouse(platform::Window& w, platform::MouseButton mb, platform::Point at);
    void pressMouse(platform::Picture& picture, platform::MouseButton mb, platform::Point at);
    void moveMouse(platform::Picture& picture, platform::Point at);
    void releaseMouse(platform::Picture& picture, platform::MouseButton mb, platform::Point at);
    void clickLabel(platform::Label& label, platform::MouseButton mb, platform::Point at);
    void pressTray(TrayPress press);
    void answerNextBox(platform::MessageAnswer answer, int afterMs);
    void closeNextBox(int afterMs);

    void clickInto(platform::TextBox& box);
    void type(platform::TextBox& box, const std::string& text);
    void replaceText(platform::TextBox& box, const std::string& text);
    void click(platform::CommandButton& button);
    void click(platform::OptionButton& option);
    void clickLine(platform::ListBox& list, int index);
    void press(Key key);
    void pressAccessKey(char letter);
    void answerNextFileDialog(const std::string& path);
    std::string fileDialogStart() const { return fileDialogStart_; }

private:
    /// A key with the modifiers held around it.
    struct Stroke {
        WORD key;
        std::vector<WORD> modifiers = {};
    };
    enum class MouseAction { Press, Move, Release };

    /// A message box or file dialog to answer once it is up.
    struct Answer {
        bool fileDialog = false;
        platform::MessageAnswer answer = platform::MessageAnswer::Ok;
        bool close = false;
        std::string path;
        int afterMs = 0;
        HWND seen = nullptr;
        DWORD seenAt = 0;
    };

    /// Real clicks: the pointer to the point, then the button down and up; waits until the
    /// release has been handled where it landed on one of our windows.
    void clickAt(POINT screen, platform::MouseButton mb);
    void clickIn(HWND control, POINT pixel);
    /// Real keys, each down and up, to whatever has the keyboard focus.
    void keys(std::initializer_list<Stroke> strokes);
    void typeCharacters(const std::string& text);
    /// Sends the inputs and handles events until `releases` of them have been retrieved by
    /// this thread, or for a short while where none is expected here.
    void sendAndSettle(std::vector<INPUT> inputs, int releases);
    /// The mouse message a press, move or release over the point makes, sent to the window
    /// that would get it.
    void mouseMessage(MouseAction action, HWND over, platform::MouseButton mb, platform::Point twips);
    /// The box's window active and the focus in it, as a click gives it; false where the
    /// user could not reach it.
    bool focusBox(platform::TextBox& box);

    /// What the shell tells the notification-area icon's window while the driver presses it.
    struct TrayWatch {
        UINT callback;
        std::vector<UINT> seen = {};
        DWORD lastAt = 0;
        bool swallowFirstClick = false;
    };
    /// Where the icon lies on the bar, or -1, -1.
    POINT findTrayIcon(HWND bar, TrayWatch& watch);
    static LRESULT CALLBACK watchTray(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);

    void poll();
    static LRESULT CALLBACK helperProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void act(Answer& answer, HWND window);

    platform::win32::Win32Application app_;
    platform::win32::Win32WindowSystem windows_;
    platform::win32::Win32TrayIcon tray_;
    platform::win32::Win32MessageBoxes messages_;
    platform::win32::Win32Clock clock_;
    platform::win32::Win32FileDialogs fileDialogs_;
    platform::win32::Win32FileSystem files_;
    platform::win32::Win32ProgramStarter programs_;
    platform::win32::Win32MediaControl media_;
    platform::win32::Win32Autostart autostart_;

    std::string scratch_;
    std::vector<HANDLE> pipes_;
    int held_ = 0;
    HWND helper_ = nullptr;
    std::deque<Answer> answers_;
    std::string fileDialogStart_;
    DWORD menuSince_ = 0;
    DWORD actionSince_ = 0; // when the action of the driver still running began
    POINT lastClick_{};
    DWORD lastClickAt_ = 0;
    HWND lastClickWindow_ = nullptr;
    DWORD lastTrayClickAt_ = 0;
};

static_assert(BackendDriver<Win32Backend>);

} // namespace kadrill::contract
