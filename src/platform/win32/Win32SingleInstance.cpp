#include "Win32SingleInstance.h"

#include "Text.h"

#include <memory>
#include <utility>

namespace kadrill::platform::win32 {

namespace {

// Tells a handed file from other WM_COPYDATA a stray sender might make.
constexpr ULONG_PTR kOpenFile = 0x4B414431; // "KAD1"

std::wstring windowClassOf(const std::wstring& name) { return name + L".Instance"; }

} // namespace

Win32SingleInstance::Win32SingleInstance(std::wstring name, std::chrono::milliseconds answerTimeout)
    : name_(std::move(name)), answerTimeout_(answerTimeout) {}

Win32SingleInstance::~Win32SingleInstance() {
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
    if (mutex_ != nullptr) {
        ::CloseHandle(mutex_);
    }
}

Win32SingleInstance::Outcome Win32SingleInstance::claim(const std::string& path) {
    // "Local\": one per logon session, as one per desktop session on Linux.
    mutex_ = ::CreateMutexW(nullptr, TRUE, (L"Local\\" + name_).c_str());
    const DWORD created = ::GetLastError();
    if (mutex_ != nullptr && created != ERROR_ALREADY_EXISTS) {
        const HINSTANCE instance = ::GetModuleHandleW(nullptr);
        const std::wstring windowClass = windowClassOf(name_);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &Win32SingleInstance::windowProc;
        wc.hInstance = instance;
        wc.lpszClassName = windowClass.c_str();
        ::RegisterClassExW(&wc);
        // A message-only window: never shown, found by later starts through its class.
        window_ = ::CreateWindowExW(0, windowClass.c_str(), name_.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    instance, this);
        return Outcome::First;
    }
    if (handOver(path)) {
        return Outcome::Forwarded;
    }
    return Outcome::NoAnswer;
}

bool Win32SingleInstance::handOver(const std::string& path) {
    const std::wstring windowClass = windowClassOf(name_);
    // The first start may still be making its window.
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(answerTimeout_.count());
    HWND first = nullptr;
    while ((first = ::FindWindowExW(HWND_MESSAGE, nullptr, windowClass.c_str(), nullptr)) == nullptr &&
           ::GetTickCount64() < deadline) {
        ::Sleep(50);
    }
    if (first == nullptr) {
        error_ = "no window of the running Kadrill to hand over to";
        return false;
    }
    // The running clock may then take the foreground, which Windows gives only to the
    // process the user last worked with: this one.
    DWORD firstPid = 0;
    ::GetWindowThreadProcessId(first, &firstPid);
    ::AllowSetForegroundWindow(firstPid);
    COPYDATASTRUCT data{};
    data.dwData = kOpenFile;
    data.cbData = static_cast<DWORD>(path.size());
    data.lpData = const_cast<char*>(path.data());
    DWORD_PTR answer = 0;
    const UINT timeout = static_cast<UINT>(answerTimeout_.count());
    if (::SendMessageTimeoutW(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, timeout,
                              &answer) == 0 ||
        answer != 1) {
        error_ = "the running Kadrill did not answer: " + errorText(::GetLastError());
        return false;
    }
    return true;
}

LRESULT CALLBACK Win32SingleInstance::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32SingleInstance*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_COPYDATA && self != nullptr) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data->dwData != kOpenFile) {
            return 0;
        }
        std::string path(static_cast<const char*>(data->lpData), data->cbData);
        // Answered at once; the work waits for the message loop, since its messages wait
        // for the user and the sender does not.
        const auto run = new std::function<void()>([self, path = std::move(path)] {
            if (path.empty()) {
                if (self->activated) {
                    self->activated();
                }
            } else if (self->opened) {
                self->opened(path);
            }
        });
        ::PostMessageW(hwnd, WM_APP, 0, reinterpret_cast<LPARAM>(run));
        return 1;
    }
    if (message == WM_APP) {
        const std::unique_ptr<std::function<void()>> run(reinterpret_cast<std::function<void()>*>(lParam));
        (*run)();
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace kadrill::platform::win32
