#include "SdlMediaControl.h"

#include "SdlAudioDevice.h"
#include "platform/log/LogCategories.h"

#include <QMetaObject>
#include <QObject>

#include <SDL_mixer.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

namespace kadrill::platform::sdl {

namespace {

// General MIDI sets for FluidSynth: the small one we install, else the system's default.
constexpr const char* kSoundFonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2"};

// The mixer's end hook carries no context, so it finds the control and the playback here.
std::atomic<SdlMediaControl*> hookOwner{nullptr};
std::atomic<std::uint64_t> hookPlayback{0};
std::uint64_t lastPlayback = 0; // numbers playbacks; touched on the user-interface thread only

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

} // namespace

struct SdlMediaControl::Sound {
    std::unique_ptr<SdlAudioDevice> device;
    std::unique_ptr<Mix_Music, MusicDeleter> music; // declared after device: freed before it closes
};

SdlMediaControl::SdlMediaControl(Deliver deliver)
    : deliver_(std::move(deliver)), context_(std::make_unique<QObject>()) {}

SdlMediaControl::~SdlMediaControl() { close(); }

MediaError SdlMediaControl::fail(MediaError error, std::string reason) {
    failure_ = std::move(reason);
    // The user sees only the fixed message; the mixer's own words are for whoever asks.
    qCInfo(lcSound, "sound failed (%d) for \"%s\": %s", static_cast<int>(error), fileName_.c_str(), failure_.c_str());
    return error;
}

MediaError SdlMediaControl::open(const std::string& path) {
    // One sound at a time; one still open (an alarm whose play failed, say) goes first.
    close();
    failure_.clear();
    fileName_ = path;
    if (!isReadableFile(fileName_)) {
        return fail(MediaError::FileNotFound, "cannot read the file " + fileName_);
    }
    auto sound = std::make_unique<Sound>();
    std::string reason;
    sound->device = SdlAudioDevice::open(reason);
    if (!sound->device) {
        return fail(MediaError::NoDevice, std::move(reason));
    }
    chooseSoundFont();
    sound->music.reset(Mix_LoadMUS(fileName_.c_str()));
    if (!sound->music) {
        return fail(MediaError::UnsupportedFormat, Mix_GetError()); // the device closes with sound
    }
    sound_ = std::move(sound);
    hookOwner.store(this);
    Mix_HookMusicFinished(&SdlMediaControl::musicFinished);
    return MediaError::None;
}

MediaError SdlMediaControl::play() {
    failure_.clear();
    if (!sound_) {
        return fail(MediaError::NotOpen, "no sound is open");
    }
    // Playing again restarts the sound. Halting first lets the earlier playback report its
    // end under its own number, before the new number is published to the hook.
    Mix_HaltMusic();
    playback_ = ++lastPlayback;
    hookPlayback.store(playback_);
    if (Mix_PlayMusic(sound_->music.get(), 0) != 0) {
        std::string reason = Mix_GetError();
        close(); // the next alarm's open must find the device free
        return fail(MediaError::PlayFailed, std::move(reason));
    }
    return MediaError::None;
}

void SdlMediaControl::close() {
    playback_ = 0; // an end report still on its way is dropped
    if (!sound_) {
        return;
    }
    // Unhooked under the mixer's lock: once this returns no report is being made, and the
    // halt by freeing the music makes none.
    Mix_HookMusicFinished(nullptr);
    hookOwner.store(nullptr);
    sound_.reset();
}

void SdlMediaControl::musicFinished() {
    // Runs on the audio thread, or inside Mix_HaltMusic on ours, with the mixer locked.
    SdlMediaControl* owner = hookOwner.load();
    if (owner == nullptr) {
        return;
    }
    const std::uint64_t tag = hookPlayback.load();
    // Dropped unrun if the control (and with it the context) is gone before it comes.
    QMetaObject::invokeMethod(
        owner->context_.get(), [owner, tag] { owner->playbackEnded(tag); }, Qt::QueuedConnection);
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
