#pragma once

#include <SDL_audio.h>

#include <memory>
#include <string>

namespace kadrill::platform::sdl {

/// SDL's audio subsystem with the mixer's output device open on it. Held only while a
/// sound is open, so an idle clock keeps neither a sound device nor SDL's audio thread.
/// One at a time per process: the mixer's output is process-wide.
class SdlAudioDevice {
public:
    /// What every decoder produces natively, so nothing is converted twice.
    static constexpr int kDefaultFrequency = 44100;
    /// Frames in each buffer the mixer fills, the same for as long as the device is open.
    /// About 90 ms: an alarm needs no low latency, and larger buffers wake the audio thread
    /// less often.
    static constexpr int kBufferFrames = 4096;

    /// Opens the default output device at the given rate (a WAV file's own: SDL's resampler
    /// keeps back the last few milliseconds of what it converts); null when there is none,
    /// with SDL's reason in failure.
    [[nodiscard]] static std::unique_ptr<SdlAudioDevice> open(std::string& failure,
                                                              int frequency = kDefaultFrequency);

    SdlAudioDevice(const SdlAudioDevice&) = delete;
    SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;
    /// Closes the device and the decoders, and SDL itself when nothing else uses it.
    ~SdlAudioDevice();

    /// The device's number for SDL's locking and status calls.
    SDL_AudioDeviceID id() const { return id_; }
    /// Whether the device has gone (its sound server ended, say); callable on the audio thread.
    bool lost() const { return SDL_GetAudioDeviceStatus(id_) == SDL_AUDIO_STOPPED; }

private:
    explicit SdlAudioDevice(SDL_AudioDeviceID id) : id_(id) {}

    SDL_AudioDeviceID id_;
};

} // namespace kadrill::platform::sdl
