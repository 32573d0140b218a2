#pragma once

#include "platform/MediaControl.h"
#include "platform/qt/ProgramFiles.h"

#include <functional>
#include <memory>
#include <string>

namespace kadrill::platform::qt {

/// The sound control of the kadrill-sound module (SDL2_mixer), loaded when a sound is
/// first opened: the mixer and its decoders are libraries the clock would otherwise carry
/// from start to end for an alarm that may never sound. Without the module open and play
/// fail with NoModule.
class FirstUseMediaControl final : public MediaControl {
public:
    /// Raises finished on the user-interface thread (see SdlMediaControl).
    using Deliver = std::function<void(const Event<>&)>;

    explicit FirstUseMediaControl(Deliver deliver)
        : FirstUseMediaControl(std::move(deliver), moduleFile(QStringLiteral("kadrill-sound"))) {}
    FirstUseMediaControl(Deliver deliver, QString module);
    ~FirstUseMediaControl() override;

    MediaError open(const std::string& path) override;
    MediaError play() override;
    void close() override;

private:
    bool load();

    Deliver deliver_;
    std::function<void()> ended_; // the module's control reports its ends here
    FirstUseModule module_;
    std::unique_ptr<MediaControl> control_; // made by the module on first use
};

} // namespace kadrill::platform::qt
