#pragma once

#include "platform/MediaControl.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace kadrill::platform::win32 {

/// Plays a sound file through MCI: WAV on the "waveaudio" device, MIDI on the "sequencer",
/// anything else on the device Windows has for its extension. The end of a playback comes
/// as MM_MCINOTIFY to a hidden window of its own, so `finished` is raised on the thread
/// that made the control, and only for the latest playback while still open: the
/// notices of a playback closed or replaced meanwhile are taken out of the queue.
///
/// Construct on the user-interface thread, as Win32MediaControl media(run); `run` runs the
/// program's handler for an event (the dispatcher's way); empty, finished is raised
/// directly.
class Win32MediaControl final : public MediaControl {
public:
    using RunHandler = std::function<void(const std::function<void()>&)>;

    explicit Win32MediaControl(RunHandler run = {});
    ~Win32MediaControl() override;

    MediaError open(const std::string& path) override;
    MediaError play() override;
    void close() override;

    /// Why the last open or play failed, in MCI's words; empty after success.
    const std::string& failureReason() const { return failure_; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    MediaError fail(MediaError error, std::string reason);
    void dropNotices();

    RunHandler run_;
    HWND window_ = nullptr;
    unsigned device_ = 0; // the open MCI device; 0 for none
    bool playing_ = false;
    std::string failure_;
};

} // namespace kadrill::platform::win32
