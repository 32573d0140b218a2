#pragma once

#include "platform/ProgramStarter.h"

#include <QProcessEnvironment>

namespace kadrill::platform::qt {

/// Starts programs detached, straight by their path: no shell reads the path.
class QtProgramStarter final : public ProgramStarter {
public:
    StartResult start(const std::string& path) override;
};

/// The environment a started program gets in a session with `session`'s variables. Where
/// both a Wayland and an X display are at hand, its toolkits are steered to X11: keys can
/// only be typed into, and its focus only be seen on, a window of the X display.
QProcessEnvironment ProgramEnvironment(QProcessEnvironment session);

} // namespace kadrill::platform::qt
