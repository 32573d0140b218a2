#pragma once

#include <functional>
#include <string>

namespace kadrill::platform {

/// What became of a request. The known refusals are told apart here, so that the program
/// can explain them in its own words; only Failed carries the system's.
enum class SetTimeOutcome {
    Done,
    /// The system keeps its clock in step with a time server and will not take a time
    /// from the user until that is switched off.
    AutomaticSyncOn,
    /// The user may not set the clock, or did not give the password asked for.
    Denied,
    /// Setting the clock needs a password, and nothing on the desktop could ask for it.
    PasswordNotAsked,
    /// The time service did not answer in time, or went away without answering.
    NoAnswer,
    /// There is no time service to ask, or no system bus to reach it by.
    NoService,
    /// Not a time of day; nobody was asked.
    InvalidTime,
    /// Any other failure; `reason` holds the system's own words.
    Failed,
};

struct SetTimeResult {
    SetTimeOutcome outcome = SetTimeOutcome::Done;
    /// The system's own words, for Failed; never empty there.
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
