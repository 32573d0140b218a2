#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kadrill::testsupport {

/// One SetTime call as the fake time service received it.
struct RecordedSetTime {
    std::int64_t usecUtc = 0;
    bool relative = false;
    bool interactive = false;
    /// The message flag that lets the service put a password question to the user.
    bool interactiveAuthorizationAllowed = false;

    bool operator==(const RecordedSetTime&) const = default;
};

/// The words of the fake time service's TimeServiceMode::Failed.
inline constexpr const char* kFakeTimeServiceFailure = "Failed to set system clock: Operation not permitted";

/// How the fake time service answers SetTime. It reads the mode on every call.
enum class TimeServiceMode {
    Accept,           ///< a plain reply, as when the clock was set
    AutomaticSyncOn,  ///< org.freedesktop.timedate1.AutomaticTimeSyncEnabled
    AccessDenied,     ///< org.freedesktop.DBus.Error.AccessDenied
    PasswordNotAsked, ///< org.freedesktop.DBus.Error.InteractiveAuthorizationRequired
    /// org.freedesktop.DBus.Error.Failed with kFakeTimeServiceFailure, an error with no
    /// name of its own
    Failed,
    NoReply, ///< no answer at all
};

/// Empty when neither this process nor anything it starts can set the computer's clock:
/// CAP_SYS_TIME is held in none of its sets and can come back through no exec (it is out
/// of the bounding set, or no_new_privs is on). Otherwise, why not. Test programs check
/// this before they do anything else.
std::string clockSettingRisk();

/// A dbus-daemon of its own in a fresh temporary directory that stands in for the system
/// bus, with the fake time service on it. While it runs, DBUS_SYSTEM_BUS_ADDRESS of this
/// process, and so of every program it starts, names this bus; stop() puts the old value
/// back. The daemon and the fake run in process groups of their own, without CAP_SYS_TIME,
/// and die with the thread that started them.
///
/// Qt keeps its system-bus connection for the life of the process: a test program using
/// Qt starts this bus before its first QDBusConnection::systemBus(), and keeps it.
///
/// Not thread-safe; use it from one thread. Failures throw std::runtime_error.
class PrivateSystemBus {
public:
    /// Uses the daemon configuration and the fake service built with the tests.
    PrivateSystemBus();
    PrivateSystemBus(std::string daemonConfigFile, std::string fakeTimeServiceProgram);
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;
    ~PrivateSystemBus();

    /// Starts the daemon, points DBUS_SYSTEM_BUS_ADDRESS at it and, if asked, starts the
    /// fake time service and waits until it owns org.freedesktop.timedate1. On failure
    /// nothing is left running.
    void start(bool withTimeService = true);
    /// Ends the fake and the daemon (their whole process groups) and removes the directory.
    void stop();
    bool running() const { return daemon_.pid > 0; }

    /// Starts the fake time service again after stopTimeService(); waits for its name.
    void startTimeService();
    /// Ends the fake: its name goes, and calls it had not answered fail at the caller.
    void stopTimeService();
    bool timeServiceRunning() const { return timeService_.pid > 0; }

    /// The address as the daemon printed it: "unix:path=<directory>/system_bus_socket,guid=…".
    const std::string& address() const { return address_; }
    /// The daemon's process id, which org.freedesktop.DBus.GetConnectionUnixProcessID
    /// answers for "org.freedesktop.DBus": a check that a live connection reaches this bus.
    pid_t daemonPid() const { return daemon_.pid; }
    /// The fake time service's process id, or -1 while it is not running.
    pid_t timeServicePid() const { return timeService_.pid; }
    /// The temporary directory: socket, mode file and the calls written down.
    const std::string& directory() const { return directory_; }

    /// Whether a client given this address can reach only this bus: a list of addresses
    /// is refused, since a client would try the next one if this bus were gone.
    bool isPrivateAddress(const std::string& address) const;
    /// Whether DBUS_SYSTEM_BUS_ADDRESS names this bus and nothing else; `why` says what is
    /// wrong otherwise. Check it before starting anything that might set the clock.
    bool systemBusIsPrivate(std::string* why = nullptr) const;

    /// How the fake answers from its next call on.
    void setMode(TimeServiceMode mode);
    /// Every SetTime the fake received since start() or clearRecordedCalls(), in order.
    std::vector<RecordedSetTime> recordedCalls() const;
    void clearRecordedCalls();

private:
    struct Child {
        pid_t pid = -1;
        int output = -1; // its standard output
    };

    Child spawn(const std::vector<std::string>& command) const;
    static std::string readLine(Child& child, int timeoutMs, const std::string& what);
    /// Ends the child's process group: SIGTERM (if `terminate`), up to `grace` for the
    /// child to end, then SIGKILL for whatever is left. Returns the wait status.
    static int end(Child& child, std::chrono::milliseconds grace = std::chrono::seconds(5), bool terminate = true);

    std::string daemonConfig_;
    std::string fakeTimeService_;
    std::string directory_;
    std::string socket_;
    std::string address_;
    Child daemon_;
    Child timeService_;
    bool hadPreviousAddress_ = false;
    std::string previousAddress_;
};

} // namespace kadrill::testsupport
