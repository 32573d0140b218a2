#pragma once

#include "Event.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kadrill::platform {

/// Plays one sound file at a time, driven by command texts.
class MediaControl {
public:
    MediaControl() = default;
    MediaControl(const MediaControl&) = delete;
    MediaControl& operator=(const MediaControl&) = delete;
    virtual ~MediaControl() = default;

    virtual void setFileName(const std::string& path) = 0;
    virtual std::string fileName() const = 0;

    /// "Open" opens the file named last, "play" starts it and returns at once while the
    /// sound goes on, "Close" stops and closes it (and does nothing when nothing is open).
    /// Other commands fail with a non-zero error code.
    virtual void sendCommand(std::string_view command) = 0;

    /// While set, the end of a playback started by "play" raises done.
    virtual void setNotify(bool notify) = 0;
    virtual bool notify() const = 0;

    /// Error code of the last command; 0 when it succeeded.
    virtual std::int16_t error() const = 0;

    /// Raised on the user-interface thread when a notified playback has ended.
    Event<int> done;
};

} // namespace kadrill::platform
