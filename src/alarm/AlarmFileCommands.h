#pragma once

#include "AlarmSettings.h"
#include "state/AlarmFields.h"

#include <optional>
#include <string>

namespace kadrill::platform {
struct Platform;
} // namespace kadrill::platform

namespace kadrill::alarm {

/// The alarm dialog's Save and Load buttons: moving settings to and from a .alm file, with
/// the file dialogs and messages the user sees on the way.
class AlarmFileCommands {
public:
    AlarmFileCommands(platform::Platform& platform, state::AlarmFields& live);

    /// Asks for a file and writes the dialog's working copy to it; the live settings are
    /// not touched. True when the file was written. The copy is taken at the call, so
    /// whatever changes while a question is on screen is not what gets written.
    bool Save(AlarmSettings workingCopy);

    /// Asks for a file and, when it holds valid settings, makes them the live settings all
    /// at once and returns them for the dialog to show. nullopt when cancelled, missing
    /// or malformed; the live settings are then unchanged.
    std::optional<AlarmSettings> Load();

    /// Where a file to load was chosen, which decides what the user is told.
    enum class Source {
        Dialog,  ///< in the dialog: success is confirmed, a malformed file stays silent
        StartUp, ///< on the command line at start: no confirmation, so a failure is told
        Handed,  ///< by a later start: confirmed, and a failure is told
    };
    /// Load for a file already chosen.
    std::optional<AlarmSettings> loadFrom(const std::string& path, Source source);

    /// The file last saved or loaded; empty before any.
    const std::string& lastFile() const { return lastFile_; }

private:
    platform::Platform& platform_;
    state::AlarmFields& live_;
    std::string lastFile_;
};

} // namespace kadrill::alarm
