#pragma once

#include <functional>
#include <string>

namespace kadrill::platform {

enum class SetTimeOutcome {
    Done,
    /// The system keeps its clock in step with a time server and will not take a time
    /// from the user until that is switched off.
    AutomaticSyncOn,
    /// Refused (no permission, the user cancelled the password question) or failed.
    Failed,
};

struct SetTimeResult {
    SetTimeOutcome outcome = SetTimeOutcome::Done;
    /// The system's own words, for Failed.
    std::string reason;
};

/// Sets the computer's clock through the desktop's time service, asking the user for a
/// password where the system requires one.
class SystemTimeSetter {
public:
    SystemTimeSetter() = default;
    SystemTimeSetter(const SystemTimeSetter&) = delete;
    SystemTimeSetter& operator=(const SystemTimeSetter&) = delete;
    virtual ~SystemTimeSetter() = default;

    /// Asks for today's local date at the given local time of day (hour 0..23, minute and
    /// second 0..59; a time that the change of summer time skips or repeats is taken as the
    /// local time rules resolve it). Returns at once; the program goes on meanwhile. `done`
    /// runs later on the user-interface thread, never from within this call. After Done,
    /// the program's clock-following timers have been told that the clock moved.
    virtual void setLocalTimeOfDay(int hour, int minute, int second, std::function<void(SetTimeResult)> done) = 0;
};

} // namespace kadrill::platform
