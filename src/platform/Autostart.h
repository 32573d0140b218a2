#pragma once

#include <optional>
#include <string>

namespace kadrill::platform {

/// The program's entry in the user's autostart folder, which the desktop reads at login:
/// the one file the program keeps of its own accord.
class Autostart {
public:
    Autostart() = default;
    Autostart(const Autostart&) = delete;
    Autostart& operator=(const Autostart&) = delete;
    virtual ~Autostart() = default;

    /// The entry's text, or nullopt where there is none.
    virtual std::optional<std::string> entry() const = 0;

    /// Writes the entry, replacing an earlier one only once the new one is whole on disk:
    /// a failed write leaves what was there. False when it could not be written.
    [[nodiscard]] virtual bool write(const std::string& text) = 0;

    /// Takes the entry away. True when none is left.
    [[nodiscard]] virtual bool remove() = 0;

    /// How the entry's command names this program: by its bare name where the search path
    /// finds this very program by it, else by its full path.
    virtual std::string programCommand() const = 0;
};

} // namespace kadrill::platform
