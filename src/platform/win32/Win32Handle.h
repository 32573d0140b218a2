#pragma once

#include <windows.h>

#include <utility>

namespace kadrill::platform::win32 {

/// A kernel handle (file, process, snapshot), closed with its owner. Null and
/// INVALID_HANDLE_VALUE both count as none: CreateFileW and CreateToolhelp32Snapshot fail
/// with the one, most other calls with the other.
class Win32Handle {
public:
    explicit Win32Handle(HANDLE handle = nullptr) : handle_(handle) {}
    Win32Handle(Win32Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Win32Handle& operator=(Win32Handle&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }
    Win32Handle(const Win32Handle&) = delete;
    Win32Handle& operator=(const Win32Handle&) = delete;
    ~Win32Handle() { reset(); }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

    /// Closes now; false when the close reported an error.
    bool reset(HANDLE handle = nullptr) {
        const bool closed = !*this || ::CloseHandle(handle_) != 0;
        handle_ = handle;
        return closed;
    }

private:
    HANDLE handle_;
};

} // namespace kadrill::platform::win32
