#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace kadrill::platform::win32 {

/// One Kadrill per logon session, so that there is one clock, one notification-area icon
/// and one alarm. The first start holds a named mutex and a hidden window that later starts
/// find and hand their file to (WM_COPYDATA); the system takes the mutex away with the
/// process, so a Kadrill that crashed stops no later start.
class Win32SingleInstance {
public:
    enum class Outcome {
        First,     ///< this process runs the clock and answers later starts
        Forwarded, ///< the running Kadrill took this start over: this process should end
        NoAnswer,  ///< a Kadrill runs but did not answer; error() says why
    };

    static constexpr std::chrono::milliseconds kDefaultAnswerTimeout = std::chrono::seconds(5);

    /// `name` tells this program's mutex and window from any other's; a test gives its own.
    explicit Win32SingleInstance(std::wstring name = L"io.github.kadrill.Kadrill",
                                 std::chrono::milliseconds answerTimeout = kDefaultAnswerTimeout);
    Win32SingleInstance(const Win32SingleInstance&) = delete;
    Win32SingleInstance& operator=(const Win32SingleInstance&) = delete;
    ~Win32SingleInstance();

    /// Takes the clock, or hands this start to the Kadrill that has it: the file `path`
    /// (UTF-8, absolute) to be opened there, or with an empty path to come forward. Call
    /// once, before the message loop runs.
    Outcome claim(const std::string& path = {});

    /// What went wrong, in English, for NoAnswer.
    const std::string& error() const { return error_; }

    /// Run from the message loop each time a later start asks to come forward.
    std::function<void()> activated;
    /// Run from the message loop each time a later start hands over a file (UTF-8).
    std::function<void(const std::string& path)> opened;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool handOver(const std::string& path);

    std::wstring name_;
    std::chrono::milliseconds answerTimeout_;
    HANDLE mutex_ = nullptr;
    HWND window_ = nullptr;
    std::string error_;
};

} // namespace kadrill::platform::win32
