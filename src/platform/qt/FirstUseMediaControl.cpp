#include "platform/qt/FirstUseMediaControl.h"

#include "platform/qt/LogCategories.h"

#include <utility>

namespace kadrill::platform::qt {

FirstUseMediaControl::FirstUseMediaControl(Deliver deliver, QString module)
    : deliver_(std::move(deliver)), module_(std::move(module)) {
    ended_ = [this](int code) {
        if (deliver_) {
            deliver_(done, code);
        } else {
            done.raise(code);
        }
    };
}

FirstUseMediaControl::~FirstUseMediaControl() = default;

void FirstUseMediaControl::setFileName(const std::string& path) {
    fileName_ = path;
    if (control_)
        control_->setFileName(path);
}

void FirstUseMediaControl::setNotify(bool notify) {
    notify_ = notify;
    if (control_)
        control_->setNotify(notify);
}

bool FirstUseMediaControl::load() {
    using Create = MediaControl* (*)(const std::function<void(int)>*);
    const auto create = reinterpret_cast<Create>(module_.resolve("kadrill_sound_create"));
    if (create == nullptr) {
        qCInfo(lcSound).noquote() << "the sound module cannot be loaded:" << module_.error();
        return false;
    }
    control_.reset(create(&ended_));
    control_->setFileName(fileName_);
    control_->setNotify(notify_);
    return true;
}

void FirstUseMediaControl::sendCommand(std::string_view command) {
    error_ = 0;
    if (!control_) {
        // Nothing was ever opened, so there is nothing to close.
        if (command == "Close")
            return;
        if (!load()) {
            error_ = kNoSound;
            return;
        }
    }
    control_->sendCommand(command);
}

} // namespace kadrill::platform::qt
