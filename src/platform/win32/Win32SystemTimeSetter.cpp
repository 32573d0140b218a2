#include "Win32SystemTimeSetter.h"

#include "Log.h"
#include "Text.h"
#include "Win32Handle.h"

#include <windows.h>

#include <utility>

namespace kadrill::platform::win32 {

namespace {

/// The right to set the clock, enabled on the process's token while this lives and put
/// back as it was afterwards. Where the token does not hold the right, enabled() is false.
class SystemTimePrivilege {
public:
    SystemTimePrivilege() {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
            error_ = ::GetLastError();
            return;
        }
        token_.reset(token);
        TOKEN_PRIVILEGES wanted{};
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (!::LookupPrivilegeValueW(nullptr, SE_SYSTEMTIME_NAME, &wanted.Privileges[0].Luid)) {
            error_ = ::GetLastError();
            return;
        }
        DWORD size = sizeof previous_;
        // Succeeds also where the token lacks the right; only the last error tells.
        if (!::AdjustTokenPrivileges(token_.get(), FALSE, &wanted, sizeof previous_, &previous_, &size)) {
            error_ = ::GetLastError();
            return;
        }
        error_ = ::GetLastError();
        adjusted_ = error_ == ERROR_SUCCESS;
    }
    SystemTimePrivilege(const SystemTimePrivilege&) = delete;
    SystemTimePrivilege& operator=(const SystemTimePrivilege&) = delete;
    ~SystemTimePrivilege() {
        if (adjusted_) {
            ::AdjustTokenPrivileges(token_.get(), FALSE, &previous_, 0, nullptr, nullptr);
        }
    }

    bool enabled() const { return adjusted_; }
    DWORD error() const { return error_; }

private:
    Win32Handle token_;
    TOKEN_PRIVILEGES previous_{};
    DWORD error_ = ERROR_SUCCESS;
    bool adjusted_ = false;
};

SetTimeResult setClock(int hour, int minute, int second) {
    const SystemTimePrivilege privilege;
    if (!privilege.enabled()) {
        logInfo("kadrill.time", "no right to set the clock: " + errorText(privilege.error()));
        return {SetTimeOutcome::Denied, {}};
    }
    SYSTEMTIME time{};
    ::GetLocalTime(&time);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    time.wMilliseconds = 0;
    // The conversion to UTC takes the summer time of the moment before the change; the second
    // call, with the clock already moved, takes the summer time of the new moment.
    for (int call = 0; call < 2; ++call) {
        if (!::SetLocalTime(&time)) {
            const DWORD error = ::GetLastError();
            logInfo("kadrill.time", "SetLocalTime failed: " + errorText(error));
            if (error == ERROR_PRIVILEGE_NOT_HELD || error == ERROR_ACCESS_DENIED) {
                return {SetTimeOutcome::Denied, {}};
            }
            // Shown to the user after the program's own words, so never empty.
            return {SetTimeOutcome::Failed, errorText(error)};
        }
    }
    return {SetTimeOutcome::Done, {}};
}

} // namespace

Win32SystemTimeSetter::Win32SystemTimeSetter(Post post, std::function<void()> clockMoved)
    : post_(std::move(post)), clockMoved_(std::move(clockMoved)), alive_(std::make_shared<bool>(true)) {}

Win32SystemTimeSetter::~Win32SystemTimeSetter() { *alive_ = false; }

void Win32SystemTimeSetter::setLocalTimeOfDay(int hour, int minute, int second,
                                              std::function<void(SetTimeResult)> done) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        logInfo("kadrill.time", std::to_string(hour) + ":" + std::to_string(minute) + ":" + std::to_string(second) +
                                    " is not a time of day");
        answerLater({SetTimeOutcome::InvalidTime, {}}, std::move(done));
        return;
    }
    answerLater(setClock(hour, minute, second), std::move(done));
}

void Win32SystemTimeSetter::answerLater(SetTimeResult result, std::function<void(SetTimeResult)> done) {
    post_([this, alive = alive_, result = std::move(result), done = std::move(done)]() mutable {
        if (!*alive) {
            return;
        }
        if (result.outcome == SetTimeOutcome::Done && clockMoved_) {
            clockMoved_();
        }
        // Last: `done` may destroy this setter.
        if (done) {
            done(std::move(result));
        }
    });
}

} // namespace kadrill::platform::win32
