#include "SdlMediaControl.h"

#include "MidiLength.h"
#include "SdlAudioDevice.h"
#include "platform/log/LogCategories.h"

#include <QMetaObject>
#include <QObject>

#include <SDL_mixer.h>

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

namespace kadrill::platform::sdl {

namespace {

// General MIDI sets for FluidSynth: the small one we install, else the system's default.
constexpr const char* kSoundFonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2"};

// Buffers the mixer makes after a sound's end before the device may close: the one holding
// the end, then enough for the device's own queue and the sound server's to play it out
// (closing a stream drops what it still holds).
constexpr int kDrainBuffers = 4;
// A MIDI sound ends once its last note has ended and its output has fallen below this peak
// (-60 dBFS): FluidSynth would go on with seconds of near-silent reverb.
constexpr int kQuietPeak = 32;
// ... or at the latest this long after its last note.
constexpr double kMaxMidiTailSeconds = 2.0;

std::uint64_t lastPlayback = 0; // numbers playbacks; touched on the user-interface thread only

// What the mixer's callbacks (the end hook and the post-mix pass) work with. They run on
// the audio thread, or inside the mixer's calls on ours, always with the device locked;
// everything else touches this only with the device locked too.
struct Mixing {
    SdlMediaControl* owner = nullptr;
    SdlAudioDevice* device = nullptr;
    int frameBytes = 4;
    std::uint64_t playback = 0; // the playback the callbacks report on; 0 for none
    long long frames = 0;       // frames mixed since it began
    long long notesEnd = -1;    // a MIDI sound: the frame its last note ends
    long long tailEnd = -1;     // ... and the latest frame its tail may reach
    bool ended = false;         // the sound is over; what follows is its drain
    bool muted = false;         // the mixer still renders it, but nothing more is heard
    int drained = 0;            // buffers made since the end
    bool lost = false;          // the device went away and this was reported
};
Mixing mixing;

struct MusicDeleter {
    void operator()(Mix_Music* music) const noexcept { Mix_FreeMusic(music); }
};

bool isReadableFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec) &&
           std::ifstream(path, std::ios::binary).is_open();
}

void chooseSoundFont() {
    // A set named in SDL_SOUNDFONTS is the user's choice; the mixer reads it itself.
    if (const char* named = std::getenv("SDL_SOUNDFONTS"); named != nullptr && *named != '\0') {
        Mix_SetSoundFonts(nullptr);
        return;
    }
    for (const char* path : kSoundFonts) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) {
            Mix_SetSoundFonts(path);
            return;
        }
    }
}

std::optional<double> notesEndOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return midiNotesEnd(bytes);
}

// A WAV file's own sample rate, from its format chunk; nullopt for anything else.
std::optional<int> wavRateOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[12] = {};
    if (!in.read(header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    auto littleEndian = [](const unsigned char* p) {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    };
    // The format chunk comes first in practice; a few others before it are passed over.
    for (int chunk = 0; chunk < 16; ++chunk) {
        unsigned char head[8] = {};
        if (!in.read(reinterpret_cast<char*>(head), sizeof head)) {
            return std::nullopt;
        }
        const std::uint32_t size = littleEndian(head + 4);
        if (std::memcmp(head, "fmt ", 4) == 0) {
            unsigned char format[8] = {};
            if (size < 16 || !in.read(reinterpret_cast<char*>(format), sizeof format)) {
                return std::nullopt;
            }
            const std::uint32_t rate = littleEndian(format + 4);
            // Rates outside what sound servers take are left to SDL's resampler.
            return rate >= 8000 && rate <= 192000 ? std::optional<int>(static_cast<int>(rate)) : std::nullopt;
        }
        in.seekg(static_cast<std::streamoff>(size + (size & 1)), std::ios::cur);
    }
    return std::nullopt;
}

int peakOf(const Uint8* stream, int len) {
    int peak = 0;
    for (int i = 0; i + 1 < len; i += 2) {
        std::int16_t sample = 0;
        std::memcpy(&sample, stream + i, sizeof sample);
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
}

// Holds the device locked: the audio thread makes no buffer meanwhile.
class DeviceLock {
public:
    explicit DeviceLock(const SdlAudioDevice& device) : id_(device.id()) { SDL_LockAudioDevice(id_); }
    ~DeviceLock() { SDL_UnlockAudioDevice(id_); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    SDL_AudioDeviceID id_;
};

} // namespace

struct SdlMediaControl::Sound {
    std::unique_ptr<SdlAudioDevice> device;
    std::unique_ptr<Mix_Music, MusicDeleter> music; // declared after device: freed before it closes
    long long notesEnd = -1; // a MIDI sound: the output frame its last note ends
    int rate = 0;            // output frames a second
};

SdlMediaControl::SdlMediaControl(Deliver deliver)
    : deliver_(std::move(deliver)), context_(std::make_unique<QObject>()) {}

SdlMediaControl::~SdlMediaControl() { release(); }

MediaError SdlMediaControl::fail(MediaError error, std::string reason) {
    failure_ = std::move(reason);
    // The user sees only the fixed message; the mixer's own words are for whoever asks.
    qCInfo(lcSound, "sound failed (%d) for \"%s\": %s", static_cast<int>(error), fileName_.c_str(), failure_.c_str());
    return error;
}

MediaError SdlMediaControl::open(const std::string& path) {
    failure_.clear();
    if (draining_ != 0 && sound_ && path == fileName_) {
        // The same sound again straight after its end, as an alarm repeats a short sound
        // within its second: the device still open plays it on from its next buffer, with
        // no gap for closing and reopening.
        draining_ = 0;
        return MediaError::None;
    }
    // One sound at a time; one still open (an alarm whose play failed, say) goes first.
    release();
    fileName_ = path;
    if (!isReadableFile(fileName_)) {
        return fail(MediaError::FileNotFound, "cannot read the file " + fileName_);
    }
    auto sound = std::make_unique<Sound>();
    std::string reason;
    sound->device = SdlAudioDevice::open(reason, wavRateOf(fileName_).value_or(SdlAudioDevice::kDefaultFrequency));
    if (!sound->device) {
        return fail(MediaError::NoDevice, std::move(reason));
    }
    chooseSoundFont();
    sound->music.reset(Mix_LoadMUS(fileName_.c_str()));
    if (!sound->music) {
        return fail(MediaError::UnsupportedFormat, Mix_GetError()); // the device closes with sound
    }
    int rate = 0;
    Uint16 format = 0;
    int channels = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    sound->rate = rate;
    if (Mix_GetMusicType(sound->music.get()) == MUS_MID) {
        if (const std::optional<double> end = notesEndOf(fileName_)) {
            sound->notesEnd = static_cast<long long>(*end * rate);
        }
    }
    {
        const DeviceLock lock(*sound->device);
        mixing = Mixing{};
        mixing.owner = this;
        mixing.device = sound->device.get();
        mixing.frameBytes = std::max(1, channels) * static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8);
    }
    Mix_HookMusicFinished(&SdlMediaControl::musicFinished);
    Mix_SetPostMix(&SdlMediaControl::postMix, nullptr);
    sound_ = std::move(sound);
    return MediaError::None;
}

MediaError SdlMediaControl::play() {
    failure_.clear();
    if (!sound_) {
        return fail(MediaError::NotOpen, "no sound is open");
    }
    // Playing again restarts the sound, the earlier playback ending unreported.
    playback_ = ++lastPlayback;
    int started = 0;
    {
        const DeviceLock lock(*sound_->device);
        Mix_HaltMusic();
        mixing.playback = playback_;
        mixing.frames = 0;
        mixing.notesEnd = sound_->notesEnd;
        mixing.tailEnd = sound_->notesEnd < 0 ? -1
                                              : sound_->notesEnd + static_cast<long long>(kMaxMidiTailSeconds * sound_->rate);
        mixing.ended = false;
        mixing.muted = false;
        mixing.drained = 0;
        mixing.lost = false;
        started = Mix_PlayMusic(sound_->music.get(), 0);
    }
    if (started != 0) {
        std::string reason = Mix_GetError();
        release(); // the next alarm's open must find the device free
        return fail(MediaError::PlayFailed, std::move(reason));
    }
    return MediaError::None;
}

void SdlMediaControl::close() {
    playback_ = 0; // an end report still on its way is dropped
    if (!sound_ || draining_ != 0) {
        return;
    }
    std::uint64_t ended = 0;
    {
        const DeviceLock lock(*sound_->device);
        if (mixing.ended && !mixing.lost && mixing.drained < kDrainBuffers) {
            ended = mixing.playback;
        }
    }
    if (ended != 0) {
        // What the device still holds is the sound's end: it closes once that has played
        // out. A sound still playing stops at once.
        draining_ = ended;
        return;
    }
    release();
}

void SdlMediaControl::release() {
    draining_ = 0;
    if (!sound_) {
        return;
    }
    {
        // Once the lock is let go no callback reports any more.
        const DeviceLock lock(*sound_->device);
        mixing = Mixing{};
    }
    Mix_HookMusicFinished(nullptr);
    Mix_SetPostMix(nullptr, nullptr);
    sound_.reset();
    // The synthesiser and its sound font (and the audio thread's own heap) are freed, but
    // the allocator keeps the pages unless asked: some 16 MB after a MIDI alarm.
    malloc_trim(0);
}

void SdlMediaControl::musicFinished() {
    // Also called for a halt; a halted playback is no longer the one reported on.
    if (mixing.playback != 0 && !mixing.ended) {
        mixing.ended = true;
        mixing.drained = 0;
    }
}

void SdlMediaControl::postMix(void* /*unused*/, Uint8* stream, int len) {
    if (mixing.playback == 0 || mixing.owner == nullptr) {
        return;
    }
    SdlMediaControl* owner = mixing.owner;
    const std::uint64_t tag = mixing.playback;
    if (!mixing.lost && mixing.device->lost()) {
        // SDL goes on mixing into nothing; the sound is over for the listener.
        mixing.lost = true;
        QMetaObject::invokeMethod(
            owner->context_.get(), [owner, tag] { owner->deviceLost(tag); }, Qt::QueuedConnection);
        return;
    }
    if (!mixing.ended) {
        mixing.frames += len / mixing.frameBytes;
        if (mixing.notesEnd < 0 || mixing.frames < mixing.notesEnd ||
            (peakOf(stream, len) >= kQuietPeak && mixing.frames < mixing.tailEnd)) {
            return;
        }
        mixing.ended = true;
        mixing.muted = true;
        mixing.drained = 0;
    }
    if (mixing.muted) {
        std::memset(stream, 0, static_cast<std::size_t>(len));
    }
    // Dropped unrun if the control (and with it the context) is gone before they come.
    ++mixing.drained;
    if (mixing.drained == 1) {
        // Reported with the buffer that holds the end, so that a repeat can start with the
        // next one; the device closes only once the end has played out.
        QMetaObject::invokeMethod(
            owner->context_.get(), [owner, tag] { owner->playbackEnded(tag); }, Qt::QueuedConnection);
    } else if (mixing.drained == kDrainBuffers) {
        QMetaObject::invokeMethod(
            owner->context_.get(), [owner, tag] { owner->drained(tag); }, Qt::QueuedConnection);
    }
}

void SdlMediaControl::drained(std::uint64_t tag) {
    if (tag != 0 && tag == draining_) {
        release();
    }
}

void SdlMediaControl::deviceLost(std::uint64_t tag) {
    if (tag != 0 && tag == draining_) {
        release(); // nothing is left to play out
        return;
    }
    if (tag == 0 || tag != playback_) {
        return;
    }
    qCInfo(lcSound, "the sound device went away while \"%s\" played", fileName_.c_str());
    playbackEnded(tag);
}

void SdlMediaControl::playbackEnded(std::uint64_t tag) {
    // A playback closed or replaced since it ended, or halted by a new play, is not current.
    if (tag == 0 || tag != playback_) {
        return;
    }
    playback_ = 0;
    if (deliver_) {
        deliver_(finished);
    } else {
        finished.raise();
    }
}

} // namespace kadrill::platform::sdl
