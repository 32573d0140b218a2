#pragma once

#include "platform/MediaControl.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QObject;

namespace kadrill::platform::sdl {

/// Plays a sound file through SDL2_mixer: WAV and the other sampled formats the mixer
/// decodes, and MIDI through FluidSynth with a General MIDI soundfont.
///
/// open opens the output device and loads the file; close frees both, so between alarms
/// no sound device is held and no audio thread runs. Output goes one buffer (about 90 ms)
/// behind the mixer, and a sound's end is reported once the mixer has made it; closed then,
/// the device stays until that has played out, and opening and playing the same file again
/// meanwhile goes on on the same device: a WAV sound at the output's rate follows its end
/// without a gap, anything else from the next buffer. A sound still playing stops at close. A MIDI sound ends with
/// its notes and their audible tail. A device lost while playing ends the playback. The
/// mixer's reports come on its audio thread, and each play carries a number: only the end
/// of the latest playback, still open, raises finished. That report is posted to the
/// thread that made the control (the user-interface thread, which must run a Qt event
/// loop) and raised there through deliver.
///
/// The mixer plays one music at a time per process: make one control only.
class SdlMediaControl final : public MediaControl {
public:
    /// Raises an event on the user-interface thread, e.g. through the program's dispatcher
    /// so that its follow-up work runs too. Empty: the event is raised directly.
    using Deliver = std::function<void(const Event<>&)>;

    /// Needs a QCoreApplication; finished arrives through the event loop of the calling thread.
    explicit SdlMediaControl(Deliver deliver = {});
    ~SdlMediaControl() override;

    MediaError open(const std::string& path) override;
    MediaError play() override;
    void close() override;

    /// Why the last open or play failed, in SDL's words where it gave any; empty after success.
    const std::string& failureReason() const { return failure_; }

private:
    struct Sound;

    MediaError fail(MediaError error, std::string reason);
    void release();
    void playbackEnded(std::uint64_t tag);
    void drained(std::uint64_t tag);
    void deviceLost(std::uint64_t tag);
    static void musicFinished();
    static void postMix(void* unused, std::uint8_t* stream, int len);

    Deliver deliver_;
    std::unique_ptr<QObject> context_; // receives the mixer's end reports on this thread
    std::string fileName_;
    std::string failure_;
    std::unique_ptr<Sound> sound_; // between a successful open and close
    std::uint64_t playback_ = 0;   // number of the playback whose end is awaited; 0 for none
    std::uint64_t draining_ = 0;   // the ended playback closed while its end plays out; 0 for none
};

} // namespace kadrill::platform::sdl
