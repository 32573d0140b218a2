#include "PrivateSystemBus.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

extern char** environ;

namespace kadrill::testsupport {

namespace {

constexpr const char* kAddressVariable = "DBUS_SYSTEM_BUS_ADDRESS";
constexpr int kStartTimeoutMs = 20'000; // a loaded machine is slow to start a Qt program

std::string statusField(const char* name) {
    std::ifstream status("/proc/self/status");
    const std::string key = std::string(name) + ":";
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, key.size(), key) == 0) {
            const auto start = line.find_first_not_of(" \t", key.size());
            return start == std::string::npos ? std::string() : line.substr(start);
        }
    }
    return {};
}

bool capabilityIn(const char* set, int capability) {
    const std::string hex = statusField(set);
    if (hex.empty()) {
        // Unreadable: assume the worst.
        return true;
    }
    return ((std::strtoull(hex.c_str(), nullptr, 16) >> capability) & 1U) != 0;
}

bool holdsCapability(int capability) {
    return capabilityIn("CapEff", capability) || capabilityIn("CapPrm", capability) ||
           capabilityIn("CapAmb", capability) || capabilityIn("CapInh", capability);
}

std::string findProgram(const std::string& name) {
    std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    // capsh lives in sbin, which an ordinary user's PATH often leaves out.
    path += ":/usr/sbin:/sbin:/usr/bin:/bin";
    std::stringstream dirs(path);
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (dir.empty()) {
            continue;
        }
        const std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    throw std::runtime_error("private system bus: " + name + " not found (scripts/install-deps.sh installs it)");
}

/// The command, run so that it cannot set the clock: with CAP_SYS_TIME dropped from the
/// bounding set where this process may drop it; otherwise as it is, which is safe only
/// when the capability is not held (the child also turns on no_new_privs).
std::vector<std::string> withoutClockSetting(const std::vector<std::string>& command) {
    if (capabilityIn("CapBnd", CAP_SYS_TIME) && capabilityIn("CapEff", CAP_SETPCAP)) {
        std::vector<std::string> guarded{findProgram("capsh"), "--drop=cap_sys_time", "--", "-c",
                                         "exec \"$0\" \"$@\""};
        guarded.insert(guarded.end(), command.begin(), command.end());
        return guarded;
    }
    if (holdsCapability(CAP_SYS_TIME)) {
        throw std::runtime_error("private system bus: this process holds CAP_SYS_TIME and cannot drop it");
    }
    return command;
}

std::string describeExit(int status) {
    if (WIFEXITED(status)) {
        return "exited with " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return std::string("killed by ") + strsignal(WTERMSIG(status));
    }
    return "stopped";
}

void writeFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << text;
        if (!out.flush()) {
            throw std::runtime_error("private system bus: cannot write " + temporary);
        }
    }
    // Renamed into place, so the fake never reads half a mode.
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("private system bus: cannot write " + path);
    }
}

} // namespace

std::string clockSettingRisk() {
    if (holdsCapability(CAP_SYS_TIME)) {
        return "this process holds CAP_SYS_TIME; run it under capsh --drop=cap_sys_time";
    }
    if (capabilityIn("CapBnd", CAP_SYS_TIME) && statusField("NoNewPrivs") != "1") {
        return "a program this process starts could gain CAP_SYS_TIME; run it under capsh --drop=cap_sys_time "
               "or setpriv --no-new-privs";
    }
    return {};
}

PrivateSystemBus::PrivateSystemBus() : PrivateSystemBus(KADRILL_PRIVATE_BUS_CONFIG, KADRILL_FAKE_TIMEDATED) {}

PrivateSystemBus::PrivateSystemBus(std::string daemonConfigFile, std::string fakeTimeServiceProgram)
    : daemonConfig_(std::move(daemonConfigFile)), fakeTimeService_(std::move(fakeTimeServiceProgram)) {}

PrivateSystemBus::~PrivateSystemBus() { stop(); }

void PrivateSystemBus::start(bool withTimeService) {
    if (running()) {
        throw std::runtime_error("private system bus: already running");
    }
    try {
        std::string pattern = "/tmp/kadrill-bus-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error(std::string("private system bus: mkdtemp: ") + std::strerror(errno));
        }
        directory_ = pattern;
        socket_ = directory_ + "/system_bus_socket";
        writeFile(directory_ + "/calls", "");

        daemon_ = spawn({findProgram("dbus-daemon"), "--config-file=" + daemonConfig_, "--address=unix:path=" + socket_,
                         "--print-address", "--nofork"});
        const std::string printed = readLine(daemon_, kStartTimeoutMs, "dbus-daemon");
        if (!isPrivateAddress(printed)) {
            throw std::runtime_error("private system bus: dbus-daemon listens on " + printed + ", not on " + socket_);
        }
        address_ = printed;

        const char* previous = std::getenv(kAddressVariable);
        hadPreviousAddress_ = previous != nullptr;
        previousAddress_ = previous != nullptr ? previous : "";
        ::setenv(kAddressVariable, address_.c_str(), 1);

        if (withTimeService) {
            startTimeService();
        }
    } catch (...) {
        stop();
        throw;
    }
}

void PrivateSystemBus::stop() {
    end(timeService_);
    end(daemon_);
    if (!address_.empty()) {
        const char* current = std::getenv(kAddressVariable);
        if (current != nullptr && current == address_) {
            if (hadPreviousAddress_) {
                ::setenv(kAddressVariable, previousAddress_.c_str(), 1);
            } else {
                ::unsetenv(kAddressVariable);
            }
        }
    }
    if (!directory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    directory_.clear();
    socket_.clear();
    address_.clear();
}

void PrivateSystemBus::startTimeService() {
    if (!running()) {
        throw std::runtime_error("private system bus: start the bus first");
    }
    if (timeServiceRunning()) {
        return;
    }
    timeService_ =
        spawn({fakeTimeService_, "--calls", directory_ + "/calls", "--mode-file", directory_ + "/mode"});
    try {
        // The fake says so only once it owns its name.
        const std::string line = readLine(timeService_, kStartTimeoutMs, "the fake time service");
        if (line != "ready") {
            throw std::runtime_error("private system bus: the fake time service said: " + line);
        }
    } catch (...) {
        end(timeService_);
        throw;
    }
}

void PrivateSystemBus::stopTimeService() { end(timeService_); }

bool PrivateSystemBus::isPrivateAddress(const std::string& address) const {
    if (socket_.empty() || address.find(';') != std::string::npos) {
        return false;
    }
    const std::string prefix = "unix:path=" + socket_;
    if (address.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    const std::string rest = address.substr(prefix.size());
    if (rest.empty()) {
        return true;
    }
    // Only the bus id may follow; any other key could lead elsewhere.
    const std::string guidKey = ",guid=";
    return rest.compare(0, guidKey.size(), guidKey) == 0 && rest.size() > guidKey.size() &&
           rest.find_first_not_of("0123456789abcdef", guidKey.size()) == std::string::npos;
}

bool PrivateSystemBus::systemBusIsPrivate(std::string* why) const {
    const char* current = std::getenv(kAddressVariable);
    std::string problem;
    if (!running()) {
        problem = "the private system bus is not running";
    } else if (current == nullptr || *current == '\0') {
        problem = std::string(kAddressVariable) + " is not set, so the machine's own system bus would be used";
    } else if (!isPrivateAddress(current)) {
        problem = std::string(kAddressVariable) + " is " + current + ", not the private bus " + address_;
    }
    if (why != nullptr) {
        *why = problem;
    }
    return problem.empty();
}

void PrivateSystemBus::setMode(TimeServiceMode mode) {
    if (!running()) {
        throw std::runtime_error("private system bus: not running");
    }
    const char* text = "accept";
    switch (mode) {
    case TimeServiceMode::Accept:
        text = "accept";
        break;
    case TimeServiceMode::AutomaticSyncOn:
        text = "automatic-sync";
        break;
    case TimeServiceMode::AccessDenied:
        text = "access-denied";
        break;
    case TimeServiceMode::PasswordNotAsked:
        text = "password-not-asked";
        break;
    case TimeServiceMode::Failed:
        text = "failed";
        break;
    case TimeServiceMode::NoReply:
        text = "no-reply";
        break;
    }
    writeFile(directory_ + "/mode", std::string(text) + "\n");
}

std::vector<RecordedSetTime> PrivateSystemBus::recordedCalls() const {
    std::vector<RecordedSetTime> calls;
    if (!running()) {
        return calls;
    }
    std::ifstream in(directory_ + "/calls");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t begin = 0;
    // A line without its end is still being written; it counts next time.
    for (auto end = text.find('\n'); end != std::string::npos; begin = end + 1, end = text.find('\n', begin)) {
        std::istringstream line(text.substr(begin, end - begin));
        RecordedSetTime call;
        int relative = 0;
        int interactive = 0;
        int authorization = 0;
        if (!(line >> call.usecUtc >> relative >> interactive >> authorization)) {
            throw std::runtime_error("private system bus: the fake wrote " + text.substr(begin, end - begin));
        }
        call.relative = relative != 0;
        call.interactive = interactive != 0;
        call.interactiveAuthorizationAllowed = authorization != 0;
        calls.push_back(call);
    }
    return calls;
}

void PrivateSystemBus::clearRecordedCalls() {
    if (running()) {
        // Truncated in place: the fake appends to the same file.
        std::ofstream(directory_ + "/calls", std::ios::trunc);
    }
}

PrivateSystemBus::Child PrivateSystemBus::spawn(const std::vector<std::string>& command) const {
    const std::vector<std::string> guarded = withoutClockSetting(command);
    std::vector<char*> argv;
    for (const auto& arg : guarded) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    // The children get this bus (when it is up) whatever the environment says meanwhile.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "DBUS_SYSTEM_BUS_ADDRESS=", 24) != 0) {
            environment.emplace_back(*entry);
        }
    }
    if (!address_.empty()) {
        environment.push_back(std::string(kAddressVariable) + "=" + address_);
    }
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("private system bus: pipe: ") + std::strerror(errno));
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw std::runtime_error(std::string("private system bus: fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here on: the parent may have other threads.
        ::setpgid(0, 0);
        // Nothing outlives a test that crashed.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid); // whichever of the two comes first
    ::close(pipeFds[1]);
    return {pid, pipeFds[0]};
}

std::string PrivateSystemBus::readLine(Child& child, int timeoutMs, const std::string& what) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            throw std::runtime_error("private system bus: " + what + " did not start within " +
                                     std::to_string(timeoutMs / 1000) + " s");
        }
        pollfd ready{child.output, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left));
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            continue;
        }
        char c = 0;
        const ssize_t got = ::read(child.output, &c, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            const int status = end(child, std::chrono::seconds(2), false);
            throw std::runtime_error("private system bus: " + what + " " + describeExit(status) +
                                     " before it was ready");
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
}

int PrivateSystemBus::end(Child& child, std::chrono::milliseconds grace, bool terminate) {
    int status = 0;
    if (child.pid > 0) {
        if (terminate) {
            ::kill(-child.pid, SIGTERM);
        }
        // Waited for without reaping: while the leader is a zombie its group id cannot be
        // handed to anyone else, so the kill below reaches only what this bus started.
        const auto deadline = std::chrono::steady_clock::now() + grace;
        for (;;) {
            siginfo_t info{};
            const int waited = ::waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT);
            if ((waited == 0 && info.si_pid == child.pid) || (waited < 0 && errno != EINTR) ||
                std::chrono::steady_clock::now() >= deadline) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::kill(-child.pid, SIGKILL);
        while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
        }
        child.pid = -1;
    }
    if (child.output >= 0) {
        ::close(child.output);
        child.output = -1;
    }
    return status;
}

} // namespace kadrill::testsupport
