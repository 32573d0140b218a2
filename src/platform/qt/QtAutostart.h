#pragma once

#include "platform/Autostart.h"

#include <QString>

namespace kadrill::platform::qt {

/// The entry in the desktop's autostart folder ($XDG_CONFIG_HOME/autostart, by default
/// ~/.config/autostart), named like the program's desktop entry
/// (QGuiApplication::desktopFileName()).
class QtAutostart final : public Autostart {
public:
    std::optional<std::string> entry() const override;
    bool write(const std::string& text) override;
    bool remove() override;
    std::string programCommand() const override;

private:
    static QString path();
};

} // namespace kadrill::platform::qt
