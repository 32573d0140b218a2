#pragma once

#include "platform/MediaControl.h"
#include "platform/qt/ProgramFiles.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kadrill::platform::qt {

/// The sound control of the kadrill-sound module (SDL2_mixer), loaded when a sound is
/// first opened: the mixer and its decoders are libraries the clock would otherwise carry
/// from start to end for an alarm that may never sound. Without the module every command
/// but "Close" fails, as with no audio device.
class FirstUseMediaControl final : public MediaControl {
public:
    /// Raises done on the user-interface thread (see SdlMediaControl).
    using Deliver = std::function<void(const Event<int>&, int)>;

    /// The error of every command while the module cannot be had: no sound output.
    static constexpr std::int16_t kNoSound = 1;

    explicit FirstUseMediaControl(Deliver deliver)
        : FirstUseMediaControl(std::move(deliver), moduleFile(QStringLiteral("kadrill-sound"))) {}
    FirstUseMediaControl(Deliver deliver, QString module);
    ~FirstUseMediaControl() override;

    void setFileName(const std::string& path) override;
    std::string fileName() const override { return fileName_; }
    void sendCommand(std::string_view command) override;
    void setNotify(bool notify) override;
    bool notify() const override { return notify_; }
    std::int16_t error() const override { return control_ ? control_->error() : error_; }

private:
    bool load();

    Deliver deliver_;
    std::function<void(int)> ended_; // the module's control reports its ends here
    FirstUseModule module_;
    std::string fileName_;
    bool notify_ = false;
    std::int16_t error_ = 0;
    std::unique_ptr<MediaControl> control_; // made by the module on first use
};

} // namespace kadrill::platform::qt
