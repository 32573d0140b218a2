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
#include <vector>

namespace kadrill::platform::sdl {

namespace {

// General MIDI sets for FluidSynth: the small one we install, else the system's default.
constexpr const char* kSoundFonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2"};

// Buffers that go out after the one a sound's end is found in, before the device may
// close: that one goes out a buffer later, then enough follow for the device's own queue
// and the sound server's to play it out (closing a stream drops what it still holds).
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
//
// Each buffer the mixer makes goes out one buffer later, so a sound's end is known a
// buffer before it is heard. A WAV sound at the output's rate loops in the mixer, each
// round ending where the file does: the end of a round is reported, and if the same sound
// is played again before that buffer goes out, the next round simply follows, sample for
// sample; otherwise the buffer is cut where the round ended.
struct Mixing {
    SdlMediaControl* owner = nullptr;
    SdlAudioDevice* device = nullptr;
    int frameBytes = 4;
    Uint8* held = nullptr;      // the buffer made last, waiting to go out
    int heldBytes = 0;          // its size: the device's buffer size, fixed while it is open
    std::uint64_t playback = 0; // the playback the callbacks report on; 0 for none
    long long frames = 0;       // frames made since it began
    long long roundFrames = -1; // a looping sound: frames per round; -1 for a sound played once
    long long roundEnd = -1;    // ... and the frame the current round ends
    int cut = -1;               // the frame in the held buffer where a reported round ends
    std::uint64_t repeat = 0;   // a play asked for meanwhile: the next round is its playback
    long long notesEnd = -1;    // a MIDI sound: the frame its last note ends
    long long tailEnd = -1;     // ... and the latest frame its tail may reach
    bool ended = false;         // the sound is over; what follows is its drain
    bool muted = false;         // the mixer still renders it, but nothing more is heard
    int drained = 0;            // buffers gone out since the end was found
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

// What the mixer's WAV player will make of a file: its rate, and its length in frames
// where the file has no loop points of its own (a sampler chunk's loops replay parts of it).
struct WavLayout {
    int rate = 0;
    long long frames = -1; // -1: unknown, or not a plain run from start to end
};

std::optional<WavLayout> wavLayoutOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff fileSize = in.tellg();
    in.seekg(0);
    char header[12] = {};
    if (!in.read(header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    auto littleEndian = [](const unsigned char* p) {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    };
    auto littleEndian16 = [](const unsigned char* p) {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
    };
    std::optional<WavLayout> layout;
    std::uint32_t frameBytes = 0; // as the mixer counts: channels times whole bytes a sample
    long long dataBytes = -1;
    bool loops = false;
    // A few chunks at most in practice; a damaged size ends the walk.
    for (int chunk = 0; chunk < 64; ++chunk) {
        unsigned char head[8] = {};
        if (!in.read(reinterpret_cast<char*>(head), sizeof head)) {
            break;
        }
        const std::uint32_t size = littleEndian(head + 4);
        const std::streamoff body = in.tellg();
        if (std::memcmp(head, "fmt ", 4) == 0 && !layout) {
            unsigned char format[16] = {};
            if (size < 16 || !in.read(reinterpret_cast<char*>(format), sizeof format)) {
                return std::nullopt;
            }
            const std::uint32_t rate = littleEndian(format + 4);
            // Rates outside what sound servers take are left to SDL's resampler.
            if (rate < 8000 || rate > 192000) {
                return std::nullopt;
            }
            layout = WavLayout{static_cast<int>(rate)};
            const std::uint32_t channels = littleEndian16(format + 2);
            frameBytes = channels * (littleEndian16(format + 14) / 8);
        } else if (std::memcmp(head, "data", 4) == 0 && dataBytes < 0) {
            // A file cut short holds less than its header says.
            dataBytes = std::min<long long>(size, std::max<long long>(0, fileSize - body));
        } else if (std::memcmp(head, "smpl", 4) == 0) {
            unsigned char sampler[32] = {};
            loops = size < sizeof sampler || !in.read(reinterpret_cast<char*>(sampler), sizeof sampler) ||
                    littleEndian(sampler + 28) != 0;
        }
        in.clear();
        in.seekg(body + static_cast<std::streamoff>(size) + (size & 1));
    }
    if (layout && frameBytes != 0 && dataBytes >= 0 && !loops) {
        layout->frames = dataBytes / frameBytes;
    }
    return layout;
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
    std::vector<Uint8> held;    // the mixer's buffer on its way out
    long long notesEnd = -1;    // a MIDI sound: the output frame its last note ends
    long long roundFrames = -1; // a sound that loops seamlessly: its length in output frames
    int rate = 0;               // output frames a second
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
    const std::optional<WavLayout> wav = wavLayoutOf(fileName_);
    sound->device = SdlAudioDevice::open(reason, wav ? wav->rate : SdlAudioDevice::kDefaultFrequency);
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
    const int frameBytes = std::max(1, channels) * static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8);
    sound->held.assign(static_cast<std::size_t>(SdlAudioDevice::kBufferFrames * frameBytes), 0);
    // Rounds one buffer long at least: a buffer holds at most one round's end.
    if (wav && wav->rate == rate && wav->frames >= SdlAudioDevice::kBufferFrames &&
        Mix_GetMusicType(sound->music.get()) == MUS_WAV) {
        sound->roundFrames = wav->frames;
    }
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
        mixing.frameBytes = frameBytes;
        mixing.held = sound->held.data();
        mixing.heldBytes = static_cast<int>(sound->held.size());
    }
    Mix_HookMusicFinished(&SdlMediaControl::musicFinished);
    Mix_SetPostMix(&SdlMediaControl::postMix, nullptr);
    sound_ = std::move(sound);
    return MediaError::None;
}

MediaError SdlMediaControl::play() {
    failure_.clear();
    if (!sound_ || draining_ != 0) {
        return fail(MediaError::NotOpen, "no sound is open");
    }
    // Playing again restarts the sound, the earlier playback ending unreported.
    playback_ = ++lastPlayback;
    int started = 0;
    {
        const DeviceLock lock(*sound_->device);
        if (mixing.cut >= 0 && !mixing.lost) {
            // A round has just ended and not yet gone out: the next follows it seamlessly.
            mixing.repeat = playback_;
            return MediaError::None;
        }
        Mix_HaltMusic();
        mixing.playback = playback_;
        mixing.frames = 0;
        mixing.roundFrames = sound_->roundFrames;
        mixing.roundEnd = sound_->roundFrames;
        mixing.cut = -1;
        mixing.repeat = 0;
        mixing.notesEnd = sound_->notesEnd;
        mixing.tailEnd = sound_->notesEnd < 0 ? -1
                                              : sound_->notesEnd + static_cast<long long>(kMaxMidiTailSeconds * sound_->rate);
        mixing.ended = false;
        mixing.muted = false;
        mixing.drained = 0;
        mixing.lost = false;
        std::fill(sound_->held.begin(), sound_->held.end(), Uint8{0});
        started = Mix_PlayMusic(sound_->music.get(), sound_->roundFrames > 0 ? -1 : 0);
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
        mixing.repeat = 0; // a round asked for and not yet heard is not
        if (mixing.ended && !mixing.lost && mixing.drained <= kDrainBuffers) {
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
    if (!mixing.lost && mixing.device->lost()) {
        // SDL goes on mixing into nothing; the sound is over for the listener.
        mixing.lost = true;
        const std::uint64_t tag = mixing.repeat != 0 ? mixing.repeat : mixing.playback;
        QMetaObject::invokeMethod(
            owner->context_.get(), [owner, tag] { owner->deviceLost(tag); }, Qt::QueuedConnection);
        return;
    }
    if (len > mixing.heldBytes) {
        // Never: SDL keeps the buffer size the mixer asked for while the device is open.
        std::memset(stream, 0, static_cast<std::size_t>(len));
        return;
    }
    // What the mixer made now waits a buffer; the one it made before goes out.
    std::swap_ranges(stream, stream + len, mixing.held);
    if (mixing.cut >= 0) {
        if (mixing.repeat != 0) {
            mixing.playback = mixing.repeat;
            mixing.ended = false;
            mixing.drained = 0;
        } else {
            const auto kept = static_cast<std::size_t>(mixing.cut) * static_cast<std::size_t>(mixing.frameBytes);
            std::memset(stream + kept, 0, static_cast<std::size_t>(len) - kept);
            mixing.muted = true;
        }
        mixing.cut = -1;
        mixing.repeat = 0;
    } else if (mixing.muted) {
        std::memset(stream, 0, static_cast<std::size_t>(len));
    }

    const std::uint64_t tag = mixing.playback;
    if (!mixing.ended) {
        const long long first = mixing.frames;
        mixing.frames += len / mixing.frameBytes;
        if (mixing.roundFrames > 0 && mixing.frames >= mixing.roundEnd) {
            mixing.cut = static_cast<int>(mixing.roundEnd - first);
            mixing.roundEnd += mixing.roundFrames;
        } else if (mixing.notesEnd < 0 || mixing.frames < mixing.notesEnd ||
                   (peakOf(mixing.held, len) >= kQuietPeak && mixing.frames < mixing.tailEnd)) {
            return;
        } else {
            mixing.muted = true;
        }
        mixing.ended = true;
        mixing.drained = 0;
    }
    // Dropped unrun if the control (and with it the context) is gone before they come.
    if (mixing.drained == 0) {
        // Reported with the buffer that holds the end, a buffer before that goes out, so
        // that a repeat can follow it; the device closes only once the end has played out.
        QMetaObject::invokeMethod(
            owner->context_.get(), [owner, tag] { owner->playbackEnded(tag); }, Qt::QueuedConnection);
    } else if (mixing.drained == kDrainBuffers) {
        QMetaObject::invokeMethod(
            owner->context_.get(), [owner, tag] { owner->drained(tag); }, Qt::QueuedConnection);
    }
    ++mixing.drained;
}

void SdlMediaControl::drained(std::uint64_t tag) {
    if (tag != 0 && tag == draining_) {
        release();
        return;
    }
    if (tag != 0 && sound_) {
        // Left open after its end, a looping sound would go on being made into silence.
        const DeviceLock lock(*sound_->device);
        if (mixing.playback == tag && mixing.muted && mixing.cut < 0) {
            Mix_HaltMusic();
        }
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
