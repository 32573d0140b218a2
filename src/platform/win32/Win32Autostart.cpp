#include "Win32Autostart.h"

#include "Log.h"
#include "Text.h"

#include <windows.h>

#include <utility>

namespace kadrill::platform::win32 {

namespace {

// Entries larger than this are none of ours; they are not read into memory.
constexpr DWORD kMaxEntryBytes = 64 * 1024;

} // namespace

Win32Autostart::Win32Autostart(std::string valueName, std::string keyPath)
    : valueName_(wide(valueName)), keyPath_(wide(keyPath)) {}

std::optional<std::string> Win32Autostart::entry() const {
    DWORD size = 0;
    const DWORD types = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    LSTATUS status =
        ::RegGetValueW(HKEY_CURRENT_USER, keyPath_.c_str(), valueName_.c_str(), types, nullptr, nullptr, &size);
    if (status != ERROR_SUCCESS || size > kMaxEntryBytes) {
        if (status != ERROR_FILE_NOT_FOUND) {
            logInfo("kadrill.autostart", "cannot read the entry: " + errorText(static_cast<DWORD>(status)));
        }
        return std::nullopt;
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    status =
        ::RegGetValueW(HKEY_CURRENT_USER, keyPath_.c_str(), valueName_.c_str(), types, nullptr, text.data(), &size);
    if (status != ERROR_SUCCESS) {
        logInfo("kadrill.autostart", "cannot read the entry: " + errorText(static_cast<DWORD>(status)));
        return std::nullopt;
    }
    // The size counts the terminating null.
    text.resize(size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return utf8(text);
}

bool Win32Autostart::write(const std::string& text) {
    // A string value ends at its first null: one inside would cut the entry short.
    if (text.find('\0') != std::string::npos) {
        logInfo("kadrill.autostart", "an entry with a null character cannot be stored");
        return false;
    }
    HKEY key = nullptr;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        logInfo("kadrill.autostart", "cannot open the Run key: " + errorText(static_cast<DWORD>(status)));
        return false;
    }
    const std::wstring value = wide(text);
    status = ::RegSetValueExW(key, valueName_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        logInfo("kadrill.autostart", "cannot write the entry: " + errorText(static_cast<DWORD>(status)));
        return false;
    }
    return true;
}

bool Win32Autostart::remove() {
    const LSTATUS status = ::RegDeleteKeyValueW(HKEY_CURRENT_USER, keyPath_.c_str(), valueName_.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    logInfo("kadrill.autostart", "cannot remove the entry: " + errorText(static_cast<DWORD>(status)));
    return false;
}

std::string Win32Autostart::programCommand() const {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            logInfo("kadrill.autostart", "no path of the program: " + errorText(::GetLastError()));
            return "kadrill.exe";
        }
        if (length < path.size()) {
            path.resize(length);
            return utf8(path);
        }
        path.resize(path.size() * 2);
    }
}

} // namespace kadrill::platform::win32
