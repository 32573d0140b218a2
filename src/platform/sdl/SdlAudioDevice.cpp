#include "SdlAudioDevice.h"

#include <SDL.h>
#include <SDL_mixer.h>

namespace kadrill::platform::sdl {

namespace {

constexpr int kChannels = 2;
// SDL numbers open devices from 1 up, the lowest free first.
constexpr SDL_AudioDeviceID kMaxDeviceId = 64;

// SDL's global state (hints, logging, thread storage) goes too once no subsystem is left.
void quitSdlIfUnused() {
    if (SDL_WasInit(0) == 0) {
        SDL_Quit();
    }
}

} // namespace

std::unique_ptr<SdlAudioDevice> SdlAudioDevice::open(std::string& failure, int frequency) {
    // The audio subsystem brings SDL's event subsystem along, whose signal handlers would
    // turn SIGINT and SIGTERM into quit events that nobody reads: the clock must still end
    // on a signal while a sound plays.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // What the desktop's volume mixer shows: the program, and the stream by what it is. The
    // role reaches a PipeWire stream; on PulseAudio's protocol the role and the icon come
    // from the environment the program sets at its start.
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Kadrill");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "ｱﾗｰﾑ");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "Notification");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        failure = SDL_GetError();
        quitSdlIfUnused();
        return nullptr;
    }
    if (Mix_OpenAudio(frequency, MIX_DEFAULT_FORMAT, kChannels, kBufferFrames) != 0) {
        failure = Mix_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        quitSdlIfUnused();
        return nullptr;
    }
    // The mixer keeps its device's number to itself; it is the one device open, as this
    // object holds SDL's audio for the process.
    SDL_AudioDeviceID id = 1;
    while (id < kMaxDeviceId && SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_STOPPED) {
        ++id;
    }
    return std::unique_ptr<SdlAudioDevice>(new SdlAudioDevice(id));
}

SdlAudioDevice::~SdlAudioDevice() {
    Mix_CloseAudio(); // stops and joins the audio thread
    Mix_Quit();       // unloads the decoders loaded for the sound
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    quitSdlIfUnused();
}

} // namespace kadrill::platform::sdl
