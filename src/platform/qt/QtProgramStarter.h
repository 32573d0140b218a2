#pragma once

#include "NativeDesktop.h"
#include "platform/ProgramStarter.h"

#include <QProcessEnvironment>
#include <QTimer>

#include <memory>

namespace kadrill::platform::qt {

/// Starts programs detached, straight by their path: no shell reads the path. On X11 each
/// start is announced as a launcher's, and the program's first window is activated, so it
/// gets the focus even where the window manager keeps new windows from taking it.
class QtProgramStarter final : public ProgramStarter {
public:
    QtProgramStarter();
    ~QtProgramStarter() override;
    StartResult start(const std::string& path) override;

private:
    std::unique_ptr<NativeDesktop::LaunchWatch> activation_; // null until a start where starts are announced
    QTimer activationPoll_;
};

/// The environment a started program gets in a session with `session`'s variables. Where
/// both a Wayland and an X display are at hand, its toolkits are steered to X11: keys can
/// only be typed into, and its focus only be seen on, a window of the X display. Kadrill's
/// own sound stream properties are left out.
QProcessEnvironment programEnvironment(QProcessEnvironment session);

} // namespace kadrill::platform::qt
