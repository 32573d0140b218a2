#pragma once

#include "Event.h"

#include <string>

namespace kadrill::platform {

/// Why a sound could not be opened or played.
enum class MediaError {
    None,
    NoDevice,          ///< no audio output could be had
    NoModule,          ///< the program's own sound module is missing or broken
    FileNotFound,      ///< no readable file by that name
    UnsupportedFormat, ///< the file is no sound that can be decoded
    NotOpen,           ///< play with no sound open
    PlayFailed,        ///< the sound was open but would not start
};

/// Plays one sound file at a time.
class MediaControl {
public:
    MediaControl() = default;
    MediaControl(const MediaControl&) = delete;
    MediaControl& operator=(const MediaControl&) = delete;
    virtual ~MediaControl() = default;

    /// Opens the sound file, closing a sound still open first. After a failure nothing is
    /// open, so the next open may succeed.
    virtual MediaError open(const std::string& path) = 0;
    /// Starts the open sound from its beginning and returns at once while it plays; a
    /// playback still going is replaced. A failed play leaves nothing open.
    virtual MediaError play() = 0;
    /// Stops and closes the sound; does nothing when none is open. A sound that has just
    /// ended is not cut: what is still on its way to the speaker plays out first.
    virtual void close() = 0;

    /// Raised on the user-interface thread when the latest playback has played to its end
    /// while still open; a playback closed or replaced before its end raises nothing.
    Event<> finished;
};

} // namespace kadrill::platform
