#pragma once

#include <string>

namespace kadrill::platform {

/// What became of a request to show the help.
struct HelpResult {
    enum class Status {
        Shown,   ///< the help window is on screen
        Missing, ///< no help files were found beside the program
        Failed,  ///< they were found but could not be opened; error says why
    };
    Status status = Status::Shown;
    /// For Failed: a description of the failure for the user, in Japanese.
    std::string error;
};

/// The program's own help, shown in a help window of the program.
class Help {
public:
    Help() = default;
    Help(const Help&) = delete;
    Help& operator=(const Help&) = delete;
    virtual ~Help() = default;

    /// Shows the help window at its keyword index with an empty, focused search field
    /// (partial keyword matching), raising it if already open. Returns at once.
    [[nodiscard]] virtual HelpResult showKeywordSearch() = 0;
};

} // namespace kadrill::platform
