#pragma once

#include "platform/MediaControl.h"

namespace kadrill::platform::nosound {

/// A media control without a sound device: opening and playing fail with an error
/// code, so a caller never takes a silent alarm for a playing one.
class NoSoundMediaControl final : public MediaControl {
public:
    /// Code reported when there is no device to play on.
    static constexpr std::int16_t kNoDevice = 1;

    void setFileName(const std::string& path) override { fileName_ = path; }
    std::string fileName() const override { return fileName_; }
    void sendCommand(std::string_view command) override { error_ = command == "Close" ? std::int16_t{0} : kNoDevice; }
    void setNotify(bool notify) override { notify_ = notify; }
    bool notify() const override { return notify_; }
    std::int16_t error() const override { return error_; }

private:
    std::string fileName_;
    bool notify_ = false;
    std::int16_t error_ = 0;
};

} // namespace kadrill::platform::nosound
