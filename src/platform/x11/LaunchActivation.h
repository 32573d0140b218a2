#pragma once

#include "platform/qt/NativeDesktop.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kadrill::platform::x11 {

/// Starts announced as launchers announce them (startup notification), so that a window
/// manager that keeps new windows from taking the focus still lets a program the alarm
/// started have it: the program reads the start's time from DESKTOP_STARTUP_ID, and its
/// first window is activated with that time (_NET_ACTIVE_WINDOW), as a task bar asks on the
/// user's behalf: the user set the alarm up to start it and type into it.
///
/// Uses a connection of its own to the X display.
class LaunchActivation final : public qt::NativeDesktop::LaunchWatch {
public:
    /// displayName null means the display named by the DISPLAY environment variable.
    explicit LaunchActivation(const char* displayName = nullptr);
    ~LaunchActivation() override;
    LaunchActivation(const LaunchActivation&) = delete;
    LaunchActivation& operator=(const LaunchActivation&) = delete;

    bool isAvailable() const;

    /// A new startup id for a start of `program`, stamped with the X server's time of now,
    /// and announced with a "new:" message. Empty where there is no display.
    std::string announce(const std::string& program) override;

    /// The start with this id came to nothing: ends its feedback.
    void cancel(const std::string& startupId) override;

    /// Watches for the first window of process `pid` (or of a process it started) that the
    /// window manager lists as a client, for at most `patience`; that window is then
    /// activated with the start's time and the start's feedback ended.
    void watch(std::int64_t pid, const std::string& startupId, std::chrono::milliseconds patience) override;

    /// Looks once for the windows watched for. True while some are still awaited; the
    /// caller looks again a little later.
    bool poll() override;

    /// The time stamp in a startup id ("…_TIME1234" → 1234); 0 where it has none.
    static unsigned long timeOf(const std::string& startupId);

    struct Connection;

private:
    struct Watch {
        std::int64_t pid;
        std::string startupId;
        std::chrono::steady_clock::time_point deadline;
        std::set<unsigned long> others; // windows already found to be another's
    };

    void send(const std::string& message);

    std::unique_ptr<Connection> connection_; // null where there is no X display
    std::vector<Watch> watches_;
    unsigned serial_ = 0;
};

} // namespace kadrill::platform::x11
