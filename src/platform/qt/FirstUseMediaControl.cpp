#include "platform/qt/FirstUseMediaControl.h"

#include "platform/log/LogCategories.h"

#include <utility>

namespace kadrill::platform::qt {

FirstUseMediaControl::FirstUseMediaControl(Deliver deliver, QString module)
    : deliver_(std::move(deliver)), module_(std::move(module)) {
    ended_ = [this] {
        if (deliver_) {
            deliver_(finished);
        } else {
            finished.raise();
        }
    };
}

FirstUseMediaControl::~FirstUseMediaControl() = default;

bool FirstUseMediaControl::load() {
    if (control_) {
        return true;
    }
    using Create = MediaControl* (*)(const std::function<void()>*);
    const auto create = reinterpret_cast<Create>(module_.resolve("kadrill_sound_create"));
    if (create == nullptr) {
        qCInfo(lcSound).noquote() << "the sound module cannot be loaded:" << module_.error();
        return false;
    }
    control_.reset(create(&ended_));
    return true;
}

MediaError FirstUseMediaControl::open(const std::string& path) {
    return load() ? control_->open(path) : MediaError::NoModule;
}

MediaError FirstUseMediaControl::play() { return load() ? control_->play() : MediaError::NoModule; }

void FirstUseMediaControl::close() {
    // Nothing was ever opened without the module, so there is nothing to close.
    if (control_) {
        control_->close();
    }
}

} // namespace kadrill::platform::qt
