#pragma once

#include "platform/ProgramStarter.h"

namespace kadrill::platform::qt {

/// Starts programs detached, straight by their path: no shell reads the path.
class QtProgramStarter final : public ProgramStarter {
public:
    StartResult start(const std::string& path) override;
};

} // namespace kadrill::platform::qt
