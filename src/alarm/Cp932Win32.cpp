#include "Cp932.h"

#include <windows.h>

namespace kadrill::alarm {

namespace {

constexpr UINT kCodePage = 932;

std::optional<std::wstring> wide(UINT codePage, std::string_view text) {
    if (text.empty()) {
        return std::wstring();
    }
    // MB_ERR_INVALID_CHARS: a byte that is no character fails the whole text, as iconv does.
    const int size = static_cast<int>(text.size());
    const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (n <= 0) {
        return std::nullopt;
    }
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, out.data(), n);
    return out;
}

std::optional<std::string> narrow(UINT codePage, const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(text.size());
    // No best-fit mapping, and a character without a counterpart fails the whole text.
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* usedDefault = codePage == CP_UTF8 ? nullptr : &defaulted;
    const int n = ::WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, usedDefault);
    if (n <= 0 || defaulted) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), size, out.data(), n, nullptr, usedDefault);
    return out;
}

} // namespace

struct Cp932::Converters {};

Cp932::Cp932() = default;
Cp932::~Cp932() = default;

std::optional<std::string> Cp932::encode(std::string_view utf8) {
    const std::optional<std::wstring> text = wide(CP_UTF8, utf8);
    if (!text) {
        return std::nullopt;
    }
    std::optional<std::string> bytes = narrow(kCodePage, *text);
    if (!bytes || decode(*bytes) != utf8) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> Cp932::decode(std::string_view cp932) {
    const std::optional<std::wstring> text = wide(kCodePage, cp932);
    // Windows passes the unassigned byte 0x80 through as U+0080; glibc refuses it. Refused
    // here too, so that a file reads the same on both.
    if (!text || text->find(L'\x80') != std::wstring::npos) {
        return std::nullopt;
    }
    return narrow(CP_UTF8, *text);
}

} // namespace kadrill::alarm
