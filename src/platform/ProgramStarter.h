#pragma once

#include <cstdint>
#include <string>

namespace kadrill::platform {

/// What became of a program to start.
struct StartResult {
    enum class Status {
        Started,
        NotFound,      ///< no program file at that path
        NotExecutable, ///< a file, but the user may not execute it (no execute permission)
        Failed,        ///< it exists but could not be started; error says why (for logs)
    };
    Status status = Status::Started;
    /// The started process, when started.
    std::int64_t pid = 0;
    std::string error;
};

/// Starts programs by their path, never through a shell.
class ProgramStarter {
public:
    ProgramStarter() = default;
    ProgramStarter(const ProgramStarter&) = delete;
    ProgramStarter& operator=(const ProgramStarter&) = delete;
    virtual ~ProgramStarter() = default;

    /// Starts the program at `path`, detached, with no arguments. A relative path is taken
    /// from the working folder, a name without a slash included: never searched for in
    /// PATH, so the program started is the file that a check of the same path finds.
    [[nodiscard]] virtual StartResult start(const std::string& path) = 0;
};

} // namespace kadrill::platform
