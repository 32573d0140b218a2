#pragma once
// GNOME's compositor as a test's desktop: mutter, headless, as a Wayland compositor with
// XWayland, in a runtime directory and on a session bus of its own. One per test binary:
// starting it costs more than most of the tests run on it.

#include "x_harness.h"

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace e2e {

class MutterSession {
public:
    // Starts mutter and waits for its XWayland; `sessionBusConfig` configures the private
    // session bus. When the machine cannot host it, unavailable() says why.
    explicit MutterSession(const std::string& sessionBusConfig);
    MutterSession(const MutterSession&) = delete;
    MutterSession& operator=(const MutterSession&) = delete;
    // Stops XWayland and mutter by their process ids.
    ~MutterSession();

    // Empty once mutter runs with its XWayland; otherwise why it does not.
    const std::string& unavailable() const { return unavailable_; }

    const std::string& x11Display() const { return x11Display_; }
    const std::string& waylandDisplay() const { return waylandDisplay_; }
    const std::filesystem::path& runtimeDir() const { return runtime_.path(); }
    const std::filesystem::path& xauthority() const { return xauthority_; }
    const std::string& sessionBus() const { return bus_->address(); }

    // What a program of this desktop session finds in its environment: both displays, the
    // runtime directory and the session bus, as GNOME on Wayland gives them.
    EnvChanges sessionEnvironment() const;

private:
    void start(const std::string& sessionBusConfig);

    TempDir runtime_; // XDG_RUNTIME_DIR: 0700, as mkdtemp makes it
    TempDir home_;
    std::optional<PrivateSessionBus> bus_;
    std::optional<Process> mutter_;
    pid_t xwayland_ = -1;
    std::string waylandDisplay_;
    std::string x11Display_;
    std::filesystem::path xauthority_;
    std::string unavailable_;
};

// The one mutter of this test binary, started on first use.
MutterSession& sharedMutter();

} // namespace e2e
