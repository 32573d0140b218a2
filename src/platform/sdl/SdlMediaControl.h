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
/// "Open" opens the output device and loads the file; "Close" frees both, so between
/// alarms no sound device is held and no audio thread runs. The mixer reports the end of
/// a sound on its audio thread, and also when a sound is halted; each "play" therefore
/// carries a number, and only the end of the latest playback, still open, raises done.
/// That report is posted to the thread that made the control (the user-interface thread,
/// which must run a Qt event loop) and raised there through deliver.
///
/// The mixer plays one music at a time per process: make one control only.
class SdlMediaControl final : public MediaControl {
public:
    /// Error codes, besides 0 for success.
    static constexpr std::int16_t kNoDevice = 1;          ///< no audio output could be opened
    static constexpr std::int16_t kFileNotFound = 2;      ///< no readable file by that name
    static constexpr std::int16_t kUnsupportedFormat = 3; ///< the file is no sound the mixer can decode
    static constexpr std::int16_t kNotOpen = 4;           ///< "play" with no sound open
    static constexpr std::int16_t kPlayFailed = 5;        ///< the mixer refused to start the sound
    static constexpr std::int16_t kUnknownCommand = 6;    ///< a command other than "Open", "play", "Close"

    /// The notification code done carries: the playback ended by itself.
    static constexpr int kNotifySuccessful = 1;

    /// Raises an event on the user-interface thread, e.g. through the program's dispatcher
    /// so that its follow-up work runs too. Empty: the event is raised directly.
    using Deliver = std::function<void(const Event<int>&, int)>;

    /// Needs a QCoreApplication; done arrives through the event loop of the calling thread.
    explicit SdlMediaControl(Deliver deliver = {});
    ~SdlMediaControl() override;

    void setFileName(const std::string& path) override { fileName_ = path; }
    std::string fileName() const override { return fileName_; }
    void sendCommand(std::string_view command) override;
    void setNotify(bool notify) override { notify_ = notify; }
    bool notify() const override { return notify_; }
    std::int16_t error() const override { return error_; }

    /// Why the last command failed, in SDL's words where it gave any; empty after success.
    const std::string& failureReason() const { return failure_; }

private:
    struct Sound;

    void open();
    void play();
    void close();
    void fail(std::int16_t code, std::string reason);
    void playbackEnded(std::uint64_t tag);
    static void musicFinished();

    Deliver deliver_;
    std::unique_ptr<QObject> context_; // receives the mixer's end reports on this thread
    std::string fileName_;
    bool notify_ = false;
    std::int16_t error_ = 0;
    std::string failure_;
    std::unique_ptr<Sound> sound_; // between a successful "Open" and "Close"
    std::uint64_t playback_ = 0;   // number of the playback whose end is awaited; 0 for none
};

} // namespace kadrill::platform::sdl
