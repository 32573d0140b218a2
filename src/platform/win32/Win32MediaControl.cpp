#include "Win32MediaControl.h"

#include "Log.h"
#include "Text.h"
#include "Win32Handle.h"

#include <mmsystem.h>

#include <algorithm>
#include <cwctype>
#include <string_view>
#include <utility>

namespace kadrill::platform::win32 {

namespace {

constexpr const wchar_t* kWindowClass = L"KadrillMediaWindow";

std::string mciText(MCIERROR error) {
    wchar_t text[MAXERRORLENGTH] = {};
    if (::mciGetErrorStringW(error, text, MAXERRORLENGTH)) {
        return "MCI error " + std::to_string(error) + ": " + utf8(text);
    }
    return "MCI error " + std::to_string(error);
}

/// What an MCI error means for the user: the file, the sound hardware, or neither.
MediaError meaning(MCIERROR error, MediaError otherwise) {
    switch (LOWORD(error)) {
    case MCIERR_FILE_NOT_FOUND:
        return MediaError::FileNotFound;
    case MCIERR_INVALID_FILE:
    case MCIERR_EXTENSION_NOT_FOUND:
    case MCIERR_INVALID_DEVICE_NAME:
    case MCIERR_UNSUPPORTED_FUNCTION:
    case MCIERR_FILE_READ:
    case MCIERR_SEQ_DIV_INCOMPATIBLE:
        return MediaError::UnsupportedFormat;
    case MCIERR_CANNOT_LOAD_DRIVER:
    case MCIERR_DEVICE_NOT_INSTALLED:
    case MCIERR_DEVICE_NOT_READY:
    case MCIERR_DEVICE_OPEN:
    case MCIERR_DEVICE_LOCKED:
    case MCIERR_HARDWARE:
    case MCIERR_WAVE_OUTPUTSINUSE:
    case MCIERR_WAVE_OUTPUTSUNSUITABLE:
    case MCIERR_WAVE_OUTPUTUNSPECIFIED:
    case MCIERR_WAVE_SETOUTPUTINUSE:
    case MCIERR_WAVE_SETOUTPUTUNSUITABLE:
    case MCIERR_SEQ_NOMIDIPRESENT:
    case MCIERR_SEQ_PORT_INUSE:
    case MCIERR_SEQ_PORT_MAPNODEVICE:
    case MCIERR_SEQ_PORT_MISCERROR:
    case MCIERR_SEQ_PORT_NONEXISTENT:
    case MCIERR_SEQ_PORTUNSPECIFIED:
        return MediaError::NoDevice;
    default:
        break;
    }
    return otherwise;
}

/// The MCI device for the file's extension; null lets MCI choose by the system's list.
const wchar_t* deviceType(const std::wstring& path) {
    const std::size_t dot = path.find_last_of(L".\\/");
    if (dot == std::wstring::npos || path[dot] != L'.') {
        return nullptr;
    }
    std::wstring extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    if (extension == L"wav") {
        return L"waveaudio";
    }
    if (extension == L"mid" || extension == L"midi" || extension == L"rmi") {
        return L"sequencer";
    }
    return nullptr;
}

bool hasOutput(const wchar_t* device) {
    return std::wstring_view(device) == L"sequencer" ? ::midiOutGetNumDevs() > 0 : ::waveOutGetNumDevs() > 0;
}

std::wstring shortPath(const std::wstring& path) {
    const DWORD size = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring shortName(size, L'\0');
    const DWORD length = ::GetShortPathNameW(path.c_str(), shortName.data(), size);
    shortName.resize(length < size ? length : 0);
    return shortName;
}

void registerWindowClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = ::DefWindowProcW; // replaced per window
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kWindowClass;
        return ::RegisterClassExW(&windowClass);
    }();
    (void)atom;
}

} // namespace

Win32MediaControl::Win32MediaControl(RunHandler run) : run_(std::move(run)) {
    registerWindowClass();
    window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr),
                                nullptr);
    if (window_ == nullptr) {
        logInfo("kadrill.sound", "no window for the sound's end: " + errorText(::GetLastError()));
        return;
    }
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32MediaControl::windowProc));
}

Win32MediaControl::~Win32MediaControl() {
    close();
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
}

MediaError Win32MediaControl::fail(MediaError error, std::string reason) {
    logInfo("kadrill.sound", reason);
    failure_ = std::move(reason);
    return error;
}

MediaError Win32MediaControl::open(const std::string& path) {
    close();
    const std::wstring file = wide(path);
    // MCI tells a missing file apart from a bad one only for some devices; asked first,
    // the user hears which it is.
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return fail(MediaError::FileNotFound, "no sound file " + path);
    }
    if (!Win32Handle(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {
        return fail(MediaError::FileNotFound, "cannot read " + path + ": " + errorText(::GetLastError()));
    }
    MCI_OPEN_PARMSW parameters{};
    parameters.lpstrElementName = file.c_str();
    parameters.lpstrDeviceType = deviceType(file);
    // MCI opens a file without any output to play it on, and only the play fails later, on
    // its own; without an output there is nothing to open.
    if (parameters.lpstrDeviceType != nullptr && !hasOutput(parameters.lpstrDeviceType)) {
        return fail(MediaError::NoDevice, "no " + utf8(parameters.lpstrDeviceType) + " output for " + path);
    }
    const DWORD_PTR flags = MCI_OPEN_ELEMENT | MCI_WAIT | (parameters.lpstrDeviceType != nullptr ? MCI_OPEN_TYPE : 0U);
    MCIERROR error = ::mciSendCommandW(0, MCI_OPEN, flags, reinterpret_cast<DWORD_PTR>(&parameters));
    if (LOWORD(error) == MCIERR_FILE_NOT_FOUND) {
        // Some MCI drivers (Wine's among them) take the name through the ANSI code page and
        // lose what it cannot write; the short name of the file is plain ASCII.
        const std::wstring shortName = shortPath(file);
        if (!shortName.empty() && shortName != file) {
            parameters.lpstrElementName = shortName.c_str();
            error = ::mciSendCommandW(0, MCI_OPEN, flags, reinterpret_cast<DWORD_PTR>(&parameters));
        }
    }
    if (error != 0) {
        return fail(meaning(error, MediaError::UnsupportedFormat), "cannot open " + path + ": " + mciText(error));
    }
    device_ = parameters.wDeviceID;
    failure_.clear();
    return MediaError::None;
}

MediaError Win32MediaControl::play() {
    if (device_ == 0) {
        return fail(MediaError::NotOpen, "no sound open");
    }
    // The playback this one replaces is stopped first, and its notice, which may be on its
    // way already, taken out.
    if (playing_) {
        playing_ = false;
        ::mciSendCommandW(device_, MCI_STOP, MCI_WAIT, 0);
    }
    dropNotices();
    MCI_PLAY_PARMS parameters{};
    parameters.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
    parameters.dwFrom = 0;
    if (const MCIERROR error =
            ::mciSendCommandW(device_, MCI_PLAY, MCI_NOTIFY | MCI_FROM, reinterpret_cast<DWORD_PTR>(&parameters))) {
        close();
        return fail(meaning(error, MediaError::PlayFailed), "cannot play: " + mciText(error));
    }
    playing_ = true;
    failure_.clear();
    return MediaError::None;
}

void Win32MediaControl::close() {
    playing_ = false;
    if (device_ == 0) {
        return;
    }
    const unsigned device = std::exchange(device_, 0U);
    if (const MCIERROR error = ::mciSendCommandW(device, MCI_CLOSE, MCI_WAIT, 0)) {
        logInfo("kadrill.sound", "cannot close the sound: " + mciText(error));
    }
    // The closed device's number may be the next one's: its notices must not count then.
    dropNotices();
}

void Win32MediaControl::dropNotices() {
    MSG message;
    while (window_ != nullptr && ::PeekMessageW(&message, window_, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE)) {
    }
}

LRESULT CALLBACK Win32MediaControl::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32MediaControl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || message != MM_MCINOTIFY) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    // Superseded and aborted playbacks were replaced or stopped by the program itself. A
    // device lost while playing ends the playback too: the alarm is not left waiting.
    const bool ended = wParam == MCI_NOTIFY_SUCCESSFUL || wParam == MCI_NOTIFY_FAILURE;
    if (ended && self->playing_ && static_cast<unsigned>(lParam) == self->device_) {
        if (wParam == MCI_NOTIFY_FAILURE) {
            logInfo("kadrill.sound", "the sound device failed while playing");
        }
        self->playing_ = false;
        if (self->run_) {
            self->run_([self] { self->finished.raise(); });
        } else {
            self->finished.raise();
        }
    }
    return 0;
}

} // namespace kadrill::platform::win32
