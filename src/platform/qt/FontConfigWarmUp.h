#pragma once

#include <thread>

namespace kadrill::platform::qt {

/// Reads the system's font configuration on a thread of its own while the program builds
/// its main window. The menu bar measures its Japanese text before the window can be
/// mapped, and reading the configuration (dozens of files) is the larger part of that; read
/// meanwhile, it is ready by then, and Qt finds it read.
///
/// Start it once nothing changes the environment any more: the configuration is read from
/// it, and a variable set or unset meanwhile could be missed.
class FontConfigWarmUp {
public:
    FontConfigWarmUp();
    FontConfigWarmUp(const FontConfigWarmUp&) = delete;
    FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;
    /// Waits for the thread: the program may end before its window is built.
    ~FontConfigWarmUp();

    /// Waits until the configuration is read, so that Qt does not read it a second time
    /// alongside.
    void wait();

private:
    std::thread thread_;
};

} // namespace kadrill::platform::qt
